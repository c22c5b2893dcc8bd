// The model file: its layout within the voice dictionary's block, every kind
// of damage refused, and the rewrite that never leaves a reader without one.
#include "AnsiFileSystem.h"
#include "Crc32.h"
#include "EngineTestData.h"
#include "SpeakerModel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using Bytes = std::vector<unsigned char>;

// A reader's open handle on a file, sharing read, write and delete access.
class CHeldOpen {
public:
#ifdef _WIN32
    explicit CHeldOpen(const std::string& path)
        : m_h(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~CHeldOpen() { if (IsOpen()) CloseHandle(m_h); }
    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }
private:
    HANDLE m_h;
#else
    explicit CHeldOpen(const std::string& path) : m_f(std::fopen(path.c_str(), "rb")) {}
    ~CHeldOpen() { if (m_f) std::fclose(m_f); }
    bool IsOpen() const { return m_f != nullptr; }
private:
    std::FILE* m_f;
#endif
    CHeldOpen(const CHeldOpen&) = delete;
    CHeldOpen& operator=(const CHeldOpen&) = delete;
};

// A model at its largest: five templates at the frame limit, every
// fingerprint slot full.
CSpeakerModel LargestModel()
{
    CSpeakerModel m;
    m.nSampleRate = 11025; m.nFrameLength = 240; m.nShift = 80;
    m.nCepstra = 16; m.nChannels = 19; m.nDims = 17;
    m.nTemplates = CSpeakerModel::kMaxTemplates;
    for (int d = 0; d < m.nDims; ++d) m.scale[d] = 0.25f + 0.01f * d;
    const int frames = CSpeakerModel::TemplateFrameLimit(m.nDims);
    for (int t = 0; t < m.nTemplates; ++t) {
        m.templateFrames[t] = frames - t;
        m.templatePitch[t] = 110.5f + t;
        for (int i = 0; i < m.templateFrames[t] * m.nDims; ++i)
            m.templates[t][i] = static_cast<signed char>((i * 37 + t * 11) % 255 - 127);
    }
    for (int p = 0; p < CSpeakerModel::kScoreParts; ++p) {
        m.enrolMean[p] = 10.0f + p;
        m.enrolSpread[p] = 1.0f + p;
        m.adaptedMean[p] = 10.5f + p;
    }
    m.nAdaptations = 7;
    m.nFingerprints = CSpeakerModel::kMaxFingerprints;
    m.nNextRingSlot = 6;
    m.fingerprintScale = 0.5f;
    m.fingerprintTypical = 2.5f;
    for (int f = 0; f < m.nFingerprints; ++f) {
        m.fingerprintFrames[f] = CSpeakerModel::kMaxFingerprintFrames - f;
        for (int i = 0; i < m.fingerprintFrames[f] * CSpeakerModel::kFingerprintDims; ++i)
            m.fingerprints[f][i] = static_cast<signed char>((i * 13 + f) % 200 - 100);
        m.fingerprintMedianPitch[f] = 100.0f + 10.0f * f;
        for (int i = 0; i < m.fingerprintFrames[f]; ++i)
            m.fingerprintPitch[f][i] = i % 7 == 0 ? CSpeakerModel::kUnvoiced : static_cast<signed char>(i * 3 - 60);
    }
    m.nWaveformPrints = CSpeakerModel::kMaxTemplates;
    m.waveformTypical = 0.15f;
    for (int p = 0; p < m.nWaveformPrints; ++p)
        for (int i = 0; i < CSpeakerModel::kWaveformPrintBytes; ++i)
            m.waveformPrints[p][i] = static_cast<unsigned char>(i * 7 + p);
    return m;
}

Bytes Serialized(const CSpeakerModel& m)
{
    Bytes bytes;
    EXPECT_EQ(1, m.Serialize(bytes));
    return bytes;
}

