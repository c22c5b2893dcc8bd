#include "SpeakerModel.h"

#include "AnsiFileSystem.h"
#include "Crc32.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char kMagic[4] = {'S', 'V', 'M', 'D'};

// Appends little-endian values to a byte vector.
class CWriter {
public:
    explicit CWriter(std::vector<unsigned char>& out) : m_out(out) {}
    void U8(int v) { m_out.push_back(static_cast<unsigned char>(v & 0xFF)); }
    void U16(int v) { m_out.push_back(static_cast<unsigned char>(v & 0xFF)); m_out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF)); }
    void U32(uint32_t v) { for (int i = 0; i < 4; ++i) m_out.push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF)); }
    void F32(float f) { uint32_t v; std::memcpy(&v, &f, 4); U32(v); }
    void Bytes(const signed char* p, size_t n) { for (size_t i = 0; i < n; ++i) m_out.push_back(static_cast<unsigned char>(p[i])); }
    void Bytes(const unsigned char* p, size_t n) { m_out.insert(m_out.end(), p, p + n); }
private:
    std::vector<unsigned char>& m_out;
};

// Reads little-endian values; every read checks what is left first and a
// failed read poisons the reader, so one check at the end suffices.
class CReader {
public:
    CReader(const unsigned char* p, size_t n) : m_p(p), m_left(n) {}
    bool Ok() const { return m_ok; }
    size_t Left() const { return m_left; }
    int U8() { unsigned char b = 0; Take(&b, 1); return b; }
    int U16() { unsigned char b[2] = {0, 0}; Take(b, 2); return b[0] | (b[1] << 8); }
    uint32_t U32() { unsigned char b[4] = {0, 0, 0, 0}; Take(b, 4); return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24); }
    float F32() { const uint32_t v = U32(); float f; std::memcpy(&f, &v, 4); return f; }
    void Bytes(signed char* dst, size_t n) { Take(dst, n); }
    void Skip(size_t n) { if (!m_ok || n > m_left) { m_ok = false; return; } m_p += n; m_left -= n; }
    void Bytes(unsigned char* dst, size_t n) { Take(dst, n); }
    void Fail() { m_ok = false; }
private:
    void Take(void* dst, size_t n)
    {
        if (!m_ok || n > m_left) { m_ok = false; std::memset(dst, 0, n); return; }
        std::memcpy(dst, m_p, n);
        m_p += n;
        m_left -= n;
    }
    const unsigned char* m_p;
    size_t m_left;
    bool m_ok = true;
};

bool FiniteIn(float v, float lo, float hi) { return std::isfinite(v) && v >= lo && v <= hi; }

// The noise figure's values within their limits (whether known or not).
bool NoiseFigureInRange(const CSpeakerModel& m)
{
    return FiniteIn(m.noiseMove, -CSpeakerModel::kMaxNoiseMove, CSpeakerModel::kMaxNoiseMove) &&
           FiniteIn(m.noiseImpostorMove, -CSpeakerModel::kMaxNoiseMove, CSpeakerModel::kMaxNoiseMove) &&
           m.noiseCopySnrDb >= 0.0f && m.noiseCopySnrDb <= CSpeakerModel::kMaxSnrDb;
}

// The typical distances taken with the weights, as the unweighted ones.
bool WeightedTypicalInRange(const CSpeakerModel& m)
{
    for (int i = 0; i < CSpeakerModel::kScoreParts; ++i)
        if (!FiniteIn(m.weightedEnrolMean[i], 1e-6f, 1e6f) || !FiniteIn(m.weightedAdaptedMean[i], 1e-6f, 1e6f))
            return false;
    return true;
}

// A known take's pitch contour: u16 frames, u16 median pitch, i8 pitch[frames].
void ReadContour(CReader& r, CSpeakerModel& m, int k, size_t skippedPerFrame)
{
    m.contourFrames[k] = r.U16();
    if (m.contourFrames[k] < 1 || m.contourFrames[k] > CSpeakerModel::kMaxContourFrames) {
        r.Fail();
        return;
    }
    r.Skip(skippedPerFrame * static_cast<size_t>(m.contourFrames[k]));
    const int tenths = r.U16();
    if (tenths > 60000) r.Fail();
    m.contourMedianPitch[k] = tenths / 10.0f;
    r.Bytes(m.contourPitch[k], static_cast<size_t>(m.contourFrames[k]));
}

