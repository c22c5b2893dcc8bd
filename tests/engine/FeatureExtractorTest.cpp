#include "EngineTestData.h"
#include "FeatureExtractor.h"
#include "FeatureMatrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct SAnalysis {
    int rate, frame, shift;
};

// The analysis the voice dialog sets up: 3-second takes at 11025 Hz.
class FeatureExtractorAtDialogSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(1, fx.Init(11025, 240, 80, 16, 19, 33075));
        m.SetCapacity(fx.MaxFrames(), fx.Dims());
        level.resize(fx.MaxFrames());
    }

    CFeatureExtractor fx;
    CFeatureMatrix m;
    std::vector<float> level;
};

} // namespace

TEST(FeatureExtractor, RefusesUnusableAnalysisSets)
{
    CFeatureExtractor fx;
    EXPECT_EQ(0, fx.Init(1000, 240, 80, 16, 19, 33075));     // rate too low
    EXPECT_EQ(0, fx.Init(11025, 32, 80, 16, 19, 33075));     // frame too short
    EXPECT_EQ(0, fx.Init(11025, 240, 0, 16, 19, 33075));     // no shift
    EXPECT_EQ(0, fx.Init(11025, 240, 300, 16, 19, 33075));   // shift longer than a frame
    EXPECT_EQ(0, fx.Init(11025, 240, 80, 19, 19, 33075));    // no more channels than cepstra
    EXPECT_EQ(0, fx.Init(11025, 240, 80, 16, 19, 100));      // take shorter than a frame
    EXPECT_EQ(1, fx.Init(11025, 240, 80, 16, 19, 33075));
}

TEST(FeatureExtractor, FrameCountFollowsRateLengthAndShiftAcrossTheMatrix)
{
    const SAnalysis sets[] = {{8000, 200, 80}, {11025, 240, 80}, {16000, 400, 160}, {22050, 512, 128}};
    for (const SAnalysis& a : sets) {
        for (int ms : {500, 3000}) {
            const int samples = a.rate * ms / 1000;
            CFeatureExtractor fx;
            ASSERT_EQ(1, fx.Init(a.rate, a.frame, a.shift, 12, 20, samples)) << a.rate;
            CFeatureMatrix m;
            m.SetCapacity(fx.MaxFrames(), fx.Dims());
            std::vector<float> level(fx.MaxFrames());
            std::vector<short> x = enginetest::SyntheticWord(samples, samples / 4, samples / 2, 3000.0);
            const int frames = fx.Compute(x.data(), samples, m, level.data());
            EXPECT_EQ((samples - a.frame) / a.shift + 1, frames) << a.rate << " " << ms;
            EXPECT_EQ(frames, m.Frames());
            EXPECT_EQ(13, m.Dims());
            for (int f = 0; f < frames; ++f)
                for (int d = 0; d < m.Dims(); ++d) ASSERT_TRUE(std::isfinite(m.Row(f)[d]));
        }
    }
}

TEST_F(FeatureExtractorAtDialogSettings, SilenceGivesTheSameFrameEverywhereAndAVoiceDoesNot)
{
    std::vector<short> silence(33075, 0);
    const int frames = fx.Compute(silence.data(), 33075, m, level.data());
    ASSERT_GT(frames, 100);
    for (int f = 1; f < frames; ++f) {
        EXPECT_FLOAT_EQ(level[0], level[f]);
        for (int d = 0; d < m.Dims(); ++d) ASSERT_FLOAT_EQ(m.Row(0)[d], m.Row(f)[d]);
    }
    std::vector<short> word = enginetest::SyntheticWord(33075, 10000, 5000, 8000.0);
    fx.Compute(word.data(), 33075, m, level.data());
    // Inside the word the level is far above the silent frames around it.
    EXPECT_GT(level[(10000 + 2500) / 80], level[10] + 40.0f);
}

TEST_F(FeatureExtractorAtDialogSettings, NoiseMaskingFlattensThePausesButNotTheWord)
{
    // In the pauses every filter energy sits under its noise floor + margin,
    // so the cepstra there are the same from frame to frame, instead of
    // following the random level of each noise frame; the word stands out.
    std::vector<short> take = enginetest::SyntheticWord(33075, 20000, 6000, 6000.0);
    enginetest::AddNoise(take, 100.0, 3);
    const int frames = fx.Compute(take.data(), 33075, m, level.data());
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
    ASSERT_GT(frames, 300);
    EXPECT_LT(spread(10, 200), 0.5) << "pause";
    EXPECT_GT(spread((20000 + 1000) / 80, (20000 + 5000) / 80), 2.0) << "word";
}
