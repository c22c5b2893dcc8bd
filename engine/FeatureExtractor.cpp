#include "FeatureExtractor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// --- Front end -------------------------------------------------------------
const float kPreEmphasis = 0.97f;        // first-order high-pass, tilts +6 dB/oct
const double kMelLowHz = 100.0;          // lowest filter edge, Hz (below: hum, rumble)
const double kMelHighHz = 5000.0;        // highest filter edge, Hz (clamped to Nyquist)
const float kPowerFloor = 1.0f;          // added to filter energies, LSB^2 (keeps log finite)
const float kLevelFloor = 1e-2f;         // added to frame mean square, LSB^2
// --- Noise masking -----------------------------------------------------------
const float kQuietFraction = 0.2f;       // quietest share of frames taken as noise
const int kMinQuietFrames = 5;
// --- Filter-bank scale -------------------------------------------------------
const float kLoudRangeDb = 20.0f;        // frames within this of the loudest count, dB

const double kPi = 3.14159265358979323846;

double HzToMel(double hz) { return 2595.0 * std::log10(1.0 + hz / 700.0); }
double MelToHz(double mel) { return 700.0 * (std::pow(10.0, mel / 2595.0) - 1.0); }

} // namespace

void CFeatureExtractor::Reset()
{
    m_nSampleRate = m_nFrameLength = m_nShift = 0;
    m_nCepstra = m_nChannels = m_nMaxSamples = m_nMaxFrames = 0;
    m_fPeakCellDb = 0.0f;
    m_fft = CFft();
    m_window.clear();
    m_frame.clear();
    m_power.clear();
    m_melWeights.clear();
    m_melFirst.clear();
    m_melLast.clear();
    m_melCentreHz.clear();
    m_logMel.clear();
    m_melPower.clear();
    m_noisePower.clear();
    m_noiseDb.clear();
    m_spectralSnrDb.clear();
    m_sortedLevels.clear();
    m_cosTable.clear();
}

int CFeatureExtractor::Init(int sampleRate, int frameLength, int shift, int cepstra, int channels,
                            int maxSamples)
{
    Reset();
    if (sampleRate < 6000 || sampleRate > 48000 || frameLength < 64 || frameLength > 1024 ||
        shift < 1 || shift > frameLength || cepstra < 4 || cepstra > 24 || channels <= cepstra ||
        channels > 40 || maxSamples < frameLength || maxSamples > 48000 * 60)
        return 0;
    int fftSize = 16;
    while (fftSize < frameLength) fftSize <<= 1;
    if (!m_fft.Init(fftSize)) return 0;

    m_nSampleRate = sampleRate;
    m_nFrameLength = frameLength;
    m_nShift = shift;
    m_nCepstra = cepstra;
    m_nChannels = channels;
    m_nMaxSamples = maxSamples;
    m_nMaxFrames = FrameCount(maxSamples);

    m_window.resize(frameLength);
    for (int i = 0; i < frameLength; ++i)
        m_window[i] = static_cast<float>(0.54 - 0.46 * std::cos(2.0 * kPi * i / (frameLength - 1)));
    m_frame.assign(frameLength, 0.0f);
    m_power.assign(fftSize / 2 + 1, 0.0f);
    m_logMel.assign(static_cast<size_t>(m_nMaxFrames) * channels, 0.0f);
    m_melPower.assign(static_cast<size_t>(m_nMaxFrames) * channels, 0.0f);
    m_noisePower.assign(channels, 1.0);
    m_noiseDb.assign(channels, 0.0f);
    m_spectralSnrDb.assign(m_nMaxFrames, 0.0f);
    m_sortedLevels.assign(m_nMaxFrames, 0.0f);
    BuildMelBank(channels);
    BuildCosineTable();
    return 1;
}

int CFeatureExtractor::FrameCount(int count) const
{
    if (m_nShift <= 0 || count < m_nFrameLength) return 0;
    return (count - m_nFrameLength) / m_nShift + 1;
}

