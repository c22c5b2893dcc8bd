#include "BackgroundMixture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>

namespace {

constexpr double kLogTwoPi = 1.8378770664093453;

// log(sum exp(v[i])) over the listed entries, without overflow.
double LogSumExp(const double* v, const int* index, int count)
{
    double top = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < count; ++i) top = std::max(top, v[index[i]]);
    if (!std::isfinite(top)) return top;
    double sum = 0.0;
    for (int i = 0; i < count; ++i) sum += std::exp(v[index[i]] - top);
    return top + std::log(sum);
}

// sum_d (x_d - mu_d)^2 / var_d, the variances given as their inverses.
double ScaledSquaredDistance(const float* x, const double* mu, const double* invVars, int dims)
{
    double q = 0.0;
    for (int d = 0; d < dims; ++d) {
        const double e = x[d] - mu[d];
        q += e * e * invVars[d];
    }
    return q;
}

} // namespace

void CBackgroundMixture::Refresh()
{
    m_invVars.resize(m_vars.size());
    m_logConst.assign(m_nComponents, 0.0);
    for (int c = 0; c < m_nComponents; ++c) {
        double logDet = 0.0;
        for (int d = 0; d < m_nDims; ++d) {
            const double v = m_vars[c * m_nDims + d];
            m_invVars[c * m_nDims + d] = 1.0 / v;
            logDet += std::log(v);
        }
        m_logConst[c] = std::log(m_weights[c]) - 0.5 * (logDet + m_nDims * kLogTwoPi);
    }
}

void CBackgroundMixture::ComponentLogs(const float* x, const double* means, double* out) const
{
    for (int c = 0; c < m_nComponents; ++c)
        out[c] = m_logConst[c] - 0.5 * ScaledSquaredDistance(x, means + c * m_nDims, &m_invVars[c * m_nDims], m_nDims);
}

int CBackgroundMixture::Learn(const float* frames, int count, int dims, int components, int iterations,
                              uint64_t seed)
{
    if (count < components || components < 1 || dims < 1) return 0;
    m_nComponents = components;
    m_nDims = dims;
    // The data's own mean and variance: every component starts with the
    // variance, and the floor is a share of it.
    std::vector<double> mean(dims, 0.0), var(dims, 0.0);
    for (int i = 0; i < count; ++i)
        for (int d = 0; d < dims; ++d) mean[d] += frames[i * dims + d];
    for (double& m : mean) m /= count;
    for (int i = 0; i < count; ++i)
        for (int d = 0; d < dims; ++d) {
            const double e = frames[i * dims + d] - mean[d];
            var[d] += e * e;
        }
    m_floor.resize(dims);
    for (int d = 0; d < dims; ++d) {
        var[d] = std::max(var[d] / count, 1e-6);
        m_floor[d] = kVarianceFloorShare * var[d];
    }
    std::mt19937_64 random(seed);
    std::vector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), random);
    m_weights.assign(components, 1.0 / components);
    m_means.resize(static_cast<size_t>(components) * dims);
    m_vars.resize(m_means.size());
    for (int c = 0; c < components; ++c)
        for (int d = 0; d < dims; ++d) {
            m_means[c * dims + d] = frames[order[c] * dims + d];
            m_vars[c * dims + d] = var[d];
        }
    Refresh();

    std::vector<double> logs(components), n(components), sx(m_means.size()), sxx(m_means.size());
    std::vector<int> all(components);
    std::iota(all.begin(), all.end(), 0);
    for (int it = 0; it < iterations; ++it) {
        std::fill(n.begin(), n.end(), 0.0);
        std::fill(sx.begin(), sx.end(), 0.0);
        std::fill(sxx.begin(), sxx.end(), 0.0);
        for (int i = 0; i < count; ++i) {
            const float* x = frames + i * dims;
            ComponentLogs(x, m_means.data(), logs.data());
            const double total = LogSumExp(logs.data(), all.data(), components);
            for (int c = 0; c < components; ++c) {
                const double p = std::exp(logs[c] - total);
                if (p < 1e-10) continue;
                n[c] += p;
                for (int d = 0; d < dims; ++d) {
                    sx[c * dims + d] += p * x[d];
                    sxx[c * dims + d] += p * x[d] * x[d];
                }
            }
        }
        for (int c = 0; c < components; ++c) {
            // A component no frame chose keeps its place: with fewer frames
            // than it needs it would only divide by nothing.
            if (n[c] < 1e-3) continue;
            m_weights[c] = n[c] / count;
            for (int d = 0; d < dims; ++d) {
                const double mu = sx[c * dims + d] / n[c];
                m_means[c * dims + d] = mu;
                m_vars[c * dims + d] = std::max(sxx[c * dims + d] / n[c] - mu * mu, m_floor[d]);
            }
        }
        const double sum = std::accumulate(m_weights.begin(), m_weights.end(), 0.0);
        for (double& w : m_weights) w /= sum;
        Refresh();
    }
    return 1;
}

