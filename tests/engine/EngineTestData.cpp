#include "EngineTestData.h"

#include "Resampler.h"
#include "TakeSynthesizer.h"
#include "WaveFile.h"
#include "WaveformPrint.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace sonvera_test {

std::string FsddPath(const std::string& name)
{
    return std::string(SONVERA_TEST_FSDD) + "/" + name + ".wav";
}

std::vector<short> FsddTake(const std::string& name, double gainDb, int shift, double noiseRms, uint64_t seed,
                            double speed)
{
    std::vector<short> pcm;
    int rate = 0;
    if (!CWaveFile::Read(FsddPath(name), pcm, rate)) return {};
    const STakeRecipe recipe = {kTakeSamples, kWordOffset + shift, gainDb, noiseRms, seed};
    return CTakeSynthesizer::Make(CResampler::Convert(pcm, static_cast<int>(std::lround(rate * speed)), kRate), recipe);
}

std::vector<short> SyntheticWord(int takeLength, int start, int length, double peak, double pitchHz)
{
    std::vector<short> take(std::max(takeLength, 0), 0);
    const double pi = 3.14159265358979323846;
    // Two-pole resonators at 700 Hz and 1200 Hz shape the pulse train like an /a/.
    auto coeffs = [&](double hz, double bw, double& a1, double& a2) {
        const double r = std::exp(-pi * bw / kRate);
        a1 = 2.0 * r * std::cos(2.0 * pi * hz / kRate);
        a2 = -r * r;
    };
    double a1, a2, b1, b2;
    coeffs(700.0, 90.0, a1, a2);
    coeffs(1200.0, 110.0, b1, b2);
    double y1 = 0, y2 = 0, z1 = 0, z2 = 0;
    std::vector<double> out(std::max(length, 0), 0.0);
    double maxAbs = 1e-9;
    const double period = kRate / pitchHz;
    double nextPulse = 0.0;
    for (int i = 0; i < length; ++i) {
        double x = 0.0;
        if (i >= nextPulse) { x = 1.0; nextPulse += period; }
        const double y = x + a1 * y1 + a2 * y2;
        y2 = y1; y1 = y;
        const double z = y + b1 * z1 + b2 * z2;
        z2 = z1; z1 = z;
        const double env = 0.5 - 0.5 * std::cos(2.0 * pi * i / std::max(length - 1, 1));
        out[i] = z * env;
        maxAbs = std::max(maxAbs, std::fabs(out[i]));
    }
    for (int i = 0; i < length; ++i) {
        const long k = static_cast<long>(start) + i;
        if (k < 0 || k >= takeLength) continue;
        take[k] = static_cast<short>(std::clamp(std::lround(out[i] / maxAbs * peak), -32768L, 32767L));
    }
    return take;
}

void AddNoise(std::vector<short>& take, double rms, uint64_t seed)
{
    const STakeRecipe recipe = {static_cast<int>(take.size()), 0, 0.0, rms, seed};
    std::vector<float> speech(take.begin(), take.end());
    take = CTakeSynthesizer::Make(speech, recipe);
}

std::vector<short> NoisyWord(int start, int length, double peak, double noiseRms, uint64_t seed)
{
    std::vector<short> take = SyntheticWord(kTakeSamples, start, length, peak);
    AddNoise(take, noiseRms, seed);
    return take;
}

std::string MakeTempDir(const std::string& tag)
{
    namespace fs = std::filesystem;
    // One folder a run, named by its start time so that programs running side
    // by side never meet (natively every tree on the machine shares one
    // temporary folder); removed when the program ends.
    struct SRunFolder {
        const fs::path path = fs::temp_directory_path() /
            ("sonvera-engine-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        ~SRunFolder()
        {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    };
    static const SRunFolder run;
    static int counter = 0;
    const fs::path dir = run.path / (tag + "-" + std::to_string(++counter));
    std::error_code ec;
    fs::create_directories(dir, ec);
    return dir.string();
}

std::vector<unsigned char> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void RandomSigns(int count, uint32_t random, std::vector<uint64_t>* bits, int* counts)
{
    for (int phase = 0; phase < CWaveformPrint::kStep; ++phase) {
        counts[phase] = count;
        bits[phase].assign(static_cast<size_t>((count + 63) / 64), 0);
        for (uint64_t& word : bits[phase])
            for (int half = 0; half < 2; ++half) {
                random = random * 1664525u + 1013904223u;
                word |= static_cast<uint64_t>(random) << (32 * half);
            }
    }
}

bool WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace sonvera_test
