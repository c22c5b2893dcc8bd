#include "DimensionWeights.h"

#include <algorithm>
#include <cmath>

void CDimensionWeights::Reset(int dims)
{
    m_nDims = std::clamp(dims, 0, static_cast<int>(CSpeakerModel::kMaxDims));
    m_nPairs = 0;
    std::fill(m_sum, m_sum + CSpeakerModel::kMaxDims, 0.0);
    std::fill(m_squares, m_squares + CSpeakerModel::kMaxDims, 0.0);
}

void CDimensionWeights::Add(const float* a, const float* b)
{
    for (int d = 0; d < m_nDims; ++d) {
        const double diff = a[d] - b[d];
        m_sum[d] += diff;
        m_squares[d] += diff * diff;
    }
    ++m_nPairs;
}

int CDimensionWeights::Weights(float* weights) const
{
    if (m_nPairs == 0) {
        std::fill(weights, weights + m_nDims, 1.0f);
        return 0;
    }
    float spread[CSpeakerModel::kMaxDims];
    for (int d = 0; d < m_nDims; ++d) {
        const double mean = m_sum[d] / m_nPairs;
        spread[d] = static_cast<float>(std::sqrt(std::max(0.0, m_squares[d] / m_nPairs - mean * mean)));
    }
    FromSpreads(spread, m_nDims, kPower, kClip, weights);
    return 1;
}

void CDimensionWeights::FromSpreads(const float* spread, int count, float power, float clip, float* weights)
{
    if (count <= 0) return;
    double sum = 0.0;
    for (int k = 0; k < count; ++k) sum += spread[k];
    const double typical = sum / count;
    if (!(typical > 0.0) || !(clip >= 1.0f)) {
        std::fill(weights, weights + count, 1.0f);
        return;
    }
    // A dimension without any spread is as steady as can be: the clip.
    double total = 0.0;
    for (int k = 0; k < count; ++k) {
        const double raw = spread[k] > 0.0f ? std::pow(typical / spread[k], static_cast<double>(power)) : clip;
        weights[k] = static_cast<float>(std::clamp(raw, 1.0 / clip, static_cast<double>(clip)));
        total += weights[k];
    }
    for (int k = 0; k < count; ++k) weights[k] = static_cast<float>(weights[k] * count / total);
}

float CDimensionWeights::WeightOfCode(int code)
{
    return std::exp2(static_cast<float>(code - kUnitCode) / 32.0f);
}

int CDimensionWeights::CodeOfWeight(float weight)
{
    if (!(weight > 0.0f)) return 0;
    const float code = std::round(kUnitCode + 32.0f * std::log2(weight));
    return static_cast<int>(std::clamp(code, 0.0f, 255.0f));
}
