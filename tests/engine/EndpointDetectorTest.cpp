#include "EndpointDetector.h"
#include "EngineTestData.h"
#include "FeatureExtractor.h"
#include "FeatureMatrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// The dialog's set: 11025 Hz, 240-sample frames every 80 samples, EPD
// parameters 60, 250, 200, 100000.
class EndpointDetectorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(1, m_fx.Init(11025, 240, 80, 16, 19, enginetest::kTakeSamples));
        m_features.SetCapacity(m_fx.MaxFrames(), m_fx.Dims());
        m_level.assign(m_fx.MaxFrames(), 0.0f);
        ASSERT_EQ(1, m_epd.Init(11025, 240, 80, m_fx.MaxFrames(), SEndpointParams{60, 250, 200, 100000}));
    }
    SEndpointResult Detect(const std::vector<short>& take, int shortWord = 0)
    {
        const int frames = m_fx.Compute(take.data(), static_cast<int>(take.size()), m_features, m_level.data());
        SEndpointResult r;
        m_epd.Detect(m_level.data(), frames, take.data(), static_cast<int>(take.size()), shortWord, r);
        return r;
    }
    static int Frame(int sample) { return sample / 80; }

    CFeatureExtractor m_fx;
    CEndpointDetector m_epd;
    CFeatureMatrix m_features;
    std::vector<float> m_level;
};

} // namespace

TEST_F(EndpointDetectorTest, SilenceAndSteadyNoiseHoldNoSpeech)
{
    std::vector<short> silence(enginetest::kTakeSamples, 0);
    SEndpointResult r = Detect(silence);
    EXPECT_EQ(0, r.bSpeech);
    EXPECT_EQ(kEpdLengthAbnormal, r.nError);
    for (double rms : {20.0, 300.0, 3000.0}) {
        std::vector<short> noise(enginetest::kTakeSamples, 0);
        enginetest::AddNoise(noise, rms, 5);
        r = Detect(noise);
        EXPECT_EQ(0, r.bSpeech) << rms;
        EXPECT_EQ(kEpdLengthAbnormal, r.nError) << rms;
    }
}

TEST_F(EndpointDetectorTest, FindsAWordInQuietAndInNoisyRooms)
{
    const int start = 11025, length = 5000;
    for (double noise : {0.0, 16.0, 150.0}) {
        std::vector<short> take = enginetest::SyntheticWord(enginetest::kTakeSamples, start, length, 8000.0);
        if (noise > 0.0) enginetest::AddNoise(take, noise, 7);
        const SEndpointResult r = Detect(take);
        ASSERT_EQ(1, r.bSpeech) << noise;
        EXPECT_EQ(kEpdOk, r.nError) << noise;
        // The raised-cosine envelope is weak at its ends, so the core starts a
        // little after the word and ends a little before it.
        EXPECT_GE(r.nCoreFirst, Frame(start) - 3) << noise;
        EXPECT_LE(r.nCoreFirst, Frame(start + length / 4)) << noise;
        EXPECT_GE(r.nCoreLast, Frame(start + 3 * length / 4)) << noise;
        EXPECT_LE(r.nCoreLast, Frame(start + length) + 3) << noise;
        // The reported end points add the margin (60 ms = 8 frames) around the core.
        EXPECT_EQ(std::max(0, r.nCoreFirst - 8), r.nFirstFrame);
        EXPECT_EQ(r.nCoreLast + 8, r.nLastFrame);
    }
}

TEST_F(EndpointDetectorTest, TheFloorFollowsNoiseThatSwells)
{
    // Noise that grows 2.5-fold (8 dB) across the take, with the word late in
    // it: a threshold fixed on the quiet start would take the loud end for speech.
    std::vector<short> take = enginetest::SyntheticWord(enginetest::kTakeSamples, 22000, 5000, 12000.0);
    std::vector<short> noise(enginetest::kTakeSamples, 0);
    enginetest::AddNoise(noise, 60.0, 8);
    for (int i = 0; i < enginetest::kTakeSamples; ++i) {
        const double grow = 0.6 + 0.9 * i / enginetest::kTakeSamples;
        take[i] = static_cast<short>(std::clamp(static_cast<int>(take[i] + grow * noise[i]), -32768, 32767));
    }
    const SEndpointResult r = Detect(take);
    ASSERT_EQ(1, r.bSpeech);
    EXPECT_GE(r.nCoreFirst, Frame(22000) - 3);
    EXPECT_LE(r.nCoreLast, Frame(27000) + 3);
}

TEST_F(EndpointDetectorTest, ClippingIsTooLoud)
{
    std::vector<short> take = enginetest::SyntheticWord(enginetest::kTakeSamples, 11025, 5000, 60000.0);
    const SEndpointResult r = Detect(take);
    EXPECT_EQ(0, r.bSpeech);
    EXPECT_EQ(kEpdTooLoud, r.nError);
}

