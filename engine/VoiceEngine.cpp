// VoiceEngine.cpp - the exported C functions over the one engine object.
//
// The VRE_ names are the engine's public face and stay here; each maps to
// the engine's function that says what it does (VRE_CheckSexSpeech is the
// take check, VRE_VCopy the replay check with its result turned round,
// VRE_HMMParams the model adaptation's set-up). The engine serves one
// dialog at a time, so a single object with static storage holds its state;
// nothing here allocates or throws across the C boundary.
#include "VoiceEngine.h"

#include "SpeakerEngine.h"
#include "SpeakerScorer.h"

#include <new>

namespace {

CSpeakerEngine& Engine()
{
    static CSpeakerEngine engine;
    return engine;
}

// Catches anything the C++ side throws (std::bad_alloc from a string) so that
// it never crosses into the caller; the call then fails with `fallback`.
template <typename T, typename F>
T Guard(T fallback, F f)
{
    try {
        return f();
    } catch (...) {
        return fallback;
    }
}

} // namespace

extern "C" {

int VRE_CALL VRE_Initialize(void) { return Guard(0, [] { return Engine().Initialize(); }); }
int VRE_CALL VRE_SetbNetVersion(int b) { return Engine().SetNetVersion(b); }
int VRE_CALL VRE_PutDir(const char* dir) { return Guard(0, [&] { return Engine().SetFolder(dir); }); }
int VRE_CALL VRE_PutMode(int mode) { return Engine().SetMode(mode); }
int VRE_CALL VRE_DestructMemories(void) { return Engine().ForgetTakes(); }
int VRE_CALL VRE_Destruct(void) { return Engine().Shutdown(); }

int VRE_CALL VRE_PutMaxRepeat(int takes) { return Engine().SetEnrolTakes(takes); }
int VRE_CALL VRE_AnalParams(int rate, int takeMs, int frameLength, int shift)
{
    return Guard(0, [&] { return Engine().SetAnalysis(rate, takeMs, frameLength, shift); });
}
int VRE_CALL VRE_NoiseParams(int subtraction, int fixedFloorDb, int floorMarginDb, int bAdaptiveFloor)
{
    return Engine().SetNoiseParams(SNoiseParams{subtraction, fixedFloorDb, floorMarginDb, bAdaptiveFloor});
}
int VRE_CALL VRE_EngineParams(int cepstra, int channels, int minTakes, int maxFrames)
{
    return Guard(0, [&] { return Engine().SetModelShape(cepstra, channels, minTakes, maxFrames); });
}
int VRE_CALL VRE_CopyParams(double sensitivity) { return Engine().SetReplaySensitivity(sensitivity); }
int VRE_CALL VRE_SetbSpeech(int b) { return Engine().SetSpeechFlag(b); }
int VRE_CALL VRE_SameWordDist(float ratio) { return Engine().SetSameWordRatio(ratio); }
int VRE_CALL VRE_HMMParams(int kind, double spreadFloor, double adaptMargin, double adaptRate, double maxDrift)
{
    return Engine().SetAdaptation(kind, spreadFloor, adaptMargin, adaptRate, maxDrift);
}
int VRE_CALL VRE_EPDParams(int marginMs, int maxGapMs, int minSpeechMs, int quietPower)
{
    return Guard(0, [&] { return Engine().SetEndpointParams(marginMs, maxGapMs, minSpeechMs, quietPower); });
}
int VRE_CALL VRE_Security(float security) { return Engine().SetSecurity(security); }

int VRE_CALL VRE_PutID(const char* id) { return Guard(0, [&] { return Engine().SetUserId(id); }); }
int VRE_CALL VRE_PutPW(const char* word) { return Guard(0, [&] { return Engine().SetWord(word); }); }
int VRE_CALL VRE_PutNick(const char* nick) { return Guard(0, [&] { return Engine().SetNick(nick); }); }

int VRE_CALL VRE_GetEndpointShort(const short* samples, int count, int bShortWord)
{
    return Guard(0, [&] { return Engine().FindWord(samples, count, bShortWord); });
}
long long VRE_CALL VRE_GetEndpointValue(void) { return Engine().WordFrames(); }
int VRE_CALL VRE_GetShiftValue(void) { return Engine().FrameShift(); }
int VRE_CALL VRE_GetErrorNumber(void) { return Engine().ErrorNumber(); }
int VRE_CALL VRE_CheckSexSpeech(const short* samples, int count, int index)
{
    return Guard(0, [&] { return Engine().CheckTake(samples, count, index); });
}
const char* VRE_CALL VRE_GetLabelString(void) { return Engine().Reason(); }

int VRE_CALL VRE_Train(void) { return Guard(0, [] { return Engine().Train(); }); }
int VRE_CALL VRE_VCopy(void) { return Guard(1, [] { return Engine().IsReplay() ? 0 : 1; }); }
int VRE_CALL VRE_Verify(void) { return Guard(0, [] { return Engine().Verify(); }); }
int VRE_CALL VRE_GetbUpdate(void) { return Engine().ModelUpdated(); }

int VRE_CALL VRE_SetbAdapt(int b) { return Engine().SetAdaptationOn(b); }
double VRE_CALL VRE_GetScore(void) { return Engine().LastScore(); }
double VRE_CALL VRE_GetThreshold(void) { return Engine().Threshold(); }
double VRE_CALL VRE_GetScorePart(int part) { return Engine().LastScorePart(part); }
double VRE_CALL VRE_GetModelPart(int part) { return Engine().ModelPart(part); }
double VRE_CALL VRE_GetCopyDistance(void) { return Engine().LastReplayDistance(); }
double VRE_CALL VRE_GetCopyPitchDistance(void) { return Engine().LastReplayPitchDistance(); }
double VRE_CALL VRE_GetCopyWaveform(void) { return Engine().LastReplayWaveform(); }
double VRE_CALL VRE_GetTakeSnr(void) { return Engine().TakeSnr(); }

} // extern "C"
