#include "Setup/IniFile.h"

#include <windows.h>

#include <vector>

#include "fw/PrivateProfile.h"

namespace
{
// Sizes the product has always read with: values through 2048 bytes, name
// lists through 16384 (names beyond that are simply not seen).
const DWORD kValueBufferSize = 2048;
const DWORD kNameListBufferSize = 16384;

// Appends each name of a double-NUL-terminated list; returns how many.
int AppendNameList(const char* list, DWORD used, CStringArray& names)
{
    int added = 0;
    const char* end = list + used;
    for (const char* name = list; name < end && *name != '\0';) {
        size_t length = strnlen(name, static_cast<size_t>(end - name));
        names.Add(CString(name, static_cast<int>(length)));
        ++added;
        name += length + 1;
    }
    return added;
}

// A value cut at the buffer's end may end inside a double-byte character. The
// system then either copies the lone lead byte or leaves its place untouched
// while still counting it; both are dropped, as a cut lead byte would take the
// next byte appended to the value (the "\\" before a file name) for its trail.
CString WholeCharacters(const char* buffer, DWORD length)
{
    CString text(buffer, static_cast<int>(strnlen(buffer, length)));
    if (length + 1 < kValueBufferSize)
        return text;
    int last = 0;
    for (int i = 0; i < text.GetLength(); i += text.CharLengthAt(i))
        last = i;
    if (!text.IsEmpty() && text.CharLengthAt(last) == 1 && IsDBCSLeadByte(static_cast<BYTE>(text[last])))
        text = text.Left(last);
    return text;
}
// The file is lines of "key=value" under "[section]": a line break in any of
// them (a user ID recorded as the last user) would write lines of its own --
// another section, another key -- and an '=' in a key or a ']' in a section
// would be read back as another name. Such an entry is not written at all.
bool FitsOneLine(const CString& section, const CString& key, const CString& value)
{
    for (const CString* text : {&section, &key, &value}) {
        if (text->Find('\r') >= 0 || text->Find('\n') >= 0)
            return false;
    }
    return key.Find('=') < 0 && section.Find(']') < 0;
}
} // namespace

CIniFile::CIniFile(CString strPath) : m_strPath(strPath) {}
CIniFile::CIniFile(const CIniFile& other) : m_strPath(other.m_strPath) {}

CIniFile& CIniFile::operator=(const CIniFile& other)
{
    m_strPath = other.m_strPath;
    return *this;
}

CIniFile::~CIniFile() {}

CString CIniFile::ReadString(CString strSection, CString strKey, CString strDefault)
{
    char buffer[kValueBufferSize] = {};
    DWORD length = GetPrivateProfile().GetString(strSection, strKey, strDefault, buffer, kValueBufferSize,
                                                 m_strPath);
    return WholeCharacters(buffer, length);
}

int CIniFile::WriteString(CString strSection, CString strKey, CString strValue)
{
    if (!FitsOneLine(strSection, strKey, strValue))
        return 0;
    return GetPrivateProfile().WriteString(strSection, strKey, strValue, m_strPath);
}

int CIniFile::ReadSections(CStringArray& arrSections)
{
    std::vector<char> list(kNameListBufferSize, '\0');
    DWORD used = GetPrivateProfile().GetSectionNames(list.data(), kNameListBufferSize, m_strPath);
    arrSections.RemoveAll();
    return AppendNameList(list.data(), used, arrSections) > 0 ? 1 : 0;
}

int CIniFile::ReadSection(CString strSection, CStringArray& arrKeys)
{
    std::vector<char> list(kNameListBufferSize, '\0');
    // A null key asks for the list of key names of the section.
    DWORD used = GetPrivateProfile().GetString(strSection, NULL, "", list.data(), kNameListBufferSize,
                                               m_strPath);
    arrKeys.RemoveAll();
    return AppendNameList(list.data(), used, arrKeys) > 0 ? 1 : 0;
}
