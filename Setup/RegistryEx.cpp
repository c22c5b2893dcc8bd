#include "Setup/RegistryEx.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "fw/Archive.h"
#include "fw/MemFile.h"
#include "fw/Registry.h"

namespace
{
// Read buffers the stored values have always been read through.
const DWORD kDwordSize = 4;
const DWORD kRawBufferSize = 256;
const DWORD kStringBufferSize = 200;
const DWORD kCollectionBufferSize = 4096;
// Rectangles and points alike.
const DWORD kShapeBufferSize = 30;

// First memory blocks for serialising; each grows when the data need more.
const UINT kCollectionBlock = 4096;
const UINT kRectBlock = 30;
const UINT kPointBlock = 20;

// Rectangles and points are stored as a five-element CDWordArray.
const int kShapeElements = 5;

// What the table of "last" fields records for the two shape forms.
const DWORD kRectWriteType = 1;
const DWORD kPointWriteType = 2;
const DWORD kRectReadType = 1;
const DWORD kRectReadSize = 16;
const DWORD kPointReadType = 2;
const DWORD kPointReadSize = 8;

// Subkey names and value names longer than this fail the enumeration step.
const DWORD kListNameBufferSize = 200;

// Where the listing operations say they were called from.
const char kSourceName[] = "Setup\\RegistryEx.cpp";

const char* ValueName(const char* pszName)
{
    return pszName != NULL ? pszName : "";
}

// The roots (HKEY_LOCAL_MACHINE and its kind) are the system's, never held
// by an object; any other key an object has is one it opened.
bool IsPredefinedKey(HKEY hKey)
{
    const LONG_PTR value = reinterpret_cast<LONG_PTR>(hKey);
    return value >= static_cast<LONG_PTR>(static_cast<LONG>(0x80000000)) &&
           value <= static_cast<LONG_PTR>(static_cast<LONG>(0x800000FF));
}

void ShowRealMessageBox(const char* pszBody, const char* pszCaption)
{
    MessageBoxA(NULL, pszBody, pszCaption, MB_ICONINFORMATION);
}

CRegistryEx::PFN_SHOW_MESSAGE g_pfnShowMessage = &ShowRealMessageBox;

// The system's own text for a status code, in the user's default language.
CString SystemMessageText(LONG lCode)
{
    char* pText = NULL;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  NULL, static_cast<DWORD>(lCode),
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<char*>(&pText), 0, NULL);
    CString text;
    if (pText != NULL) {
        text = CString(pText, static_cast<int>(length));
        LocalFree(pText);
    }
    return text;
}

template <class TCollection>
std::vector<BYTE> StoreCollection(TCollection& collection, UINT nInitialBlock)
{
    CMemFile file(nInitialBlock);
    CArchive archive(&file, CArchive::store);
    collection.Serialize(archive);
    archive.Close();
    return file.Detach();
}

// A malformed blob raises the archive layer's exception to the caller.
template <class TCollection>
void LoadCollection(TCollection& collection, const BYTE* pData, DWORD dwSize)
{
    CMemFile file(pData, dwSize);
    CArchive archive(&file, CArchive::load);
    collection.Serialize(archive);
    archive.Close();
}
} // namespace

CRegistryEx::CRegistryEx(HKEY hRootKey)
    : m_lLastStatus(ERROR_SUCCESS), m_dwLastType(0), m_dwLastSize(0), m_hKey(hRootKey)
{
}

CRegistryEx::~CRegistryEx()
{
    Close();
}

CRegistryEx::PFN_SHOW_MESSAGE CRegistryEx::SetMessageSink(PFN_SHOW_MESSAGE pfnSink)
{
    PFN_SHOW_MESSAGE previous = g_pfnShowMessage;
    g_pfnShowMessage = pfnSink != NULL ? pfnSink : &ShowRealMessageBox;
    return previous;
}

void CRegistryEx::Record(LONG lStatus, DWORD dwType, DWORD dwSize)
{
    m_lLastStatus = lStatus;
    m_dwLastType = dwType;
    m_dwLastSize = dwSize;
}

// ---- keys ---------------------------------------------------------------

