#include "GaussianNoise.h"

#include <cmath>

CGaussianNoise::CGaussianNoise(uint64_t seed) : m_state(seed * 2862933555777941757ULL + 3037000493ULL) {}

double CGaussianNoise::Uniform()
{
    m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
    return (static_cast<double>(m_state >> 11) + 0.5) / 9007199254740992.0;
}

double CGaussianNoise::Next()
{
    const double u = Uniform(), v = Uniform();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
}
