// Keeps registry values as they were before a test: remembers them and puts
// them back, or removes what the test created.
#pragma once

#include <windows.h>

#include <string>

namespace sonvera_test
{
class CRegistryValueGuard
{
public:
    // `view` is KEY_WOW64_64KEY for a value the system keeps in its own view
    // only, where a 32-bit program must ask for it.
    CRegistryValueGuard(HKEY root, const char* key, const char* name, REGSAM view = 0)
        : m_root(root), m_key(key), m_name(name), m_view(view)
    {
        char value[4096];   // the guarded values are paths and comments
        DWORD size = sizeof value;
        HKEY opened = NULL;
        m_had = RegOpenKeyExA(root, key, 0, KEY_QUERY_VALUE | view, &opened) == ERROR_SUCCESS &&
                RegQueryValueExA(opened, name, NULL, &m_type, reinterpret_cast<BYTE*>(value), &size) ==
                    ERROR_SUCCESS;
        RegCloseKey(opened);
        m_value.assign(value, m_had ? size : 0);
    }
    ~CRegistryValueGuard()
    {
        HKEY opened = NULL;
        if (m_had) {
            if (RegCreateKeyExA(m_root, m_key.c_str(), 0, NULL, 0, KEY_SET_VALUE | m_view, NULL, &opened, NULL) ==
                ERROR_SUCCESS)
                RegSetValueExA(opened, m_name.c_str(), 0, m_type, reinterpret_cast<const BYTE*>(m_value.data()),
                               static_cast<DWORD>(m_value.size()));
        } else if (RegOpenKeyExA(m_root, m_key.c_str(), 0, KEY_SET_VALUE | m_view, &opened) == ERROR_SUCCESS) {
            RegDeleteValueA(opened, m_name.c_str());
        }
        RegCloseKey(opened);
    }
    CRegistryValueGuard(const CRegistryValueGuard&) = delete;
    CRegistryValueGuard& operator=(const CRegistryValueGuard&) = delete;

private:
    HKEY m_root;
    std::string m_key, m_name, m_value;
    REGSAM m_view;
    bool m_had = false;
    DWORD m_type = 0;
};

// The product's fixed Program key: its values put back, and the company key
// removed when the test made it.
class CProgramKeyGuard
{
public:
    static constexpr const char* kCompanyKey = "Software\\Brindlemoorlabs";
    static constexpr const char* kProgramKey = "Software\\Brindlemoorlabs\\DeskWarden\\Program";

private:
    // Declared first, so it goes last, after the values are put back.
    struct CCompanyKey
    {
        HKEY key = NULL;
        const bool existed = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCompanyKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
        ~CCompanyKey()
        {
            RegCloseKey(key);
            if (!existed) {
                RegDeleteTreeA(HKEY_LOCAL_MACHINE, kCompanyKey);
                RegDeleteKeyA(HKEY_LOCAL_MACHINE, kCompanyKey);
            }
        }
    } m_company;
    CRegistryValueGuard m_appPath{HKEY_LOCAL_MACHINE, kProgramKey, "AppPath"};
    CRegistryValueGuard m_comment{HKEY_LOCAL_MACHINE, kProgramKey, "ScrMent"};
};
} // namespace sonvera_test
