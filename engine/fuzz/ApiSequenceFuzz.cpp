// libFuzzer target: the C interface called in any order, with any values.
// The input is a program: each byte picks a VRE_ call, the bytes after it
// give the call's values (integers, floats including NaN and infinities,
// texts). Takes come from the input's own bytes or from a synthetic voice
// whose formants glide, also through a telephone line (so that end points,
// the take check, training, verification on every score path, the replay
// check and adaptation are all reached). Model files go to one scratch
// folder under the system's temporary folder.
//
// With SONVERA_FUZZ_SEED_DIR set, the target first writes programs there
// that enrol and verify the synthetic voice (seed-loud.bin, seed-soft.bin),
// and two that enrol it in one room and verify it in another: a clean
// enrolment and a take in a louder room, matched to its noise
// (seed-room-matched.bin), and an enrolment in a noisy room and a take in a
// room of another colour, held stricter unmatched (seed-room-shifted.bin).
// At exit the target prints how the verified takes were held for their
// noise.
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

constexpr int kTakeSamples = 33075;

// The calls a program's byte picks (byte % kOps).
enum EOp {
    kOpInitialize, kOpDestruct, kOpDestructMemories, kOpPutDir, kOpPutMode, kOpPutMaxRepeat, kOpAnalParams,
    kOpNoiseParams, kOpEngineParams, kOpCopyParams, kOpSetbSpeech, kOpSameWordDist, kOpHMMParams, kOpEPDParams,
    kOpSecurity, kOpPutID, kOpPutPW, kOpPutNick, kOpSyntheticTake, kOpPatternTake, kOpEndpoint,
    kOpEndpointValues, kOpCheckTake, kOpTrain, kOpVCopy, kOpVerify, kOpGetbUpdate, kOpSetbAdapt, kOpScores,
    kOpSetbNetVersion, kOpRoom,
    kOps
};

class CProgram {
public:
    CProgram(const uint8_t* data, size_t size) : m_p(data), m_left(size) {}
    bool Done() const { return m_left == 0; }
    uint8_t Byte()
    {
        if (m_left == 0) return 0;
        --m_left;
        return *m_p++;
    }
    int Int()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
        return static_cast<int>(v);
    }
    // Small values most of the time, any value sometimes.
    int Value(int typical)
    {
        const uint8_t kind = Byte();
        if (kind < 200) return typical + static_cast<int>(kind % 16) - 8;
        return Int();
    }
    float Float()
    {
        const uint32_t v = static_cast<uint32_t>(Int());
        float f;
        std::memcpy(&f, &v, 4);
        return f;
    }
    double Double() { return Float(); }
    std::string Text()
    {
        std::string s;
        for (uint8_t n = Byte() % 40; n > 0; --n) s += static_cast<char>(Byte() | 1);
        return s;
    }

private:
    const uint8_t* m_p;
    size_t m_left;
};

std::string ScratchFolder()
{
    static const std::string dir = [] {
        std::error_code ec;
        const std::filesystem::path p = std::filesystem::temp_directory_path(ec) / "sonvera-fuzz-api";
        std::filesystem::create_directories(p, ec);
        return p.string();
    }();
    return dir;
}

// The room the synthetic takes are said in (kOpRoom): its noise's gain and
// colour.
struct SRoom {
    double noiseGain = 1.0;
    double noiseCornerHz = 0.0;
};

// How the verified takes were held for their noise (VRE_GetScorePart 33).
unsigned long long g_verified = 0;
unsigned long long g_holds[4] = {};

void Report()
{
    std::fprintf(stderr, "api sequence: %llu verifications, takes held %llu as the path, %llu matched, %llu shifted, "
                 "%llu matched over the bound\n",
                 g_verified, g_holds[0], g_holds[1], g_holds[2], g_holds[3]);
}

// A voiced word whose two formants glide, over the room's noise: pitch,
// start, length, level, glide, the noise, the melody and whether the take
// came through a telephone line come from the program.
void SyntheticTake(CProgram& program, const SRoom& room, std::vector<short>& take)
{
    SSyntheticVoice voice;
    voice.noiseGain = room.noiseGain;
    voice.noiseCornerHz = room.noiseCornerHz;
    voice.pitchHz = 80.0 + program.Byte() * 1.2;
    voice.start = program.Byte() * 100;
    voice.length = 1000 + program.Byte() * 60;
    voice.peak = 50.0 + program.Byte() * 120.0;
    voice.glideHz = (program.Byte() - 128) * 4.0;
    voice.noiseSeed = static_cast<uint32_t>(program.Byte()) * 2654435761u;
    voice.melodySemitones = (program.Byte() - 128) / 32.0;
    voice.throughLine = (program.Byte() & 1) != 0;
    MakeSyntheticTake(voice, kTakeSamples, take);
}