std::vector<double> CBackgroundMixture::AdaptMeans(const float* frames, int count, double relevance) const
{
    std::vector<double> logs(m_nComponents), n(m_nComponents, 0.0), sx(m_means.size(), 0.0);
    std::vector<int> all(m_nComponents);
    std::iota(all.begin(), all.end(), 0);
    for (int i = 0; i < count; ++i) {
        const float* x = frames + i * m_nDims;
        ComponentLogs(x, m_means.data(), logs.data());
        const double total = LogSumExp(logs.data(), all.data(), m_nComponents);
        for (int c = 0; c < m_nComponents; ++c) {
            const double p = std::exp(logs[c] - total);
            n[c] += p;
            for (int d = 0; d < m_nDims; ++d) sx[c * m_nDims + d] += p * x[d];
        }
    }
    std::vector<double> adapted = m_means;
    for (int c = 0; c < m_nComponents; ++c) {
        if (!(n[c] > 0.0)) continue;
        const double a = n[c] / (n[c] + relevance);
        for (int d = 0; d < m_nDims; ++d) {
            double& mu = adapted[c * m_nDims + d];
            mu = a * sx[c * m_nDims + d] / n[c] + (1.0 - a) * mu;
        }
    }
    return adapted;
}

double CBackgroundMixture::MeanLogRatio(const float* frames, int count, const std::vector<double>& adaptedMeans,
                                        int top) const
{
    if (count <= 0) return 0.0;
    top = std::clamp(top, 1, m_nComponents);
    std::vector<double> background(m_nComponents), speaker(m_nComponents);
    std::vector<int> best(m_nComponents);
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        const float* x = frames + i * m_nDims;
        ComponentLogs(x, m_means.data(), background.data());
        std::iota(best.begin(), best.end(), 0);
        std::partial_sort(best.begin(), best.begin() + top, best.end(),
                          [&](int a, int b) { return background[a] > background[b]; });
        // Only the chosen components of the speaker's mixture are needed.
        for (int k = 0; k < top; ++k) {
            const int c = best[k];
            speaker[c] = m_logConst[c] -
                         0.5 * ScaledSquaredDistance(x, &adaptedMeans[c * m_nDims], &m_invVars[c * m_nDims], m_nDims);
        }
        sum += LogSumExp(speaker.data(), best.data(), top) - LogSumExp(background.data(), best.data(), top);
    }
    return sum / count;
}

double CBackgroundMixture::MeanLogLikelihood(const float* frames, int count) const
{
    if (count <= 0) return 0.0;
    std::vector<double> logs(m_nComponents);
    std::vector<int> all(m_nComponents);
    std::iota(all.begin(), all.end(), 0);
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        ComponentLogs(frames + i * m_nDims, m_means.data(), logs.data());
        sum += LogSumExp(logs.data(), all.data(), m_nComponents);
    }
    return sum / count;
}
