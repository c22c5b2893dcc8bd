#include "Setup/IniFile.h"

#include <windows.h>

#include <vector>

#include "fw/File.h"
#include "fw/FileException.h"
#include "fw/FileLock.h"
#include "fw/PrivateProfile.h"
#include "fw/SafeFileWriter.h"

namespace
{
// Sizes the product has always read with: values through 2048 bytes, name
// lists through 16384 (names beyond that are simply not seen).
const DWORD kValueBufferSize = 2048;
const DWORD kNameListBufferSize = 16384;
// A settings file is a few kilobytes; one past this is not rewritten.
const ULONGLONG kLargestChangedFile = 16u * 1024u * 1024u;

// Appends each name of a double-NUL-terminated list that the system filled
// `used` characters of; returns how many. A list that did not fit comes back
// with `used` two below the buffer's size and its last name cut short (no
// terminator before `used`): that name is dropped, being past the buffer like
// the names that did not come at all.
int AppendNameList(const char* list, DWORD used, CStringArray& names)
{
    if (used == kNameListBufferSize - 2) {
        while (used > 0 && list[used - 1] != '\0')
            --used;
    }
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

// The copy a change is made on. It is named as the safe writer's temporary
// files are, so that one a crash left behind is removed by the next change.
CString ChangeCopyPath(const CString& path)
{
    return CSafeFileWriter::TempPrefix(path) + "change";
}

void WriteWholeFile(const CString& path, const std::vector<BYTE>& bytes)
{
    CFile file(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::typeBinary);
    if (!bytes.empty())
        file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
    file.Close();
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
    return Change(
        [&](const char* copy) { return GetPrivateProfile().WriteString(strSection, strKey, strValue, copy); });
}

int CIniFile::ReplaceSection(CString strSection, const CStringArray& arrKeys, const CStringArray& arrValues)
{
    return Change([&](const char* copy) {
        // A null key name removes the whole section, so no old entry outlives the new ones.
        GetPrivateProfile().WriteString(strSection, NULL, NULL, copy);
        BOOL written = TRUE;
        for (int i = 0; written && i < arrKeys.GetSize() && i < arrValues.GetSize(); ++i) {
            if (FitsOneLine(strSection, arrKeys[i], arrValues[i]))
                written = GetPrivateProfile().WriteString(strSection, arrKeys[i], arrValues[i], copy);
        }
        return written;
    });
}

int CIniFile::Change(const std::function<BOOL(const char* pszCopy)>& edit)
{
    try {
        CFileLock lock(m_strPath);
        CSafeFileWriter::RemoveLeftovers(m_strPath);
        // Only "not found" means absent (Exists raises on any other failure):
        // a file that cannot be read is never started anew.
        const bool existed = CFile::Exists(m_strPath, FALSE) != FALSE;
        const CString copy = ChangeCopyPath(m_strPath);
        WriteWholeFile(copy, existed ? CFile::ReadWhole(m_strPath, kLargestChangedFile) : std::vector<BYTE>());
        const BOOL result = edit(copy);
        // A null section, key and value has the system write out and forget
        // what it holds of the copy (the next change's copy has the same name).
        GetPrivateProfile().WriteString(NULL, NULL, NULL, copy);
        const std::vector<BYTE> changed = result ? CFile::ReadWhole(copy, kLargestChangedFile) : std::vector<BYTE>();
        CFile::Remove(copy);
        if (!result)
            return 0;
        if (existed)
            CSafeFileWriter::WriteFile(m_strPath, changed);
        else if (!CSafeFileWriter::WriteNewFile(m_strPath, changed.data(), static_cast<UINT>(changed.size())))
            return 0;
        return result;
    } catch (const CFileException&) {
        return 0;
    }
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