// Triangular filters equally spaced on the mel scale between kMelLowHz and
// min(kMelHighHz, Nyquist); each filter spans from its left to its right
// neighbour's centre.
void CFeatureExtractor::BuildMelBank(int channels)
{
    const int bins = m_fft.Size() / 2 + 1;
    const double high = std::min(kMelHighHz, 0.5 * m_nSampleRate);
    const double melLow = HzToMel(kMelLowHz);
    const double melHigh = HzToMel(high);
    const double binHz = static_cast<double>(m_nSampleRate) / m_fft.Size();
    m_melWeights.assign(static_cast<size_t>(channels) * bins, 0.0f);
    m_melFirst.assign(channels, 0);
    m_melLast.assign(channels, -1);
    m_melCentreHz.assign(channels, 0.0f);
    for (int c = 0; c < channels; ++c) {
        const double left = MelToHz(melLow + (melHigh - melLow) * c / (channels + 1));
        const double centre = MelToHz(melLow + (melHigh - melLow) * (c + 1) / (channels + 1));
        const double right = MelToHz(melLow + (melHigh - melLow) * (c + 2) / (channels + 1));
        int first = bins, last = -1;
        for (int k = 0; k < bins; ++k) {
            const double hz = k * binHz;
            double w = 0.0;
            if (hz > left && hz <= centre) w = (hz - left) / (centre - left);
            else if (hz > centre && hz < right) w = (right - hz) / (right - centre);
            if (w > 0.0) {
                m_melWeights[static_cast<size_t>(c) * bins + k] = static_cast<float>(w);
                first = std::min(first, k);
                last = std::max(last, k);
            }
        }
        // A filter narrower than one bin still takes the nearest bin, so that
        // no channel is empty at low sample rates.
        if (last < 0) {
            const int k = std::clamp(static_cast<int>(std::lround(centre / binHz)), 0, bins - 1);
            m_melWeights[static_cast<size_t>(c) * bins + k] = 1.0f;
            first = last = k;
        }
        m_melFirst[c] = first;
        m_melLast[c] = last;
        m_melCentreHz[c] = static_cast<float>(centre);
    }
}

// DCT-II basis with orthonormal scaling, so that cepstra keep the dB unit of
// the log filter energies: a 1 dB change across all channels moves no c_k.
double CFeatureExtractor::CosineBasis(int k, int m, int channels)
{
    return std::sqrt(2.0 / channels) * std::cos(kPi * k * (m + 0.5) / channels);
}

void CFeatureExtractor::BuildCosineTable()
{
    m_cosTable.assign(static_cast<size_t>(m_nCepstra) * m_nChannels, 0.0f);
    for (int k = 1; k <= m_nCepstra; ++k)
        for (int m = 0; m < m_nChannels; ++m)
            m_cosTable[static_cast<size_t>(k - 1) * m_nChannels + m] = static_cast<float>(CosineBasis(k, m, m_nChannels));
}

int CFeatureExtractor::Compute(const short* samples, int count, CFeatureMatrix& features, float* levelDb)
{
    if (m_nShift == 0 || samples == nullptr || levelDb == nullptr) return 0;
    count = std::min(count, m_nMaxSamples);
    const int frames = features.Resize(FrameCount(count), Dims());
    for (int f = 0; f < frames; ++f) AnalyseFrame(samples, f, features, levelDb);
    EstimateChannelNoise(levelDb, frames);
    ComputeSpectralSnr(frames);
    // The floor is also never lower than kMaskRangeDb under the take's
    // loudest cell: a loud and a soft take of the same voice then keep the
    // same spectral detail, instead of the loud one showing more of it.
    m_fPeakCellDb = -1e9f;
    for (size_t i = 0; i < static_cast<size_t>(frames) * m_nChannels; ++i)
        m_fPeakCellDb = std::max(m_fPeakCellDb, m_logMel[i]);
    for (int f = 0; f < frames; ++f) MaskAndTransform(f, features);
    return frames;
}

