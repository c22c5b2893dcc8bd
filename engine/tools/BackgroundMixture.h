// BackgroundMixture.h - a Gaussian mixture with diagonal covariances learnt
// from many voices' frames (a universal background model), a speaker's
// mixture adapted from it, and the frame log-likelihood ratio between the two.
//
// Learning: EM from a fixed seed (means started on frames drawn by the
// seed, every variance at the data's own, equal weights), each variance kept
// at least kVarianceFloorShare of the data's variance in its dimension so
// that a component on a few alike frames does not collapse onto them.
// Adaptation: the means alone, maximum a posteriori (Reynolds' GMM-UBM):
// mu_c' = a_c E_c[x] + (1 - a_c) mu_c, a_c = n_c / (n_c + relevance), n_c
// and E_c[x] the speaker's frames' occupancy and mean under the background
// mixture's posteriors; weights and variances stay the background's, so the
// two mixtures differ only where the speaker's frames fell.
// Scoring: for each frame the `top` components the background mixture finds
// likeliest; log p(x | speaker) - log p(x | background) over those alone,
// averaged over the frames.
#pragma once

#include <cstdint>
#include <vector>

class CBackgroundMixture {
public:
    static constexpr double kVarianceFloorShare = 0.01;

    // Learns `components` components on `count` frames of `dims` values
    // (row after row), `iterations` EM steps. Returns 0 when there are fewer
    // frames than components.
    int Learn(const float* frames, int count, int dims, int components, int iterations, uint64_t seed);

    // The background's means moved towards a speaker's `count` frames.
    // Returns the adapted means (components x dims, row after row).
    std::vector<double> AdaptMeans(const float* frames, int count, double relevance) const;

    // The mean over the `count` frames of log p(x | adapted) - log p(x |
    // background), each frame over the background's `top` likeliest
    // components. 0 for no frame.
    double MeanLogRatio(const float* frames, int count, const std::vector<double>& adaptedMeans, int top) const;

    // The mean log-likelihood of `count` frames under the background mixture.
    double MeanLogLikelihood(const float* frames, int count) const;

    int Components() const { return m_nComponents; }
    int Dims() const { return m_nDims; }

private:
    // log(w_c N(x; means_c, var_c)) for every component c.
    void ComponentLogs(const float* x, const double* means, double* out) const;
    void Refresh();   // the components' constants after their weights or variances moved

    int m_nComponents = 0, m_nDims = 0;
    std::vector<double> m_weights, m_means, m_vars;
    std::vector<double> m_invVars, m_logConst;   // per component: log w - 0.5 sum log(2 pi var)
    std::vector<double> m_floor;                 // per dimension
};
