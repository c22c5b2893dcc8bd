#include "Dtw.h"

#include <algorithm>
#include <cmath>

namespace {
// --- Path constraints ---------------------------------------------------------
// Longer/shorter beyond this: not the same word. A speaker may draw a
// one-syllable word out to nearly three times its usual length.
const float kMaxLengthRatio = 3.5f;
const float kBandFraction = 0.35f;      // band half-width, fraction of the longer length
const float kInf = 1e30f;
} // namespace

const float CDtw::kUnreachable = 1e6f;

int CDtw::Init(int maxFrames)
{
    Reset();
    if (maxFrames <= 0) return 0;
    m_nMaxFrames = maxFrames;
    m_prev.assign(maxFrames + 1, kInf);
    m_curr.assign(maxFrames + 1, kInf);
    return 1;
}

void CDtw::Reset()
{
    m_nMaxFrames = 0;
    m_prev.clear();
    m_curr.clear();
}

float CDtw::Distance(const float* a, int na, const float* b, int nb, int dims, const float* weights)
{
    if (na <= 0 || nb <= 0 || na > m_nMaxFrames || nb > m_nMaxFrames || dims <= 0) return kUnreachable;
    if (na > kMaxLengthRatio * nb || nb > kMaxLengthRatio * na) return kUnreachable;
    // The band follows the straight diagonal from (0,0) to (na-1,nb-1); its
    // half-width covers the length difference plus a share of the length.
    const float slope = static_cast<float>(nb) / na;
    const int band = static_cast<int>(kBandFraction * std::max(na, nb)) + std::abs(na - nb) / 2 + 1;
    auto local = [&](int i, int j) {
        const float* x = a + static_cast<size_t>(i) * dims;
        const float* y = b + static_cast<size_t>(j) * dims;
        if (weights) {
            float s = 0.0f;
            for (int k = 0; k < dims; ++k) { const float d = (x[k] - y[k]) * weights[k]; s += d * d; }
            return std::sqrt(s);
        }
        // Four running sums, so that the additions overlap in the processor.
        float s[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        int k = 0;
        for (; k + 4 <= dims; k += 4)
            for (int j = 0; j < 4; ++j) { const float d = x[k + j] - y[k + j]; s[j] += d * d; }
        for (; k < dims; ++k) { const float d = x[k] - y[k]; s[0] += d * d; }
        return std::sqrt((s[0] + s[1]) + (s[2] + s[3]));
    };
    std::fill(m_prev.begin(), m_prev.begin() + nb, kInf);
    for (int i = 0; i < na; ++i) {
        const int centre = static_cast<int>(i * slope);
        const int lo = std::max(0, centre - band), hi = std::min(nb - 1, centre + band);
        std::fill(m_curr.begin(), m_curr.begin() + nb, kInf);
        for (int j = lo; j <= hi; ++j) {
            const float d = local(i, j);
            float best;
            if (i == 0 && j == 0) best = 2.0f * d;
            else {
                best = kInf;
                if (i > 0) best = std::min(best, m_prev[j] + d);
                if (j > 0) best = std::min(best, m_curr[j - 1] + d);
                if (i > 0 && j > 0) best = std::min(best, m_prev[j - 1] + 2.0f * d);
            }
            m_curr[j] = best;
        }
        std::swap(m_prev, m_curr);
    }
    const float total = m_prev[nb - 1];
    if (total >= kInf) return kUnreachable;
    return total / static_cast<float>(na + nb);
}
