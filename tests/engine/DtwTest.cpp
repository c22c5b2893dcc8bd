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

// Pseudo-random frames in about (-20, 20), as cepstra and deltas spread.
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

// x87 arithmetic (32-bit builds without SSE) keeps intermediates wider where
// the compiler chooses: there two loops agree only within float rounding.
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0
constexpr float kRelativeTolerance = 0.0f;
#else
constexpr float kRelativeTolerance = 1e-5f;
#endif

} // namespace

// Worked out several frames and dimensions at a time, the distances are the
// plain loops' to the last bit (a model's decisions may not depend on it).
// Lengths more than 3.5 times apart, over Init's or empty have no path.
TEST(Dtw, TheBandedPathGivesThePlainLoopsFiguresAndNoneForLengthsTooFarApart)
{
    const struct {
        int na, nb, dims;
        bool reachable;
    } words[] = {
        {50, 50, 26, true}, {37, 90, 32, true}, {90, 41, 13, true},  {1, 2, 5, true},
        {150, 150, 26, true}, {60, 23, 7, true}, {20, 60, 1, true},  {20, 90, 26, false},
        {151, 151, 13, false}, {0, 20, 13, false},
    };
    CDtw dtw;
    ASSERT_EQ(1, dtw.Init(150));
    for (const auto& c : words) {
        const std::string what =
            std::to_string(c.na) + " x " + std::to_string(c.nb) + " x " + std::to_string(c.dims);
        const std::vector<float> a = Frames(c.na, c.dims, 3u + c.na), b = Frames(c.nb, c.dims, 5u + c.nb);
        const float distance = dtw.Distance(a.data(), c.na, b.data(), c.nb, c.dims);
        if (!c.reachable) {
            EXPECT_EQ(CDtw::kUnreachable, distance) << what;
            continue;
        }
        const float expected = PlainDtw(a, c.na, b, c.nb, c.dims);
        EXPECT_NEAR(expected, distance, kRelativeTolerance * std::max(1.0f, std::fabs(expected))) << what;
    }
    // Frames 1..6 of nine, each as the plain sum, nothing written past them.
    const std::vector<float> frames = Frames(9, 7, 11u), y = Frames(1, 7, 7u);
    std::vector<float> columns;
    const int stride = CDtw::ToColumns(frames.data(), 9, 7, 7, columns);
    std::vector<float> squared(static_cast<size_t>(stride), -1.0f);
    CDtw::SquaredDistances(columns.data(), stride, 1, 6, y.data(), 7, squared.data());
    for (int j = 0; j < stride; ++j) {
        const float* frame = &frames[static_cast<size_t>(j) * 7];
        const float expected = j >= 1 && j <= 6 ? PlainSquared(frame, y.data(), 7) : -1.0f;
        EXPECT_NEAR(expected, squared[j], kRelativeTolerance * std::fabs(expected)) << "frame " << j;
    }
}

// Summed along the traced path (a diagonal step twice), with the same
// weights, the frame distances give the distance itself.
TEST(Dtw, ThePathIsTheOneTheDistanceTookWithTheSameWeights)
{
    const struct {
        int na, nb, dims;
        bool weighed;
    } words[] = {{40, 40, 6, false}, {40, 40, 6, true}, {37, 52, 9, false}, {37, 52, 9, true}, {30, 18, 5, true}};
    CDtw dtw;
    ASSERT_EQ(1, dtw.Init(128));
    for (const auto& c : words) {
        const std::string what = std::to_string(c.na) + " x " + std::to_string(c.nb) + (c.weighed ? ", weighed" : "");
        const std::vector<float> a = Frames(c.na, c.dims, 7u + c.na), b = Frames(c.nb, c.dims, 9u + c.nb);
        std::vector<float> weights(static_cast<size_t>(c.dims), 1.0f);
        for (int k = 0; k < c.dims; ++k) weights[static_cast<size_t>(k)] = c.weighed ? 0.25f + 0.5f * (k % 4) : 1.0f;
        const float* w = c.weighed ? weights.data() : nullptr;
        std::vector<int> pathA, pathB;
        const int n = dtw.Path(a.data(), c.na, b.data(), c.nb, c.dims, pathA, pathB, w);
        ASSERT_GT(n, 0) << what;
        double sum = 0.0;
        for (int k = 0; k < n; ++k) {
            double squared = 0.0;
            for (int d = 0; d < c.dims; ++d) {
                const double x = a[static_cast<size_t>(pathA[k]) * c.dims + d] -
                                 b[static_cast<size_t>(pathB[k]) * c.dims + d];
                squared += x * x * weights[static_cast<size_t>(d)];
            }
            const bool diagonal = k == 0 || (pathA[k] != pathA[k - 1] && pathB[k] != pathB[k - 1]);
            sum += (diagonal ? 2.0 : 1.0) * std::sqrt(squared);
        }
        const float distance = dtw.Distance(a.data(), c.na, b.data(), c.nb, c.dims, w);
        EXPECT_NEAR(distance, sum / (c.na + c.nb), 1e-4 * distance) << what;
        EXPECT_EQ(0, pathA.front() + pathB.front()) << what;
        EXPECT_EQ(c.na - 1, pathA.back()) << what;
        EXPECT_EQ(c.nb - 1, pathB.back()) << what;
    }
}

// A pair counts by the greater of its frames' weights: it counts fully
// where either side is loud, so only the stretch both sides hold quiet (a
// take's first half replaced by another word's frames, as a noise the take
// and the templates share) weighs less, and one weight for every frame is
// the plain distance.
TEST(Dtw, AFramePairCountsByTheGreaterOfItsTwoWeights)
{
    const int n = 40, dims = 8;
    const std::vector<float> b = Frames(n, dims, 21u), other = Frames(n / 2, dims, 23u);
    std::vector<float> a = b;
    std::copy(other.begin(), other.end(), a.begin());
    const struct {
        const char* what;
        float takeFirst, takeSecond, templateFirst, templateSecond;
        bool less;
    } cases[] = {
        {"every frame loud", 1.0f, 1.0f, 1.0f, 1.0f, false},
        {"the take quiet in its first half", 0.1f, 1.0f, 1.0f, 1.0f, false},
        {"the template quiet in its first half", 1.0f, 1.0f, 0.1f, 1.0f, false},
        {"every frame equally quiet", 0.1f, 0.1f, 0.1f, 0.1f, false},
        {"both quiet in their first half", 0.1f, 1.0f, 0.1f, 1.0f, true},
    };
    CDtw dtw;
    ASSERT_EQ(1, dtw.Init(n));
    const float plain = dtw.Distance(a.data(), n, b.data(), n, dims);
    std::vector<float> columns;
    const int stride = CDtw::ToColumns(b.data(), n, dims, dims, columns);
    auto halves = [n](float first, float second) {
        std::vector<float> w(static_cast<size_t>(n), second);
        std::fill(w.begin(), w.begin() + n / 2, first);
        return w;
    };
    for (const auto& c : cases) {
        const std::vector<float> wa = halves(c.takeFirst, c.takeSecond), wb = halves(c.templateFirst, c.templateSecond);
        const float weighted =
            dtw.PairWeightedDistance(a.data(), n, columns.data(), stride, n, dims, wa.data(), wb.data());
        if (c.less)
            EXPECT_LT(weighted, 0.5f * plain) << c.what;
        else
            EXPECT_NEAR(plain, weighted, 1e-5f * plain) << c.what;
    }
}
