#include "EngineTestData.h"
#include "VoicingAnalyzer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(VoicingAnalyzer, FindsThePitchOfAVoicedWordNoneInNoiseAndNothingOutsideTheTake)
{
    CVoicingAnalyzer va;
    ASSERT_EQ(1, va.Init(11025, 240, 80));
    float voiced = 0.0f, hz = 0.0f;
    for (double pitch : {90.0, 120.0, 180.0, 250.0}) {
        std::vector<short> x = sonvera_test::SyntheticWord(33075, 5000, 8000, 8000.0, pitch);
        // The middle half of the word, where the envelope is well up.
        va.Analyse(x.data(), 33075, (5000 + 2000) / 80, (5000 + 6000) / 80, voiced, hz);
        EXPECT_GT(voiced, 0.9f) << pitch;
        EXPECT_NEAR(pitch, hz, pitch * 0.03) << pitch;
        // One pitch per pair of frames, each voiced one near the word's.
        ASSERT_EQ((4000 / 80) / 2 + 1, va.TrackLength()) << pitch;
        int near = 0;
        for (int i = 0; i < va.TrackLength(); ++i) near += std::fabs(va.Track()[i] - pitch) < pitch * 0.03 ? 1 : 0;
        EXPECT_GT(near, va.TrackLength() * 9 / 10) << pitch;
    }
    std::vector<short> silence(33075, 0), noise(33075, 0);
    va.Analyse(silence.data(), 33075, 0, 400, voiced, hz);
    EXPECT_EQ(0.0f, voiced);
    EXPECT_EQ(0.0f, hz);
    EXPECT_EQ(201, va.TrackLength());
    sonvera_test::AddNoise(noise, 2000.0, 11);
    va.Analyse(noise.data(), 33075, 0, 400, voiced, hz);
    EXPECT_LT(voiced, 0.1f);
    // Frames beyond the take are skipped.
    const std::vector<short> word = sonvera_test::SyntheticWord(2000, 0, 2000, 8000.0);
    va.Analyse(word.data(), 2000, 0, 1000, voiced, hz);
    EXPECT_GT(voiced, 0.0f);
}
