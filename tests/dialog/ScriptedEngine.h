// The test's hold on the scripted engine double (ScriptedEngine.cpp), which
// the program loaded in place of MarzetPcJpn38.dll: its Script_ exports,
// found in the engine module the process has loaded.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace sonvera_test {

class CScriptedEngine {
public:
    CScriptedEngine()
    {
        m_module = GetModuleHandleA("MarzetPcJpn38.dll");
        Bind(m_reset, "Script_Reset");
        Bind(m_push, "Script_Push");
        Bind(m_setLabel, "Script_SetLabel");
        Bind(m_setEndpoints, "Script_SetEndpoints");
        Bind(m_onCall, "Script_OnCall");
        Bind(m_count, "Script_Count");
        Bind(m_log, "Script_Log");
    }

    // True when the engine this program runs with is the double.
    bool IsLoaded() const
    {
        return m_reset && m_push && m_setLabel && m_setEndpoints && m_onCall && m_count && m_log;
    }

    void Reset() { m_reset(); }
    // Queues results of one function; false for a function the double does not script.
    bool Push(const char* function, const std::vector<int>& results)
    {
        for (int result : results)
            if (!m_push(function, result))
                return false;
        return true;
    }
    void SetLabel(const char* text) { m_setLabel(text); }
    void SetEndpoints(int firstFrame, int lastFrame, int shift) { m_setEndpoints(firstFrame, lastFrame, shift); }
    int Count(const char* function) const { return m_count(function); }
    // Has the hook called (on the caller's thread) whenever the function is called; null removes it.
    void OnCall(const char* function, void (*hook)()) { m_onCall(function, hook); }

    // The calls so far, one "VRE_Name(arguments)" per entry.
    std::vector<std::string> Calls() const
    {
        std::string text(static_cast<size_t>(m_log(nullptr, 0)) + 1, '\0');
        m_log(&text[0], static_cast<int>(text.size()));
        text.resize(text.size() - 1);
        std::vector<std::string> calls;
        for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            calls.push_back(text.substr(start, end - start));
        return calls;
    }

    // The calls of the given functions only, in order.
    std::vector<std::string> CallsOf(std::initializer_list<const char*> functions) const
    {
        std::vector<std::string> picked;
        for (const std::string& call : Calls()) {
            const std::string name = call.substr(0, call.find('('));
            if (std::find(functions.begin(), functions.end(), name) != functions.end())
                picked.push_back(call);
        }
        return picked;
    }

private:
    template <typename F>
    void Bind(F& function, const char* name)
    {
        function = m_module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m_module, name))) : nullptr;
    }

    HMODULE m_module = nullptr;
    void (*m_reset)() = nullptr;
    int (*m_push)(const char*, int) = nullptr;
    void (*m_setLabel)(const char*) = nullptr;
    void (*m_setEndpoints)(int, int, int) = nullptr;
    void (*m_onCall)(const char*, void (*)()) = nullptr;
    int (*m_count)(const char*) = nullptr;
    int (*m_log)(char*, int) = nullptr;
};

}  // namespace sonvera_test
