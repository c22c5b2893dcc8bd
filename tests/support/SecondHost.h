// A second host for two-process tests: this program run again for one test,
// with a role and a folder in its environment. There IsSecondHost() is true
// (returning when the first calls Go); the first starts it, calls Go, does
// its own part and checks Wait(), the second's exit code.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fw/String.h"

namespace sonvera_test
{
class CSecondHost
{
public:
    // Starts the second process and waits until it is ready to begin.
    CSecondHost(const char* testName, const CString& folder)
    {
        const std::string tag = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
        m_ready = Event("ready", tag);
        m_go = Event("go", tag);
        SetEnvironmentVariableA(kTagVariable, tag.c_str());
        SetEnvironmentVariableA(kFolderVariable, folder);

        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=" + CString(testName).ToWide();
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        if (CreateProcessW(self, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_process))
            CloseHandle(m_process.hThread);
        else
            m_process.hProcess = nullptr;
        SetEnvironmentVariableA(kTagVariable, nullptr);
        SetEnvironmentVariableA(kFolderVariable, nullptr);
        if (m_process.hProcess != nullptr) {
            HANDLE waits[2] = {m_ready, m_process.hProcess};
            WaitForMultipleObjects(2, waits, FALSE, kStartMs);
        }
    }
    ~CSecondHost()
    {
        if (m_process.hProcess != nullptr) {
            if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(m_process.hProcess, 99);
            CloseHandle(m_process.hProcess);
        }
        CloseHandle(m_ready);
        CloseHandle(m_go);
    }
    CSecondHost(const CSecondHost&) = delete;
    CSecondHost& operator=(const CSecondHost&) = delete;

    void Go() { SetEvent(m_go); }
    // The second host's exit code (0: its test passed); 98 when it did not end in time.
    DWORD Wait(DWORD timeoutMs = 300000)
    {
        if (m_process.hProcess == nullptr || WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0)
            return 98;
        DWORD code = 98;
        GetExitCodeProcess(m_process.hProcess, &code);
        return code;
    }

    // In the second process: true, after saying it is ready and waiting for Go.
    static bool IsSecondHost()
    {
        const char* tag = std::getenv(kTagVariable);
        if (tag == nullptr || *tag == '\0')
            return false;
        HANDLE ready = Event("ready", tag), go = Event("go", tag);
        SetEvent(ready);
        WaitForSingleObject(go, kStartMs);
        CloseHandle(ready);
        CloseHandle(go);
        return true;
    }
    static CString Folder()
    {
        const char* folder = std::getenv(kFolderVariable);
        return folder != nullptr ? CString(folder) : CString();
    }

private:
    static constexpr const char* kTagVariable = "SONVERA_TEST_SECOND_HOST";
    static constexpr const char* kFolderVariable = "SONVERA_TEST_SECOND_HOST_FOLDER";
    static const DWORD kStartMs = 60000;

    // One of the two processes' shared events, made by whichever asks first.
    static HANDLE Event(const char* name, const std::string& tag)
    {
        return CreateEventA(nullptr, TRUE, FALSE, ("sonvera-test-" + std::string(name) + "-" + tag).c_str());
    }

    HANDLE m_ready = nullptr;
    HANDLE m_go = nullptr;
    PROCESS_INFORMATION m_process = {};
};
} // namespace sonvera_test
