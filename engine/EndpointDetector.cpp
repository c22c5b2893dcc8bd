#include "EndpointDetector.h"

#include <algorithm>
#include <cmath>

namespace {

// --- Noise floor ------------------------------------------------------------
const int kFloorWindowMs = 1250;      // min-tracking half window, ms (half the longest word)
// --- Speech decision, on the spectral track ---------------------------------
// Over a take's pauses the track varies by about +-1 dB (19 channels
// averaged); a soft voice in white noise, 12 dB under its usual level, peaks
// some 13 dB over the floor.
const float kOnDb = 6.0f;             // over the floor: starts speech, dB
const float kHoldDb = 4.0f;           // over the floor: keeps speech going (hysteresis), dB
const float kMinPeakSnrDb = 10.0f;    // a stretch must peak this far over the floor, dB
// --- Judgement of the word --------------------------------------------------
const int kMaxSpeechMs = 2500;        // longer than any pass phrase
const float kShortWordFactor = 0.5f;  // short words may be this fraction of the minimum
const float kMarginalSnrDb = 22.0f;   // below: usable but warned (-4), dB
const int kEdgeFrames = 2;            // word within this many frames of an edge: warned (-5)
const int kClipLevel = 32000;         // |sample| at or above counts as clipped
// Words recorded up to full scale and played 3 dB louder clip 120-170
// samples and still show their spectra; a take clipped for longer than
// 27 ms (300 samples at 11025 Hz) is too loud to analyse.
const int kClipMinSamples = 300;      // this many clipped samples: too loud
// --- Defaults for unset parameters -------------------------------------------
const SEndpointParams kDefaultParams = {60, 250, 200, 100000};

int MsToFrames(int ms, int sampleRate, int shift)
{
    return static_cast<int>(std::lround(static_cast<double>(ms) * sampleRate / (1000.0 * shift)));
}

} // namespace

void CEndpointDetector::Reset()
{
    m_nSampleRate = m_nFrameLength = m_nShift = m_nMaxFrames = 0;
    m_params = kDefaultParams;
    m_smooth.clear();
    m_floor.clear();
    m_spectralSmooth.clear();
    m_spectralFloor.clear();
    m_active.clear();
}

int CEndpointDetector::Init(int sampleRate, int frameLength, int shift, int maxFrames,
                            const SEndpointParams& params)
{
    Reset();
    if (sampleRate <= 0 || frameLength <= 0 || shift <= 0 || maxFrames <= 0) return 0;
    m_nSampleRate = sampleRate;
    m_nFrameLength = frameLength;
    m_nShift = shift;
    m_nMaxFrames = maxFrames;
    m_params.nMarginMs = params.nMarginMs > 0 ? params.nMarginMs : kDefaultParams.nMarginMs;
    m_params.nMaxGapMs = params.nMaxGapMs > 0 ? params.nMaxGapMs : kDefaultParams.nMaxGapMs;
    m_params.nMinSpeechMs = params.nMinSpeechMs > 0 ? params.nMinSpeechMs : kDefaultParams.nMinSpeechMs;
    m_params.nQuietPower = params.nQuietPower > 0 ? params.nQuietPower : kDefaultParams.nQuietPower;
    m_smooth.assign(maxFrames, 0.0f);
    m_floor.assign(maxFrames, 0.0f);
    m_spectralSmooth.assign(maxFrames, 0.0f);
    m_spectralFloor.assign(maxFrames, 0.0f);
    m_active.assign(maxFrames, 0);
    m_floorQueue.assign(maxFrames, 0);
    return 1;
}

int CEndpointDetector::CountClipped(const short* samples, int count) const
{
    int clipped = 0;
    for (int i = 0; i < count; ++i)
        if (samples[i] >= kClipLevel || samples[i] <= -kClipLevel) ++clipped;
    return clipped;
}

// Minimum statistics: the floor at t is the lowest 3-frame mean level within
// +-kFloorWindowMs. The window is half the longest word either side, so at
// least part of it is always a pause and the minimum sits on the noise,
// whatever its level; noise that swells slowly is followed with a lag of at
// most the window.
void CEndpointDetector::TrackFloor(const float* track, int frames, float* smooth, float* floor)
{
    for (int t = 0; t < frames; ++t) {
        const int a = std::max(0, t - 1), b = std::min(frames - 1, t + 1);
        float sum = 0.0f;
        for (int i = a; i <= b; ++i) sum += track[i];
        smooth[t] = sum / static_cast<float>(b - a + 1);
    }
    const int half = std::max(1, MsToFrames(kFloorWindowMs, m_nSampleRate, m_nShift));
    // A NaN or a zero (+0 and -0 are equal, and the plain loop keeps the
    // first it meets) is left to the plain loop; any other equal values
    // are the same bits, which the queue may take from either.
    bool plain = false;
    for (int t = 0; t < frames && !plain; ++t) plain = std::isnan(smooth[t]) || smooth[t] == 0.0f;
    if (plain) {
        for (int t = 0; t < frames; ++t) {
            float lo = smooth[t];
            for (int i = std::max(0, t - half); i <= std::min(frames - 1, t + half); ++i) lo = std::min(lo, smooth[i]);
            floor[t] = lo;
        }
        return;
    }
    // The least within +-half frames, in one pass (the window reaches some
    // 345 frames of a 3-s take's 410): a queue of the frames that can still
    // be a window's least, their values rising from the front.
    int* queue = m_floorQueue.data();
    int head = 0, tail = 0, next = 0;
    for (int t = 0; t < frames; ++t) {
        for (const int right = std::min(frames - 1, t + half); next <= right; ++next) {
            while (tail > head && smooth[queue[tail - 1]] >= smooth[next]) --tail;
            queue[tail++] = next;
        }
        while (queue[head] < t - half) ++head;
        floor[t] = smooth[queue[head]];
    }
}

