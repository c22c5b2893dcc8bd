// MarzetPcJpn38.dll for tests: the engine's VRE_ exports with results the test
// scripts, for the dialog paths that real takes cannot force (four rejections
// then an acceptance, a failed training, each end-point error, a replay).
// Built only for the tests, into the folder of the tests that load it in place
// of the engine; the library never chooses it.
//
// Scripting, through the Script_ exports (ScriptedEngine.h wraps them):
//   - results are queued per function and consumed one per call; an empty
//     queue gives the function's default: speech found, no error, take
//     usable, model trained, no replay, accepted, model not updated;
//   - every call is logged with its arguments, one line each;
//   - a test may have a function of its own called when an engine function
//     is called (to look at the dialog at that moment);
//   - VRE_Train writes a small model file where the real engine writes its
//     model (<dir>\work\<nick>.bin), so that what follows finds one.
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
    std::map<std::string, int> counts;
    std::map<std::string, void (*)()> hooks;
    std::string log, label, dir, nick;
    int firstFrame = 40, lastFrame = 200, shift = 80;

    void Log(const char* function, const std::string& arguments)
    {
        ++counts[function];
        log += std::string(function) + "(" + arguments + ")\n";
        auto hook = hooks.find(function);
        if (hook != hooks.end())
            hook->second();
    }

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

std::string Ints(std::initializer_list<long long> values)
{
    std::string text;
    for (long long value : values)
        text += (text.empty() ? "" : ",") + std::to_string(value);
    return text;
}

std::string Reals(std::initializer_list<double> values)
{
    std::string text;
    for (double value : values) {
        char number[32];
        std::snprintf(number, sizeof number, "%g", value);
        text += (text.empty() ? "" : ",") + std::string(number);
    }
    return text;
}

std::string Text(const char* text)
{
    return text == nullptr ? "null" : "\"" + std::string(text) + "\"";
}

