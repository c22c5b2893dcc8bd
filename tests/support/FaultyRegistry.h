// The registry and INI functions of the tests: the system's own, counted,
// with a chosen call failing, as CFaultyFileSystem does for files.
#pragma once

#include <windows.h>

#include "fw/PrivateProfile.h"
#include "fw/Registry.h"

namespace sonvera_test
{
class CFaultyRegistry : public CWin32Registry
{
public:
    enum Call { openKey, closeKey, queryValue, setValue, queryCounts, callCount };

    // Calls of the kind fail with the status, from the next one on.
    void Fail(Call call, LONG status)
    {
        m_failCall = call;
        m_failStatus = status;
        m_failFrom = m_calls[call] + 1;
    }
    int Calls(Call call) const { return m_calls[call]; }
    // Keys opened for more than reading are refused, as HKEY_LOCAL_MACHINE
    // refuses them to a user without administrator rights.
    void RefuseChanges() { m_refuseChanges = true; }

    LONG OpenKey(HKEY parent, const char* subKey, REGSAM access, HKEY* key) override
    {
        if (Fails(openKey))
            return m_failStatus;
        if (m_refuseChanges && (access & ~(KEY_READ | KEY_WOW64_RES)) != 0)
            return ERROR_ACCESS_DENIED;
        return CWin32Registry::OpenKey(parent, subKey, access, key);
    }
    LONG CreateKey(HKEY parent, const char* subKey, REGSAM access, HKEY* key) override
    {
        return m_refuseChanges ? ERROR_ACCESS_DENIED : CWin32Registry::CreateKey(parent, subKey, access, key);
    }
    LONG CloseKey(HKEY key) override
    {
        ++m_calls[closeKey];
        return CWin32Registry::CloseKey(key);
    }
    LONG QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) override
    {
        return Fails(queryValue) ? m_failStatus : CWin32Registry::QueryValue(key, name, type, data, size);
    }
    LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) override
    {
        return Fails(setValue) ? m_failStatus : CWin32Registry::SetValue(key, name, type, data, size);
    }
    LONG QueryCounts(HKEY key, DWORD* subKeys, DWORD* values) override
    {
        return Fails(queryCounts) ? m_failStatus : CWin32Registry::QueryCounts(key, subKeys, values);
    }

private:
    bool Fails(Call call) { return ++m_calls[call] >= m_failFrom && call == m_failCall; }

    int m_calls[callCount] = {};
    Call m_failCall = callCount;
    LONG m_failStatus = ERROR_SUCCESS;
    int m_failFrom = 0;
    bool m_refuseChanges = false;
};

// INI files whose writes fail, as on a read-only folder.
class CFaultyPrivateProfile : public CWin32PrivateProfile
{
public:
    BOOL WriteString(const char*, const char*, const char*, const char*) override
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
};
} // namespace sonvera_test