int CFeatureExtractor::BandLevelsDb(float loHz, float hiHz, int frames, float* out) const
{
    if (out == nullptr || m_nShift == 0) return 0;
    frames = std::clamp(frames, 0, m_nMaxFrames);
    int lo, hi;
    if (!ChannelsWithin(loHz, hiHz, lo, hi)) return 0;
    for (int f = 0; f < frames; ++f) {
        const float* power = m_melPower.data() + static_cast<size_t>(f) * m_nChannels;
        double sum = 0.0;
        for (int c = lo; c <= hi; ++c) sum += power[c];
        out[f] = static_cast<float>(10.0 * std::log10(sum));
    }
    return frames;
}

int CFeatureExtractor::ChannelsWithin(float loHz, float hiHz, int& first, int& last) const
{
    first = m_nChannels;
    last = -1;
    for (int c = 0; c < m_nChannels; ++c)
        if (m_melCentreHz[c] >= loHz && m_melCentreHz[c] <= hiHz) { first = std::min(first, c); last = std::max(last, c); }
    return last >= first ? 1 : 0;
}

float CFeatureExtractor::NoiseDropAboveDb(int last) const
{
    const int top = 3;
    if (m_nShift == 0 || last < top - 1 || last >= m_nChannels - 1) return 0.0f;
    double above = 0.0, inside = 0.0;
    for (int c = last + 1; c < m_nChannels; ++c) above += m_noiseDb[c];
    for (int c = last - top + 1; c <= last; ++c) inside += m_noiseDb[c];
    return static_cast<float>(above / (m_nChannels - 1 - last) - inside / top);
}

float CFeatureExtractor::FilterBankOverFrameEnergyDb(const CFeatureMatrix& features, int first, int last)
{
    first = std::max(first, 0);
    last = std::min({last, features.Frames() - 1, m_nMaxFrames - 1});
    if (m_nShift == 0 || last < first || features.Dims() != Dims()) return 0.0f;
    float loudest = -1e9f;
    for (int f = first; f <= last; ++f) loudest = std::max(loudest, features.Row(f)[m_nCepstra]);
    // The quiet-frame scratch is free once the noise is known.
    int n = 0;
    for (int f = first; f <= last; ++f) {
        const float energy = features.Row(f)[m_nCepstra];
        if (energy < loudest - kLoudRangeDb) continue;
        const float* power = m_melPower.data() + static_cast<size_t>(f) * m_nChannels;
        double sum = 0.0;
        for (int c = 0; c < m_nChannels; ++c) sum += power[c];
        m_sortedLevels[n++] = static_cast<float>(10.0 * std::log10(sum)) - energy;
    }
    std::nth_element(m_sortedLevels.begin(), m_sortedLevels.begin() + n / 2, m_sortedLevels.begin() + n);
    return m_sortedLevels[n / 2];
}

// Level, log filter energies and log energy of frame f.
void CFeatureExtractor::AnalyseFrame(const short* samples, int f, CFeatureMatrix& features, float* levelDb)
{
    const int bins = m_fft.Size() / 2 + 1;
    const short* x = samples + static_cast<size_t>(f) * m_nShift;
    // The samples' sum in whole numbers: the sum a double held exactly,
    // without a chain of floating-point additions.
    int64_t sum = 0;
    for (int i = 0; i < m_nFrameLength; ++i) sum += x[i];
    const double mean = static_cast<double>(sum) / m_nFrameLength;
    double sumRaw = 0.0;
    double sumWin = 0.0;
    // The sample before the frame feeds the pre-emphasis of its first sample.
    float prev = f > 0 ? static_cast<float>(x[-1] - mean) : 0.0f;
    for (int i = 0; i < m_nFrameLength; ++i) {
        const float v = static_cast<float>(x[i] - mean);  // DC removed per frame
        sumRaw += static_cast<double>(v) * v;
        const float e = (v - kPreEmphasis * prev) * m_window[i];
        prev = v;
        m_frame[i] = e;
        sumWin += static_cast<double>(e) * e;
    }
    levelDb[f] = static_cast<float>(10.0 * std::log10(sumRaw / m_nFrameLength + kLevelFloor));
    // Before any call: a sum still needed after one lives in memory, and was
    // read and written there at every sample of the loop above.
    features.Row(f)[m_nCepstra] = static_cast<float>(10.0 * std::log10(sumWin / m_nFrameLength + kLevelFloor));
    m_fft.Power(m_frame.data(), m_nFrameLength, m_power.data());
    float* logMel = m_logMel.data() + static_cast<size_t>(f) * m_nChannels;
    float* melPower = m_melPower.data() + static_cast<size_t>(f) * m_nChannels;
    for (int c = 0; c < m_nChannels; ++c) {
        const float* w = m_melWeights.data() + static_cast<size_t>(c) * bins;
        double e = 0.0;
        for (int k = m_melFirst[c]; k <= m_melLast[c]; ++k) e += w[k] * m_power[k];
        // Scale by 1/fft size so the level does not depend on the transform length.
        melPower[c] = static_cast<float>(e / m_fft.Size() + kPowerFloor);
        logMel[c] = 10.0f * std::log10(melPower[c]);
    }
}