// Count and loudest sample: enough for a test to see which take arrived.
std::string Samples(const short* samples, int count)
{
    int peak = 0;
    for (int i = 0; samples != nullptr && i < count; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    return std::to_string(count) + ",peak=" + std::to_string(peak);
}

int Logged(const char* function, const std::string& arguments, int result = 1)
{
    TheScript().Log(function, arguments);
    return result;
}

void WriteModelFile()
{
    const Script& script = TheScript();
    const std::string folder = script.dir + "\\work";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\" + script.nick + ".bin";
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fputs("scripted model\n", file);
        std::fclose(file);
    }
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

void Script_SetEndpoints(int firstFrame, int lastFrame, int shift)
{
    TheScript().firstFrame = firstFrame;
    TheScript().lastFrame = lastFrame;
    TheScript().shift = shift;
}

void Script_OnCall(const char* function, void (*hook)(void))
{
    if (function == nullptr)
        return;
    if (hook != nullptr)
        TheScript().hooks[function] = hook;
    else
        TheScript().hooks.erase(function);
}

int Script_Count(const char* function)
{
    return function != nullptr ? TheScript().counts[function] : 0;
}

// Copies the call log (NUL-terminated, cut to the buffer) and returns its full length.
int Script_Log(char* buffer, int size)
{
    const std::string& log = TheScript().log;
    if (buffer != nullptr && size > 0) {
        const size_t copied = std::min(log.size(), static_cast<size_t>(size - 1));
        log.copy(buffer, copied);
        buffer[copied] = '\0';
    }
    return static_cast<int>(log.size());
}

// --- the engine's calls --------------------------------------------------------------

int VRE_CALL VRE_Initialize(void) { return Logged("VRE_Initialize", ""); }
int VRE_CALL VRE_SetbNetVersion(int b) { return Logged("VRE_SetbNetVersion", Ints({b})); }
int VRE_CALL VRE_PutDir(const char* dir)
{
    TheScript().dir = dir != nullptr ? dir : "";
    return Logged("VRE_PutDir", Text(dir));
}
int VRE_CALL VRE_PutMode(int mode) { return Logged("VRE_PutMode", Ints({mode})); }
int VRE_CALL VRE_DestructMemories(void) { return Logged("VRE_DestructMemories", ""); }
int VRE_CALL VRE_Destruct(void) { return Logged("VRE_Destruct", ""); }

int VRE_CALL VRE_PutMaxRepeat(int takes) { return Logged("VRE_PutMaxRepeat", Ints({takes})); }
int VRE_CALL VRE_AnalParams(int rate, int takeMs, int frameLength, int shift)
{
    return Logged("VRE_AnalParams", Ints({rate, takeMs, frameLength, shift}));
}
int VRE_CALL VRE_NoiseParams(int p1, int p2, int p3, int p4) { return Logged("VRE_NoiseParams", Ints({p1, p2, p3, p4})); }
int VRE_CALL VRE_EngineParams(int cepstra, int channels, int minTakes, int maxFrames)
{
    return Logged("VRE_EngineParams", Ints({cepstra, channels, minTakes, maxFrames}));
}
int VRE_CALL VRE_CopyParams(double sensitivity) { return Logged("VRE_CopyParams", Reals({sensitivity})); }
int VRE_CALL VRE_SetbSpeech(int b) { return Logged("VRE_SetbSpeech", Ints({b})); }
int VRE_CALL VRE_SameWordDist(float ratio) { return Logged("VRE_SameWordDist", Reals({ratio})); }
int VRE_CALL VRE_HMMParams(int kind, double spreadFloor, double adaptMargin, double adaptRate, double maxDrift)
{
    return Logged("VRE_HMMParams", Ints({kind}) + "," + Reals({spreadFloor, adaptMargin, adaptRate, maxDrift}));
}
int VRE_CALL VRE_EPDParams(int marginMs, int maxGapMs, int minSpeechMs, int quietPower)
{
    return Logged("VRE_EPDParams", Ints({marginMs, maxGapMs, minSpeechMs, quietPower}));
}
int VRE_CALL VRE_Security(float security) { return Logged("VRE_Security", Reals({security})); }

int VRE_CALL VRE_PutID(const char* id) { return Logged("VRE_PutID", Text(id)); }
int VRE_CALL VRE_PutPW(const char* word) { return Logged("VRE_PutPW", Text(word)); }
int VRE_CALL VRE_PutNick(const char* nick)
{
    TheScript().nick = nick != nullptr ? nick : "";
    return Logged("VRE_PutNick", Text(nick));
}

int VRE_CALL VRE_GetEndpointShort(const short* samples, int count, int bShortWord)
{
    return Logged("VRE_GetEndpointShort", Samples(samples, count) + "," + Ints({bShortWord}),
                  TheScript().Next("VRE_GetEndpointShort"));
}
long long VRE_CALL VRE_GetEndpointValue(void)
{
    const Script& script = TheScript();
    Logged("VRE_GetEndpointValue", "");
    return static_cast<long long>(static_cast<unsigned long long>(static_cast<unsigned>(script.lastFrame)) << 32 |
                                  static_cast<unsigned>(script.firstFrame));
}
int VRE_CALL VRE_GetShiftValue(void) { return Logged("VRE_GetShiftValue", "", TheScript().shift); }
int VRE_CALL VRE_GetErrorNumber(void) { return Logged("VRE_GetErrorNumber", "", TheScript().Next("VRE_GetErrorNumber")); }
int VRE_CALL VRE_CheckSexSpeech(const short* samples, int count, int index)
{
    return Logged("VRE_CheckSexSpeech", Samples(samples, count) + "," + Ints({index}),
                  TheScript().Next("VRE_CheckSexSpeech"));
}
const char* VRE_CALL VRE_GetLabelString(void)
{
    Logged("VRE_GetLabelString", "");
    return TheScript().label.c_str();
}

int VRE_CALL VRE_Train(void)
{
    const int trained = TheScript().Next("VRE_Train");
    if (trained)
        WriteModelFile();
    return Logged("VRE_Train", "", trained);
}
int VRE_CALL VRE_VCopy(void) { return Logged("VRE_VCopy", "", TheScript().Next("VRE_VCopy")); }
int VRE_CALL VRE_Verify(void) { return Logged("VRE_Verify", "", TheScript().Next("VRE_Verify")); }
int VRE_CALL VRE_GetbUpdate(void) { return Logged("VRE_GetbUpdate", "", TheScript().Next("VRE_GetbUpdate")); }

int VRE_CALL VRE_SetbAdapt(int b) { return Logged("VRE_SetbAdapt", Ints({b})); }
double VRE_CALL VRE_GetScore(void) { return Logged("VRE_GetScore", ""), 0.0; }
double VRE_CALL VRE_GetThreshold(void) { return Logged("VRE_GetThreshold", ""), 0.0; }
double VRE_CALL VRE_GetScorePart(int part) { return Logged("VRE_GetScorePart", Ints({part})), 0.0; }
double VRE_CALL VRE_GetModelPart(int part) { return Logged("VRE_GetModelPart", Ints({part})), 0.0; }
double VRE_CALL VRE_GetCopyDistance(void) { return Logged("VRE_GetCopyDistance", ""), 0.0; }
double VRE_CALL VRE_GetTakeSnr(void) { return Logged("VRE_GetTakeSnr", ""), 0.0; }
double VRE_CALL VRE_GetCopyPitchDistance(void) { return Logged("VRE_GetCopyPitchDistance", ""), 0.0; }
double VRE_CALL VRE_GetCopyWaveform(void) { return Logged("VRE_GetCopyWaveform", ""), 0.0; }

}  // extern "C"
