// The test's hold on the scripted engine double (ScriptedEngine.cpp), loaded
// in place of MarzetPcJpn38.dll: its Script_ exports.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace sonvera_test {

class CScriptedEngine {
public:
    // True when the engine this program runs with is the double.
    bool IsLoaded() const { return Export<void (*)()>("Script_Reset") != nullptr; }

    void Reset() { Export<void (*)()>("Script_Reset")(); }
    // Queues results of one function; false for a function the double does not script.
    bool Push(const char* function, const std::vector<int>& results)
    {
        const auto push = Export<int (*)(const char*, int)>("Script_Push");
        return std::all_of(results.begin(), results.end(), [&](int result) { return push(function, result) != 0; });
    }
    void SetLabel(const char* text) { Export<void (*)(const char*)>("Script_SetLabel")(text); }
    int Count(const char* function) const { return static_cast<int>(CallsOf({function}).size()); }
    // Has the hook called (on the caller's thread) whenever the function is called.
    void OnCall(const char* function, void (*hook)())
    {
        Export<void (*)(const char*, void (*)())>("Script_OnCall")(function, hook);
    }

    // The calls of the given functions so far, in order, one "VRE_Name(arguments)" each.
    std::vector<std::string> CallsOf(std::initializer_list<const char*> functions) const
    {
        const std::string text = Export<const char* (*)()>("Script_Log")();
        std::vector<std::string> picked;
        for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
            const std::string call = text.substr(start, end - start);
            if (std::find(functions.begin(), functions.end(), call.substr(0, call.find('('))) != functions.end())
                picked.push_back(call);
        }
        return picked;
    }

private:
    template <typename F>
    static F Export(const char* name)
    {
        HMODULE engine = GetModuleHandleA("MarzetPcJpn38.dll");
        return engine ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(engine, name))) : nullptr;
    }
};

}  // namespace sonvera_test