void PutU32(Bytes& bytes, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// Makes the header's payload size and checksum right again, so that a
// deliberately wrong field is judged on its own.
void FixHeader(Bytes& bytes)
{
    const size_t payload = bytes.size() - CSpeakerModel::kHeaderSize;
    PutU32(bytes, 8, static_cast<uint32_t>(payload));
    PutU32(bytes, 12, CCrc32::Compute(bytes.data() + CSpeakerModel::kHeaderSize, payload));
}

} // namespace

TEST(SpeakerModel, TheLargestModelFitsTheBlockAndComesBackAsItWas)
{
    EXPECT_EQ(0xCBF43926u, CCrc32::Compute("123456789", 9));   // zlib's and PNG's CRC-32
    const Bytes bytes = Serialized(LargestModel());
    EXPECT_LE(bytes.size(), static_cast<size_t>(CSpeakerModel::kMaxFileSize));
    EXPECT_EQ(0, std::memcmp(bytes.data(), "SVMD", 4));
    CSpeakerModel back;
    ASSERT_EQ(1, back.Parse(bytes.data(), bytes.size()));
    EXPECT_EQ(bytes, Serialized(back));
    EXPECT_FLOAT_EQ(110.5f, back.templatePitch[0]);
    EXPECT_FLOAT_EQ(220.0f, back.fingerprintMedianPitch[12]);
    EXPECT_EQ(CSpeakerModel::kUnvoiced, back.fingerprintPitch[12][7]);
    EXPECT_EQ(-57, back.fingerprintPitch[12][1]);
    EXPECT_EQ(7u, back.nAdaptations);
}

// A file from before the waveform prints (version 4, no print section) is
// read as a model without them; the version 4 layout with prints is not one.
TEST(SpeakerModel, AFileFromBeforeTheWaveformPrintsIsReadWithoutThem)
{
    CSpeakerModel old = LargestModel();
    old.nWaveformPrints = 0;
    Bytes bytes = Serialized(old);
    bytes.resize(bytes.size() - 2);   // no print count
    bytes[4] = 4;
    FixHeader(bytes);
    CSpeakerModel back;
    ASSERT_EQ(1, back.Parse(bytes.data(), bytes.size()));
    EXPECT_EQ(0, back.nWaveformPrints);
    EXPECT_EQ(CSpeakerModel::kMaxFingerprints, back.nFingerprints);
    bytes = Serialized(LargestModel());
    bytes[4] = 4;
    EXPECT_EQ(0, back.Parse(bytes.data(), bytes.size()));
}

TEST(SpeakerModel, RefusesToWriteFieldsOutOfTheirLimits)
{
    const std::function<void(CSpeakerModel&)> faults[] = {
        [](CSpeakerModel& m) { m.templateFrames[2] = CSpeakerModel::TemplateFrameLimit(m.nDims) + 1; },
        [](CSpeakerModel& m) { m.nTemplates = 0; },
        [](CSpeakerModel& m) { m.nDims = CSpeakerModel::kMaxDims + 1; },
        [](CSpeakerModel& m) { m.fingerprintFrames[0] = 0; },
        [](CSpeakerModel& m) { m.fingerprintMedianPitch[3] = 6001.0f; },
    };
    for (size_t i = 0; i < std::size(faults); ++i) {
        CSpeakerModel m = LargestModel();
        faults[i](m);
        Bytes bytes;
        EXPECT_EQ(0, m.Serialize(bytes)) << i;
    }
}

