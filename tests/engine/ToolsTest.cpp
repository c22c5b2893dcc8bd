// The evaluation tool's helpers: WAV files, resampling, take synthesis, plots.
#include "EngineTestData.h"
#include "Resampler.h"
#include "SvgPlot.h"
#include "TakeSynthesizer.h"
#include "WaveFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

TEST(WaveFile, WritesAndReadsBackSixteenBitMonoAndRefusesOtherFiles)
{
    const std::string dir = sonvera_test::MakeTempDir("wave");
    std::vector<short> samples = {0, 1, -1, 32767, -32768, 1234}, back;
    int rate = 0;
    ASSERT_EQ(1, CWaveFile::Write(dir + "/t.wav", samples, 11025));
    ASSERT_EQ(1, CWaveFile::Read(dir + "/t.wav", back, rate));
    EXPECT_EQ(11025, rate);
    EXPECT_EQ(samples, back);
    ASSERT_EQ(1, CWaveFile::Read(sonvera_test::FsddPath("0_george_0"), back, rate));
    EXPECT_EQ(8000, rate);
    EXPECT_GT(back.size(), 1000u);
    EXPECT_EQ(0, CWaveFile::Read(sonvera_test::FsddPath("no_such_take"), back, rate));
    ASSERT_TRUE(sonvera_test::WriteBytes(dir + "/bad.wav", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(0, CWaveFile::Read(dir + "/bad.wav", back, rate));
    // A data chunk longer than what is left of the file: a cut-off recording.
    std::vector<unsigned char> cut = sonvera_test::ReadBytes(dir + "/t.wav");
    cut.resize(cut.size() - 4);
    ASSERT_TRUE(sonvera_test::WriteBytes(dir + "/cut.wav", cut));
    EXPECT_EQ(0, CWaveFile::Read(dir + "/cut.wav", back, rate));
}

TEST(Resampler, KeepsAToneAndChangesTheLengthByTheRatio)
{
    std::vector<short> tone(8000);
    for (int i = 0; i < 8000; ++i) tone[i] = static_cast<short>(10000.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * i / 8000));
    const std::vector<float> out = CResampler::Convert(tone, 8000, 11025);
    EXPECT_NEAR(11025.0, static_cast<double>(out.size()), 2.0);
    // Away from the edges, the output is the same 440 Hz tone at 11025 Hz.
    double err = 0.0;
    for (int i = 500; i < 10500; ++i)
        err = std::max(err, std::fabs(out[i] - 10000.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * i / 11025)));
    EXPECT_LT(err, 100.0);
}

TEST(TakeSynthesizer, IsDeterministicPerSeedAndPlacesTheWord)
{
    std::vector<float> word(1000, 1000.0f);
    const STakeRecipe recipe = {5000, 2000, 0.0, 10.0, 42};
    const std::vector<short> a = CTakeSynthesizer::Make(word, recipe), b = CTakeSynthesizer::Make(word, recipe);
    EXPECT_EQ(a, b);
    STakeRecipe other = recipe;
    other.nSeed = 43;
    EXPECT_NE(a, CTakeSynthesizer::Make(word, other));
    EXPECT_LT(std::abs(a[1000]), 60);
    EXPECT_NEAR(1000, a[2500], 60);
    STakeRecipe louder = recipe;
    louder.fGainDb = 6.0;
    louder.fNoiseRms = 0.0;
    EXPECT_NEAR(1995, CTakeSynthesizer::Make(word, louder)[2500], 2);
}

TEST(SvgPlot, ProbitInvertsTheNormalDistributionAndBothPicturesAreWritten)
{
    const double cases[][2] = {{0.5, 0.0}, {0.025, -1.959964}, {0.99, 2.326348}, {0.001, -3.090232}};
    for (const auto& c : cases) EXPECT_NEAR(c[1], CSvgPlot::Probit(c[0]), 1e-5) << c[0];
    const std::string dir = sonvera_test::MakeTempDir("plots");
    const std::vector<double> g = {0.1, 0.2, 0.3, 0.5}, i = {0.4, 0.8, 0.9, 1.2, 1.5};
    ASSERT_EQ(1, CSvgPlot::WriteDet(dir + "/det.svg", g, i, 0.45));
    ASSERT_EQ(1, CSvgPlot::WriteHistogram(dir + "/scores.svg", g, i, 0.45));
    const std::vector<unsigned char> det = sonvera_test::ReadBytes(dir + "/det.svg");
    const std::string text(det.begin(), det.end());
    EXPECT_NE(std::string::npos, text.find("<polyline"));
    EXPECT_NE(std::string::npos, text.find("</svg>"));
    EXPECT_EQ(0, CSvgPlot::WriteDet(dir + "/missing/det.svg", g, i, 0.45));
}
