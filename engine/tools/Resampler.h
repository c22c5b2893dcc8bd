// Resampler.h - sample-rate conversion by windowed-sinc interpolation.
#pragma once

#include <vector>

class CResampler {
public:
    // in/inRate: the signal; outRate: wanted rate. Each output sample is the
    // band-limited interpolation of the input at its instant: a sinc with the
    // cut-off at the lower Nyquist frequency, Hann-windowed over +-kHalfTaps
    // input samples. Returns the resampled signal as floats (no clipping).
    static std::vector<float> Convert(const std::vector<short>& in, int inRate, int outRate);
};