TEST(SpeakerModel, EveryFlippedByteEveryTruncationAndAnyExtraByteIsRefused)
{
    const Bytes good = Serialized(LargestModel());
    CSpeakerModel m;
    for (size_t i = 0; i < good.size(); i += 13) {
        Bytes bad = good;
        bad[i] ^= 0x5A;
        EXPECT_EQ(0, m.Parse(bad.data(), bad.size())) << "byte " << i;
        EXPECT_EQ(0, m.nTemplates) << "a refused parse leaves the model empty";
    }
    for (size_t n = 0; n < good.size(); n += (n < 64 ? 1 : 97)) EXPECT_EQ(0, m.Parse(good.data(), n)) << n;
    Bytes longer = good;
    longer.push_back(0);
    EXPECT_EQ(0, m.Parse(longer.data(), longer.size()));
    FixHeader(longer);   // a byte after the last fingerprint, even with a header that claims it
    EXPECT_EQ(0, m.Parse(longer.data(), longer.size()));
    EXPECT_EQ(0, m.Parse(nullptr, good.size()));
}

TEST(SpeakerModel, ForeignHeadersAndImpossibleFieldsAreRefusedEvenWithAGoodChecksum)
{
    const Bytes good = Serialized(LargestModel());
    // Payload offsets: 7 u16 fields, then dims f32 scales, then the first
    // template's frame count.
    const size_t payload = CSpeakerModel::kHeaderSize, firstFrames = payload + 14 + 17 * 4;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    unsigned char nanBytes[4];
    std::memcpy(nanBytes, &nan, 4);
    const struct {
        const char* what;
        size_t at;
        Bytes value;
        bool fixHeader;
    } cases[] = {
        {"magic", 0, {'X'}, false},
        {"a later format", 4, {CSpeakerModel::kVersion + 1}, false},
        {"32767 frames", firstFrames, {0xFF, 0x7F}, true},
        {"99 templates", payload + 12, {99}, true},
        {"a NaN scale", payload + 14, Bytes(nanBytes, nanBytes + 4), true},
    };
    CSpeakerModel m;
    for (const auto& c : cases) {
        Bytes bad = good;
        std::copy(c.value.begin(), c.value.end(), bad.begin() + static_cast<long>(c.at));
        if (c.fixHeader) FixHeader(bad);
        EXPECT_EQ(0, m.Parse(bad.data(), bad.size())) << c.what;
    }
}

// The rewrite in a folder with a Japanese name ("日本" in Shift-JIS, as the
// dialog passes it), once while a reader holds the model open (sharing delete
// access, as a reader that lets the rewrite through does): the rewrite either
// replaces the file in one step or fails and leaves it, never without a model.
TEST(SpeakerModel, SaveReplacesTheFileEvenUnderAReaderAndLoadReadsItBack)
{
    const std::string dir = sonvera_test::MakeTempDir("sjis") + "/\x93\xFA\x96\x7B";
    ASSERT_TRUE(CAnsiFileSystem::MakeFolder(dir));
    const std::string path = dir + "/aaj.bin";
    CSpeakerModel m;
    EXPECT_EQ(0, m.Load(path));      // missing
    ASSERT_EQ(1, LargestModel().Save(path));
    CSpeakerModel second = LargestModel();
    second.nAdaptations = 8;
    int saved = 0;
    {
        CHeldOpen reader(path);
        ASSERT_TRUE(reader.IsOpen());
        saved = second.Save(path);
    }
    ASSERT_EQ(1, m.Load(path)) << "the model is gone";
    EXPECT_EQ(saved ? 8u : 7u, m.nAdaptations);
    EXPECT_TRUE(sonvera_test::ReadBytes(path + ".tmp").empty());
    ASSERT_EQ(1, second.Save(path));   // with no reader, over the existing file
    ASSERT_EQ(1, m.Load(path));
    EXPECT_EQ(Serialized(second), Serialized(m));
    // An oversized file is not a model, whatever its start.
    Bytes bytes = sonvera_test::ReadBytes(path);
    bytes.resize(CSpeakerModel::kMaxFileSize + 10, 0);
    ASSERT_TRUE(sonvera_test::WriteBytes(path, bytes));
    EXPECT_EQ(0, m.Load(path));
    // A folder that does not exist cannot take the file.
    EXPECT_EQ(0, second.Save(dir + "/missing/aaj.bin"));
}
