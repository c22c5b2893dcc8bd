// NoisyCopy.h - an enrolment take as it would sound in a noisier room.
//
// Training scores each enrolment take once more with noise added, against
// the other takes, to learn how far this model's own user moves in noise
// (CSpeakerScorer::MeasureCopyMove). The noise is white, kNoiseUnderWordDb
// under the take's active level (the mean power of its 20-ms stretches
// within kActiveRangeDb of the loudest), over the whole take: of the copies
// tried, the white one's move follows both the user's own and his near
// impostors' move in noise best.
// Its generator is the engine's own (a 32-bit xorshift, seeded by the
// caller), so that the same takes always give the same model.
#pragma once

#include <cstdint>
#include <vector>

class CNoisyCopy {
public:
    static constexpr double kNoiseUnderWordDb = 20.0;
    static constexpr double kActiveRangeDb = 30.0;
    static constexpr double kLevelFrameSeconds = 0.02;

    // take/count: 16-bit samples at sampleRate (1000 .. 200000 Hz).
    // out: receives the take with the noise added (clipped to 16 bits), or
    // the take as it is when it holds no sound. Returns 1 when noise was
    // added, 0 otherwise.
    static int Make(const short* take, int count, int sampleRate, uint32_t seed, std::vector<short>& out);
    // Mean power (LSB^2) of the 20-ms stretches of x within kActiveRangeDb
    // of the loudest one; 0 for a silent or too short take.
    static double ActivePower(const short* x, int count, int sampleRate);
    // The same of samples held as floats on the 16-bit scale (0 as well at a
    // rate outside 1000 .. 200000 Hz, where a stretch has no sensible length).
    static double ActivePower(const std::vector<float>& x, int sampleRate);
};
