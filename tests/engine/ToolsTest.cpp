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

TEST(WaveFile, WritesAndReadsBackSixteenBitMono)
{
    const std::string path = enginetest::MakeTempDir("wave") + "/t.wav";
    std::vector<short> samples = {0, 1, -1, 32767, -32768, 1234};
    ASSERT_EQ(1, CWaveFile::Write(path, samples, 11025));
    std::vector<short> back;
    int rate = 0;
    ASSERT_EQ(1, CWaveFile::Read(path, back, rate));
    EXPECT_EQ(11025, rate);
    EXPECT_EQ(samples, back);
}

TEST(WaveFile, ReadsTheRecordingsAndRefusesOtherFiles)
{
    std::vector<short> s;
    int rate = 0;
    ASSERT_EQ(1, CWaveFile::Read(enginetest::FsddPath("0_george_0"), s, rate));
    EXPECT_EQ(8000, rate);
    EXPECT_GT(s.size(), 1000u);
    EXPECT_EQ(0, CWaveFile::Read(enginetest::FsddPath("no_such_take"), s, rate));
    const std::string path = enginetest::MakeTempDir("wave") + "/bad.wav";
    ASSERT_TRUE(enginetest::WriteBytes(path, {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 0xFF, 0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(0, CWaveFile::Read(path, s, rate));
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

TEST(SvgPlot, ProbitInvertsTheNormalDistribution)
{
    EXPECT_NEAR(0.0, CSvgPlot::Probit(0.5), 1e-9);
    EXPECT_NEAR(-1.959964, CSvgPlot::Probit(0.025), 1e-5);
    EXPECT_NEAR(2.326348, CSvgPlot::Probit(0.99), 1e-5);
    EXPECT_NEAR(-3.090232, CSvgPlot::Probit(0.001), 1e-5);
}

TEST(SvgPlot, WritesBothPictures)
{
    const std::string dir = enginetest::MakeTempDir("plots");
    const std::vector<double> g = {0.1, 0.2, 0.3, 0.5}, i = {0.4, 0.8, 0.9, 1.2, 1.5};
    ASSERT_EQ(1, CSvgPlot::WriteDet(dir + "/det.svg", g, i, 0.45));
    ASSERT_EQ(1, CSvgPlot::WriteHistogram(dir + "/scores.svg", g, i, 0.45));
    const std::vector<unsigned char> det = enginetest::ReadBytes(dir + "/det.svg");
    const std::string text(det.begin(), det.end());
    EXPECT_NE(std::string::npos, text.find("<polyline"));
    EXPECT_NE(std::string::npos, text.find("</svg>"));
    EXPECT_EQ(0, CSvgPlot::WriteDet(dir + "/missing/det.svg", g, i, 0.45));
}
