#include "NoisyCopy.h"

#include <algorithm>
#include <cmath>

namespace {

const double kUniformToUnitPower = 1.7320508075688772;   // sqrt 3: uniform on (-1, 1) has power 1/3

// One step of a 32-bit xorshift; returns a value uniform on (-1, 1) times
// sqrt 3 (unit power).
float NextNoise(uint32_t& state)
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<float>((static_cast<double>(state) / 4294967296.0 * 2.0 - 1.0) * kUniformToUnitPower);
}

// std::clamp(std::lround(v), -32768, 32767) without the library call, which
// the 32-bit Windows build makes for every sample: clamped first (a value
// beyond the range rounds to its end either way), then rounded half away
// from zero. v - its whole part is exact, so the halves are told exactly.
short RoundToSample(double v)
{
    v = std::clamp(v, -32768.0, 32767.0);
    const int whole = static_cast<int>(v);
    const double rest = v - whole;
    return static_cast<short>(whole + (rest >= 0.5 ? 1 : 0) - (rest <= -0.5 ? 1 : 0));
}

// The mean power of x's stretches of `frame` samples within kActiveRangeDb
// of the loudest one; 0 when x holds no whole stretch or only silence.
template <class Sample>
double MeanActivePower(const Sample* x, size_t count, size_t frame)
{
    const size_t frames = count / frame;
    if (frames == 0) return 0.0;
    double loudest = 0.0;
    std::vector<double> power(frames);
    for (size_t f = 0; f < frames; ++f) {
        double sum = 0.0;
        for (size_t i = f * frame; i < (f + 1) * frame; ++i) sum += static_cast<double>(x[i]) * x[i];
        power[f] = sum / frame;
        loudest = std::max(loudest, power[f]);
    }
    if (!(loudest > 0.0)) return 0.0;
    const double limit = loudest * std::pow(10.0, -CNoisyCopy::kActiveRangeDb / 10.0);
    double sum = 0.0;
    int n = 0;
    for (double p : power)
        if (p >= limit) { sum += p; ++n; }
    return sum / n;
}

bool PlausibleRate(int sampleRate) { return sampleRate >= 1000 && sampleRate <= 200000; }

size_t LevelFrame(int sampleRate)
{
    return std::max<size_t>(1, static_cast<size_t>(CNoisyCopy::kLevelFrameSeconds * sampleRate));
}

} // namespace

double CNoisyCopy::ActivePower(const short* x, int count, int sampleRate)
{
    if (x == nullptr || count <= 0 || !PlausibleRate(sampleRate)) return 0.0;
    return MeanActivePower(x, static_cast<size_t>(count), LevelFrame(sampleRate));
}

double CNoisyCopy::ActivePower(const std::vector<float>& x, int sampleRate)
{
    if (!PlausibleRate(sampleRate)) return 0.0;
    return MeanActivePower(x.data(), x.size(), LevelFrame(sampleRate));
}

int CNoisyCopy::Make(const short* take, int count, int sampleRate, uint32_t seed, std::vector<short>& out)
{
    out.assign(take != nullptr && count > 0 ? take : nullptr, take != nullptr && count > 0 ? take + count : nullptr);
    const double level = ActivePower(take, count, sampleRate);
    if (!(level > 0.0)) return 0;
    std::vector<float> noise(static_cast<size_t>(count));
    uint32_t state = seed != 0 ? seed : 1u;
    double power = 0.0;
    for (float& v : noise) {
        v = NextNoise(state);
        power += static_cast<double>(v) * v;
    }
    power /= count;
    if (!(power > 0.0)) return 0;
    const double scale = std::sqrt(level / std::pow(10.0, kNoiseUnderWordDb / 10.0) / power);
    for (int i = 0; i < count; ++i)
        out[i] = RoundToSample(take[i] + scale * noise[i]);
    return 1;
}
