#include "Dtw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A 2-dimensional trajectory sampled at n points: a smooth "word".
std::vector<float> Trajectory(int n, double phase = 0.0)
{
    std::vector<float> v(2 * n);
    for (int i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / (n - 1);
        v[2 * i] = static_cast<float>(10.0 * std::sin(3.0 * t + phase));
        v[2 * i + 1] = static_cast<float>(10.0 * std::cos(5.0 * t + phase));
    }
    return v;
}

} // namespace

TEST(Dtw, TheSameWordSlowerIsCloseAnotherWordFarAndLengthsTooFarApartUnreachable)
{
    CDtw dtw, idle;
    ASSERT_EQ(1, dtw.Init(100));
    const std::vector<float> a = Trajectory(50), slow = Trajectory(80), other = Trajectory(50, 1.5);
    EXPECT_FLOAT_EQ(0.0f, dtw.Distance(a.data(), 50, a.data(), 50, 2, nullptr));
    const float stretched = dtw.Distance(a.data(), 50, slow.data(), 80, 2, nullptr);
    EXPECT_LT(stretched, 0.5f);
    EXPECT_GT(dtw.Distance(a.data(), 50, other.data(), 50, 2, nullptr), 4.0f * stretched);
    // Symmetric steps: the distance does not depend on the order of the two.
    EXPECT_NEAR(stretched, dtw.Distance(slow.data(), 80, a.data(), 50, 2, nullptr), 1e-4f);
    // A word drawn out to three times its length still aligns, and closely;
    // at 4.5 times, or past Init's length, there is no path.
    const std::vector<float> shortWord = Trajectory(20), thrice = Trajectory(60);
    const std::vector<float> longer = Trajectory(90), tooLong = Trajectory(120);
    EXPECT_LT(dtw.Distance(shortWord.data(), 20, thrice.data(), 60, 2, nullptr), 1.0f);
    EXPECT_EQ(CDtw::kUnreachable, dtw.Distance(shortWord.data(), 20, longer.data(), 90, 2, nullptr));
    EXPECT_EQ(CDtw::kUnreachable, dtw.Distance(tooLong.data(), 120, tooLong.data(), 120, 2, nullptr));
    EXPECT_EQ(CDtw::kUnreachable, dtw.Distance(a.data(), 0, a.data(), 20, 2, nullptr));
    EXPECT_EQ(CDtw::kUnreachable, idle.Distance(a.data(), 20, a.data(), 20, 2, nullptr));
    // Two frames each: the diagonal path costs 2 d per step over na + nb = 4.
    const std::vector<float> zero = {0, 0, 0, 0}, b = {3, 4, 3, 4};
    const float w[2] = {2.0f, 0.0f};
    EXPECT_NEAR(5.0f, dtw.Distance(zero.data(), 2, b.data(), 2, 2, nullptr), 1e-5f);
    EXPECT_NEAR(6.0f, dtw.Distance(zero.data(), 2, b.data(), 2, 2, w), 1e-5f);
}
