// TakeSynthesizer.h - makes a microphone take from a short recording.
//
// The recording is placed into a take of fixed length at an offset, scaled by
// a gain, and a low Gaussian background noise is added, as a 3-second
// capture of the dialog would look. The noise comes from our own generator
// (64-bit LCG + Box-Muller) so that every platform makes the same take.
#pragma once

#include <cstdint>
#include <vector>

struct STakeRecipe {
    int nLength;          // samples in the take (33075)
    int nOffset;          // where the recording starts, samples
    double fGainDb;       // applied to the recording
    double fNoiseRms;     // background noise, LSB RMS
    uint64_t nSeed;       // noise seed
};

class CTakeSynthesizer {
public:
    // speech: the recording at the take's rate (floats, LSB scale).
    // Returns the take, clipped to 16 bits.
    static std::vector<short> Make(const std::vector<float>& speech, const STakeRecipe& recipe);
};
