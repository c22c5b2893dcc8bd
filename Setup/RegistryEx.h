// One registry key and the typed values in it, including whole collections and
// rectangles stored as binary values in the archive layout of the collections.
// Every registry call goes through the framework's seam (fw/Registry.h).
#pragma once

#include <windows.h>

#include "fw/Api.h"
#include "fw/ByteArray.h"
#include "fw/DWordArray.h"
#include "fw/Object.h"
#include "fw/String.h"
#include "fw/StringArray.h"
#include "fw/StringList.h"
#include "fw/WordArray.h"

class SONVERA_API CRegistryEx : public CObject
{
public:
    // Receives what ShowSysMsg would put in its message box.
    typedef void (*PFN_SHOW_MESSAGE)(const char* pszBody, const char* pszCaption);

    // A fresh object acts directly on the root it is given.
    explicit CRegistryEx(HKEY hRootKey = HKEY_LOCAL_MACHINE);
    virtual ~CRegistryEx();

    // Keys. Open, CreateKey and VerifyKey (root, subkey) on an object that
    // still holds a key it opened raise std::logic_error: a caller that
    // reopens closes first. VerifyKey (subkey) descends from the current key
    // and closes the key it descended from.
    int Open(HKEY hRootKey, const char* pszSubKey);
    int CreateKey(HKEY hRootKey, const char* pszSubKey);
    int VerifyKey(HKEY hRootKey, const char* pszSubKey);
    // As VerifyKey (root, subkey), with the right to read only: values can be
    // read but not changed. A user who is not an administrator may read the
    // machine's keys (HKEY_LOCAL_MACHINE) but is refused the full access the
    // other forms ask for. `view` may be KEY_WOW64_64KEY, for a key that
    // 64-bit Windows keeps in its own view only.
    int VerifyKeyReadOnly(HKEY hRootKey, const char* pszSubKey, REGSAM view = 0);
    int VerifyKey(const char* pszSubKey);
    int VerifyValue(const char* pszName);
    void Close();

    // Values in the current key; an empty or null name is the key's default value.
    int Write(const char* pszName, int nValue);
    // Returns the registry status itself: 0 on success.
    int Write(const char* pszName, unsigned long dwValue);
    int Write(const char* pszName, const char* pszValue);
    int Write(const char* pszName, CStringList& list);
    int Write(const char* pszName, CByteArray& array);
    int Write(const char* pszName, CDWordArray& array);
    int Write(const char* pszName, CWordArray& array);
    int Write(const char* pszName, CStringArray& array);
    int Write(const char* pszName, const RECT* pRect);
    int Write(const char* pszName, POINT*& pPoint);

    int Read(const char* pszName, int& nValue);
    int Read(const char* pszName, unsigned long& dwValue);
    int Read(const char* pszName, char* pBuffer, int nLength);
    int Read(const char* pszName, CString& strValue);
    int Read(const char* pszName, CStringList& list);
    // The arrays keep the size they had on entry: size them before reading.
    int Read(const char* pszName, CByteArray& array);
    int Read(const char* pszName, CDWordArray& array);
    int Read(const char* pszName, CWordArray& array);
    int Read(const char* pszName, CStringArray& array);
    int Read(const char* pszName, RECT*& pRect);
    int Read(const char* pszName, POINT*& pPoint);

    int DeleteValue(const char* pszName);
    int DeleteValueKey(HKEY hRootKey, const char* pszSubKey);

    // Listing and search.
    int ListKey(const char* pszSubKey, CStringArray& arrNames);
    int ListValues(const char* pszSubKey, CStringArray& arrNames);
    CString FindKey(const char* pszKeyPath, const char* pszValueName, const char* pszWanted);

    // A message box with the system's text for the code as its caption.
    void ShowSysMsg(LONG lCode, const char* pszWhat, const char* pszFile, unsigned long nLine);

    // Replaces where ShowSysMsg's box goes (null restores the real message box);
    // returns the previous receiver. Tests capture the box instead of blocking on it.
    static PFN_SHOW_MESSAGE SetMessageSink(PFN_SHOW_MESSAGE pfnSink);

    // What the last operation did (see each operation).
    LONG GetLastStatus() const { return m_lLastStatus; }
    DWORD GetLastType() const { return m_dwLastType; }
    DWORD GetLastSize() const { return m_dwLastSize; }

private:
    CRegistryEx(const CRegistryEx&);
    CRegistryEx& operator=(const CRegistryEx&);

    void Record(LONG lStatus, DWORD dwType, DWORD dwSize);
    void RefuseIfHeld(const char* pszOperation) const;
    int OpenCurrent(HKEY hParent, const char* pszSubKey, REGSAM access, bool bRecordAlways);
    LONG QueryValue(const char* pszName, BYTE* pData, DWORD dwCapacity, DWORD& dwType, DWORD& dwSize);
    int ReadDword(const char* pszName, DWORD& dwValue);
    int WriteBinary(const char* pszName, const BYTE* pData, DWORD dwSize, DWORD dwLastType);
    template <class TCollection>
    int WriteCollection(const char* pszName, TCollection& collection, UINT nInitialBlock, DWORD dwLastType);
    template <class TCollection, class Store>
    int ReadCollection(const char* pszName, Store store);
    template <class TArray>
    int ReadArray(const char* pszName, TArray& array);
    int ReadShape(const char* pszName, CDWordArray& elements, DWORD dwLastType, DWORD dwLastSize);
    int ListNames(const char* pszSubKey, CStringArray& arrNames, bool bValues);

    LONG m_lLastStatus;     // Win32 status of the last registry call (0 = success)
    DWORD m_dwLastType;     // registry type of the last value operation, or 0
    DWORD m_dwLastSize;     // byte count of the last value operation, or 0
    HKEY m_hKey;            // the key value operations act on
    CString m_strKeyName;   // subkey path last given to Open
};