int CEndpointDetector::Detect(const float* levelDb, const float* spectralSnrDb, int frames, const short* samples,
                              int count, int bShortWord, SEndpointResult& result)
{
    result = SEndpointResult{0, kEpdLengthAbnormal, 0, 0, 0, 0, 0.0f, 0.0f, 0.0f};
    if (m_nShift == 0 || levelDb == nullptr || spectralSnrDb == nullptr || samples == nullptr || frames <= 0)
        return 0;
    frames = std::min(frames, m_nMaxFrames);
    if (CountClipped(samples, count) >= kClipMinSamples) {
        result.nError = kEpdTooLoud;
        return 0;
    }
    TrackFloor(levelDb, frames, m_smooth.data(), m_floor.data());
    TrackFloor(spectralSnrDb, frames, m_spectralSmooth.data(), m_spectralFloor.data());
    const float* smooth = m_spectralSmooth.data();
    const float* floor = m_spectralFloor.data();
    for (int t = 0; t < frames; ++t) m_active[t] = smooth[t] > floor[t] + kOnDb;

    // Bridge short pauses, then pick the stretch with the largest energy above
    // the floor: a cough or a click is short and weak next to the word.
    const int maxGap = MsToFrames(m_params.nMaxGapMs, m_nSampleRate, m_nShift);
    int bestStart = -1, bestEnd = -1;
    double bestMass = 0.0;
    int t = 0;
    while (t < frames) {
        if (!m_active[t]) { ++t; continue; }
        int start = t, end = t;
        int u = t;
        while (u < frames) {
            if (m_active[u]) { end = u; ++u; continue; }
            int v = u;
            while (v < frames && !m_active[v] && v - end <= maxGap) ++v;
            if (v < frames && m_active[v] && v - end <= maxGap) { u = v; continue; }
            break;
        }
        double mass = 0.0;
        float peakSnr = 0.0f;
        for (int i = start; i <= end; ++i) {
            const float over = smooth[i] - floor[i];
            if (over > 0.0f) mass += over;
            peakSnr = std::max(peakSnr, over);
        }
        if (peakSnr >= kMinPeakSnrDb && mass > bestMass) {
            bestMass = mass;
            bestStart = start;
            bestEnd = end;
        }
        t = end + 1;
    }
    if (bestStart < 0) return 0;

    // Let the weak onset and decay in, down to the hold level.
    while (bestStart > 0 && smooth[bestStart - 1] > floor[bestStart - 1] + kHoldDb) --bestStart;
    while (bestEnd < frames - 1 && smooth[bestEnd + 1] > floor[bestEnd + 1] + kHoldDb) ++bestEnd;

    float peak = -1000.0f, peakSnr = 0.0f, spectralPeak = 0.0f;
    for (int i = bestStart; i <= bestEnd; ++i) {
        peak = std::max(peak, levelDb[i]);
        peakSnr = std::max(peakSnr, m_smooth[i] - m_floor[i]);
        spectralPeak = std::max(spectralPeak, smooth[i] - floor[i]);
    }
    result.fPeakDb = peak;
    result.fSnrDb = peakSnr;
    result.fSpectralSnrDb = spectralPeak;

    const double lengthMs = (bestEnd - bestStart + 1) * 1000.0 * m_nShift / m_nSampleRate +
                            1000.0 * (m_nFrameLength - m_nShift) / m_nSampleRate;
    const double minMs = m_params.nMinSpeechMs * (bShortWord ? kShortWordFactor : 1.0f);
    if (lengthMs < minMs || lengthMs > kMaxSpeechMs) return 0;
    // The quiet limit is a frame energy (sum of squares over one frame): the
    // peak mean square times the frame length.
    const float peakEnergyDb = peak + 10.0f * std::log10(static_cast<float>(m_nFrameLength));
    if (peakEnergyDb < 10.0f * std::log10(static_cast<float>(m_params.nQuietPower))) {
        result.nError = kEpdTooQuiet;
        return 0;
    }

    const int margin = MsToFrames(m_params.nMarginMs, m_nSampleRate, m_nShift);
    result.bSpeech = 1;
    result.nError = kEpdOk;
    if (bestStart < kEdgeFrames || bestEnd > frames - 1 - kEdgeFrames) result.nError = kEpdCutByEdge;
    else if (peakSnr < kMarginalSnrDb) result.nError = kEpdLowSnr;
    result.nCoreFirst = bestStart;
    result.nCoreLast = bestEnd;
    result.nFirstFrame = std::max(0, bestStart - margin);
    result.nLastFrame = std::min(frames - 1, bestEnd + margin);
    return 1;
}