// A seed program: the dialog's set-up, an enrolment of five takes of one
// synthetic voice, then verification of the same voice at levels from soft
// to loud and once through a telephone line, with adaptation on. Found by
// mutation alone, this forty-call sequence stays out of reach for minutes,
// and with it training, the noise figure, the weights, every score path and
// the adapted templates.
class CSeedProgram {
public:
    void Op(EOp op) { m_bytes.push_back(static_cast<uint8_t>(op)); }
    // A byte that Value(typical) reads as `typical` plus `offset`.
    void Value(int offset = 0) { m_bytes.push_back(static_cast<uint8_t>(8 + offset)); }
    void Byte(uint8_t b) { m_bytes.push_back(b); }
    // kOpRoom's bytes: the gain in quarters, the corner in 20 Hz.
    void Room(uint8_t gainQuarters, uint8_t corner20Hz)
    {
        Op(kOpRoom);
        Byte(gainQuarters);
        Byte(corner20Hz);
    }
    // melody: 128 + 32 per semitone.
    void Take(uint8_t pitch, uint8_t peak, uint8_t seed, uint8_t melody, bool throughLine)
    {
        Op(kOpSyntheticTake);
        // pitch, start (5000), length (5800 samples), peak, glide, noise, melody, line
        for (uint8_t b : {pitch, uint8_t{50}, uint8_t{80}, peak, uint8_t{150}, seed, melody, uint8_t{throughLine}})
            Byte(b);
        Op(kOpEndpoint);
        Byte(0);     // the whole take
        Byte(1);     // a short word
    }
    bool Write(const std::string& path) const
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) return false;
        const bool ok = std::fwrite(m_bytes.data(), 1, m_bytes.size(), f) == m_bytes.size();
        return std::fclose(f) == 0 && ok;
    }

private:
    std::vector<uint8_t> m_bytes;
};

// The dialog's set-up for an enrolment.
void SetUpEnrolment(CSeedProgram& p)
{
    p.Op(kOpInitialize);
    p.Op(kOpPutDir);
    p.Byte(0);
    p.Op(kOpPutMode);
    p.Value();     // enrolment
    p.Op(kOpPutMaxRepeat);
    p.Value();
    p.Op(kOpEPDParams);
    for (int i = 0; i < 4; ++i) p.Value();
    p.Op(kOpPutNick);
    p.Byte(0);
}

void WriteSeed(const std::string& path, uint8_t enrolPeak)
{
    CSeedProgram p;
    SetUpEnrolment(p);
    for (int t = 0; t < 5; ++t) {
        p.Take(static_cast<uint8_t>(33 + t), enrolPeak, static_cast<uint8_t>(t), static_cast<uint8_t>(96 + 16 * t),
               false);
        p.Op(kOpCheckTake);
        p.Value(t);
    }
    p.Op(kOpTrain);
    p.Op(kOpPutMode);
    p.Value(1);    // verification
    const uint8_t peaks[] = {1, 3, 10, 30, 100, 200};
    for (size_t i = 0; i <= sizeof(peaks); ++i) {
        const bool line = i == sizeof(peaks);
        p.Take(36, line ? enrolPeak : peaks[i], static_cast<uint8_t>(10 + i), static_cast<uint8_t>(200 + 4 * i), line);
        p.Op(kOpVCopy);
        p.Op(kOpVerify);
        p.Op(kOpGetbUpdate);
        p.Op(kOpScores);
        p.Value();
        p.Value();
    }
    p.Write(path);
}