// Raises frame f's filter energies to the noise mask, then the cosine
// transform to cepstra.
void CFeatureExtractor::MaskAndTransform(int f, CFeatureMatrix& features)
{
    float* logMel = m_logMel.data() + static_cast<size_t>(f) * m_nChannels;
    for (int c = 0; c < m_nChannels; ++c)
        logMel[c] = std::max(logMel[c], std::max(m_noiseDb[c] + kNoiseMaskDb, m_fPeakCellDb - kMaskRangeDb));
    float* row = features.Row(f);
    for (int k = 0; k < m_nCepstra; ++k) {
        const float* basis = m_cosTable.data() + static_cast<size_t>(k) * m_nChannels;
        double c = 0.0;
        for (int m = 0; m < m_nChannels; ++m) c += basis[m] * logMel[m];
        row[k] = static_cast<float>(c);
    }
}

// Before masking: the mask would raise every noise-only cell to the same
// level and hide how far speech stands over the noise.
void CFeatureExtractor::ComputeSpectralSnr(int frames)
{
    for (int f = 0; f < frames; ++f) {
        const float* melPower = m_melPower.data() + static_cast<size_t>(f) * m_nChannels;
        double ratio = 0.0;
        for (int c = 0; c < m_nChannels; ++c) ratio += melPower[c] / m_noisePower[c];
        m_spectralSnrDb[f] = static_cast<float>(10.0 * std::log10(ratio / m_nChannels));
    }
}

// The quietest frames of a take are its pauses; their mean filter energy per
// channel (averaged as power, not as dB) is that channel's noise level.
void CFeatureExtractor::EstimateChannelNoise(const float* levelDb, int frames)
{
    std::fill(m_noiseDb.begin(), m_noiseDb.end(), 0.0f);
    std::fill(m_noisePower.begin(), m_noisePower.end(), 1.0);
    if (frames <= 0) return;
    std::copy(levelDb, levelDb + frames, m_sortedLevels.begin());
    const int quiet = std::min(frames, std::max(kMinQuietFrames, static_cast<int>(kQuietFraction * frames)));
    std::nth_element(m_sortedLevels.begin(), m_sortedLevels.begin() + (quiet - 1), m_sortedLevels.begin() + frames);
    const float limit = m_sortedLevels[quiet - 1];
    for (int c = 0; c < m_nChannels; ++c) {
        double power = 0.0;
        int n = 0;
        for (int f = 0; f < frames && n < quiet; ++f) {
            if (levelDb[f] > limit) continue;
            power += m_melPower[static_cast<size_t>(f) * m_nChannels + c];
            ++n;
        }
        m_noisePower[c] = n > 0 ? power / n : kPowerFloor;
        m_noiseDb[c] = static_cast<float>(10.0 * std::log10(m_noisePower[c]));
    }
}
