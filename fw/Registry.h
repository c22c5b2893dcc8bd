// IRegistry: the one seam through which every registry call goes, as
// IFileSystem is for files, so that tests can fail any of them.
//
// Each operation behaves like the Win32 call it stands for and returns its
// status (ERROR_SUCCESS or the error). Tests install an implementation of
// their own, usually one derived from CWin32Registry that fails a chosen
// call, for a scope with CRegistryOverride.
#pragma once

#include <windows.h>

#include "fw/Api.h"

class SONVERA_API IRegistry {
public:
    virtual ~IRegistry() = default;

    // RegOpenKeyExA / RegCreateKeyExA (non-volatile) / RegCloseKey / RegDeleteKeyA.
    virtual LONG OpenKey(HKEY parent, const char* subKey, REGSAM access, HKEY* key) = 0;
    virtual LONG CreateKey(HKEY parent, const char* subKey, REGSAM access, HKEY* key) = 0;
    virtual LONG CloseKey(HKEY key) = 0;
    virtual LONG DeleteKey(HKEY parent, const char* subKey) = 0;

    // RegQueryValueExA (type and data may be null; size is in and out) /
    // RegSetValueExA / RegDeleteValueA.
    virtual LONG QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) = 0;
    virtual LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) = 0;
    virtual LONG DeleteValue(HKEY key, const char* name) = 0;

    // RegQueryInfoKeyA for the counts only; RegEnumKeyExA / RegEnumValueA for
    // the name at an index (length in characters, in and out).
    virtual LONG QueryCounts(HKEY key, DWORD* subKeys, DWORD* values) = 0;
    virtual LONG EnumKey(HKEY key, DWORD index, char* name, DWORD* length) = 0;
    virtual LONG EnumValue(HKEY key, DWORD index, char* name, DWORD* length) = 0;
};

// The system's own registry functions.
class SONVERA_API CWin32Registry : public IRegistry {
public:
    LONG OpenKey(HKEY parent, const char* subKey, REGSAM access, HKEY* key) override;
    LONG CreateKey(HKEY parent, const char* subKey, REGSAM access, HKEY* key) override;
    LONG CloseKey(HKEY key) override;
    LONG DeleteKey(HKEY parent, const char* subKey) override;
    LONG QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) override;
    LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) override;
    LONG DeleteValue(HKEY key, const char* name) override;
    LONG QueryCounts(HKEY key, DWORD* subKeys, DWORD* values) override;
    LONG EnumKey(HKEY key, DWORD index, char* name, DWORD* length) override;
    LONG EnumValue(HKEY key, DWORD index, char* name, DWORD* length) override;
};

// The registry in use: the system's own unless a test installed another.
SONVERA_API IRegistry& GetRegistry();
// Installs `registry` (nullptr: the system's own) and returns the one it replaces.
SONVERA_API IRegistry* SetRegistry(IRegistry* registry);

// Installs a registry for the lifetime of the object, then puts back the previous one.
class SONVERA_API CRegistryOverride {
public:
    explicit CRegistryOverride(IRegistry& registry) : m_previous(SetRegistry(&registry)) {}
    ~CRegistryOverride() { SetRegistry(m_previous); }
    CRegistryOverride(const CRegistryOverride&) = delete;
    CRegistryOverride& operator=(const CRegistryOverride&) = delete;

private:
    IRegistry* m_previous;
};
