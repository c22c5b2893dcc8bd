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
    CRegistryValueGuard(HKEY root, const char* key, const char* name) : m_root(root), m_key(key), m_name(name)
    {
        char value[4096];   // the guarded values are paths and comments
        DWORD size = sizeof value;
        m_had = RegGetValueA(root, key, name, RRF_RT_ANY, &m_type, value, &size) == ERROR_SUCCESS;
        m_value.assign(value, m_had ? size : 0);
    }
    ~CRegistryValueGuard()
    {
        if (m_had)
            RegSetKeyValueA(m_root, m_key.c_str(), m_name.c_str(), m_type, m_value.data(),
                            static_cast<DWORD>(m_value.size()));
        else
            RegDeleteKeyValueA(m_root, m_key.c_str(), m_name.c_str());
    }
    CRegistryValueGuard(const CRegistryValueGuard&) = delete;
    CRegistryValueGuard& operator=(const CRegistryValueGuard&) = delete;

private:
    HKEY m_root;
    std::string m_key, m_name, m_value;
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
