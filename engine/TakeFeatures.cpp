#include "TakeFeatures.h"

#include "FeatureExtractor.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

// --- Scorer vector weights (per group, dimensionless) -------------------------
const float kCepstrumWeight = 1.0f;     // c2..cN, dB
// c1 is the spectral tilt, which follows the microphone, the room and the
// effort of the voice from one session to the next more than the speaker;
// its static value is left out of the DTW vectors (its dynamics stay in).
// With it left out, every speaker left out of the tuning split in turn was
// told apart better (EER involving it: worst 3.3 -> 2.9 %, with the pitch cap).
const float kTiltWeight = 0.0f;
const float kEnergyWeight = 0.3f;       // energy relative to the word's peak, dB
const float kDeltaWeight = 4.0f;        // first differences of c1..cN, dB per frame
const float kDeltaEnergyWeight = 0.5f;  // first difference of the energy
const bool kRemoveCepstralMean = true; // DTW on raw cepstra keeps the voice's timbre in
const float kLoudRangeDb = 20.0f;      // mean spectrum: frames within this of the word's peak
// --- Adding levels ---------------------------------------------------------------
// Two levels (dB) add through a table of what the smaller adds to the larger,
// by their gap: a take's noise meets every cell of every template and
// neighbouring voice, too often for a logarithm each time.
constexpr float kAddStepDb = 0.05f;        // table step, dB of gap
constexpr float kAddRangeDb = 40.0f;       // beyond this gap the smaller adds under 0.0005 dB
constexpr int kAddTableSize = static_cast<int>(kAddRangeDb / kAddStepDb) + 2;

std::array<float, kAddTableSize> BuildAddTable()
{
    std::array<float, kAddTableSize> table{};
    for (int i = 0; i < kAddTableSize; ++i)
        table[i] = static_cast<float>(10.0 * std::log10(1.0 + std::pow(10.0, -0.1 * i * kAddStepDb)));
    return table;
}

// Built when the library loads: a table a function kept for itself would
// be checked for being built on every one of the many additions, and would
// keep them from being inlined.
const std::array<float, kAddTableSize> g_addTable = BuildAddTable();

// 10 log10(10^(a/10) + 10^(b/10)), to about 0.0005 dB.
inline float AddLevelsDb(float a, float b)
{
    const std::array<float, kAddTableSize>& table = g_addTable;
    const float high = std::max(a, b);
    const float gap = high - std::min(a, b);
    if (!(gap < kAddRangeDb)) return high;
    const float x = gap / kAddStepDb;
    const int i = static_cast<int>(x);
    return high + table[i] + (x - static_cast<float>(i)) * (table[i + 1] - table[i]);
}
} // namespace

void CTakeFeatures::Reset()
{
    m_nFrames = 0;
    m_nDims = 0;
    m_fPitchHz = 0.0f;
    m_fPeakEnergyDb = 0.0f;
    m_noise = STakeNoise();
    m_bSqueezed = false;
    std::memset(m_pitchTrack, 0, sizeof(m_pitchTrack));
    std::memset(m_statics, 0, sizeof(m_statics));
    std::memset(m_vectors, 0, sizeof(m_vectors));
    std::memset(m_meanCepstrum, 0, sizeof(m_meanCepstrum));
    SetWaveformPrint(nullptr);
}

void CTakeFeatures::SetWaveformPrint(const unsigned char* print)
{
    m_bWaveformPrint = print != nullptr;
    if (print) std::memcpy(m_waveformPrint, print, sizeof(m_waveformPrint));
    else std::memset(m_waveformPrint, 0, sizeof(m_waveformPrint));
}

