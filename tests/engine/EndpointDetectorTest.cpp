#include "EndpointDetector.h"
#include "EngineTestData.h"
#include "FeatureExtractor.h"
#include "FeatureMatrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

using sonvera_test::kTakeSamples, sonvera_test::NoisyWord, sonvera_test::SyntheticWord;

// `take` with white noise of `rms` LSB added over samples [start, start + length).
std::vector<short> WithHiss(std::vector<short> take, int start, int length, double rms, uint64_t seed)
{
    std::vector<short> hiss(length, 0);
    sonvera_test::AddNoise(hiss, rms, seed);
    for (int i = 0; i < length; ++i)
        take[start + i] = static_cast<short>(std::clamp(take[start + i] + hiss[i], -32768, 32767));
    return take;
}

} // namespace

// A take and its verdict; where a word was put (samples first..last, -1: not
// checked), the core must hold the middle half of it and little more.
TEST(EndpointDetector, EveryKindOfTakeGetsItsVerdictAndTheWordItsPlace)
{
    // The dialog's set: 11025 Hz, 240-sample frames every 80 samples.
    CFeatureExtractor fx;
    ASSERT_EQ(1, fx.Init(11025, 240, 80, 16, 19, kTakeSamples));
    CFeatureMatrix features;
    features.SetCapacity(fx.MaxFrames(), fx.Dims());
    std::vector<float> level(fx.MaxFrames());
    CEndpointDetector epd;
    ASSERT_EQ(1, epd.Init(11025, 240, 80, fx.MaxFrames(), SEndpointParams{60, 250, 200, 100000}));
    auto detect = [&](const std::vector<short>& take, int shortWord) {
        const int count = static_cast<int>(take.size());
        const int frames = fx.Compute(take.data(), count, features, level.data());
        SEndpointResult r;
        epd.Detect(level.data(), fx.SpectralSnrDb(), frames, take.data(), count, shortWord, r);
        return r;
    };
    // Noise that grows 2.5-fold (8 dB) across the take, with the word late in it:
    // a threshold fixed on the quiet start would take the loud end for speech.
    std::vector<short> swelling = SyntheticWord(kTakeSamples, 22000, 5000, 12000.0);
    std::vector<short> noise(kTakeSamples, 0);
    sonvera_test::AddNoise(noise, 60.0, 8);
    for (int i = 0; i < kTakeSamples; ++i) {
        const int noisy = static_cast<int>(swelling[i] + (0.6 + 0.9 * i / kTakeSamples) * noise[i]);
        swelling[i] = static_cast<short>(std::clamp(noisy, -32768, 32767));
    }
    // A cough, then a word broken by a 100 ms pause: the pause is bridged (up
    // to 250 ms), and the word, not the cough, is the strongest stretch.
    std::vector<short> broken = NoisyWord(14000, 3000, 8000.0, 16.0, 15);
    const std::vector<short> cough = SyntheticWord(kTakeSamples, 2000, 1500, 2500.0);
    const std::vector<short> rest = SyntheticWord(kTakeSamples, 18100, 3000, 8000.0);
    for (int i = 0; i < kTakeSamples; ++i)
        broken[i] = static_cast<short>(broken[i] + cough[i] + rest[i]);
    const struct {
        const char* what;
        std::vector<short> take;
        int shortWord, speech, error, first, last;
    } cases[] = {
        {"silence", std::vector<short>(kTakeSamples, 0), 0, 0, kEpdLengthAbnormal, -1, -1},
        {"loud steady noise", NoisyWord(0, 0, 0.0, 3000.0, 5), 0, 0, kEpdLengthAbnormal, -1, -1},
        // The raised-cosine envelope is weak at its ends: the core starts a
        // little after the word and ends a little before it.
        {"word in a quiet room", NoisyWord(11025, 5000, 8000.0, 16.0, 7), 0, 1, kEpdOk, 11025, 16025},
        {"word in a noisy room", NoisyWord(11025, 5000, 8000.0, 150.0, 7), 0, 1, kEpdOk, 11025, 16025},
        {"word in swelling noise", swelling, 0, 1, kEpdOk, 22000, 27000},
        // A few clipped peaks leave a word usable; a word clipped all through is too loud.
        {"clipped peaks", SyntheticWord(kTakeSamples, 11025, 5000, 60000.0), 0, 1, kEpdOk, 11025, 16025},
        {"clipping", SyntheticWord(kTakeSamples, 11025, 5000, 300000.0), 0, 0, kEpdTooLoud, -1, -1},
        {"a whisper over silence", SyntheticWord(kTakeSamples, 11025, 5000, 30.0), 0, 0, kEpdTooQuiet, -1, -1},
        {"ten times the whisper", SyntheticWord(kTakeSamples, 11025, 5000, 300.0), 0, 1, kEpdOk, 11025, 16025},
        // About 155 ms: under the 200 ms of a word, over the 100 ms of a short one.
        {"short word", NoisyWord(11025, 1700, 8000.0, 16.0, 10), 0, 0, kEpdLengthAbnormal, -1, -1},
        {"short word, flagged", NoisyWord(11025, 1700, 8000.0, 16.0, 10), 1, 1, kEpdOk, 11025, 12725},
        {"a click, flagged", SyntheticWord(kTakeSamples, 11025, 500, 8000.0), 1, 0, kEpdLengthAbnormal, -1, -1},
        {"speech all through", SyntheticWord(kTakeSamples, 1000, 31000, 8000.0),
         0, 0, kEpdLengthAbnormal, -1, -1},
        {"cut by the start", NoisyWord(-2500, 5000, 8000.0, 16.0, 12), 0, 1, kEpdCutByEdge, -1, -1},
        {"little over the noise", NoisyWord(11025, 5000, 2000.0, 120.0, 13), 0, 1, kEpdLowSnr, 11025, 16025},
        // Only a few dB over white noise, but well out of its few channels' noise.
        {"a soft voice in white noise", NoisyWord(11025, 5000, 700.0, 120.0, 14), 0, 1, kEpdLowSnr, 11025, 16025},
        {"a cough, then a broken word", broken, 0, 1, kEpdOk, 14000, 21100},
        // Room noise of 16 LSB, a breath (250 ms of 18 LSB), then a hiss (455 ms
        // of 145 LSB): the breath lies between the hold and the start levels over
        // the noise's floor, so the word starts with it; the hiss peaks about 21 dB
        // over the floor, under the 22 dB of a confident take.
        {"a breath, then a marginal hiss",
         WithHiss(WithHiss(NoisyWord(0, 0, 0.0, 16.0, 16), 11025, 2750, 18.0, 17), 13775, 5000, 145.0, 18),
         0, 1, kEpdLowSnr, 11025, 18775},
    };
    for (const auto& c : cases) {
        const SEndpointResult r = detect(c.take, c.shortWord);
        EXPECT_EQ(c.speech, r.bSpeech) << c.what;
        EXPECT_EQ(c.error, r.nError) << c.what;
        if (c.first < 0 || !r.bSpeech) continue;
        const int length = c.last - c.first;
        EXPECT_GE(r.nCoreFirst, c.first / 80 - 3) << c.what;
        EXPECT_LE(r.nCoreFirst, (c.first + length / 4) / 80) << c.what;
        EXPECT_GE(r.nCoreLast, (c.first + 3 * length / 4) / 80) << c.what;
        EXPECT_LE(r.nCoreLast, c.last / 80 + 3) << c.what;
        // The end points add the margin, 60 ms = 8 frames, around the core.
        EXPECT_EQ(r.nCoreFirst - 8, r.nFirstFrame) << c.what;
        EXPECT_EQ(r.nCoreLast + 8, r.nLastFrame) << c.what;
    }
    // A word cut by the start begins at the first frame; a soft one says how faint.
    EXPECT_EQ(0, detect(cases[13].take, 0).nFirstFrame);
    const SEndpointResult soft = detect(cases[15].take, 0);
    EXPECT_LT(soft.fSnrDb, 10.0f);
    EXPECT_GT(soft.fSpectralSnrDb, soft.fSnrDb + 3.0f);
    // Unset parameters, the engine's until the dialog sets its own, take the defaults.
    EXPECT_EQ(1, epd.Init(11025, 240, 80, 100, SEndpointParams{0, 0, 0, 0}));
}