// The known takes of a version 6 or 7 file.
void ReadKnownTakes(CReader& r, CSpeakerModel& m)
{
    m.nKnownTakes = r.U16();
    m.nNextRingSlot = r.U16();
    if (m.nKnownTakes > CSpeakerModel::kMaxKnownTakes || m.nNextRingSlot >= CSpeakerModel::kMaxKnownTakes) r.Fail();
    for (int k = 0; k < m.nKnownTakes && r.Ok(); ++k) {
        ReadContour(r, m, k, 0);
        const int printed = r.U8();
        if (printed > 1) r.Fail();
        m.printed[k] = printed == 1;
        if (m.printed[k]) r.Bytes(m.prints[k], CSpeakerModel::kWaveformPrintBytes);
    }
    m.printTypical = r.F32();
    if (m.printTypical != 0.0f && !FiniteIn(m.printTypical, 1e-6f, 1.0f)) r.Fail();
}

// The known takes of a version 4 or 5 file: each fingerprint's cepstral
// rows are skipped (the replay check no longer has that cue), its pitch
// contour kept; version 5's print of each enrolment take follows.
void ReadOldKnownTakes(CReader& r, int version, CSpeakerModel& m)
{
    const int kOldFingerprintDims = 11;
    const int dims = r.U16();
    m.nKnownTakes = r.U16();
    m.nNextRingSlot = r.U16();
    const float scale = r.F32(), typical = r.F32();
    if (dims != kOldFingerprintDims || m.nKnownTakes > CSpeakerModel::kMaxKnownTakes ||
        m.nNextRingSlot >= CSpeakerModel::kMaxKnownTakes || !FiniteIn(scale, 1e-6f, 1e3f) ||
        !FiniteIn(typical, 1e-6f, 1e3f))
        r.Fail();
    for (int k = 0; k < m.nKnownTakes && r.Ok(); ++k) ReadContour(r, m, k, kOldFingerprintDims);
    if (version < 5 || !r.Ok()) return;
    const int printed = r.U16();
    if (printed > m.nTemplates || printed > m.nKnownTakes) r.Fail();
    if (printed > 0) {
        m.printTypical = r.F32();
        if (!FiniteIn(m.printTypical, 1e-6f, 1.0f)) r.Fail();
    }
    for (int k = 0; k < printed && r.Ok(); ++k) {
        m.printed[k] = true;
        r.Bytes(m.prints[k], CSpeakerModel::kWaveformPrintBytes);
    }
}

// The per-dimension weights (version 9): u8 weighted, then when 1 the codes
// and the typical distances taken with them.
void ReadWeights(CReader& r, CSpeakerModel& m)
{
    const int weighted = r.U8();
    if (weighted > 1) r.Fail();
    m.bWeighted = weighted == 1;
    if (!m.bWeighted) return;
    r.Bytes(m.weightCodes, static_cast<size_t>(m.nDims));
    for (int i = 0; i < CSpeakerModel::kScoreParts; ++i) m.weightedEnrolMean[i] = r.F32();
    for (int i = 0; i < CSpeakerModel::kScoreParts; ++i) m.weightedAdaptedMean[i] = r.F32();
    if (!WeightedTypicalInRange(m)) r.Fail();
}

// A channel's enrolment noise is either absent or a level relative to the
// word's loudest frame; anything else is a damaged file.
bool EnrolNoiseInRange(float db)
{
    return db == CSpeakerModel::kNoNoiseDb || FiniteIn(db, -300.0f, 300.0f);
}

// The enrolment takes' channel noise (version 10): u8 channels (0 or the
// model's channel count), then one f32 per channel.
void ReadEnrolNoise(CReader& r, CSpeakerModel& m)
{
    const int channels = r.U8();
    if (channels != 0 && channels != m.nChannels) r.Fail();
    if (channels > CSpeakerModel::kMaxNoiseChannels) {
        r.Fail();
        return;
    }
    m.nEnrolNoiseChannels = channels;
    for (int c = 0; c < channels && r.Ok(); ++c) {
        m.enrolNoiseDb[c] = r.F32();
        if (!EnrolNoiseInRange(m.enrolNoiseDb[c])) r.Fail();
    }
}

