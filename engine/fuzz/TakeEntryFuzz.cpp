// libFuzzer target: the take entry points of the C interface. The input is
// read as a control byte and 16-bit samples (any length, also odd and
// empty), which go through the dialog's calls for a take in both modes: in
// enrolment, as one take said five times or as five takes in turn.
//
// With SONVERA_FUZZ_SEED_DIR set, the target first writes takes of a
// synthetic voice there: an enrolment of five takes and verifications of
// the same voice, said with another melody, loud, soft and through a
// telephone line, so that training and every score path are reached from
// the start (random samples hardly ever pass the end points); and two
// inputs that enrol and then verify (kEnrolThenVerify): a clean enrolment
// and a take in a louder room, matched to its noise, and an enrolment in a
// noisy room and a take in a room of another colour, held stricter
// unmatched. At exit the target prints how the verified takes were held
// for their noise.
#include "DialogEngineSetup.h"
#include "SyntheticVoice.h"
#include "VoiceEngine.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

// The input's control byte.
constexpr uint8_t kEnrolMode = 0x01;     // else verification
constexpr uint8_t kFiveTakes = 0x02;     // else one
constexpr uint8_t kShortWord = 0x04;
// With kFiveTakes: each take is its own fifth of the samples, not all of
// them; five copies of one take never train (the model learns the spread
// between its takes).
constexpr uint8_t kSplitTakes = 0x08;
// Enrol five takes from the first five sixths of the samples, then verify
// the last sixth against the model they trained.
constexpr uint8_t kEnrolThenVerify = 0x10;
constexpr uint8_t kStretch = 0x80;       // repeat the samples over a whole take

// How the verified takes were held for their noise (VRE_GetScorePart 33).
unsigned long long g_verified = 0;
unsigned long long g_holds[4] = {};

void Report()
{
    std::fprintf(stderr, "take entry: %llu verifications, takes held %llu as the path, %llu matched, %llu shifted, "
                 "%llu matched over the bound\n",
                 g_verified, g_holds[0], g_holds[1], g_holds[2], g_holds[3]);
}

// Short fuzz inputs are stretched by repetition, so that the engine sees
// whole takes with the fuzzed pattern, not only tiny ones.
void StretchToTake(std::vector<short>& take)
{
    const size_t n = take.size();
    if (n == 0) return;
    take.resize(SDialogEngineSetup::kTakeSamples);
    for (size_t i = n; i < take.size(); ++i) take[i] = take[i % n];
}

void WriteSeed(const std::string& path, uint8_t control, const std::vector<short>& samples)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    std::fwrite(&control, 1, 1, f);
    std::fwrite(samples.data(), sizeof(short), samples.size(), f);
    std::fclose(f);
}

