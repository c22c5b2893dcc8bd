// The take check's limits on words whose cepstra all rise `slope` dB a word
// frame from `offset` dB (two words' mean cepstra lie 4 x the offsets'
// difference apart).
#include "FeatureMatrix.h"
#include "TakeChecker.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

constexpr int kCepstra = 16;
constexpr int kWordFrames = 30;

CTakeFeatures Ramp(float slope, float offset)
{
    CFeatureMatrix m;
    m.SetCapacity(2 * kWordFrames, kCepstra + 1);
    m.Resize(2 * kWordFrames, kCepstra + 1);
    for (int row = 0; row < 2 * kWordFrames; ++row) {
        for (int k = 0; k < kCepstra; ++k) m.Row(row)[k] = offset + slope * static_cast<float>(row / 2);
        m.Row(row)[kCepstra] = 70.0f;   // every frame as loud as the peak
    }
    CTakeFeatures take;
    take.Build(m, 0, 2 * kWordFrames - 1, CTakeFeatures::kMaxFrames);
    return take;
}

} // namespace

TEST(TakeChecker, PlausibleSpeechIsVoicedAndChangingAndEachVerdictHasItsReason)
{
    const struct {
        const char* what;
        float voiced, slope;
        CTakeChecker::EVerdict verdict;
    } cases[] = {
        {"just under the voiced share", 0.09f, 1.0f, CTakeChecker::kNotSpeech},
        {"at the voiced share", 0.1f, 1.0f, CTakeChecker::kTakeOk},
        {"just under the change", 1.0f, 0.5f, CTakeChecker::kNotSpeech},
        {"just over the change", 1.0f, 0.6f, CTakeChecker::kTakeOk},
    };
    CTakeChecker checker;
    ASSERT_EQ(1, checker.Init());
    for (const auto& c : cases) {
        EXPECT_EQ(c.verdict, checker.CheckSpeech(Ramp(c.slope, 0.0f), c.voiced)) << c.what;
        EXPECT_NEAR(c.slope, checker.LastCepstralChange(), 1e-4f) << c.what;
    }
    EXPECT_STREQ("", CTakeChecker::Reason(CTakeChecker::kTakeOk));
    const char* notSpeech = CTakeChecker::Reason(CTakeChecker::kNotSpeech);
    EXPECT_STRNE("", notSpeech);
    EXPECT_STRNE(notSpeech, CTakeChecker::Reason(CTakeChecker::kOtherWord));
}

TEST(TakeChecker, TheSameWordStaysWithinTheRatioOfTheEarlierTakesAndTheirCourse)
{
    const struct {
        const char* what;
        float ratioLimit;
        std::vector<float> earlier;   // offsets of the takes kept so far, rising by 1 dB a frame
        float offset, slope;
        float ratio;                  // mean of 0.5 x DTW / 25 + 0.5 x 4 x |offset difference| / 20
        CTakeChecker::EVerdict verdict;
    } cases[] = {
        {"the first take", 1.2f, {}, 50.0f, 1.0f, 0.0f, CTakeChecker::kTakeOk},
        {"just inside", 1.2f, {0.0f}, 11.9f, 1.0f, 1.19f, CTakeChecker::kTakeOk},
        {"just outside", 1.2f, {0.0f}, 12.1f, 1.0f, 1.21f, CTakeChecker::kOtherWord},
        {"the mean over the takes counts", 1.2f, {0.0f, 30.0f}, 6.0f, 1.0f, 1.5f, CTakeChecker::kOtherWord},
        {"a looser ratio", 1.6f, {0.0f}, 15.0f, 1.0f, 1.5f, CTakeChecker::kTakeOk},
        {"falling where the earlier take rose, the same mean", 1.2f, {0.0f}, 29.0f, -1.0f, 1.35f,
         CTakeChecker::kOtherWord},
    };
    for (const auto& c : cases) {
        CTakeChecker checker;
        ASSERT_EQ(1, checker.Init());
        ASSERT_EQ(1, checker.SetSameWordRatio(c.ratioLimit));
        std::vector<CTakeFeatures> kept;
        for (float offset : c.earlier) kept.push_back(Ramp(1.0f, offset));
        std::vector<const CTakeFeatures*> earlier;
        for (const CTakeFeatures& t : kept) earlier.push_back(&t);
        EXPECT_EQ(c.verdict, checker.CheckSameWord(Ramp(c.slope, c.offset), earlier.data(),
                                                   static_cast<int>(earlier.size()))) << c.what;
        EXPECT_NEAR(c.ratio, checker.LastSameWordRatio(), 1e-3f) << c.what;
    }
    CTakeChecker checker;
    ASSERT_EQ(1, checker.Init());
    for (float bad : {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(0, checker.SetSameWordRatio(bad)) << bad;
}