// Opening over a key this object opened and still holds would lose that key
// (and leak its handle): a caller that reopens closes first.
void CRegistryEx::RefuseIfHeld(const char* pszOperation) const
{
    if (m_hKey != NULL && !IsPredefinedKey(m_hKey))
        throw std::logic_error(std::string("CRegistryEx::") + pszOperation + ": a key is still open; Close it first");
}

// A failed open keeps the key held before, so that nothing is leaked or lost.
int CRegistryEx::OpenCurrent(HKEY hParent, const char* pszSubKey, REGSAM access, bool bRecordAlways)
{
    HKEY hKey = NULL;
    LONG status = GetRegistry().OpenKey(hParent, pszSubKey, access, &hKey);
    if (status == ERROR_SUCCESS)
        m_hKey = hKey;
    if (bRecordAlways || status != ERROR_SUCCESS)
        Record(status, 0, 0);
    return status == ERROR_SUCCESS ? 1 : 0;
}

int CRegistryEx::Open(HKEY hRootKey, const char* pszSubKey)
{
    RefuseIfHeld("Open");
    m_strKeyName = pszSubKey;
    return OpenCurrent(hRootKey, pszSubKey, KEY_ALL_ACCESS, true);
}

int CRegistryEx::CreateKey(HKEY hRootKey, const char* pszSubKey)
{
    RefuseIfHeld("CreateKey");
    HKEY hKey = NULL;
    LONG status = GetRegistry().CreateKey(hRootKey, pszSubKey, KEY_ALL_ACCESS, &hKey);
    if (status == ERROR_SUCCESS)
        m_hKey = hKey;
    Record(status, 0, 0);
    return status == ERROR_SUCCESS ? 1 : 0;
}

// Callers probe with this form, so a success leaves the last fields alone.
int CRegistryEx::VerifyKey(HKEY hRootKey, const char* pszSubKey)
{
    RefuseIfHeld("VerifyKey");
    return OpenCurrent(hRootKey, pszSubKey, KEY_ALL_ACCESS, false);
}

int CRegistryEx::VerifyKeyReadOnly(HKEY hRootKey, const char* pszSubKey, REGSAM view)
{
    RefuseIfHeld("VerifyKeyReadOnly");
    return OpenCurrent(hRootKey, pszSubKey, KEY_READ | view, false);
}

// Descends from the current key: once the subkey is open, the key it was
// opened from is let go (closed when this object had opened it).
int CRegistryEx::VerifyKey(const char* pszSubKey)
{
    const HKEY hParent = m_hKey;
    if (!OpenCurrent(hParent, pszSubKey, KEY_ALL_ACCESS, true))
        return 0;
    if (hParent != NULL && !IsPredefinedKey(hParent))
        GetRegistry().CloseKey(hParent);
    return 1;
}

int CRegistryEx::VerifyValue(const char* pszName)
{
    LONG status = GetRegistry().QueryValue(m_hKey, ValueName(pszName), NULL, NULL, NULL);
    Record(status, 0, 0);
    return status == ERROR_SUCCESS ? 1 : 0;
}

void CRegistryEx::Close()
{
    if (m_hKey != NULL) {
        GetRegistry().CloseKey(m_hKey);
        m_hKey = NULL;
    }
}

int CRegistryEx::DeleteValue(const char* pszName)
{
    LONG status = GetRegistry().DeleteValue(m_hKey, ValueName(pszName));
    Record(status, 0, 0);
    return status == ERROR_SUCCESS ? 1 : 0;
}

int CRegistryEx::DeleteValueKey(HKEY hRootKey, const char* pszSubKey)
{
    LONG status = GetRegistry().DeleteKey(hRootKey, pszSubKey);
    Record(status, 0, 0);
    return status == ERROR_SUCCESS ? 1 : 0;
}

// ---- writes -------------------------------------------------------------

int CRegistryEx::Write(const char* pszName, int nValue)
{
    DWORD value = static_cast<DWORD>(nValue);
    LONG status = GetRegistry().SetValue(m_hKey, ValueName(pszName), REG_DWORD,
                                        reinterpret_cast<const BYTE*>(&value), kDwordSize);
    Record(status, REG_DWORD, kDwordSize);
    return status == ERROR_SUCCESS ? 1 : 0;
}

