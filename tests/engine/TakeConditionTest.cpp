// The evaluation's conditions on pure tones, whose levels are known: what each
// band passes, the noise's ratio to the speech, the room's decay.
#include "EngineTestData.h"
#include "TakeCondition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using sonvera_test::kRate;
constexpr int kTake = sonvera_test::kTakeSamples;
constexpr int kOffset = sonvera_test::kWordOffset;
const double kPi = 3.14159265358979323846;
const double kTonePower = 3000.0 * 3000.0 / 2.0;

// One second of a tone at `amplitude`.
std::vector<float> Tone(double hz, double amplitude = 3000.0)
{
    std::vector<float> x(kRate);
    for (int i = 0; i < kRate; ++i) x[i] = static_cast<float>(amplitude * std::sin(2.0 * kPi * hz * i / kRate));
    return x;
}

// Mean square of x[from, to).
template <typename T>
double Power(const std::vector<T>& x, int from, int to)
{
    double sum = 0.0;
    for (int i = from; i < to; ++i) sum += static_cast<double>(x[i]) * x[i];
    return sum / (to - from);
}

double Db(double ratio) { return 10.0 * std::log10(ratio); }

} // namespace

// The telephone's and the loudspeaker's bands on tones.
TEST(TakeCondition, TheBandsPassTheirMiddleAndCutTheirEdges)
{
    const struct {
        double low, high;
        int order;
        double hz, lowDb, highDb;
    } cases[] = {
        {300, 3400, 4, 1000, -0.5, 0.5}, {300, 3400, 4, 150, -99, -22}, {300, 3400, 4, 5000, -99, -12},
        {300, 5000, 2, 1000, -1.0, 0.5}, {300, 5000, 2, 120, -99, -14},
    };
    for (const auto& c : cases) {
        std::vector<float> x = Tone(c.hz);
        CTakeCondition::BandPass(x, c.low, c.high, c.order, kRate);
        const double level = Db(Power(x, kRate / 2, kRate) / kTonePower);
        EXPECT_GE(level, c.lowDb) << c.low << "-" << c.high << " at " << c.hz;
        EXPECT_LE(level, c.highDb) << c.low << "-" << c.high << " at " << c.hz;
    }
}

// The speech keeps its active level through a room and a loudspeaker; only
// the gain of a softer take moves it. Measured in the middle of the placed
// recording without background noise, against the tone as recorded.
TEST(TakeCondition, EachConditionKeepsOrMovesTheLevelAsItShould)
{
    const struct {
        const char* condition;
        double lowDb, highDb;
    } cases[] = {{"clean", -0.1, 0.1}, {"soft12", -12.1, -11.9}, {"phone", -0.5, 0.5},
                 {"reverb", -2.0, 2.0}, {"replay", -2.0, 2.0}};
    for (const auto& c : cases) {
        STakeConditionRecipe recipe;
        ASSERT_TRUE(CTakeCondition::Find(c.condition, recipe)) << c.condition;
        recipe.fNoiseSnrDb = 0.0;
        const std::vector<short> take = CTakeCondition::Make(Tone(1000.0), recipe, kRate, kTake, kOffset, 0.0, 1);
        const double level = Db(Power(take, kOffset + 3000, kOffset + 8000) / kTonePower);
        EXPECT_GE(level, c.lowDb) << c.condition;
        EXPECT_LE(level, c.highDb) << c.condition;
    }
    STakeConditionRecipe recipe;
    EXPECT_FALSE(CTakeCondition::Find("no such room", recipe));
    EXPECT_EQ(8u, CTakeCondition::Names().size());
}

// Noise covers the whole take at its ratio to the speech's active level
// (a tone's active level is its mean square).
TEST(TakeCondition, NoiseSitsItsRatioUnderTheSpeechAndSpeechShapedNoiseIsLow)
{
    const struct {
        const char* condition;
        double snr;
    } cases[] = {{"white20", 20.0}, {"speech20", 20.0}, {"white10", 10.0}};
    for (const auto& c : cases) {
        STakeConditionRecipe recipe;
        ASSERT_TRUE(CTakeCondition::Find(c.condition, recipe));
        const std::vector<short> take = CTakeCondition::Make(Tone(1000.0), recipe, kRate, kTake, kOffset, 0.0, 7);
        const double noise = Power(take, 0, kOffset - 100) + Power(take, kOffset + kRate + 100, kTake);
        EXPECT_NEAR(c.snr, Db(kTonePower / (noise / 2.0)), 0.5) << c.condition;
    }
    EXPECT_NEAR(20 * std::log10(3000.0 / std::sqrt(2.0)), Db(CTakeCondition::ActiveLevel(Tone(1000.0), kRate)), 0.01);
    // Speech-shaped noise: far less power at 4 kHz than at 200 Hz (a second
    // first-order pole: the difference of two samples apart).
    STakeConditionRecipe shaped;
    ASSERT_TRUE(CTakeCondition::Find("speech20", shaped));
    const std::vector<short> take = CTakeCondition::Make(Tone(1000.0), shaped, kRate, kTake, kOffset, 0.0, 7);
    double low = 0.0, high = 0.0;
    for (int i = 1; i < kOffset - 100; ++i) {
        low += static_cast<double>(take[i]) * take[i];
        const double d = take[i] - take[i - 1];
        high += d * d;
    }
    EXPECT_LT(high, 0.5 * low);
}

TEST(TakeCondition, TheRoomDecaysSixtyDecibelsOverItsReverberationTime)
{
    const std::vector<float> h = CTakeCondition::RoomResponse(0.3, kRate, 3);
    ASSERT_EQ(static_cast<size_t>(0.3 * kRate), h.size());
    EXPECT_EQ(1.0f, h[0]);
    const int n = static_cast<int>(h.size()), tenth = n / 10;
    EXPECT_NEAR(0.5, Power(h, 1, n) * (n - 1), 1e-3);   // the tail: half the direct sound
    // 60 dB over the whole response: about 54 dB between its first and last tenth.
    EXPECT_NEAR(-54.0, Db(Power(h, n - tenth, n) / Power(h, 1, tenth + 1)), 3.0);
}