void WriteSeeds(const std::string& dir)
{
    const int n = SDialogEngineSetup::kTakeSamples;
    std::vector<short> take, takes;
    // Five takes of one voice, each with a melody and a pitch of its own;
    // loud: the formants' gain brings the word near full scale.
    SSyntheticVoice voice;
    voice.peak = 3000.0;
    voice.glideHz = 88.0;
    for (int t = 0; t < 5; ++t) {
        voice.pitchHz = 118.0 + 2.0 * t;
        voice.melodySemitones = -1.0 + 0.5 * t;
        voice.noiseSeed = static_cast<uint32_t>(t);
        MakeSyntheticTake(voice, n, take);
        takes.insert(takes.end(), take.begin(), take.end());
    }
    WriteSeed(dir + "/seed-enrol.bin", kEnrolMode | kFiveTakes | kSplitTakes | kShortWord, takes);
    // The same voice with a melody none of them had: loud, through a line,
    // 10 dB softer and 30 dB softer.
    voice.pitchHz = 121.0;
    voice.melodySemitones = 2.5;
    voice.noiseSeed = 7;
    const struct {
        const char* name;
        double peak;
        bool throughLine;
    } verifications[] = {{"loud", 3000.0, false}, {"line", 3000.0, true}, {"middle", 1000.0, false},
                         {"soft", 100.0, false}};
    for (const auto& v : verifications) {
        voice.peak = v.peak;
        voice.throughLine = v.throughLine;
        MakeSyntheticTake(voice, n, take);
        WriteSeed(dir + "/seed-verify-" + v.name + ".bin", kShortWord, take);
    }
    // Enrolled in one room, verified in another: matched to the take's
    // noise, well over the clean enrolment's; held stricter unmatched, a
    // room coloured otherwise than the noisy enrolment's at its level.
    const struct {
        const char* name;
        double enrolGain, verifyGain, verifyCornerHz;
    } rooms[] = {{"matched", 1.0, 16.0, 0.0}, {"shifted", 32.0, 24.0, 2500.0}};
    for (const auto& room : rooms) {
        takes.clear();
        voice.peak = 3000.0;
        voice.throughLine = false;
        voice.noiseGain = room.enrolGain;
        voice.noiseCornerHz = 0.0;
        for (int t = 0; t < 6; ++t) {
            voice.pitchHz = 118.0 + 2.0 * t;
            voice.melodySemitones = -1.0 + 0.5 * t;
            voice.noiseSeed = static_cast<uint32_t>(20 + t);
            if (t == 5) {
                voice.noiseGain = room.verifyGain;
                voice.noiseCornerHz = room.verifyCornerHz;
            }
            MakeSyntheticTake(voice, n, take);
            takes.insert(takes.end(), take.begin(), take.end());
        }
        WriteSeed(dir + "/seed-rooms-" + room.name + ".bin", kEnrolThenVerify | kShortWord, takes);
    }
}

void Verify()
{
    VRE_VCopy();
    VRE_Verify();
    // Accepted or not, a scored take says how it was held (an unscored one
    // reads as held by its path).
    const double hold = VRE_GetScorePart(33);
    ++g_verified;
    if (hold >= 0.0 && hold <= 3.0) ++g_holds[static_cast<int>(hold)];
    VRE_GetbUpdate();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* dir = std::getenv("SONVERA_FUZZ_SEED_DIR")) WriteSeeds(dir);
    std::atexit(Report);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const uint8_t control = data[0];
    std::vector<short> samples((size - 1) / 2);
    if (!samples.empty()) std::memcpy(samples.data(), data + 1, samples.size() * 2);
    const bool thenVerify = (control & kEnrolThenVerify) != 0;
    const int takes = thenVerify || (control & kFiveTakes) ? 5 : 1;
    const int pieces = thenVerify ? 6 : takes > 1 && (control & kSplitTakes) ? takes : 1;
    std::vector<std::vector<short>> piece(static_cast<size_t>(pieces));
    for (int p = 0; p < pieces; ++p) {
        piece[p].assign(samples.begin() + samples.size() * p / pieces, samples.begin() + samples.size() * (p + 1) / pieces);
        if (control & kStretch) StretchToTake(piece[p]);
    }
    const int mode = thenVerify || (control & kEnrolMode) ? 1 : 2;
    SetUp(mode);
    for (int take = 0; take < takes; ++take) {
        std::vector<short>& s = piece[take % pieces];
        const int count = static_cast<int>(s.size());
        if (VRE_GetEndpointShort(s.data(), count, (control & kShortWord) ? 1 : 0)) {
            VRE_GetEndpointValue();
            VRE_CheckSexSpeech(s.data(), count, mode == 1 ? take : 0);
            if (std::strlen(VRE_GetLabelString()) > 4096) __builtin_trap();
        } else {
            VRE_GetErrorNumber();
        }
    }
    if (mode == 1) VRE_Train();
    else Verify();
    if (thenVerify) {
        SetUp(2);
        std::vector<short>& s = piece[5];
        if (VRE_GetEndpointShort(s.data(), static_cast<int>(s.size()), (control & kShortWord) ? 1 : 0)) {
            VRE_CheckSexSpeech(s.data(), static_cast<int>(s.size()), 0);
            Verify();
        }
    }
    VRE_DestructMemories();
    VRE_Destruct();
    return 0;
}