int CTakeFeatures::Build(const CFeatureMatrix& full, int first, int last, int frameLimit)
{
    m_nFrames = 0;
    m_bWaveformPrint = false;
    m_noise = STakeNoise();
    m_nDims = full.Dims();
    first = std::max(first, 0);
    last = std::min(last, full.Frames() - 1);
    frameLimit = std::clamp(frameLimit, 1, kMaxFrames);
    if (m_nDims < 2 || m_nDims > kMaxDims || last < first) return 0;
    const int length = last - first + 1;
    const int halved = (length + 1) / 2;
    const int frames = std::min(halved, frameLimit);
    m_bSqueezed = frames < halved;
    std::memset(m_pitchTrack, 0, sizeof(m_pitchTrack));
    // Frame i covers source frames [first + i*step, first + (i+1)*step): with
    // step = 2 a pair mean, with larger steps a linear squeeze.
    const double step = static_cast<double>(length) / frames;
    for (int i = 0; i < frames; ++i) {
        const int a = first + static_cast<int>(i * step);
        const int b = std::max(a, std::min(last, first + static_cast<int>((i + 1) * step) - 1));
        for (int d = 0; d < m_nDims; ++d) {
            float sum = 0.0f;
            for (int s = a; s <= b; ++s) sum += full.Row(s)[d];
            m_statics[i][d] = sum / static_cast<float>(b - a + 1);
        }
    }
    float peak = -1e9f;
    for (int i = 0; i < frames; ++i) peak = std::max(peak, m_statics[i][m_nDims - 1]);
    for (int i = 0; i < frames; ++i) m_statics[i][m_nDims - 1] -= peak;
    m_fPeakEnergyDb = peak;
    m_nFrames = frames;
    ComputeVectors();
    return frames;
}

int CTakeFeatures::BuildFromTemplate(const CSpeakerModel& model, int index)
{
    m_nFrames = 0;
    m_noise = STakeNoise();
    if (index < 0 || index >= model.nTemplates || model.nDims > kMaxDims || model.nDims < 2) return 0;
    m_nDims = model.nDims;
    const int frames = std::min(model.templateFrames[index], kMaxFrames);
    for (int i = 0; i < frames; ++i)
        for (int d = 0; d < m_nDims; ++d)
            m_statics[i][d] = model.templates[index][i * m_nDims + d] * model.scale[d];
    m_nFrames = frames;
    m_fPitchHz = model.templatePitch[index];
    m_bSqueezed = false;
    std::memset(m_pitchTrack, 0, sizeof(m_pitchTrack));
    ComputeVectors();
    return frames;
}

int CTakeFeatures::StoreAsTemplate(CSpeakerModel& model, int index) const
{
    if (index < 0 || index >= CSpeakerModel::kMaxTemplates || model.nDims != m_nDims || m_nFrames < 1 ||
        m_nFrames > CSpeakerModel::TemplateFrameLimit(m_nDims))
        return 0;
    for (int i = 0; i < m_nFrames; ++i)
        for (int d = 0; d < m_nDims; ++d) {
            const float q = std::round(m_statics[i][d] / model.scale[d]);
            model.templates[index][i * m_nDims + d] = static_cast<signed char>(std::clamp(q, -127.0f, 127.0f));
        }
    model.templateFrames[index] = m_nFrames;
    // Stored in tenths of a hertz (u16 in the file).
    model.templatePitch[index] = std::round(std::clamp(m_fPitchHz, 0.0f, 6000.0f) * 10.0f) / 10.0f;
    return 1;
}

void CTakeFeatures::SetPitchTrack(const float* hz, int count)
{
    std::memset(m_pitchTrack, 0, sizeof(m_pitchTrack));
    if (hz == nullptr || m_bSqueezed) return;
    const int n = std::min(std::max(count, 0), kMaxFrames);
    for (int i = 0; i < n; ++i) m_pitchTrack[i] = std::isfinite(hz[i]) && hz[i] > 0.0f ? hz[i] : 0.0f;
}

int CTakeFeatures::PitchContour(signed char* out, int maxFrames, float& medianHz) const
{
    medianHz = 0.0f;
    const int frames = std::min(m_nFrames, std::max(maxFrames, 0));
    if (frames < 1) return 0;
    // Frames are kept one for one, never squeezed: the replay check compares
    // without time warping. A longer word keeps its middle.
    const int start = (m_nFrames - frames) / 2;
    float voiced[kMaxFrames];
    int n = 0;
    for (int i = 0; i < frames; ++i)
        if (m_pitchTrack[start + i] > 0.0f) voiced[n++] = m_pitchTrack[start + i];
    if (n > 0) {
        std::nth_element(voiced, voiced + n / 2, voiced + n);
        medianHz = std::round(std::min(voiced[n / 2], 6000.0f) * 10.0f) / 10.0f;
    }
    for (int i = 0; i < frames; ++i) {
        const float hz = m_pitchTrack[start + i];
        if (hz <= 0.0f || medianHz <= 0.0f) {
            out[i] = CSpeakerModel::kUnvoiced;
            continue;
        }
        const float steps = CSpeakerModel::kPitchContourSteps * 12.0f * std::log2(hz / medianHz);
        out[i] = static_cast<signed char>(std::clamp(std::round(steps), -127.0f, 127.0f));
    }
    return frames;
}

