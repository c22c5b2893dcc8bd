#include "VoicingAnalyzer.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define SONVERA_VOICING_SSE 1
#endif

namespace {
// --- Pitch range -----------------------------------------------------------------
const double kMinPitchRatio = 400.0;   // highest pitch, Hz
const double kMinPitchHz = 60.0;      // lowest pitch, Hz
const int kFrameStep = 2;              // every second frame is judged (pitch moves slowly)
// --- Decision --------------------------------------------------------------------
const float kVoicedCorrelation = 0.45f;   // normalised autocorrelation peak for "voiced"
const float kOctaveShare = 0.95f;         // a shorter lag wins with this share of the best peak
const double kSilentPower = 4.0;          // frames below this mean square (LSB^2) are not voiced

// Sum of x[i] x[i + lag] over i < window - lag: four running sums (i % 4,
// the last (window - lag) % 4 terms into the first), so that the additions
// overlap in the processor, added up in double.
double LaggedSum(const float* x, int window, int lag)
{
    const int n = window - lag;
    float acc[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    const float* y = x + lag;
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        acc[0] += x[i] * y[i];
        acc[1] += x[i + 1] * y[i + 1];
        acc[2] += x[i + 2] * y[i + 2];
        acc[3] += x[i + 3] * y[i + 3];
    }
    for (; i < n; ++i) acc[0] += x[i] * y[i];
    return static_cast<double>(acc[0]) + acc[1] + acc[2] + acc[3];
}

// LaggedSum of lag and of lag + 1 (sums[0], sums[1]). Each lag's four sums
// form one chain of additions, which waits on itself; two lags' chains
// overlap. Each is added in LaggedSum's order, so the figures are its own.
void TwoLaggedSums(const float* x, int window, int lag, double* sums)
{
#if defined(SONVERA_VOICING_SSE)
    const int n0 = window - lag, n1 = n0 - 1;
    const float* y0 = x + lag;
    const float* y1 = y0 + 1;
    __m128 acc0 = _mm_setzero_ps(), acc1 = _mm_setzero_ps();
    int i = 0;
    for (; i + 4 <= n1; i += 4) {
        const __m128 xi = _mm_loadu_ps(x + i);
        acc0 = _mm_add_ps(acc0, _mm_mul_ps(xi, _mm_loadu_ps(y0 + i)));
        acc1 = _mm_add_ps(acc1, _mm_mul_ps(xi, _mm_loadu_ps(y1 + i)));
    }
    int i1 = i;
    if (i + 4 <= n0) {
        acc0 = _mm_add_ps(acc0, _mm_mul_ps(_mm_loadu_ps(x + i), _mm_loadu_ps(y0 + i)));
        i += 4;
    }
    float a0[4], a1[4];
    _mm_storeu_ps(a0, acc0);
    _mm_storeu_ps(a1, acc1);
    for (; i < n0; ++i) a0[0] += x[i] * y0[i];
    for (; i1 < n1; ++i1) a1[0] += x[i1] * y1[i1];
    sums[0] = static_cast<double>(a0[0]) + a0[1] + a0[2] + a0[3];
    sums[1] = static_cast<double>(a1[0]) + a1[1] + a1[2] + a1[3];
#else
    sums[0] = LaggedSum(x, window, lag);
    sums[1] = LaggedSum(x, window, lag + 1);
#endif
}

} // namespace

int CVoicingAnalyzer::Init(int sampleRate, int frameLength, int shift)
{
    Reset();
    if (sampleRate <= 0 || frameLength <= 0 || shift <= 0) return 0;
    m_nSampleRate = sampleRate;
    m_nFrameLength = frameLength;
    m_nShift = shift;
    m_nMinLag = std::max(3, static_cast<int>(sampleRate / kMinPitchRatio));
    m_nMaxLag = static_cast<int>(std::ceil(sampleRate / kMinPitchHz));
    // The window holds two periods of the lowest pitch, so that every lag
    // still correlates at least half of it; never shorter than a frame.
    m_nWindow = std::max(frameLength, 2 * m_nMaxLag + 2);
    m_frame.assign(m_nWindow, 0.0f);
    m_corr.assign(static_cast<size_t>(m_nMaxLag + 2), 0.0f);
    m_energy.assign(static_cast<size_t>(m_nWindow) + 1, 0.0);
    m_pitches.clear();
    m_track.clear();
    return m_nMaxLag > m_nMinLag + 2 ? 1 : 0;
}

void CVoicingAnalyzer::Reset()
{
    m_nSampleRate = m_nFrameLength = m_nShift = m_nMinLag = m_nMaxLag = m_nWindow = 0;
    m_frame.clear();
    m_corr.clear();
    m_energy.clear();
    m_pitches.clear();
    m_track.clear();
}

