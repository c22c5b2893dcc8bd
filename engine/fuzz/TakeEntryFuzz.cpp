// libFuzzer target: the take entry points of the C interface. The input is
// read as 16-bit samples (any length, also odd and empty) plus a few control
// bytes, and goes through the dialog's calls for a take in both modes.
#include "DialogEngineSetup.h"
#include "VoiceEngine.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The dialog's set-up, with a scratch folder of its own.
void SetUp(int mode)
{
    using Setup = SDialogEngineSetup;
    std::error_code ec;
    static const std::string dir = (std::filesystem::temp_directory_path(ec) / "sonvera-fuzz-take").string();
    std::filesystem::create_directories(dir, ec);
    VRE_Initialize();
    VRE_PutDir(dir.c_str());
    VRE_PutMode(mode);
    VRE_PutMaxRepeat(Setup::kEnrolTakes);
    VRE_AnalParams(Setup::kSampleRate, Setup::kTakeMs, Setup::kFrameLength, Setup::kFrameShift);
    VRE_EngineParams(Setup::kCepstra, Setup::kMelChannels, Setup::kMinTrainTakes, Setup::kMaxTemplateFrames);
    VRE_EPDParams(Setup::kMarginMs, Setup::kMaxGapMs, Setup::kMinSpeechMs, Setup::kQuietPower);
    VRE_Security(Setup::kSecurity);
    VRE_PutMode(mode);
    VRE_PutNick("fuzz");
    VRE_SetbAdapt(0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const uint8_t control = data[0];
    std::vector<short> samples((size - 1) / 2);
    if (!samples.empty()) std::memcpy(samples.data(), data + 1, samples.size() * 2);
    // Short fuzz inputs are stretched by repetition, so that the engine sees
    // whole takes with the fuzzed pattern, not only tiny ones.
    if ((control & 0x80) && !samples.empty()) {
        const size_t n = samples.size();
        samples.resize(SDialogEngineSetup::kTakeSamples);
        for (size_t i = n; i < samples.size(); ++i) samples[i] = samples[i % n];
    }
    const int count = static_cast<int>(samples.size());
    const int mode = (control & 1) ? 1 : 2;
    SetUp(mode);
    for (int take = 0; take < ((control & 2) ? 5 : 1); ++take) {
        if (VRE_GetEndpointShort(samples.data(), count, (control >> 2) & 1)) {
            VRE_GetEndpointValue();
            VRE_CheckSexSpeech(samples.data(), count, mode == 1 ? take : 0);
            if (std::strlen(VRE_GetLabelString()) > 4096) __builtin_trap();
        } else {
            VRE_GetErrorNumber();
        }
    }
    if (mode == 1) VRE_Train();
    else {
        VRE_VCopy();
        VRE_Verify();
        VRE_GetbUpdate();
    }
    VRE_DestructMemories();
    VRE_Destruct();
    return 0;
}