// The matched margin: u8 known, f32 margin; unknown is a zero margin.
void ReadMatchedMargin(CReader& r, CSpeakerModel& m)
{
    const int known = r.U8();
    m.matchedMargin = r.F32();
    if (known > 1 || !FiniteIn(m.matchedMargin, -CSpeakerModel::kMaxMatchedMargin, CSpeakerModel::kMaxMatchedMargin) ||
        (known == 0 && m.matchedMargin != 0.0f))
        r.Fail();
    m.bMatchedMargin = known == 1;
}

} // namespace

void CSpeakerModel::Reset()
{
    nSampleRate = nFrameLength = nShift = nCepstra = nChannels = nDims = 0;
    nTemplates = 0;
    std::memset(scale, 0, sizeof(scale));
    std::memset(templateFrames, 0, sizeof(templateFrames));
    std::memset(templates, 0, sizeof(templates));
    std::memset(templatePitch, 0, sizeof(templatePitch));
    std::memset(enrolMean, 0, sizeof(enrolMean));
    std::memset(enrolSpread, 0, sizeof(enrolSpread));
    std::memset(adaptedMean, 0, sizeof(adaptedMean));
    nAdaptations = 0;
    nKnownTakes = 0;
    nNextRingSlot = 0;
    std::memset(contourFrames, 0, sizeof(contourFrames));
    std::memset(contourMedianPitch, 0, sizeof(contourMedianPitch));
    std::memset(contourPitch, 0, sizeof(contourPitch));
    std::memset(printed, 0, sizeof(printed));
    std::memset(prints, 0, sizeof(prints));
    printTypical = 0.0f;
    enrolSnrDb = 0.0f;
    bNoiseMove = false;
    noiseMove = 0.0f;
    noiseImpostorMove = 0.0f;
    noiseCopySnrDb = 0.0f;
    bWeighted = false;
    std::memset(weightCodes, 0, sizeof(weightCodes));
    std::memset(weightedEnrolMean, 0, sizeof(weightedEnrolMean));
    std::memset(weightedAdaptedMean, 0, sizeof(weightedAdaptedMean));
    nEnrolNoiseChannels = 0;
    for (float& db : enrolNoiseDb) db = kNoNoiseDb;
    bMatchedMargin = false;
    matchedMargin = 0.0f;
}

int CSpeakerModel::TemplateFrameLimit(int dims)
{
    if (dims <= 0) return 0;
    const int byBudget = kTemplateBudget / (kMaxTemplates * dims);
    return byBudget < kMaxTemplateFrames ? byBudget : kMaxTemplateFrames;
}

int CSpeakerModel::NextAdaptedTemplate() const
{
    if (nTemplates <= kFixedTemplates) return -1;
    const int adaptive = nTemplates - kFixedTemplates;
    return kFixedTemplates + static_cast<int>(nAdaptations % static_cast<uint32_t>(adaptive));
}

// The turns run through the adaptive templates in order from the first, so
// template t has been replaced once nAdaptations passes its place.
bool CSpeakerModel::HoldsEnrolmentTake(int t) const
{
    if (t < 0 || t >= nTemplates) return false;
    if (t < kFixedTemplates) return true;
    return nAdaptations <= static_cast<uint32_t>(t - kFixedTemplates);
}