int CRegistryEx::Write(const char* pszName, unsigned long dwValue)
{
    DWORD value = dwValue;
    return static_cast<int>(GetRegistry().SetValue(m_hKey, ValueName(pszName), REG_DWORD,
                                                   reinterpret_cast<const BYTE*>(&value), kDwordSize));
}

int CRegistryEx::Write(const char* pszName, const char* pszValue)
{
    const char* text = pszValue != NULL ? pszValue : "";
    DWORD size = static_cast<DWORD>(strlen(text) + 1);
    LONG status = GetRegistry().SetValue(m_hKey, ValueName(pszName), REG_SZ,
                                         reinterpret_cast<const BYTE*>(text), size);
    Record(status, REG_SZ, size);
    return status == ERROR_SUCCESS ? 1 : 0;
}

int CRegistryEx::WriteBinary(const char* pszName, const BYTE* pData, DWORD dwSize, DWORD dwLastType)
{
    // A value no read could ever take back is refused rather than stored; the
    // status is the one a read of it would meet.
    if (dwSize > kCollectionBufferSize) {
        Record(ERROR_MORE_DATA, dwLastType, dwSize);
        return 0;
    }
    LONG status = GetRegistry().SetValue(m_hKey, ValueName(pszName), REG_BINARY, pData, dwSize);
    Record(status, dwLastType, dwSize);
    return status == ERROR_SUCCESS ? 1 : 0;
}

template <class TCollection>
int CRegistryEx::WriteCollection(const char* pszName, TCollection& collection, UINT nInitialBlock,
                                 DWORD dwLastType)
{
    std::vector<BYTE> bytes = StoreCollection(collection, nInitialBlock);
    return WriteBinary(pszName, bytes.data(), static_cast<DWORD>(bytes.size()), dwLastType);
}

int CRegistryEx::Write(const char* pszName, CStringList& list)
{
    return WriteCollection(pszName, list, kCollectionBlock, REG_BINARY);
}

int CRegistryEx::Write(const char* pszName, CByteArray& array)
{
    return WriteCollection(pszName, array, kCollectionBlock, REG_BINARY);
}

int CRegistryEx::Write(const char* pszName, CDWordArray& array)
{
    return WriteCollection(pszName, array, kCollectionBlock, REG_BINARY);
}

int CRegistryEx::Write(const char* pszName, CWordArray& array)
{
    return WriteCollection(pszName, array, kCollectionBlock, REG_BINARY);
}

int CRegistryEx::Write(const char* pszName, CStringArray& array)
{
    return WriteCollection(pszName, array, kCollectionBlock, REG_BINARY);
}

// Stored order is top, bottom, left, right, 0 - not the in-memory order.
int CRegistryEx::Write(const char* pszName, const RECT* pRect)
{
    if (pRect == NULL) {
        Record(ERROR_INVALID_PARAMETER, 0, 0);
        return 0;
    }
    CDWordArray elements;
    elements.SetSize(kShapeElements);
    elements[0] = static_cast<DWORD>(pRect->top);
    elements[1] = static_cast<DWORD>(pRect->bottom);
    elements[2] = static_cast<DWORD>(pRect->left);
    elements[3] = static_cast<DWORD>(pRect->right);
    return WriteCollection(pszName, elements, kRectBlock, kRectWriteType);
}

int CRegistryEx::Write(const char* pszName, POINT*& pPoint)
{
    if (pPoint == NULL) {
        Record(ERROR_INVALID_PARAMETER, 0, 0);
        return 0;
    }
    CDWordArray elements;
    elements.SetSize(kShapeElements);
    elements[0] = static_cast<DWORD>(pPoint->x);
    elements[1] = static_cast<DWORD>(pPoint->y);
    return WriteCollection(pszName, elements, kPointBlock, kPointWriteType);
}

// ---- reads --------------------------------------------------------------

// Reads into a buffer of the given capacity and records the status with the
// type and size the registry reported (nothing is reported for a missing value).
LONG CRegistryEx::QueryValue(const char* pszName, BYTE* pData, DWORD dwCapacity, DWORD& dwType,
                             DWORD& dwSize)
{
    dwType = 0;
    dwSize = dwCapacity;
    LONG status = GetRegistry().QueryValue(m_hKey, ValueName(pszName), &dwType, pData, &dwSize);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
        dwType = 0;
        dwSize = 0;
    }
    Record(status, dwType, dwSize);
    return status;
}

