// Fft.h - power spectrum of a real frame by a radix-2 complex FFT.
//
// The tables (bit reversal, twiddles) and the work buffers are built once by
// Init for one transform size; Power then runs without allocating.
#pragma once

#include <vector>

class CFft {
public:
    // size: a power of two from 16 to 4096. Returns 1 on success, 0 otherwise.
    int Init(int size);
    int Size() const { return m_nSize; }

    // in: `count` real samples (count <= Size(); the rest is zero-padded).
    // power: receives Size()/2 + 1 values |X[k]|^2 for k = 0 .. Size()/2.
    void Power(const float* in, int count, float* power);

private:
    // Bin k (0 .. half) of the power spectrum from the half-size transform
    // in m_re, m_im.
    void UnpackBin(int k, float* power) const;

    int m_nSize = 0;
    std::vector<int> m_bitReverse;
    std::vector<float> m_cos;
    std::vector<float> m_sin;
    // The twiddles of each butterfly stage in a row: a stage of half-length
    // h reads entries h .. 2h - 1 (the same values as the full-size table at
    // steps of n / 2h), so that its inner loop runs over consecutive values
    // and the compiler can do several butterflies at once.
    std::vector<float> m_stageCos;
    std::vector<float> m_stageSin;
    std::vector<float> m_re;
    std::vector<float> m_im;
};
