// A Windows INI file read and written through the private-profile functions
// (through the framework's seam, fw/PrivateProfile.h).
#pragma once

#include "fw/Api.h"
#include "fw/String.h"
#include "fw/StringArray.h"

class SONVERA_API CIniFile
{
public:
    CIniFile(CString strPath);
    CIniFile(const CIniFile& other);
    CIniFile& operator=(const CIniFile& other);
    virtual ~CIniFile();

    // The value of the key, or the default when the key or the file is missing;
    // at most 2047 characters come back.
    CString ReadString(CString strSection, CString strKey, CString strDefault);

    // The private-profile write's own result (nonzero on success); creates the
    // file and the section when they are missing. 0, with nothing written, for
    // an entry the file cannot hold as one line (a line break anywhere, an '='
    // in the key, a ']' in the section).
    int WriteString(CString strSection, CString strKey, CString strValue);

    // Empties the array, then appends every section name in file order.
    // 1 when at least one name was added, else 0.
    int ReadSections(CStringArray& arrSections);

    // Empties the array, then appends every key name of the section in file
    // order. 1 when at least one name was added, else 0.
    int ReadSection(CString strSection, CStringArray& arrKeys);

private:
    CString m_strPath;
};
