#include "Dtw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
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
    EXPECT_FLOAT_EQ(0.0f, dtw.Distance(a.data(), 50, a.data(), 50, 2));
    const float stretched = dtw.Distance(a.data(), 50, slow.data(), 80, 2);
    EXPECT_LT(stretched, 0.5f);
    EXPECT_GT(dtw.Distance(a.data(), 50, other.data(), 50, 2), 4.0f * stretched);
    // Symmetric steps: the distance does not depend on the order of the two.
    EXPECT_NEAR(stretched, dtw.Distance(slow.data(), 80, a.data(), 50, 2), 1e-4f);
    // A word drawn out to three times its length still aligns, and closely;
    // at 4.5 times, or past Init's length, there is no path.
    const std::vector<float> shortWord = Trajectory(20), thrice = Trajectory(60);
    const std::vector<float> longer = Trajectory(90), tooLong = Trajectory(120);
    EXPECT_LT(dtw.Distance(shortWord.data(), 20, thrice.data(), 60, 2), 1.0f);
    EXPECT_EQ(CDtw::kUnreachable, dtw.Distance(shortWord.data(), 20, longer.data(), 90, 2));
    EXPECT_EQ(CDtw::kUnreachable, dtw.Distance(tooLong.data(), 120, tooLong.data(), 120, 2));
    EXPECT_EQ(CDtw::kUnreachable, dtw.Distance(a.data(), 0, a.data(), 20, 2));
    EXPECT_EQ(CDtw::kUnreachable, idle.Distance(a.data(), 20, a.data(), 20, 2));
    // Two frames each: the diagonal path costs 2 d per step over na + nb = 4.
    const std::vector<float> zero = {0, 0, 0, 0}, b = {3, 4, 3, 4};
    EXPECT_NEAR(5.0f, dtw.Distance(zero.data(), 2, b.data(), 2, 2), 1e-5f);
}

namespace {

// Frames of pseudo-random values in about (-20, 20), as cepstra and their
// deltas spread.
std::vector<float> Frames(int n, int dims, uint32_t seed)
{
    std::vector<float> v(static_cast<size_t>(n) * dims);
    for (float& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<float>(static_cast<int>(seed >> 8) % 40000) / 1000.0f - 20.0f;
    }
    return v;
}

// The frame distance one pair at a time: four running sums (dimension k
// into sum k % 4, the rest into the first), added pairwise.
float PlainSquared(const float* x, const float* y, int dims)
{
    float s[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    int k = 0;
    for (; k + 4 <= dims; k += 4)
        for (int j = 0; j < 4; ++j) { const float d = x[k + j] - y[k + j]; s[j] += d * d; }
    for (; k < dims; ++k) { const float d = x[k] - y[k]; s[0] += d * d; }
    return (s[0] + s[1]) + (s[2] + s[3]);
}

// The banded path of CDtw over PlainSquared's distances, one cell at a time.
float PlainDtw(const std::vector<float>& a, int na, const std::vector<float>& b, int nb, int dims)
{
    const float inf = 1e30f;
    const float slope = static_cast<float>(nb) / na;
    const int band = static_cast<int>(0.35f * std::max(na, nb)) + std::abs(na - nb) / 2 + 1;
    std::vector<float> prev(nb, inf), curr(nb, inf);
    for (int i = 0; i < na; ++i) {
        const int centre = static_cast<int>(i * slope);
        std::fill(curr.begin(), curr.end(), inf);
        for (int j = std::max(0, centre - band); j <= std::min(nb - 1, centre + band); ++j) {
            const float d = std::sqrt(PlainSquared(&a[static_cast<size_t>(i) * dims], &b[static_cast<size_t>(j) * dims],
                                                   dims));
            float best = i == 0 && j == 0 ? 2.0f * d : inf;
            if (i > 0) best = std::min(best, prev[j] + d);
            if (j > 0) best = std::min(best, curr[j - 1] + d);
            if (i > 0 && j > 0) best = std::min(best, prev[j - 1] + 2.0f * d);
            curr[j] = best;
        }
        std::swap(prev, curr);
    }
    return prev[nb - 1] >= inf ? CDtw::kUnreachable : prev[nb - 1] / static_cast<float>(na + nb);
}

// x87 arithmetic (32-bit builds without SSE) keeps intermediate results in
// wider registers wherever the compiler chooses to: there no two loops agree
// to the bit, only within float rounding. Everywhere else: the same bits.
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0
constexpr float kRelativeTolerance = 0.0f;
#else
constexpr float kRelativeTolerance = 1e-5f;
#endif

void ExpectSameFigure(float expected, float actual, const std::string& where)
{
    EXPECT_NEAR(expected, actual, kRelativeTolerance * std::max(1.0f, std::fabs(expected))) << where;
}

} // namespace

// The training scores every take many times over: the frame distances are
// worked out several frames at a time, and must give the one-pair-at-a-time
// figures to the last bit (a model's decisions may not depend on it).
TEST(Dtw, SeveralFramesAtATimeGiveThePlainLoopsFiguresExactly)
{
    const struct {
        int frames, dims, first, last;
    } blocks[] = {{1, 1, 0, 0}, {7, 3, 0, 6}, {8, 4, 0, 7}, {9, 26, 0, 8}, {40, 26, 5, 29}, {150, 13, 149, 149},
                  {150, 13, 0, 149}, {33, 6, 17, 32}};
    for (const auto& c : blocks) {
        const std::vector<float> frames = Frames(c.frames, c.dims, 11u + c.frames);
        const std::vector<float> y = Frames(1, c.dims, 7u + c.dims);
        std::vector<float> columns;
        const int stride = CDtw::ToColumns(frames.data(), c.frames, c.dims, c.dims, columns);
        std::vector<float> out(static_cast<size_t>(stride), -1.0f);
        CDtw::SquaredDistances(columns.data(), stride, c.first, c.last, y.data(), c.dims, out.data());
        for (int j = 0; j < stride; ++j) {
            const float expected = j >= c.first && j <= c.last
                                       ? PlainSquared(&frames[static_cast<size_t>(j) * c.dims], y.data(), c.dims)
                                       : -1.0f;   // outside first..last: untouched
            ExpectSameFigure(expected, out[j],
                             std::to_string(c.frames) + " x " + std::to_string(c.dims) + ", frame " + std::to_string(j));
        }
    }
    const struct {
        int na, nb, dims;
    } words[] = {{50, 50, 26}, {37, 90, 26}, {90, 41, 13}, {1, 2, 5}, {150, 150, 26}, {60, 23, 7}};
    CDtw dtw;
    ASSERT_EQ(1, dtw.Init(150));
    for (const auto& c : words) {
        const std::vector<float> a = Frames(c.na, c.dims, 3u + c.na), b = Frames(c.nb, c.dims, 5u + c.nb);
        ExpectSameFigure(PlainDtw(a, c.na, b, c.nb, c.dims),
                         dtw.Distance(a.data(), c.na, b.data(), c.nb, c.dims),
                         std::to_string(c.na) + " x " + std::to_string(c.nb) + " x " + std::to_string(c.dims));
    }
}
