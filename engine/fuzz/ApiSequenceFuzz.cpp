// libFuzzer target: the C interface called in any order, with any values.
// The input is a program: each byte picks a VRE_ call, the bytes after it
// give the call's values (integers, floats including NaN and infinities,
// texts). Takes come from the input's own bytes or from a synthetic voice
// whose formants glide (so that end points, the take check, training,
// verification, the replay check and adaptation are all reached). Model
// files go to one scratch folder under the system's temporary folder.
#include "VoiceEngine.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kTakeSamples = 33075;

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

// A voiced word whose two formants glide, over room noise: pitch, length,
// start, level and glide come from the program.
void SyntheticTake(CProgram& program, std::vector<short>& take)
{
    const double pitch = 80.0 + program.Byte() * 1.2;
    const int start = program.Byte() * 100;
    const int length = 1000 + program.Byte() * 60;
    const double peak = 50.0 + program.Byte() * 120.0;
    const double glide = (program.Byte() - 128) * 4.0;
    const uint32_t seed = static_cast<uint32_t>(program.Byte()) * 2654435761u;
    take.assign(kTakeSamples, 0);
    const double pi = 3.14159265358979323846, rate = 11025.0;
    double y1 = 0, y2 = 0, z1 = 0, z2 = 0, next = 0.0;
    uint32_t noise = seed | 1;
    for (int i = 0; i < kTakeSamples; ++i) {
        double v = 0.0;
        if (i >= start && i < start + length) {
            const int k = i - start;
            const double f1 = 600.0 + glide * k / length, f2 = 1500.0 - 2.0 * glide * k / length;
            const double r = std::exp(-pi * 100.0 / rate);
            const double x = k >= next ? 1.0 : 0.0;
            if (x > 0.0) next += rate / pitch;
            const double y = x + 2.0 * r * std::cos(2.0 * pi * f1 / rate) * y1 - r * r * y2;
            y2 = y1; y1 = y;
            const double z = y + 2.0 * r * std::cos(2.0 * pi * f2 / rate) * z1 - r * r * z2;
            z2 = z1; z1 = z;
            v = peak * z * std::sin(pi * k / length);
        }
        noise = noise * 1664525u + 1013904223u;
        v += static_cast<double>(static_cast<int>(noise >> 24) - 128) / 8.0;
        take[i] = static_cast<short>(std::fmax(-32768.0, std::fmin(32767.0, v)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CProgram program(data, size);
    std::vector<short> take(kTakeSamples, 0);
    const std::string dir = ScratchFolder();
    const char* const nicks[] = {"aaj", "abj", "acj", "", "..", "a/b", "x\\y"};
    const char* const dirs[] = {dir.c_str(), "", "/nonexistent/sonvera"};
    for (int steps = 0; steps < 200 && !program.Done(); ++steps) {
        switch (program.Byte() % 30) {
        case 0: VRE_Initialize(); break;
        case 1: VRE_Destruct(); break;
        case 2: VRE_DestructMemories(); break;
        case 3: VRE_PutDir(dirs[program.Byte() % 3]); break;
        case 4: VRE_PutMode(program.Value(1)); break;
        case 5: VRE_PutMaxRepeat(program.Value(5)); break;
        case 6: {
            const int rate = program.Value(11025), ms = program.Value(3000), length = program.Value(240);
            VRE_AnalParams(rate, ms, length, program.Value(80));
            break;
        }
        case 7: VRE_NoiseParams(program.Int(), program.Int(), program.Int(), program.Value(1)); break;
        case 8: {
            const int cepstra = program.Value(16), channels = program.Value(19), minTakes = program.Value(5);
            VRE_EngineParams(cepstra, channels, minTakes, program.Value(128));
            break;
        }
        case 9: VRE_CopyParams(program.Double()); break;
        case 10: VRE_SetbSpeech(program.Int()); break;
        case 11: VRE_SameWordDist(program.Float()); break;
        case 12: {
            const int kind = program.Value(1);
            const double floor = program.Double(), margin = program.Double(), rate = program.Double();
            VRE_HMMParams(kind, floor, margin, rate, program.Double());
            break;
        }
        case 13: {
            const int margin = program.Value(60), gap = program.Value(250), word = program.Value(200);
            VRE_EPDParams(margin, gap, word, program.Value(100000));
            break;
        }
        case 14: VRE_Security(program.Float()); break;
        case 15: VRE_PutID(program.Text().c_str()); break;
        case 16: VRE_PutPW(program.Text().c_str()); break;
        case 17: VRE_PutNick(nicks[program.Byte() % 7]); break;
        case 18: SyntheticTake(program, take); break;
        case 19: {
            // The program's own bytes as samples, repeated over the take.
            const size_t n = 1 + program.Byte();
            std::vector<short> pattern(n);
            for (short& s : pattern) s = static_cast<short>(program.Byte() | (program.Byte() << 8));
            for (int i = 0; i < kTakeSamples; ++i) take[i] = pattern[i % n];
            break;
        }
        case 20: {
            const int counts[] = {kTakeSamples, 0, -1, 100, 240, 5000, kTakeSamples - 1};
            VRE_GetEndpointShort(take.data(), counts[program.Byte() % 7], program.Byte() & 1);
            break;
        }
        case 21:
            VRE_GetEndpointValue();
            VRE_GetShiftValue();
            VRE_GetErrorNumber();
            if (std::strlen(VRE_GetLabelString()) > 4096) __builtin_trap();
            break;
        case 22: VRE_CheckSexSpeech(take.data(), kTakeSamples, program.Value(0)); break;
        case 23: VRE_Train(); break;
        case 24: VRE_VCopy(); break;
        case 25: VRE_Verify(); break;
        case 26: VRE_GetbUpdate(); break;
        case 27: VRE_SetbAdapt(program.Byte() & 1); break;
        case 28:
            VRE_GetScore();
            VRE_GetThreshold();
            VRE_GetCopyDistance();
            VRE_GetScorePart(program.Value(0));
            VRE_GetModelPart(program.Value(0));
            break;
        case 29: VRE_SetbNetVersion(program.Int()); break;
        }
    }
    VRE_Destruct();
    return 0;
}
