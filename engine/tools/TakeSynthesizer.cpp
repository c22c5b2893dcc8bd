#include "TakeSynthesizer.h"

#include <algorithm>
#include <cmath>

namespace {

// Knuth's MMIX LCG; the top 53 bits give a uniform double in (0, 1).
class CNoise {
public:
    explicit CNoise(uint64_t seed) : m_state(seed * 2862933555777941757ULL + 3037000493ULL) {}
    double Uniform()
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (static_cast<double>(m_state >> 11) + 0.5) / 9007199254740992.0;
    }
    double Gaussian()
    {
        const double u = Uniform(), v = Uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
    }
private:
    uint64_t m_state;
};

} // namespace

std::vector<short> CTakeSynthesizer::Make(const std::vector<float>& speech, const STakeRecipe& recipe)
{
    std::vector<short> take(std::max(recipe.nLength, 0), 0);
    CNoise noise(recipe.nSeed);
    const double gain = std::pow(10.0, recipe.fGainDb / 20.0);
    for (int i = 0; i < recipe.nLength; ++i) {
        double v = recipe.fNoiseRms * noise.Gaussian();
        const long k = static_cast<long>(i) - recipe.nOffset;
        if (k >= 0 && k < static_cast<long>(speech.size())) v += gain * speech[k];
        take[i] = static_cast<short>(std::clamp(std::lround(v), -32768L, 32767L));
    }
    return take;
}
