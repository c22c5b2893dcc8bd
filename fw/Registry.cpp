#include "fw/Registry.h"

namespace {

CWin32Registry g_win32;
IRegistry* g_current = &g_win32;

} // namespace

LONG CWin32Registry::OpenKey(HKEY parent, const char* subKey, REGSAM access, HKEY* key)
{
    return RegOpenKeyExA(parent, subKey, 0, access, key);
}

LONG CWin32Registry::CreateKey(HKEY parent, const char* subKey, REGSAM access, HKEY* key)
{
    DWORD disposition = 0;
    return RegCreateKeyExA(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, key, &disposition);
}

LONG CWin32Registry::CloseKey(HKEY key)
{
    return RegCloseKey(key);
}

LONG CWin32Registry::DeleteKey(HKEY parent, const char* subKey)
{
    return RegDeleteKeyA(parent, subKey);
}

LONG CWin32Registry::QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size)
{
    return RegQueryValueExA(key, name, nullptr, type, data, size);
}

LONG CWin32Registry::SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size)
{
    return RegSetValueExA(key, name, 0, type, data, size);
}

LONG CWin32Registry::DeleteValue(HKEY key, const char* name)
{
    return RegDeleteValueA(key, name);
}

LONG CWin32Registry::QueryCounts(HKEY key, DWORD* subKeys, DWORD* values)
{
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, subKeys, nullptr, nullptr, values, nullptr, nullptr,
                            nullptr, nullptr);
}

LONG CWin32Registry::EnumKey(HKEY key, DWORD index, char* name, DWORD* length)
{
    return RegEnumKeyExA(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
}

LONG CWin32Registry::EnumValue(HKEY key, DWORD index, char* name, DWORD* length)
{
    return RegEnumValueA(key, index, name, length, nullptr, nullptr, nullptr, nullptr);
}

IRegistry& GetRegistry()
{
    return *g_current;
}

IRegistry* SetRegistry(IRegistry* registry)
{
    IRegistry* previous = g_current;
    g_current = registry != nullptr ? registry : &g_win32;
    return previous;
}