// Five takes enrolled in one room (gain in quarters, corner in 20 Hz, 0:
// white), one verified in another, the word 2930 LSB loud.
void WriteRoomSeed(const std::string& path, uint8_t enrolGain, uint8_t verifyGain, uint8_t verifyCorner)
{
    const uint8_t peak = 24;
    CSeedProgram p;
    SetUpEnrolment(p);
    p.Room(enrolGain, 0);
    for (int t = 0; t < 5; ++t) {
        p.Take(static_cast<uint8_t>(33 + t), peak, static_cast<uint8_t>(20 + t), static_cast<uint8_t>(96 + 16 * t),
               false);
        p.Op(kOpCheckTake);
        p.Value(t);
    }
    p.Op(kOpTrain);
    p.Op(kOpPutMode);
    p.Value(1);    // verification
    p.Room(verifyGain, verifyCorner);
    p.Take(36, peak, 30, 216, false);
    p.Op(kOpCheckTake);
    p.Value();
    p.Op(kOpVCopy);
    p.Op(kOpVerify);
    p.Op(kOpScores);
    p.Value(32);
    p.Value();
    p.Write(path);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* dir = std::getenv("SONVERA_FUZZ_SEED_DIR")) {
        WriteSeed(std::string(dir) + "/seed-loud.bin", 200);
        WriteSeed(std::string(dir) + "/seed-soft.bin", 20);
        WriteRoomSeed(std::string(dir) + "/seed-room-matched.bin", 4, 64, 0);
        WriteRoomSeed(std::string(dir) + "/seed-room-shifted.bin", 128, 96, 125);
    }
    std::atexit(Report);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CProgram program(data, size);
    std::vector<short> take(kTakeSamples, 0);
    SRoom room;
    const std::string dir = ScratchFolder();
    const char* const nicks[] = {"aaj", "abj", "acj", "", "..", "a/b", "x\\y"};
    const char* const dirs[] = {dir.c_str(), "", "/nonexistent/sonvera"};
    for (int steps = 0; steps < 200 && !program.Done(); ++steps) {
        switch (program.Byte() % kOps) {
        case kOpInitialize: VRE_Initialize(); break;
        case kOpDestruct: VRE_Destruct(); break;
        case kOpDestructMemories: VRE_DestructMemories(); break;
        case kOpPutDir: VRE_PutDir(dirs[program.Byte() % 3]); break;
        case kOpPutMode: VRE_PutMode(program.Value(1)); break;
        case kOpPutMaxRepeat: VRE_PutMaxRepeat(program.Value(5)); break;
        case kOpAnalParams: {
            const int rate = program.Value(11025), ms = program.Value(3000), length = program.Value(240);
            VRE_AnalParams(rate, ms, length, program.Value(80));
            break;
        }
        case kOpNoiseParams: VRE_NoiseParams(program.Int(), program.Int(), program.Int(), program.Value(1)); break;
        case kOpEngineParams: {
            const int cepstra = program.Value(16), channels = program.Value(19), minTakes = program.Value(5);
            VRE_EngineParams(cepstra, channels, minTakes, program.Value(128));
            break;
        }
        case kOpCopyParams: VRE_CopyParams(program.Double()); break;
        case kOpSetbSpeech: VRE_SetbSpeech(program.Int()); break;
        case kOpSameWordDist: VRE_SameWordDist(program.Float()); break;
        case kOpHMMParams: {
            const int kind = program.Value(1);
            const double floor = program.Double(), margin = program.Double(), rate = program.Double();
            VRE_HMMParams(kind, floor, margin, rate, program.Double());
            break;
        }
        case kOpEPDParams: {
            const int margin = program.Value(60), gap = program.Value(250), word = program.Value(200);
            VRE_EPDParams(margin, gap, word, program.Value(100000));
            break;
        }
        case kOpSecurity: VRE_Security(program.Float()); break;
        case kOpPutID: VRE_PutID(program.Text().c_str()); break;
        case kOpPutPW: VRE_PutPW(program.Text().c_str()); break;
        case kOpPutNick: VRE_PutNick(nicks[program.Byte() % 7]); break;
        case kOpSyntheticTake: SyntheticTake(program, room, take); break;
        case kOpRoom:
            room.noiseGain = program.Byte() / 4.0;
            room.noiseCornerHz = program.Byte() * 20.0;
            break;
        case kOpPatternTake: {
            // The program's own bytes as samples, repeated over the take.
            const size_t n = 1 + program.Byte();
            std::vector<short> pattern(n);
            for (short& s : pattern) s = static_cast<short>(program.Byte() | (program.Byte() << 8));
            for (int i = 0; i < kTakeSamples; ++i) take[i] = pattern[i % n];
            break;
        }
        case kOpEndpoint: {
            const int counts[] = {kTakeSamples, 0, -1, 100, 240, 5000, kTakeSamples - 1};
            VRE_GetEndpointShort(take.data(), counts[program.Byte() % 7], program.Byte() & 1);
            break;
        }
        case kOpEndpointValues:
            VRE_GetEndpointValue();
            VRE_GetShiftValue();
            VRE_GetErrorNumber();
            if (std::strlen(VRE_GetLabelString()) > 4096) __builtin_trap();
            break;
        case kOpCheckTake: VRE_CheckSexSpeech(take.data(), kTakeSamples, program.Value(0)); break;
        case kOpTrain: VRE_Train(); break;
        case kOpVCopy: VRE_VCopy(); break;
        case kOpVerify: {
            VRE_Verify();
            const double hold = VRE_GetScorePart(33);
            ++g_verified;
            if (hold >= 0.0 && hold <= 3.0) ++g_holds[static_cast<int>(hold)];
            break;
        }
        case kOpGetbUpdate: VRE_GetbUpdate(); break;
        case kOpSetbAdapt: VRE_SetbAdapt(program.Byte() & 1); break;
        case kOpScores:
            VRE_GetScore();
            VRE_GetThreshold();
            VRE_GetCopyDistance();
            VRE_GetScorePart(program.Value(0));
            VRE_GetModelPart(program.Value(0));
            break;
        case kOpSetbNetVersion: VRE_SetbNetVersion(program.Int()); break;
        }
    }
    VRE_Destruct();
    return 0;
}
