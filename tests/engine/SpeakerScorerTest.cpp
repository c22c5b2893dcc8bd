// The replay check's rigid fingerprint comparison.
#include "SpeakerScorer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kDims = CSpeakerModel::kFingerprintDims;

// A word-like fingerprint: every coefficient follows its own smooth course;
// `rate` stretches time (1 = as recorded).
std::vector<float> Word(int frames, double rate = 1.0)
{
    std::vector<float> fp(static_cast<size_t>(frames) * kDims);
    for (int i = 0; i < frames; ++i) {
        const double t = i / rate;
        for (int k = 0; k < kDims; ++k)
            fp[static_cast<size_t>(i) * kDims + k] = static_cast<float>(8.0 * std::sin(0.21 * t * (k + 1) + k));
    }
    return fp;
}

} // namespace

TEST(SpeakerScorer, AReplayLinesUpAtItsOffsetWhateverItsLevel)
{
    const std::vector<float> stored = Word(40);
    // The probe starts 6 frames earlier and ends 3 later, and is louder: its
    // cepstra and energy are moved alike in every frame.
    std::vector<float> probe(static_cast<size_t>(49) * kDims, 0.0f);
    for (int i = 0; i < 40; ++i)
        for (int k = 0; k < kDims; ++k)
            probe[static_cast<size_t>(i + 6) * kDims + k] = stored[static_cast<size_t>(i) * kDims + k] + (k < kDims - 1 ? 3.0f : 0.0f);
    EXPECT_LT(CSpeakerScorer::AlignedMedian(probe.data(), 49, stored.data(), 40), 1e-4f);
    // A few wild frames (a click) do not move the median.
    for (int k = 0; k < kDims; ++k) probe[static_cast<size_t>(20) * kDims + k] += 40.0f;
    EXPECT_LT(CSpeakerScorer::AlignedMedian(probe.data(), 49, stored.data(), 40), 1e-4f);
}

TEST(SpeakerScorer, AnotherTimingOrAnotherPitchIsFarFromTheRecording)
{
    const std::vector<float> stored = Word(40);
    // Spoken 15 % slower: no single offset lines it up.
    const std::vector<float> slower = Word(46, 1.15);
    const float replay = CSpeakerScorer::AlignedMedian(stored.data(), 40, stored.data(), 40);
    const float fresh = CSpeakerScorer::AlignedMedian(slower.data(), 46, stored.data(), 40);
    EXPECT_FLOAT_EQ(0.0f, replay);
    EXPECT_GT(fresh, 1.0f);
    // The pitch contour is compared as it is: a voice a semitone higher is
    // not the same recording.
    std::vector<float> higher = stored;
    for (int i = 0; i < 40; ++i) higher[static_cast<size_t>(i) * kDims + kDims - 1] += 1.0f;
    EXPECT_NEAR(1.0f / std::sqrt(static_cast<float>(kDims)),
                CSpeakerScorer::AlignedMedian(higher.data(), 40, stored.data(), 40), 1e-4f);
}

TEST(SpeakerScorer, EmptyOrOversizedFingerprintsAreUnreachable)
{
    const std::vector<float> a = Word(CTakeFeatures::kMaxFrames + 1);
    EXPECT_EQ(CDtw::kUnreachable, CSpeakerScorer::AlignedMedian(a.data(), 0, a.data(), 10));
    EXPECT_EQ(CDtw::kUnreachable, CSpeakerScorer::AlignedMedian(a.data(), 10, a.data(), 0));
    EXPECT_EQ(CDtw::kUnreachable,
              CSpeakerScorer::AlignedMedian(a.data(), CTakeFeatures::kMaxFrames + 1, a.data(), 10));
}
