// A recording played back, even through a loudspeaker and a room, still
// carries the enrolment take's waveform; another take of the word does not.
#include "EngineTestData.h"
#include "TakeCondition.h"
#include "WaveformPrint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using sonvera_test::kRate;
using sonvera_test::kTakeSamples;
using sonvera_test::kWordOffset;

// The word's stretch of every take here (fsdd's words are shorter than 0.8 s).
const int kFirst = kWordOffset - 2000;
const int kLast = kWordOffset + 9000;

struct SSigns {
    std::vector<uint64_t> bits[CWaveformPrint::kStep];
    int counts[CWaveformPrint::kStep] = {};
};

SSigns SignsOf(const std::vector<short>& take)
{
    SSigns s;
    CWaveformPrint::Signs(take.data(), static_cast<int>(take.size()), kFirst, kLast, kRate, s.bits, s.counts);
    return s;
}

// The print's first sign: its middle on george's "zero"'s loudest 20 ms,
// where the engine places it (the part of the word a room covers least).
const int kPrintStart = 663;
const int kCentre = kPrintStart + CWaveformPrint::kBits / 2;

std::vector<unsigned char> PrintOf(const std::vector<short>& take)
{
    const SSigns s = SignsOf(take);
    std::vector<unsigned char> print(CWaveformPrint::kBytes);
    EXPECT_EQ(1, CWaveformPrint::Excerpt(s.bits[0], s.counts[0], kPrintStart, print.data()));
    return print;
}

TEST(WaveformPrint, FindsTheEnrolmentTakesWaveformInItsReplaysAndNotInFreshTakes)
{
    const std::vector<short> enrolled = sonvera_test::FsddTake("0_george_0");
    ASSERT_FALSE(enrolled.empty());
    const std::vector<unsigned char> print = PrintOf(enrolled);
    const std::vector<short> copy = sonvera_test::FsddTake("0_george_0", 3.0, 1111, 24.0, 9);
    // Through the evaluation's loudspeaker and room ("replay"), 1000 samples later.
    STakeConditionRecipe loudspeaker;
    ASSERT_TRUE(CTakeCondition::Find("replay", loudspeaker));
    const std::vector<float> speech(enrolled.begin(), enrolled.end());
    const std::vector<short> played =
        CTakeCondition::Make(speech, loudspeaker, kRate, kTakeSamples, 1000, sonvera_test::kRoomNoiseRms, 7);
    const struct {
        const char* what;
        std::vector<short> take;
        int reach;
        float atLeast, atMost;
    } cases[] = {
        {"a digital copy, 1111 samples later and 3 dB louder", copy, 1000, 0.5f, 1.0f},
        {"played through a loudspeaker into a room, 1000 samples later", played, 1000, 0.3f, 1.0f},
        {"the digital copy looked for too near its own place (200 signs of 555)", copy, 200, 0.0f, 0.25f},
        {"another take of the word by the same speaker", sonvera_test::FsddTake("0_george_1"), 1000, 0.0f, 0.25f},
        {"silence", std::vector<short>(kTakeSamples, 0), 1000, 0.0f, 0.25f},
        {"a take too short to hold the print", std::vector<short>(kFirst + 1500, 100), 1000, 0.0f, 0.0f},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(c.take.empty()) << c.what;
        SSigns s = SignsOf(c.take);
        const float similarity = CWaveformPrint::Similarity(s.bits, s.counts, print.data(), kCentre, c.reach);
        EXPECT_GE(similarity, c.atLeast) << c.what;
        EXPECT_LE(similarity, c.atMost) << c.what;
    }
    // Two takes' prints are compared with each other as they are: one of
    // them against itself is the same waveform, two fresh takes are not.
    EXPECT_FLOAT_EQ(1.0f, CWaveformPrint::PairSimilarity(print.data(), print.data()));
    EXPECT_LT(CWaveformPrint::PairSimilarity(print.data(), PrintOf(sonvera_test::FsddTake("0_george_1")).data()), 0.25f);
    // A microphone that delivers digital silence around the word: the
    // filters' ringing there is alike in every take and must not make two
    // fresh takes one.
    const std::vector<unsigned char> silent = PrintOf(sonvera_test::FsddTake("0_george_0", 0.0, 0, 0.0));
    SSigns fresh = SignsOf(sonvera_test::FsddTake("0_george_1", 0.0, 0, 0.0));
    EXPECT_LT(CWaveformPrint::Similarity(fresh.bits, fresh.counts, silent.data(), kCentre, 1000), 0.25f);
}

// A print cut from the signs, some (or all: inverted) flipped, comes out at
// exactly its share of agreeing signs at every alignment, up to the ends of
// the signs and of the searched span; one past the end is the last they hold.
TEST(WaveformPrint, TheSearchCountsAgreeingSignsExactlyAtEveryAlignment)
{
    constexpr int kSigns = 3000;
    SSigns s;
    sonvera_test::RandomSigns(kSigns, 12345u, s.bits, s.counts);
    struct SCase { int start; int phase; int flipped; int reach; int fromCentre; };
    const SCase cases[] = {
        {0, 0, 0, 0, 0},                                   // first sign, no search around it
        {1, 1, 0, 5, 0},
        {63, 0, 37, 40, 0},
        {64, 1, 100, 1000, -700},                          // found 700 signs from the centre
        {65, 0, 0, 3, 3},                                  // at the edge of the searched span
        {kSigns, 1, 250, 0, -CWaveformPrint::kBits},       // beyond the last sign, found only at its end
        {977, 0, CWaveformPrint::kBits, 1000, 0},          // inverted
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "start " << c.start << " phase " << c.phase << " flipped " << c.flipped);
        std::vector<unsigned char> print(CWaveformPrint::kBytes);
        ASSERT_EQ(1, CWaveformPrint::Excerpt(s.bits[c.phase], kSigns, c.start, print.data()));
        for (int i = 0; i < c.flipped; ++i) {
            const int bit = i * 7 % CWaveformPrint::kBits;   // distinct: 7 and 1024 share no factor
            print[bit / 8] ^= static_cast<unsigned char>(1 << (bit % 8));
        }
        const int centre = c.start + CWaveformPrint::kBits / 2 + c.fromCentre;
        const int agreeing = CWaveformPrint::kBits - c.flipped;
        const float expected = std::abs(2.0f * agreeing - CWaveformPrint::kBits) / CWaveformPrint::kBits;
        EXPECT_EQ(expected, CWaveformPrint::Similarity(s.bits, s.counts, print.data(), centre, c.reach));
    }
}

} // namespace