int CTakeFeatures::StoreKnownTake(CSpeakerModel& model, int slot) const
{
    if (slot < 0 || slot >= CSpeakerModel::kMaxKnownTakes || m_nFrames < 1) return 0;
    const int frames = PitchContour(model.contourPitch[slot], CSpeakerModel::kMaxContourFrames,
                                    model.contourMedianPitch[slot]);
    if (frames < 1) return 0;
    model.contourFrames[slot] = frames;
    model.printed[slot] = m_bWaveformPrint;
    std::memcpy(model.prints[slot], m_waveformPrint, sizeof(m_waveformPrint));
    return 1;
}

void CTakeFeatures::ComputeVectors()
{
    const int cep = m_nDims - 1;
    const int vd = VectorDims();
    std::memset(m_meanCepstrum, 0, sizeof(m_meanCepstrum));
    if (m_nFrames == 0) return;
    // The mean spectrum is taken over the loud frames only: quiet frames are
    // mostly the room's noise, which says nothing about the voice.
    int loud = 0;
    for (int i = 0; i < m_nFrames; ++i) {
        if (m_statics[i][cep] < -kLoudRangeDb) continue;
        for (int d = 0; d < cep; ++d) m_meanCepstrum[d] += m_statics[i][d];
        ++loud;
    }
    for (int d = 0; d < cep; ++d) m_meanCepstrum[d] /= static_cast<float>(std::max(loud, 1));

    float* v = &m_vectors[0][0];
    for (int i = 0; i < m_nFrames; ++i) {
        float* row = v + i * vd;
        for (int d = 0; d < cep; ++d)
            row[d] = (d == 0 ? kTiltWeight : kCepstrumWeight) *
                     (m_statics[i][d] - (kRemoveCepstralMean ? m_meanCepstrum[d] : 0.0f));
        row[cep] = kEnergyWeight * m_statics[i][cep];
        // Regression slope over +-2 frames, edges clamped:
        //   delta = sum_k k (x[i+k] - x[i-k]) / (2 sum_k k^2), k = 1, 2.
        for (int d = 0; d <= cep; ++d) {
            float num = 0.0f;
            for (int k = 1; k <= 2; ++k) {
                const int hi = std::min(i + k, m_nFrames - 1), lo = std::max(i - k, 0);
                num += k * (m_statics[hi][d] - m_statics[lo][d]);
            }
            const float w = d < cep ? kDeltaWeight : kDeltaEnergyWeight;
            row[m_nDims + d] = w * num / 10.0f;
        }
    }
}

namespace {

// basis[k][m]: cepstrum c(k+1) over channel m of `channels`, as in the
// analysis; built once per filter-bank size (a model's neighbouring voices
// rebuild five templates each). One table per use, so that the full bank's
// and a band's do not rebuild each other's. byChannel[m][k] is the same
// table channel by channel: a transform that runs over the channels in its
// outer loop then adds every cepstrum's terms side by side, each in the
// order a cepstrum at a time would.
struct SCosineTable {
    float basis[CTakeFeatures::kMaxDims][CTakeFeatures::kMaxChannels];
    float byChannel[CTakeFeatures::kMaxChannels][CTakeFeatures::kMaxDims];
    int channels = 0;
    void Prepare(int count)
    {
        if (channels == count) return;
        for (int k = 0; k < CTakeFeatures::kMaxDims; ++k)
            for (int m = 0; m < count; ++m) {
                basis[k][m] = static_cast<float>(CFeatureExtractor::CosineBasis(k + 1, m, count));
                byChannel[m][k] = basis[k][m];
            }
        channels = count;
    }
};

SCosineTable g_fullBank, g_band;

} // namespace

