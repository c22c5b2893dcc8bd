// The background mixture of the offline GMM-UBM score.
#include "BackgroundMixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

constexpr int kDims = 2;

// `count` frames around (centre, -centre), unit spread, from `seed`.
std::vector<float> Cluster(double centre, int count, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<float> unit(0.0f, 1.0f);
    std::vector<float> x;
    for (int i = 0; i < count; ++i) {
        x.push_back(static_cast<float>(centre) + unit(random));
        x.push_back(static_cast<float>(-centre) + unit(random));
    }
    return x;
}

std::vector<float> Joined(std::vector<float> a, const std::vector<float>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

int Frames(const std::vector<float>& x) { return static_cast<int>(x.size()) / kDims; }

CBackgroundMixture TwoClusters()
{
    const std::vector<float> x = Joined(Cluster(-5.0, 300, 1), Cluster(5.0, 700, 2));
    CBackgroundMixture m;
    EXPECT_EQ(m.Learn(x.data(), Frames(x), kDims, 2, 30, 7), 1);
    return m;
}

} // namespace

// Two clusters far apart: two components, one on each; the seed fixes the
// learning; a mixture needs a frame for each of its components.
TEST(BackgroundMixture, LearnsTheClustersThatAreThereAlikeFromOneSeed)
{
    const std::vector<double> means = TwoClusters().AdaptMeans(nullptr, 0, 16.0);   // no frames: its own
    ASSERT_EQ(means.size(), 2u * kDims);
    EXPECT_NEAR(std::min(means[0], means[2]), -5.0, 0.2);
    EXPECT_NEAR(std::max(means[0], means[2]), 5.0, 0.2);
    const std::vector<float> x = Joined(Cluster(-1.0, 200, 1), Cluster(2.0, 200, 2));
    CBackgroundMixture a, b;
    ASSERT_EQ(a.Learn(x.data(), Frames(x), kDims, 4, 10, 9), 1);
    ASSERT_EQ(b.Learn(x.data(), Frames(x), kDims, 4, 10, 9), 1);
    EXPECT_EQ(a.AdaptMeans(nullptr, 0, 16.0), b.AdaptMeans(nullptr, 0, 16.0));
    EXPECT_EQ(a.MeanLogLikelihood(x.data(), Frames(x)), b.MeanLogLikelihood(x.data(), Frames(x)));
    EXPECT_EQ(a.Learn(x.data(), 3, kDims, 4, 10, 1), 0);
    EXPECT_EQ(a.Learn(x.data(), 3, kDims, 3, 10, 1), 1);
}

// Adapted to a speaker one step off the background, his other frames score
// above it, a voice off the other way below; a relevance no frames outweigh
// leaves every ratio 0.
TEST(BackgroundMixture, RatioPrefersTheFramesItWasAdaptedTo)
{
    const CBackgroundMixture m = TwoClusters();
    const std::vector<float> enrol = Cluster(6.0, 200, 3), own = Cluster(6.0, 100, 4), other = Cluster(4.0, 100, 5);
    const std::vector<double> adapted = m.AdaptMeans(enrol.data(), Frames(enrol), 4.0);
    EXPECT_GT(m.MeanLogRatio(own.data(), Frames(own), adapted, 1), 0.3);
    EXPECT_LT(m.MeanLogRatio(other.data(), Frames(other), adapted, 1), -0.3);
    const std::vector<double> unmoved = m.AdaptMeans(enrol.data(), Frames(enrol), 1e12);
    EXPECT_NEAR(m.MeanLogRatio(own.data(), Frames(own), unmoved, 2), 0.0, 1e-6);
    EXPECT_EQ(m.MeanLogRatio(own.data(), 0, adapted, 2), 0.0);
}
