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

// The speech keeps its level through a room and a loudspeaker, only a softer
// take's gain moves it; noise sits its ratio under the speech's active level
// (a tone's mean square), speech-shaped noise far weaker at 4 kHz than at
// 200 Hz (the difference of two samples apart; white noise's has twice the power).
TEST(TakeCondition, EachConditionSetsTheLevelTheNoiseAndItsColour)
{
    const double any = 1e9;
    const struct {
        const char* condition;
        double lowDb, highDb, snr, highShare;
    } cases[] = {{"clean", -0.1, 0.1, any, any},      {"soft12", -12.1, -11.9, any, any},
                 {"phone", -0.5, 0.5, any, any},      {"reverb", -2.0, 2.0, any, any},
                 {"replay", -2.0, 2.0, any, any},     {"white20", -0.1, 0.1, 20.0, 2.5},
                 {"speech20", -0.1, 0.1, 20.0, 0.5}, {"white10", -0.1, 0.1, 10.0, 2.5}};
    for (const auto& c : cases) {
        STakeConditionRecipe recipe;
        ASSERT_TRUE(CTakeCondition::Find(c.condition, recipe)) << c.condition;
        STakeConditionRecipe quiet = recipe;
        quiet.fNoiseSnrDb = 0.0;
        std::vector<short> take = CTakeCondition::Make(Tone(1000.0), quiet, kRate, kTake, kOffset, 0.0, 1);
        const double level = Db(Power(take, kOffset + 3000, kOffset + 8000) / kTonePower);
        EXPECT_GE(level, c.lowDb) << c.condition;
        EXPECT_LE(level, c.highDb) << c.condition;
        if (c.snr == any) continue;
        take = CTakeCondition::Make(Tone(1000.0), recipe, kRate, kTake, kOffset, 0.0, 7);
        const double noise = Power(take, 0, kOffset - 100) + Power(take, kOffset + kRate + 100, kTake);
        EXPECT_NEAR(c.snr, Db(kTonePower / (noise / 2.0)), 0.5) << c.condition;
        double low = 0.0, high = 0.0;
        for (int i = 1; i < kOffset - 100; ++i) {
            low += static_cast<double>(take[i]) * take[i];
            high += (take[i] - take[i - 1]) * static_cast<double>(take[i] - take[i - 1]);
        }
        EXPECT_LT(high, c.highShare * low) << c.condition;
    }
    EXPECT_NEAR(20 * std::log10(3000.0 / std::sqrt(2.0)), Db(CTakeCondition::ActiveLevel(Tone(1000.0), kRate)), 0.01);
    STakeConditionRecipe recipe;
    EXPECT_FALSE(CTakeCondition::Find("no such room", recipe));
    EXPECT_EQ(8u, CTakeCondition::Names().size());
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