void CTakeFeatures::RebuildChannels(int frame, int channelCount, float* logMel) const
{
    // Cepstrum by cepstrum, every channel's sum side by side: each channel
    // still adds its terms from c1 up, as one channel at a time would.
    // The sums are kept apart from logMel, which the compiler cannot tell
    // from the tables, so that they stay in registers.
    const int cep = m_nDims - 1;
    float sums[kMaxChannels] = {};
    for (int k = 0; k < cep; ++k) {
        const float c = m_statics[frame][k];
        const float* basis = g_fullBank.basis[k];
        for (int m = 0; m < channelCount; ++m) sums[m] += c * basis[m];
    }
    std::copy(sums, sums + channelCount, logMel);
}

int CTakeFeatures::KeepChannels(int firstChannel, int lastChannel, int channelCount)
{
    const int cep = m_nDims - 1;
    const int kept = lastChannel - firstChannel + 1;
    if (channelCount <= cep || channelCount > kMaxChannels || firstChannel < 0 || lastChannel >= channelCount ||
        kept < 3)
        return 0;
    g_fullBank.Prepare(channelCount);
    g_band.Prepare(kept);
    // The band's c0 is its level, which the word's energy already carries.
    const int bandCep = std::min(cep, kept - 1);
    float logMel[kMaxChannels];
    for (int i = 0; i < m_nFrames; ++i) {
        RebuildChannels(i, channelCount, logMel);
        const float energy = m_statics[i][cep];
        for (int k = 0; k < bandCep; ++k) {
            float c = 0.0f;
            for (int m = 0; m < kept; ++m) c += logMel[firstChannel + m] * g_band.basis[k][m];
            m_statics[i][k] = c;
        }
        for (int d = bandCep; d < kMaxDims; ++d) m_statics[i][d] = 0.0f;
        m_statics[i][bandCep] = energy;
    }
    m_nDims = bandCep + 1;
    ComputeVectors();
    return 1;
}

void CTakeFeatures::MoveFrame(const float* logMel, float channels, int channelCount, float* statics) const
{
    const int cep = m_nDims - 1;
    const auto& basis = g_fullBank.basis;
    float moved[kMaxChannels];
    // Channel m of the moved spectrum shows what channel m - channels showed.
    for (int m = 0; m < channelCount; ++m) {
        const float from = std::clamp(m - channels, 0.0f, static_cast<float>(channelCount - 1));
        const int a = std::min(static_cast<int>(from), channelCount - 2);
        const float f = from - static_cast<float>(a);
        moved[m] = (1.0f - f) * logMel[a] + f * logMel[a + 1];
    }
    for (int k = 0; k < cep; ++k) {
        float c = 0.0f;
        for (int m = 0; m < channelCount; ++m) c += moved[m] * basis[k][m];
        statics[k] = c;
    }
}

int CTakeFeatures::ShiftedCopies(const float* channels, int count, int channelCount, CTakeFeatures* const* out) const
{
    const int cep = m_nDims - 1;
    if (channelCount <= cep || channelCount > kMaxChannels) return 0;
    for (int s = 0; s < count; ++s)
        if (!std::isfinite(channels[s]) || out[s] == this) return 0;
    g_fullBank.Prepare(channelCount);
    for (int s = 0; s < count; ++s) *out[s] = *this;
    float logMel[kMaxChannels];
    for (int i = 0; i < m_nFrames; ++i) {
        RebuildChannels(i, channelCount, logMel);
        for (int s = 0; s < count; ++s) MoveFrame(logMel, channels[s], channelCount, out[s]->m_statics[i]);
    }
    for (int s = 0; s < count; ++s) out[s]->ComputeVectors();
    return 1;
}

void CTakeFeatures::SetNoise(const float* channelNoiseDb, int channels, float peakCellDb, float filterBankOffsetDb)
{
    m_noise = STakeNoise();
    if (channelNoiseDb == nullptr || channels < 1 || channels > STakeNoise::kMaxChannels || m_nFrames < 1 ||
        !std::isfinite(filterBankOffsetDb) || !std::isfinite(peakCellDb))
        return;
    // The word's loudest frame on the filter energies' scale.
    const float reference = m_fPeakEnergyDb + filterBankOffsetDb;
    STakeNoise noise;
    for (int c = 0; c < channels; ++c) {
        if (!std::isfinite(channelNoiseDb[c])) return;
        noise.channelDb[c] = channelNoiseDb[c] - reference;
        noise.totalDb = c == 0 ? noise.channelDb[0] : AddLevelsDb(noise.totalDb, noise.channelDb[c]);
    }
    noise.floorDb = peakCellDb - CFeatureExtractor::kMaskRangeDb - reference;
    noise.nChannels = channels;
    m_noise = noise;
}