int CRegistryEx::ReadDword(const char* pszName, DWORD& dwValue)
{
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = 0;
    if (QueryValue(pszName, reinterpret_cast<BYTE*>(&value), kDwordSize, type, size) != ERROR_SUCCESS)
        return 0;
    dwValue = value;
    return 1;
}

int CRegistryEx::Read(const char* pszName, int& nValue)
{
    DWORD value = 0;
    if (!ReadDword(pszName, value))
        return 0;
    nValue = static_cast<int>(value);
    return 1;
}

int CRegistryEx::Read(const char* pszName, unsigned long& dwValue)
{
    DWORD value = 0;
    if (!ReadDword(pszName, value))
        return 0;
    dwValue = value;
    return 1;
}

int CRegistryEx::Read(const char* pszName, char* pBuffer, int nLength)
{
    BYTE data[kRawBufferSize] = {};
    DWORD capacity = nLength <= 0 ? 0 : (static_cast<DWORD>(nLength) < kRawBufferSize
                                             ? static_cast<DWORD>(nLength) : kRawBufferSize);
    DWORD type = 0;
    DWORD size = 0;
    if (QueryValue(pszName, data, capacity, type, size) != ERROR_SUCCESS)
        return 0;
    if (size > 0 && pBuffer != NULL)
        memcpy(pBuffer, data, size);
    return 1;
}

int CRegistryEx::Read(const char* pszName, CString& strValue)
{
    // One byte more than is read keeps an unterminated value terminated.
    char data[kStringBufferSize + 1] = {};
    DWORD type = 0;
    DWORD size = 0;
    if (QueryValue(pszName, reinterpret_cast<BYTE*>(data), kStringBufferSize, type, size) != ERROR_SUCCESS)
        return 0;
    strValue = data;
    return 1;
}

// The collections are stored as one binary value; what is loaded from it goes
// to `store`. A value of another type reads as success and stores nothing.
template <class TCollection, class Store>
int CRegistryEx::ReadCollection(const char* pszName, Store store)
{
    std::vector<BYTE> data(kCollectionBufferSize);
    DWORD type = 0;
    DWORD size = 0;
    if (QueryValue(pszName, data.data(), kCollectionBufferSize, type, size) != ERROR_SUCCESS)
        return 0;
    if (type == REG_BINARY) {
        TCollection loaded;
        LoadCollection(loaded, data.data(), size);
        store(loaded);
    }
    return 1;
}

int CRegistryEx::Read(const char* pszName, CStringList& list)
{
    return ReadCollection<CStringList>(pszName, [&](CStringList& loaded) {
        list.RemoveAll();
        list.AddTail(loaded);
    });
}

// The array keeps the element count it had on entry: stored elements beyond it
// are dropped and missing ones come back as zero or empty.
template <class TArray>
int CRegistryEx::ReadArray(const char* pszName, TArray& array)
{
    return ReadCollection<TArray>(pszName, [&](TArray& loaded) {
        loaded.SetSize(array.GetSize());
        array.Copy(loaded);
    });
}

int CRegistryEx::Read(const char* pszName, CByteArray& array) { return ReadArray(pszName, array); }
int CRegistryEx::Read(const char* pszName, CDWordArray& array) { return ReadArray(pszName, array); }
int CRegistryEx::Read(const char* pszName, CWordArray& array) { return ReadArray(pszName, array); }
int CRegistryEx::Read(const char* pszName, CStringArray& array) { return ReadArray(pszName, array); }

// Reads the five-element form that rectangles and points are stored in. The
// elements are loaded only when the value is binary; otherwise `elements`
// stays empty and the caller's shape is left untouched.
int CRegistryEx::ReadShape(const char* pszName, CDWordArray& elements, DWORD dwLastType, DWORD dwLastSize)
{
    BYTE data[kShapeBufferSize] = {};
    DWORD type = 0;
    DWORD size = 0;
    LONG status = QueryValue(pszName, data, kShapeBufferSize, type, size);
    if (status == ERROR_SUCCESS && type == REG_BINARY) {
        LoadCollection(elements, data, size);
        elements.SetSize(kShapeElements);
    }
    Record(status, dwLastType, dwLastSize);
    return status == ERROR_SUCCESS ? 1 : 0;
}

