#include "Fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(Fft, RefusesSizesThatAreNotPowersOfTwoInRange)
{
    CFft fft;
    EXPECT_EQ(0, fft.Init(0));
    EXPECT_EQ(0, fft.Init(8));
    EXPECT_EQ(0, fft.Init(250));
    EXPECT_EQ(0, fft.Init(8192));
    EXPECT_EQ(1, fft.Init(256));
    EXPECT_EQ(256, fft.Size());
}

TEST(Fft, SinusoidPutsItsPowerIntoItsBin)
{
    CFft fft;
    ASSERT_EQ(1, fft.Init(256));
    for (int bin : {1, 10, 37, 127}) {
        std::vector<float> x(256);
        for (int i = 0; i < 256; ++i) x[i] = static_cast<float>(std::cos(2.0 * 3.14159265358979 * bin * i / 256));
        std::vector<float> p(129);
        fft.Power(x.data(), 256, p.data());
        // A unit cosine on an exact bin: |X[k]| = N/2, so power (N/2)^2.
        EXPECT_NEAR(128.0f * 128.0f, p[bin], 1.0f) << bin;
        for (int k = 0; k <= 128; ++k) {
            if (k != bin) {
                EXPECT_LT(p[k], 1e-2f) << "bin " << bin << " leaks into " << k;
            }
        }
    }
}

TEST(Fft, ZeroPadsShortInputAndKeepsParseval)
{
    CFft fft;
    ASSERT_EQ(1, fft.Init(64));
    std::vector<float> x(40);
    double energy = 0.0;
    for (int i = 0; i < 40; ++i) { x[i] = static_cast<float>((i * 7919) % 13 - 6); energy += x[i] * x[i]; }
    std::vector<float> p(33);
    fft.Power(x.data(), 40, p.data());
    // Parseval over the full spectrum: sum |X|^2 = N sum x^2 (bins 1..31 count twice).
    double sum = p[0] + p[32];
    for (int k = 1; k < 32; ++k) sum += 2.0 * p[k];
    EXPECT_NEAR(64.0 * energy, sum, 1e-3 * 64.0 * energy);
}
