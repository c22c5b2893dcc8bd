#include "EngineTestData.h"
#include "FeatureExtractor.h"
#include "FeatureMatrix.h"
#include "TakeCondition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

// The supported rates and lengths: whole frames only, every value finite;
// sets it cannot analyse are refused (frames 0).
TEST(FeatureExtractor, FrameCountFollowsRateLengthAndShiftAcrossTheMatrix)
{
    const struct {
        int rate, frame, shift, cepstra, channels, samples, frames;
    } cases[] = {
        {8000, 200, 80, 12, 20, 4000, 48},      {11025, 240, 80, 12, 20, 5512, 66},
        {16000, 400, 160, 12, 20, 48000, 298},  {22050, 512, 128, 12, 20, 66150, 513},
        {11025, 240, 80, 16, 19, 33075, 411},   // the dialog's
        {1000, 240, 80, 16, 19, 33075, 0},      // rate too low
        {11025, 32, 80, 16, 19, 33075, 0},      // frame too short
        {11025, 240, 0, 16, 19, 33075, 0},      // no shift
        {11025, 240, 300, 16, 19, 33075, 0},    // shift past the frame
        {11025, 240, 80, 19, 19, 33075, 0},     // as many channels as cepstra
        {11025, 240, 80, 16, 19, 100, 0},       // take shorter than a frame
    };
    for (const auto& c : cases) {
        CFeatureExtractor fx;
        const int ok = fx.Init(c.rate, c.frame, c.shift, c.cepstra, c.channels, c.samples);
        EXPECT_EQ(c.frames > 0 ? 1 : 0, ok) << c.rate << " " << c.frame << " " << c.shift << " " << c.samples;
        if (!ok) continue;
        CFeatureMatrix m;
        m.SetCapacity(fx.MaxFrames(), fx.Dims());
        std::vector<float> level(fx.MaxFrames());
        std::vector<short> x = sonvera_test::SyntheticWord(c.samples, c.samples / 4, c.samples / 2, 3000.0);
        EXPECT_EQ(c.frames, fx.Compute(x.data(), c.samples, m, level.data())) << c.rate << " " << c.samples;
        EXPECT_EQ(c.cepstra + 1, m.Dims());
        for (int f = 0; f < m.Frames(); ++f)
            for (int d = 0; d < m.Dims(); ++d) ASSERT_TRUE(std::isfinite(m.Row(f)[d]));
    }
}

// Silent frames are alike; masking flattens noisy pauses, not the word. The
// spectral snr track is about 0 dB in pauses and well up in a word, also a
// soft one hardly over white noise.
TEST(FeatureExtractor, PausesAreAlikeAndTheWordStandsOut)
{
    CFeatureExtractor fx;
    ASSERT_EQ(1, fx.Init(11025, 240, 80, 16, 19, 33075));
    CFeatureMatrix m;
    m.SetCapacity(fx.MaxFrames(), fx.Dims());
    std::vector<float> level(fx.MaxFrames());
    auto spread = [&](int from, int to) {
        double worst = 0.0;
        for (int d = 0; d < 16; ++d) {
            double sum = 0.0, sq = 0.0;
            for (int f = from; f < to; ++f) { sum += m.Row(f)[d]; sq += m.Row(f)[d] * m.Row(f)[d]; }
            const double n = to - from, mean = sum / n;
            worst = std::max(worst, std::sqrt(std::max(0.0, sq / n - mean * mean)));
        }
        return worst;
    };
    const int word = (20000 + 3000) / 80;
    const struct {
        const char* what;
        double peak, noise;
        float minWordDb;
    } cases[] = {{"silence", 0.0, 0.0, 0.0f},       {"faint noise", 0.0, 16.0, 0.0f},
                 {"loud noise", 0.0, 3000.0, 0.0f}, {"a word over faint noise", 6000.0, 16.0, 30.0f},
                 {"a word over noise", 6000.0, 100.0, 20.0f}, {"a soft word in white noise", 700.0, 120.0, 8.0f}};
    for (const auto& c : cases) {
        std::vector<short> take(33075, 0);
        if (c.peak > 0.0) take = sonvera_test::SyntheticWord(33075, 20000, 6000, c.peak);
        if (c.noise > 0.0) sonvera_test::AddNoise(take, c.noise, 5);
        ASSERT_EQ(411, fx.Compute(take.data(), 33075, m, level.data())) << c.what;
        const float* snr = fx.SpectralSnrDb();
        for (int f = 0; f < 200; ++f) ASSERT_NEAR(0.0f, snr[f], 2.0f) << c.what << " pause frame " << f;
        if (c.noise == 0.0)
            for (int f = 1; f < 411; ++f) {
                EXPECT_FLOAT_EQ(level[0], level[f]);
                for (int d = 0; d < m.Dims(); ++d) ASSERT_FLOAT_EQ(m.Row(0)[d], m.Row(f)[d]);
            }
        if (c.noise == 100.0) {
            EXPECT_LT(spread(10, 200), 0.5) << "pause";
            EXPECT_GT(spread((20000 + 1000) / 80, (20000 + 5000) / 80), 2.0) << "word";
            EXPECT_GT(level[word], level[10] + 20.0f);
        }
        if (c.peak > 0.0) {
            EXPECT_GT(snr[word], c.minWordDb) << c.what;
            EXPECT_GT(snr[word] - snr[10], level[word] - level[10]) << c.what;
        }
    }
}

// A room's or a microphone's noise reaches the top of the filter bank at any
// level; through a 300-3400 Hz line (which carries the room's noise too)
// nothing is left above the band.
TEST(FeatureExtractor, TheNoiseFloorAboveTheBandTellsABandLimitedLine)
{
    CFeatureExtractor fx;
    ASSERT_EQ(1, fx.Init(11025, 240, 80, 16, 19, 33075));
    int first, last;
    ASSERT_EQ(1, fx.ChannelsWithin(300.0f, 3400.0f, first, last));
    CFeatureMatrix m;
    m.SetCapacity(fx.MaxFrames(), fx.Dims());
    std::vector<float> level(fx.MaxFrames());
    const struct {
        double noiseRms;
        bool line;
    } cases[] = {{16.0, false}, {4.0, false}, {300.0, false}, {16.0, true}, {4.0, true}};
    for (const auto& c : cases) {
        std::vector<short> take = sonvera_test::SyntheticWord(33075, 20000, 6000, 8000.0);
        sonvera_test::AddNoise(take, c.noiseRms, 3);
        if (c.line) {
            std::vector<float> x(take.begin(), take.end());
            CTakeCondition::BandPass(x, 300.0, 3400.0, 4, 11025);
            for (size_t i = 0; i < x.size(); ++i) take[i] = static_cast<short>(std::lround(x[i]));
        }
        ASSERT_EQ(411, fx.Compute(take.data(), 33075, m, level.data()));
        const float drop = fx.NoiseDropAboveDb(last);
        if (c.line) EXPECT_LT(drop, -6.0f) << c.noiseRms;
        else EXPECT_GT(drop, 0.0f) << c.noiseRms;
    }
}
