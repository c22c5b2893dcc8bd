// MarzetPcJpn38.dll for tests (built only for them, into their folder): the
// engine's VRE_ exports with results the test scripts through the Script_
// exports, for the dialog paths real takes cannot force. Results are queued
// per function, one a call; an empty queue gives the function's default
// (speech found, no error, take usable, model trained, no replay, accepted,
// not updated). Every call is logged with its arguments; a test's hook may
// run at a call.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <string>

#include "engine/VoiceEngine.h"

namespace {

struct Script {
    std::map<std::string, std::deque<int>> queued;
    std::map<std::string, int> defaults = {{"VRE_GetEndpointShort", 1}, {"VRE_GetErrorNumber", 0},
                                           {"VRE_CheckSexSpeech", 1},   {"VRE_Train", 1},
                                           {"VRE_VCopy", 1},            {"VRE_Verify", 1},
                                           {"VRE_GetbUpdate", 0}};
    std::map<std::string, void (*)()> hooks;
    std::string log, label;

    // The next scripted result of a function, or its default.
    int Next(const char* function)
    {
        std::deque<int>& queue = queued[function];
        if (queue.empty())
            return defaults[function];
        const int result = queue.front();
        queue.pop_front();
        return result;
    }
};

Script& TheScript()
{
    static Script script;
    return script;
}

std::string Argument(int value) { return std::to_string(value); }
std::string Argument(const std::string& text) { return text; }
std::string Argument(const char* text) { return text == nullptr ? "null" : "\"" + std::string(text) + "\""; }
std::string Argument(double value)
{
    char number[32];
    std::snprintf(number, sizeof number, "%g", value);
    return number;
}

// Logs the call with its arguments, runs the test's hook, and gives the result.
template <typename... Args>
int Logged(int result, const char* function, Args... args)
{
    Script& script = TheScript();
    std::string arguments;
    ((arguments += (arguments.empty() ? "" : ",") + Argument(args)), ...);
    script.log += std::string(function) + "(" + arguments + ")\n";
    auto hook = script.hooks.find(function);
    if (hook != script.hooks.end())
        hook->second();
    return result;
}

// Count and loudest sample: enough for a test to see which take arrived.
std::string Samples(const short* samples, int count)
{
    int peak = 0;
    for (int i = 0; samples != nullptr && i < count; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    return std::to_string(count) + ",peak=" + std::to_string(peak);
}

}  // namespace

extern "C" {

// --- the script ------------------------------------------------------------------

void Script_Reset(void) { TheScript() = Script(); }

int Script_Push(const char* function, int result)
{
    Script& script = TheScript();
    if (function == nullptr || script.defaults.count(function) == 0)
        return 0;
    script.queued[function].push_back(result);
    return 1;
}

void Script_SetLabel(const char* text) { TheScript().label = text != nullptr ? text : ""; }

void Script_OnCall(const char* function, void (*hook)(void)) { TheScript().hooks[function] = hook; }

// The call log, valid until the next call.
const char* Script_Log(void) { return TheScript().log.c_str(); }

// --- the engine's calls --------------------------------------------------------------

int VRE_CALL VRE_Initialize(void) { return Logged(1, __func__); }
int VRE_CALL VRE_SetbNetVersion(int b) { return Logged(1, __func__, b); }
int VRE_CALL VRE_PutDir(const char* dir) { return Logged(1, __func__, dir); }
int VRE_CALL VRE_PutMode(int mode) { return Logged(1, __func__, mode); }
int VRE_CALL VRE_DestructMemories(void) { return Logged(1, __func__); }
int VRE_CALL VRE_Destruct(void) { return Logged(1, __func__); }

int VRE_CALL VRE_PutMaxRepeat(int takes) { return Logged(1, __func__, takes); }
int VRE_CALL VRE_AnalParams(int a, int b, int c, int d) { return Logged(1, __func__, a, b, c, d); }
int VRE_CALL VRE_NoiseParams(int a, int b, int c, int d) { return Logged(1, __func__, a, b, c, d); }
int VRE_CALL VRE_EngineParams(int a, int b, int c, int d) { return Logged(1, __func__, a, b, c, d); }
int VRE_CALL VRE_CopyParams(double sensitivity) { return Logged(1, __func__, sensitivity); }
int VRE_CALL VRE_SetbSpeech(int b) { return Logged(1, __func__, b); }
int VRE_CALL VRE_SameWordDist(float ratio) { return Logged(1, __func__, double(ratio)); }
int VRE_CALL VRE_HMMParams(int kind, double a, double b, double c, double d)
{
    return Logged(1, __func__, kind, a, b, c, d);
}
int VRE_CALL VRE_EPDParams(int a, int b, int c, int d) { return Logged(1, __func__, a, b, c, d); }
int VRE_CALL VRE_Security(float security) { return Logged(1, __func__, double(security)); }

int VRE_CALL VRE_PutID(const char* id) { return Logged(1, __func__, id); }
int VRE_CALL VRE_PutPW(const char* word) { return Logged(1, __func__, word); }
int VRE_CALL VRE_PutNick(const char* nick) { return Logged(1, __func__, nick); }

int VRE_CALL VRE_GetEndpointShort(const short* samples, int count, int bShortWord)
{
    return Logged(TheScript().Next(__func__), __func__, Samples(samples, count), bShortWord);
}
// Frames 62 to 146 of 80 samples: 0.45 s to 1.06 s.
long long VRE_CALL VRE_GetEndpointValue(void)
{
    Logged(1, __func__);
    return (146LL << 32) | 62;
}
int VRE_CALL VRE_GetShiftValue(void) { return Logged(80, __func__); }
int VRE_CALL VRE_GetErrorNumber(void) { return Logged(TheScript().Next(__func__), __func__); }
int VRE_CALL VRE_CheckSexSpeech(const short* samples, int count, int index)
{
    return Logged(TheScript().Next(__func__), __func__, Samples(samples, count), index);
}
const char* VRE_CALL VRE_GetLabelString(void)
{
    Logged(1, __func__);
    return TheScript().label.c_str();
}

int VRE_CALL VRE_Train(void) { return Logged(TheScript().Next(__func__), __func__); }
int VRE_CALL VRE_VCopy(void) { return Logged(TheScript().Next(__func__), __func__); }
int VRE_CALL VRE_Verify(void) { return Logged(TheScript().Next(__func__), __func__); }
int VRE_CALL VRE_GetbUpdate(void) { return Logged(TheScript().Next(__func__), __func__); }

}  // extern "C"
