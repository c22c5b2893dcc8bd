// The speaker's per-dimension weights, from aligned frame pairs to codes.
#include "DimensionWeights.h"

#include <gtest/gtest.h>

#include <vector>

// A steady dimension counts more, a varying one less, within [1/2, 2] and
// scaled to a mean of 1; no pairs, no weights. A code brings a weight back
// within half a step (1.1 %).
TEST(DimensionWeights, FromAlignedPairsAndBackThroughTheirCodes)
{
    const struct {
        const char* what;
        float offset[3];    // every pair's difference is offset +- spread
        float spread[3];
        int pairs;
        float weights[3];
    } cases[] = {
        {"spreads 1, 2, 4", {5.0f, 0.0f, -3.0f}, {1.0f, 2.0f, 4.0f}, 8, {1.6f, 0.93333f, 0.46667f}},
        {"clipped both ways", {0.0f, 0.0f, 0.0f}, {1.0f, 1.0f, 100.0f}, 6, {1.33333f, 1.33333f, 0.33333f}},
        {"one steady dimension", {2.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 1.0f}, 4, {1.8f, 0.6f, 0.6f}},
        {"no pairs", {0.0f, 0.0f, 0.0f}, {1.0f, 2.0f, 4.0f}, 0, {1.0f, 1.0f, 1.0f}},
    };
    for (const auto& c : cases) {
        CDimensionWeights learnt;
        learnt.Reset(3);
        for (int k = 0; k < c.pairs; ++k) {
            const float sign = k % 2 == 0 ? 1.0f : -1.0f;
            float a[3], b[3];
            for (int d = 0; d < 3; ++d) {
                b[d] = 10.0f * d - 7.0f;
                a[d] = b[d] + c.offset[d] + sign * c.spread[d];
            }
            learnt.Add(a, b);
        }
        float weights[3] = {};
        EXPECT_EQ(c.pairs > 0 ? 1 : 0, learnt.Weights(weights)) << c.what;
        for (int d = 0; d < 3; ++d) EXPECT_NEAR(c.weights[d], weights[d], 1e-4f) << c.what << ", dimension " << d;
    }
    const struct {
        float weight;
        int code;
    } codes[] = {{1.0f, 128}, {2.0f, 160}, {0.5f, 96}, {1.6f, 150}, {0.0f, 0}, {-1.0f, 0}, {1e3f, 255}, {1e-3f, 0}};
    for (const auto& c : codes) EXPECT_EQ(c.code, CDimensionWeights::CodeOfWeight(c.weight)) << c.weight;
    for (float w = 0.5f; w <= 2.0f; w *= 1.013f) {
        const float back = CDimensionWeights::WeightOfCode(CDimensionWeights::CodeOfWeight(w));
        EXPECT_NEAR(1.0f, back / w, 0.011f) << w;
    }
}
