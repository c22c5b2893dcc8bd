#include "Resampler.h"

#include <algorithm>
#include <cmath>

namespace {
const int kHalfTaps = 16;        // input samples either side of the output instant
const double kPi = 3.14159265358979323846;
} // namespace

std::vector<float> CResampler::Convert(const std::vector<short>& in, int inRate, int outRate)
{
    std::vector<float> out;
    if (in.empty() || inRate <= 0 || outRate <= 0) return out;
    const double ratio = static_cast<double>(inRate) / outRate;      // input samples per output sample
    const double cutoff = std::min(1.0, 1.0 / ratio);                  // relative to the input Nyquist
    const double half = kHalfTaps / cutoff;
    const size_t n = static_cast<size_t>(std::floor(in.size() / ratio));
    out.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const double t = i * ratio;
        const long lo = static_cast<long>(std::ceil(t - half)), hi = static_cast<long>(std::floor(t + half));
        double acc = 0.0;
        for (long k = std::max(0L, lo); k <= hi && k < static_cast<long>(in.size()); ++k) {
            const double x = t - k;
            const double arg = kPi * cutoff * x;
            const double sinc = std::fabs(arg) < 1e-9 ? 1.0 : std::sin(arg) / arg;
            const double window = 0.5 + 0.5 * std::cos(kPi * x / half);
            acc += in[k] * cutoff * sinc * window;
        }
        out[i] = static_cast<float>(acc);
    }
    return out;
}
