#include "Fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(Fft, TakesPowersOfTwoFrom16To4096)
{
    const struct {
        int size, ok;
    } cases[] = {{0, 0}, {8, 0}, {16, 1}, {250, 0}, {256, 1}, {4096, 1}, {8192, 0}};
    for (const auto& c : cases) {
        CFft fft;
        EXPECT_EQ(c.ok, fft.Init(c.size)) << c.size;
        EXPECT_EQ(c.ok ? c.size : 0, fft.Size()) << c.size;
    }
}

// A unit cosine on an exact bin: |X[k]| = N/2, so power (N/2)^2 there and
// none elsewhere. Input shorter than the size is padded with zeros (not with
// what the buffer held), and its power sums to N times its energy (Parseval;
// bins 1..N/2-1 count twice).
TEST(Fft, ACosinePutsItsPowerIntoItsBinAndShortInputIsPaddedWithZeros)
{
    CFft fft;
    ASSERT_EQ(1, fft.Init(256));
    std::vector<float> x(256), p(129);
    for (int bin : {1, 10, 37, 127}) {
        for (int i = 0; i < 256; ++i) x[i] = static_cast<float>(std::cos(2.0 * 3.14159265358979 * bin * i / 256));
        fft.Power(x.data(), 256, p.data());
        for (int k = 0; k <= 128; ++k) EXPECT_NEAR(k == bin ? 128.0f * 128.0f : 0.0f, p[k], k == bin ? 1.0f : 1e-2f) << bin << " " << k;
    }
    double energy = 0.0;
    for (int i = 0; i < 40; ++i) { x[i] = static_cast<float>((i * 7919) % 13 - 6); energy += x[i] * x[i]; }
    fft.Power(x.data(), 40, p.data());
    double sum = p[0] + p[128];
    for (int k = 1; k < 128; ++k) sum += 2.0 * p[k];
    EXPECT_NEAR(256.0 * energy, sum, 1e-3 * 256.0 * energy);
}
