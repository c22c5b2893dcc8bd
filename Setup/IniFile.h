// A Windows INI file read and written through the private-profile functions
// (through the framework's seam, fw/PrivateProfile.h).
//
// The system's writer rewrites the whole file in place: a crash or a full disk
// midway leaves it cut off, a reader in another host meanwhile may find it empty,
// and two hosts writing at once each write back what the other had not yet
// written. So a change is made on a copy beside the file and the copy's bytes
// then replace the file in one step (CSafeFileWriter), all under the file's
// lock across processes (CFileLock); readers need no lock.
#pragma once

#include <functional>

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
    // in the key, a ']' in the section), and when the file cannot be changed.
    int WriteString(CString strSection, CString strKey, CString strValue);

    // Empties the section, then writes each key with its value into it, all as
    // one change of the file; an entry that is not one line is left out. 0 when
    // the file cannot be changed.
    int ReplaceSection(CString strSection, const CStringArray& arrKeys, const CStringArray& arrValues);

    // Empties the array, then appends every section name in file order, as far
    // as 16384 bytes of names reach (a name cut there is left out too).
    // 1 when at least one name was added, else 0.
    int ReadSections(CStringArray& arrSections);

    // Empties the array, then appends every key name of the section in file
    // order, as far as 16384 bytes of names reach. 1 when at least one name
    // was added, else 0.
    int ReadSection(CString strSection, CStringArray& arrKeys);

private:
    // Runs `edit` on a copy of the file (the private-profile functions given
    // the copy's path), then puts the copy in the file's place; the edit's
    // result, or 0 when the file could not be changed.
    int Change(const std::function<BOOL(const char* pszCopy)>& edit);

    CString m_strPath;
};
