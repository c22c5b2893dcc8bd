// The evaluation tool's take conditions, on a word of two tones whose levels
// are known, and its WAV reader, which the tests' recordings come through too.
#include "EngineTestData.h"
#include "TakeCondition.h"
#include "WaveFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

namespace {

using sonvera_test::kRate;
constexpr int kTake = sonvera_test::kTakeSamples;
constexpr int kOffset = sonvera_test::kWordOffset;
const double kWordPower = 3000.0 * 3000.0;

// One second of 150 Hz and 1000 Hz, each at 3000 LSB.
std::vector<float> TwoTones()
{
    const double pi = 3.14159265358979323846;
    std::vector<float> x(kRate);
    for (int i = 0; i < kRate; ++i) {
        const double t = 2.0 * pi * i / kRate;
        x[i] = static_cast<float>(3000.0 * (std::sin(150.0 * t) + std::sin(1000.0 * t)));
    }
    return x;
}

double Power(const std::vector<short>& x, int from, int to)
{
    double sum = 0.0;
    for (int i = from; i < to; ++i) sum += static_cast<double>(x[i]) * x[i];
    return sum / (to - from);
}

// The power of the difference of neighbouring samples against the power:
// about 0.16 for the two tones, 0.31 for the upper one alone, 2 for white noise.
double Brightness(const std::vector<short>& x, int from, int to)
{
    double sum = 0.0;
    for (int i = from; i < to; ++i) sum += static_cast<double>(x[i] - x[i - 1]) * (x[i] - x[i - 1]);
    return sum / (to - from) / Power(x, from, to);
}

double Db(double ratio) { return std::max(-99.0, 10.0 * std::log10(ratio)); }

} // namespace

// Each condition's level, brightness and ringing after the word without its
// noise, then the noise's ratio to the speech's level and its colour.
TEST(TakeCondition, EachConditionChangesTheTakeAsNamed)
{
    const struct {
        const char* condition;
        double levelDb, brightness, ringDb, snrDb, noiseBrightness;
    } cases[] = {
        {"clean", 0.0, 0.162, -99.0, 0.0, 0.0},     {"soft12", -12.0, 0.162, -99.0, 0.0, 0.0},
        {"phone", -3.0, 0.315, -99.0, 0.0, 0.0},    {"reverb", 0.4, 0.182, -13.4, 0.0, 0.0},
        {"replay", 0.5, 0.303, -14.4, 30.0, 1.97},  {"white20", 0.0, 0.162, -99.0, 20.0, 1.97},
        {"speech20", 0.0, 0.162, -99.0, 20.0, 0.46}, {"white10", 0.0, 0.162, -99.0, 10.0, 1.97},
    };
    EXPECT_EQ(std::size(cases), CTakeCondition::Names().size());
    const int wordFrom = kOffset + 3000, wordTo = kOffset + 8000;
    for (const auto& c : cases) {
        STakeConditionRecipe recipe;
        ASSERT_TRUE(CTakeCondition::Find(c.condition, recipe)) << c.condition;
        STakeConditionRecipe quiet = recipe;
        quiet.fNoiseSnrDb = 0.0;
        std::vector<short> take = CTakeCondition::Make(TwoTones(), quiet, kRate, kTake, kOffset, 0.0, 1);
        EXPECT_NEAR(c.levelDb, Db(Power(take, wordFrom, wordTo) / kWordPower), 0.5) << c.condition;
        EXPECT_NEAR(c.brightness, Brightness(take, wordFrom, wordTo), 0.005) << c.condition;
        const int after = kOffset + kRate;
        EXPECT_NEAR(c.ringDb, Db(Power(take, after + 200, after + 1300) / kWordPower), 1.0) << c.condition;
        if (c.snrDb == 0.0) continue;
        take = CTakeCondition::Make(TwoTones(), recipe, kRate, kTake, kOffset, 0.0, 7);
        EXPECT_NEAR(c.snrDb, Db(kWordPower / Power(take, 1, kOffset - 100)), 0.5) << c.condition;
        EXPECT_NEAR(c.noiseBrightness, Brightness(take, 1, kOffset - 100), 0.1) << c.condition;
    }
}

// A recording cut off inside its data chunk is refused, not read past its end.
TEST(WaveFile, ARecordingCutOffInItsDataIsRefused)
{
    std::vector<unsigned char> bytes = sonvera_test::ReadBytes(sonvera_test::FsddPath("0_george_0"));
    ASSERT_GT(bytes.size(), 1000u);
    bytes.resize(bytes.size() - 4);
    const std::string path = sonvera_test::MakeTempDir("wave") + "/cut.wav";
    ASSERT_TRUE(sonvera_test::WriteBytes(path, bytes));
    std::vector<short> samples;
    int rate = 0;
    EXPECT_EQ(0, CWaveFile::Read(path, samples, rate));
}