int CRegistryEx::Read(const char* pszName, RECT*& pRect)
{
    CDWordArray elements;
    int result = ReadShape(pszName, elements, kRectReadType, kRectReadSize);
    if (elements.GetSize() == kShapeElements && pRect != NULL) {
        pRect->top = static_cast<LONG>(elements[0]);
        pRect->bottom = static_cast<LONG>(elements[1]);
        pRect->left = static_cast<LONG>(elements[2]);
        pRect->right = static_cast<LONG>(elements[3]);
    }
    return result;
}

int CRegistryEx::Read(const char* pszName, POINT*& pPoint)
{
    CDWordArray elements;
    int result = ReadShape(pszName, elements, kPointReadType, kPointReadSize);
    if (elements.GetSize() == kShapeElements && pPoint != NULL) {
        pPoint->x = static_cast<LONG>(elements[0]);
        pPoint->y = static_cast<LONG>(elements[1]);
    }
    return result;
}

// ---- listing and search -------------------------------------------------

int CRegistryEx::ListNames(const char* pszSubKey, CStringArray& arrNames, bool bValues)
{
    IRegistry& registry = GetRegistry();
    HKEY hList = NULL;
    LONG status = registry.OpenKey(m_hKey, pszSubKey, KEY_READ, &hList);
    if (status != ERROR_SUCCESS) {
        Record(status, 0, 0);
        return 0;
    }
    DWORD subKeys = 0;
    DWORD values = 0;
    status = registry.QueryCounts(hList, &subKeys, &values);
    if (status != ERROR_SUCCESS) {
        registry.CloseKey(hList);
        Record(status, 0, 0);
        return 0;
    }
    arrNames.RemoveAll();
    DWORD count = bValues ? values : subKeys;
    for (DWORD index = 0; index < count; ++index) {
        char name[kListNameBufferSize] = {};
        DWORD length = kListNameBufferSize;
        status = bValues ? registry.EnumValue(hList, index, name, &length)
                         : registry.EnumKey(hList, index, name, &length);
        if (status != ERROR_SUCCESS) {
            ShowSysMsg(status, bValues ? "RegEnumValue" : "RegEnumKeyEx", kSourceName, __LINE__);
            break;
        }
        arrNames.Add(CString(name, static_cast<int>(length)));
    }
    registry.CloseKey(hList);
    Record(status, 0, 0);
    return status == ERROR_SUCCESS ? 1 : 0;
}

int CRegistryEx::ListKey(const char* pszSubKey, CStringArray& arrNames)
{
    return ListNames(pszSubKey, arrNames, false);
}

int CRegistryEx::ListValues(const char* pszSubKey, CStringArray& arrNames)
{
    return ListNames(pszSubKey, arrNames, true);
}

CString CRegistryEx::FindKey(const char* pszKeyPath, const char* pszValueName, const char* pszWanted)
{
    CString keyPath(pszKeyPath);
    CString value;
    {
        // The search only reads, so it asks for no more than that: a user who
        // is not an administrator may search the machine's keys too.
        CRegistryEx probe(HKEY_LOCAL_MACHINE);
        if (probe.VerifyKeyReadOnly(HKEY_LOCAL_MACHINE, keyPath))
            probe.Read(pszValueName, value);
        probe.Close();
    }
    if (value.CompareNoCase(pszWanted != NULL ? pszWanted : "") == 0)
        return keyPath;

    CString result;
    CStringArray subKeys;
    if (!ListKey(keyPath, subKeys))
        return result;
    for (int i = 0; i < subKeys.GetSize() && result.IsEmpty(); ++i) {
        CString childPath = keyPath + "\\" + subKeys[i];
        CStringArray grandChildren;
        if (ListKey(childPath, grandChildren))
            result = FindKey(childPath, pszValueName, pszWanted);
    }
    return result;
}

void CRegistryEx::ShowSysMsg(LONG lCode, const char* pszWhat, const char* pszFile, unsigned long nLine)
{
    CString body;
    body.Format("%u %s\n%s %u", static_cast<unsigned int>(lCode), pszWhat != NULL ? pszWhat : "",
                pszFile != NULL ? pszFile : "", static_cast<unsigned int>(nLine));
    CString caption = SystemMessageText(lCode);
    g_pfnShowMessage(body, caption);
}
