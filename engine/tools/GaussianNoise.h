// GaussianNoise.h - reproducible noise for the evaluation's takes: the same
// seed gives the same noise on every platform.
#pragma once

#include <cstdint>

// Gaussian noise of unit variance: Knuth's MMIX LCG, the top 53 bits as a
// uniform double in (0, 1), Box-Muller.
class CGaussianNoise {
public:
    explicit CGaussianNoise(uint64_t seed);
    double Next();

private:
    double Uniform();
    uint64_t m_state;
};
