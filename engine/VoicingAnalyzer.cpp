#include "VoicingAnalyzer.h"

#include <algorithm>
#include <cmath>

namespace {
// --- Pitch range -----------------------------------------------------------------
const double kMaxPitchHz = 400.0;
const double kMinPitchHz = 60.0;
// --- Decision --------------------------------------------------------------------
const float kVoicedCorrelation = 0.45f;   // normalised autocorrelation peak for "voiced"
const double kSilentPower = 4.0;          // frames below this mean square (LSB^2) are not voiced
} // namespace

int CVoicingAnalyzer::Init(int sampleRate, int frameLength, int shift)
{
    Reset();
    if (sampleRate <= 0 || frameLength <= 0 || shift <= 0) return 0;
    m_nSampleRate = sampleRate;
    m_nFrameLength = frameLength;
    m_nShift = shift;
    m_nMinLag = std::max(2, static_cast<int>(sampleRate / kMaxPitchHz));
    // A lag must leave at least half the frame to correlate.
    m_nMaxLag = std::min(frameLength / 2, static_cast<int>(sampleRate / kMinPitchHz));
    m_frame.assign(frameLength, 0.0f);
    return m_nMaxLag > m_nMinLag ? 1 : 0;
}

void CVoicingAnalyzer::Reset()
{
    m_nSampleRate = m_nFrameLength = m_nShift = m_nMinLag = m_nMaxLag = 0;
    m_frame.clear();
}

float CVoicingAnalyzer::VoicedFraction(const short* samples, int count, int firstFrame, int lastFrame)
{
    if (m_nShift == 0 || samples == nullptr || lastFrame < firstFrame || firstFrame < 0) return 0.0f;
    int judged = 0, voiced = 0;
    for (int f = firstFrame; f <= lastFrame; ++f) {
        const long start = static_cast<long>(f) * m_nShift;
        if (start + m_nFrameLength > count) break;
        double mean = 0.0;
        for (int i = 0; i < m_nFrameLength; ++i) mean += samples[start + i];
        mean /= m_nFrameLength;
        double power = 0.0;
        for (int i = 0; i < m_nFrameLength; ++i) {
            m_frame[i] = static_cast<float>(samples[start + i] - mean);
            power += static_cast<double>(m_frame[i]) * m_frame[i];
        }
        ++judged;
        if (power / m_nFrameLength < kSilentPower) continue;
        // r(lag) = sum x[i] x[i+lag] / sqrt(sum x[i]^2 * sum x[i+lag]^2): 1 for a
        // perfectly periodic frame at that lag, whatever its level.
        float best = 0.0f;
        for (int lag = m_nMinLag; lag <= m_nMaxLag; ++lag) {
            double xy = 0.0, xx = 0.0, yy = 0.0;
            for (int i = 0; i + lag < m_nFrameLength; ++i) {
                xy += static_cast<double>(m_frame[i]) * m_frame[i + lag];
                xx += static_cast<double>(m_frame[i]) * m_frame[i];
                yy += static_cast<double>(m_frame[i + lag]) * m_frame[i + lag];
            }
            if (xx > 0.0 && yy > 0.0) best = std::max(best, static_cast<float>(xy / std::sqrt(xx * yy)));
        }
        if (best >= kVoicedCorrelation) ++voiced;
    }
    return judged > 0 ? static_cast<float>(voiced) / judged : 0.0f;
}