TEST_F(EndpointDetectorTest, AWhisperOverSilenceIsTooQuiet)
{
    std::vector<short> take = enginetest::SyntheticWord(enginetest::kTakeSamples, 11025, 5000, 30.0);
    const SEndpointResult r = Detect(take);
    EXPECT_EQ(0, r.bSpeech);
    EXPECT_EQ(kEpdTooQuiet, r.nError);
    // Loud enough a few times over: accepted.
    EXPECT_EQ(1, Detect(enginetest::SyntheticWord(enginetest::kTakeSamples, 11025, 5000, 300.0)).bSpeech);
}

TEST_F(EndpointDetectorTest, ShortWordsNeedTheShortWordFlag)
{
    // About 155 ms of sound: under the 200 ms of a word, over the 100 ms of a short one.
    std::vector<short> take = enginetest::SyntheticWord(enginetest::kTakeSamples, 11025, 1700, 8000.0);
    enginetest::AddNoise(take, 16.0, 10);
    SEndpointResult r = Detect(take, 0);
    EXPECT_EQ(0, r.bSpeech);
    EXPECT_EQ(kEpdLengthAbnormal, r.nError);
    r = Detect(take, 1);
    EXPECT_EQ(1, r.bSpeech);
    // A click is too short even for a short word.
    std::vector<short> click = enginetest::SyntheticWord(enginetest::kTakeSamples, 11025, 500, 8000.0);
    EXPECT_EQ(0, Detect(click, 1).bSpeech);
}

TEST_F(EndpointDetectorTest, SpeechThroughTheWholeTakeIsTooLong)
{
    std::vector<short> take = enginetest::SyntheticWord(enginetest::kTakeSamples, 1000, 31000, 8000.0);
    // Keep it loud over most of its length: add a steady vowel in the middle.
    const std::vector<short> steady = enginetest::SyntheticWord(enginetest::kTakeSamples, 2000, 29000, 8000.0);
    for (int i = 0; i < enginetest::kTakeSamples; ++i)
        take[i] = static_cast<short>(std::clamp(take[i] / 2 + steady[i] / 2, -32768, 32767));
    const SEndpointResult r = Detect(take);
    EXPECT_EQ(0, r.bSpeech);
    EXPECT_EQ(kEpdLengthAbnormal, r.nError);
}

TEST_F(EndpointDetectorTest, MarginalTakesPassWithAWarning)
{
    // Cut by the start of the take.
    std::vector<short> cut = enginetest::SyntheticWord(enginetest::kTakeSamples, -2500, 5000, 8000.0);
    enginetest::AddNoise(cut, 16.0, 12);
    SEndpointResult r = Detect(cut);
    EXPECT_EQ(1, r.bSpeech);
    EXPECT_EQ(kEpdCutByEdge, r.nError);
    EXPECT_EQ(0, r.nFirstFrame);
    // Little margin over the room's noise.
    std::vector<short> faint = enginetest::SyntheticWord(enginetest::kTakeSamples, 11025, 5000, 2000.0);
    enginetest::AddNoise(faint, 120.0, 13);
    r = Detect(faint);
    EXPECT_EQ(1, r.bSpeech);
    EXPECT_EQ(kEpdLowSnr, r.nError);
    EXPECT_LT(r.fSnrDb, 22.0f);
}

TEST_F(EndpointDetectorTest, RecordedDigitsAreFoundWhereTheyWerePut)
{
    for (const char* name : {"0_george_0", "0_jackson_3", "0_nicolas_5", "0_theo_1", "1_george_2"}) {
        const std::vector<short> take = enginetest::FsddTake(name);
        ASSERT_FALSE(take.empty()) << name;
        const SEndpointResult r = Detect(take, 1);
        ASSERT_EQ(1, r.bSpeech) << name;
        // Frames are 240 samples long: the frame that starts 2 shifts early
        // already holds the word's first samples, and the smoothing adds one.
        EXPECT_GE(r.nCoreFirst, Frame(enginetest::kWordOffset) - 4) << name;
        EXPECT_LE(r.nCoreLast, Frame(enginetest::kWordOffset + 11025) + 2) << name;
    }
}

TEST(EndpointDetector, RefusesUnusableFramingAndEmptyInput)
{
    CEndpointDetector epd;
    EXPECT_EQ(0, epd.Init(0, 240, 80, 100, SEndpointParams{60, 250, 200, 100000}));
    EXPECT_EQ(0, epd.Init(11025, 240, 0, 100, SEndpointParams{60, 250, 200, 100000}));
    ASSERT_EQ(1, epd.Init(11025, 240, 80, 100, SEndpointParams{0, 0, 0, 0}));  // defaults
    SEndpointResult r;
    EXPECT_EQ(0, epd.Detect(nullptr, 10, nullptr, 0, 0, r));
    EXPECT_EQ(kEpdLengthAbnormal, r.nError);
}