int CSpeakerModel::Serialize(std::vector<unsigned char>& out) const
{
    out.clear();
    if (nDims < 2 || nDims > kMaxDims || nCepstra != nDims - 1 || nTemplates < 1 ||
        nTemplates > kMaxTemplates || nKnownTakes < 0 || nKnownTakes > kMaxKnownTakes || nNextRingSlot < 0 ||
        nNextRingSlot >= kMaxKnownTakes)
        return 0;
    const int frameLimit = TemplateFrameLimit(nDims);
    std::vector<unsigned char> payload;
    CWriter w(payload);
    w.U16(nSampleRate); w.U16(nFrameLength); w.U16(nShift); w.U16(nCepstra); w.U16(nChannels);
    w.U16(nDims); w.U16(nTemplates);
    for (int d = 0; d < nDims; ++d) w.F32(scale[d]);
    for (int t = 0; t < nTemplates; ++t) {
        if (templateFrames[t] < 1 || templateFrames[t] > frameLimit) return 0;
        w.U16(templateFrames[t]);
        w.Bytes(templates[t], static_cast<size_t>(templateFrames[t]) * nDims);
    }
    for (int t = 0; t < nTemplates; ++t) {
        if (!(templatePitch[t] >= 0.0f && templatePitch[t] <= 6000.0f)) return 0;
        w.U16(static_cast<int>(std::lround(templatePitch[t] * 10.0f)));
    }
    for (int i = 0; i < kScoreParts; ++i) w.F32(enrolMean[i]);
    for (int i = 0; i < kScoreParts; ++i) w.F32(enrolSpread[i]);
    for (int i = 0; i < kScoreParts; ++i) w.F32(adaptedMean[i]);
    w.U32(nAdaptations);
    w.U16(nKnownTakes); w.U16(nNextRingSlot);
    for (int k = 0; k < nKnownTakes; ++k) {
        if (contourFrames[k] < 1 || contourFrames[k] > kMaxContourFrames) return 0;
        if (!(contourMedianPitch[k] >= 0.0f && contourMedianPitch[k] <= 6000.0f)) return 0;
        w.U16(contourFrames[k]);
        w.U16(static_cast<int>(std::lround(contourMedianPitch[k] * 10.0f)));
        w.Bytes(contourPitch[k], static_cast<size_t>(contourFrames[k]));
        w.U8(printed[k] ? 1 : 0);
        if (printed[k]) w.Bytes(prints[k], kWaveformPrintBytes);
    }
    if (printTypical != 0.0f && !FiniteIn(printTypical, 1e-6f, 1.0f)) return 0;
    w.F32(printTypical);
    if (!(enrolSnrDb >= 0.0f && enrolSnrDb <= kMaxSnrDb)) return 0;
    w.F32(enrolSnrDb);
    if (bNoiseMove && !NoiseFigureInRange(*this)) return 0;
    if (bWeighted && !WeightedTypicalInRange(*this)) return 0;
    w.U8(bNoiseMove ? 1 : 0);
    w.F32(bNoiseMove ? noiseMove : 0.0f);
    w.F32(bNoiseMove ? noiseImpostorMove : 0.0f);
    w.F32(bNoiseMove ? noiseCopySnrDb : 0.0f);
    w.U8(bWeighted ? 1 : 0);
    if (bWeighted) {
        w.Bytes(weightCodes, static_cast<size_t>(nDims));
        for (int i = 0; i < kScoreParts; ++i) w.F32(weightedEnrolMean[i]);
        for (int i = 0; i < kScoreParts; ++i) w.F32(weightedAdaptedMean[i]);
    }
    if (nEnrolNoiseChannels != 0 && (nEnrolNoiseChannels != nChannels || nEnrolNoiseChannels > kMaxNoiseChannels))
        return 0;
    w.U8(nEnrolNoiseChannels);
    for (int c = 0; c < nEnrolNoiseChannels; ++c) {
        if (!EnrolNoiseInRange(enrolNoiseDb[c])) return 0;
        w.F32(enrolNoiseDb[c]);
    }
    if (bMatchedMargin && !FiniteIn(matchedMargin, -kMaxMatchedMargin, kMaxMatchedMargin)) return 0;
    w.U8(bMatchedMargin ? 1 : 0);
    w.F32(bMatchedMargin ? matchedMargin : 0.0f);
    CWriter h(out);
    for (char c : kMagic) out.push_back(static_cast<unsigned char>(c));
    h.U16(kVersion); h.U16(kHeaderSize);
    h.U32(static_cast<uint32_t>(payload.size()));
    h.U32(CCrc32::Compute(payload.data(), payload.size()));
    h.U32(0); h.U32(0);
    out.insert(out.end(), payload.begin(), payload.end());
    if (out.size() > static_cast<size_t>(kMaxFileSize)) return 0;
    // Parse holds some fields to more than the writer checks (the framing,
    // scales, enrolment statistics). Bytes it would refuse must never reach
    // Save: the model file it replaced would be lost and the new one unread.
    const auto readBack = std::make_unique<CSpeakerModel>();
    if (!readBack->Parse(out.data(), out.size())) {
        out.clear();
        return 0;
    }
    return 1;
}