int CTakeFeatures::QuietestFrameChannelsDb(int channelCount, float* out) const
{
    const int cep = m_nDims - 1;
    if (channelCount <= cep || channelCount > kMaxChannels || m_nFrames < 1) return 0;
    g_fullBank.Prepare(channelCount);
    int quietest = 0;
    for (int i = 1; i < m_nFrames; ++i)
        if (m_statics[i][cep] < m_statics[quietest][cep]) quietest = i;
    RebuildChannels(quietest, channelCount, out);
    double power = 0.0;
    for (int m = 0; m < channelCount; ++m) power += std::pow(10.0, 0.1 * out[m]);
    const float level = m_statics[quietest][cep] - static_cast<float>(10.0 * std::log10(power));
    for (int m = 0; m < channelCount; ++m) out[m] += level;
    return 1;
}

void CTakeFeatures::CopyStaticsOf(const CTakeFeatures& word)
{
    m_nFrames = word.m_nFrames;
    m_nDims = word.m_nDims;
    std::memcpy(m_statics, word.m_statics, sizeof(m_statics[0]) * static_cast<size_t>(m_nFrames));
    std::memcpy(m_meanCepstrum, word.m_meanCepstrum, sizeof(m_meanCepstrum));
    m_fPitchHz = word.m_fPitchHz;
    m_bSqueezed = word.m_bSqueezed;
    std::memcpy(m_pitchTrack, word.m_pitchTrack, sizeof(m_pitchTrack));
    m_bWaveformPrint = word.m_bWaveformPrint;
    std::memcpy(m_waveformPrint, word.m_waveformPrint, sizeof(m_waveformPrint));
    m_fPeakEnergyDb = word.m_fPeakEnergyDb;
    m_noise = word.m_noise;
}

int CTakeFeatures::MeetNoiseOf(const CTakeFeatures& word, const STakeNoise& noise, int channelCount)
{
    if (this == &word) return MeetNoise(noise, channelCount);
    CopyStaticsOf(word);
    if (MeetNoise(noise, channelCount)) return 1;
    // Refused before it changed anything: the word as it was, vectors too.
    *this = word;
    return 0;
}

int CTakeFeatures::MeetNoise(const STakeNoise& noise, int channelCount)
{
    const int cep = m_nDims - 1;
    if (channelCount <= cep || channelCount > kMaxChannels || noise.nChannels != channelCount) return 0;
    g_fullBank.Prepare(channelCount);
    float logMel[kMaxChannels];
    float peak = -1e9f;
    for (int i = 0; i < m_nFrames; ++i) {
        RebuildChannels(i, channelCount, logMel);
        // The cepstra keep no level (c0 is not stored): the spectrum is
        // placed so that its summed energy is the frame's.
        float sum = logMel[0];
        for (int m = 1; m < channelCount; ++m) sum = AddLevelsDb(sum, logMel[m]);
        const float level = m_statics[i][cep] - sum;
        for (int m = 0; m < channelCount; ++m) {
            if (noise.channelDb[m] <= STakeNoise::kNoneDb) {
                logMel[m] += level;
                continue;
            }
            const float noisy = AddLevelsDb(logMel[m] + level, noise.channelDb[m]);
            logMel[m] = std::max(noisy, std::max(noise.channelDb[m] + CFeatureExtractor::kNoiseMaskDb, noise.floorDb));
        }
        // The cepstra from c1 on see no level common to all channels. Channel
        // by channel, every cepstrum's sum side by side, each adding its
        // channels from the first up.
        float cepstra[kMaxDims] = {};
        for (int m = 0; m < channelCount; ++m) {
            const float v = logMel[m];
            const float* basis = g_fullBank.byChannel[m];
            for (int k = 0; k < cep; ++k) cepstra[k] += v * basis[k];
        }
        for (int k = 0; k < cep; ++k) m_statics[i][k] = cepstra[k];
        m_statics[i][cep] = std::max(m_statics[i][cep], noise.totalDb);
        peak = std::max(peak, m_statics[i][cep]);
    }
    // The energy relative to the word's loudest frame again, as Build made it.
    for (int i = 0; i < m_nFrames; ++i) m_statics[i][cep] -= peak;
    ComputeVectors();
    return 1;
}