void CVoicingAnalyzer::Analyse(const short* samples, int count, int firstFrame, int lastFrame,
                               float& voicedFraction, float& pitchHz)
{
    voicedFraction = 0.0f;
    pitchHz = 0.0f;
    // At most one entry per frame of the range; reserved once per size, not per frame.
    m_pitches.clear();
    m_track.clear();
    if (m_nShift == 0 || samples == nullptr || lastFrame < firstFrame || firstFrame < 0) return;
    m_pitches.reserve(static_cast<size_t>(lastFrame - firstFrame + 1));  // no-op after the first take
    m_track.reserve(static_cast<size_t>(lastFrame - firstFrame + 1));
    int judged = 0;
    for (int f = firstFrame; f <= lastFrame; f += kFrameStep) {
        const long start = static_cast<long>(f) * m_nShift;
        if (start + m_nWindow > count) break;
        double mean = 0.0;
        for (int i = 0; i < m_nWindow; ++i) mean += samples[start + i];
        mean /= m_nWindow;
        double power = 0.0;
        for (int i = 0; i < m_nWindow; ++i) {
            m_frame[i] = static_cast<float>(samples[start + i] - mean);
            power += static_cast<double>(m_frame[i]) * m_frame[i];
        }
        ++judged;
        m_track.push_back(0.0f);
        if (power / m_nWindow < kSilentPower) continue;
        // r(lag) = sum x[i] x[i+lag] / sqrt(sum x[i]^2 * sum x[i+lag]^2): 1 for a
        // perfectly periodic frame at that lag, whatever its level.
        // The energies of the two overlapping parts come from running sums
        // of squares: energy[n] = sum of x[i]^2 for i < n.
        m_energy[0] = 0.0;
        for (int i = 0; i < m_nWindow; ++i) m_energy[i + 1] = m_energy[i] + static_cast<double>(m_frame[i]) * m_frame[i];
        for (int lag = m_nMinLag - 1; lag <= m_nMaxLag + 1; lag += 2) {
            double xy[2];
            const int lags = std::min(2, m_nMaxLag + 2 - lag);
            if (lags == 2) TwoLaggedSums(m_frame.data(), m_nWindow, lag, xy);
            else xy[0] = LaggedSum(m_frame.data(), m_nWindow, lag);
            for (int k = 0; k < lags; ++k) {
                const int n = m_nWindow - (lag + k);
                const double xx = m_energy[n];
                const double yy = m_energy[m_nWindow] - m_energy[lag + k];
                m_corr[static_cast<size_t>(lag + k)] =
                    xx > 0.0 && yy > 0.0 ? static_cast<float>(xy[k] / std::sqrt(xx * yy)) : 0.0f;
            }
        }
        int bestLag = 0;
        float best = 0.0f;
        for (int lag = m_nMinLag; lag <= m_nMaxLag; ++lag) {
            const float r = m_corr[static_cast<size_t>(lag)];
            if (r > best) { best = r; bestLag = lag; }
        }
        if (best < kVoicedCorrelation) continue;
        // A periodic frame correlates as well at two or three periods as at
        // one; the shortest lag that is a local peak nearly as high as the
        // best is the period (no octave errors downwards).
        for (int lag = m_nMinLag; lag < bestLag; ++lag) {
            const float r = m_corr[static_cast<size_t>(lag)];
            if (r >= kOctaveShare * best && r >= m_corr[static_cast<size_t>(lag - 1)] &&
                r >= m_corr[static_cast<size_t>(lag + 1)]) {
                bestLag = lag;
                best = r;
                break;
            }
        }
        // Parabolic peak: offset = (r[-1] - r[+1]) / (2 (r[-1] - 2 r[0] + r[+1])).
        const float a = m_corr[static_cast<size_t>(bestLag - 1)], b = best, c = m_corr[static_cast<size_t>(bestLag + 1)];
        const float den = a - 2.0f * b + c;
        const float offset = den < 0.0f ? std::clamp(0.5f * (a - c) / den, -0.5f, 0.5f) : 0.0f;
        m_pitches.push_back(static_cast<float>(m_nSampleRate) / (static_cast<float>(bestLag) + offset));
        m_track.back() = m_pitches.back();
    }
    if (judged == 0) return;
    voicedFraction = static_cast<float>(m_pitches.size()) / judged;
    if (!m_pitches.empty()) {
        std::nth_element(m_pitches.begin(), m_pitches.begin() + m_pitches.size() / 2, m_pitches.end());
        pitchHz = m_pitches[m_pitches.size() / 2];
    }
}