int CSpeakerModel::Parse(const unsigned char* data, size_t size)
{
    Reset();
    if (data == nullptr || size < static_cast<size_t>(kHeaderSize) || size > static_cast<size_t>(kMaxFileSize))
        return 0;
    if (std::memcmp(data, kMagic, 4) != 0) return 0;
    CReader h(data + 4, kHeaderSize - 4);
    const int version = h.U16();
    const int headerSize = h.U16();
    const uint32_t payloadSize = h.U32();
    const uint32_t crc = h.U32();
    if (!h.Ok() || version < kOldestReadVersion || version > kVersion || headerSize != kHeaderSize ||
        payloadSize != size - kHeaderSize ||
        CCrc32::Compute(data + kHeaderSize, payloadSize) != crc)
        return 0;

    CSpeakerModel m;
    CReader r(data + kHeaderSize, payloadSize);
    m.nSampleRate = r.U16(); m.nFrameLength = r.U16(); m.nShift = r.U16();
    m.nCepstra = r.U16(); m.nChannels = r.U16(); m.nDims = r.U16(); m.nTemplates = r.U16();
    if (!r.Ok() || m.nSampleRate < 6000 || m.nFrameLength < 64 || m.nShift < 1 || m.nShift > m.nFrameLength ||
        m.nDims < 2 || m.nDims > kMaxDims || m.nCepstra != m.nDims - 1 || m.nChannels <= m.nCepstra ||
        m.nTemplates < 1 || m.nTemplates > kMaxTemplates)
        return 0;
    for (int d = 0; d < m.nDims; ++d) {
        m.scale[d] = r.F32();
        if (!FiniteIn(m.scale[d], 1e-6f, 1e3f)) r.Fail();
    }
    const int frameLimit = TemplateFrameLimit(m.nDims);
    for (int t = 0; t < m.nTemplates && r.Ok(); ++t) {
        m.templateFrames[t] = r.U16();
        if (m.templateFrames[t] < 1 || m.templateFrames[t] > frameLimit) { r.Fail(); break; }
        r.Bytes(m.templates[t], static_cast<size_t>(m.templateFrames[t]) * m.nDims);
    }
    for (int t = 0; t < m.nTemplates; ++t) {
        const int tenths = r.U16();
        if (tenths > 60000) r.Fail();
        m.templatePitch[t] = tenths / 10.0f;
    }
    for (int i = 0; i < kScoreParts; ++i) m.enrolMean[i] = r.F32();
    for (int i = 0; i < kScoreParts; ++i) m.enrolSpread[i] = r.F32();
    for (int i = 0; i < kScoreParts; ++i) m.adaptedMean[i] = r.F32();
    for (int i = 0; i < kScoreParts; ++i)
        if (!FiniteIn(m.enrolMean[i], 1e-6f, 1e6f) || !FiniteIn(m.enrolSpread[i], 0.0f, 1e6f) ||
            !FiniteIn(m.adaptedMean[i], 1e-6f, 1e6f))
            r.Fail();
    m.nAdaptations = r.U32();
    if (version >= 6) ReadKnownTakes(r, m);
    else ReadOldKnownTakes(r, version, m);
    if (version >= 7) {
        m.enrolSnrDb = r.F32();
        if (!(m.enrolSnrDb >= 0.0f && m.enrolSnrDb <= kMaxSnrDb)) r.Fail();
    }
    if (version >= 8) {
        const int known = r.U8();
        m.noiseMove = r.F32();
        m.noiseImpostorMove = r.F32();
        m.noiseCopySnrDb = r.F32();
        // Unknown is all zeros: a file is one thing or the other.
        if (known > 1 || !NoiseFigureInRange(m) ||
            (known == 0 && (m.noiseMove != 0.0f || m.noiseImpostorMove != 0.0f || m.noiseCopySnrDb != 0.0f)))
            r.Fail();
        m.bNoiseMove = known == 1;
    }
    if (version >= 9) ReadWeights(r, m);
    if (version >= 10) ReadEnrolNoise(r, m);
    if (version >= 11) ReadMatchedMargin(r, m);
    if (!r.Ok() || r.Left() != 0) return 0;
    *this = m;
    return 1;
}

int CSpeakerModel::Load(const std::string& path)
{
    Reset();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    // One byte more than the largest valid file tells an oversized file apart.
    std::vector<unsigned char> buf(kMaxFileSize + 1);
    const size_t got = std::fread(buf.data(), 1, buf.size(), f);
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError) return 0;
    return Parse(buf.data(), got);
}

int CSpeakerModel::Save(const std::string& path) const
{
    std::vector<unsigned char> bytes;
    if (!Serialize(bytes)) return 0;
    const std::string tmp = path + ".tmp";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool flushed = std::fflush(f) == 0;
    const bool closed = std::fclose(f) == 0;
    if (!written || !flushed || !closed) {
        std::remove(tmp.c_str());
        return 0;
    }
    if (!CAnsiFileSystem::Replace(tmp, path)) {
        std::remove(tmp.c_str());
        return 0;
    }
    return 1;
}
