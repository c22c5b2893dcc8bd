#include "Crc32.h"
#include "EngineTestData.h"
#include "SpeakerModel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

namespace {

// Creates a folder through the C library, which takes a name in the ANSI
// code page as the dialog passes it.
bool MakeAnsiDir(const std::string& path)
{
#ifdef _WIN32
    return _mkdir(path.c_str()) == 0;
#else
    return mkdir(path.c_str(), 0777) == 0;
#endif
}

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
    }
    return m;
}

// Recomputes the payload checksum, so that a deliberately wrong field is
// judged on its own and not just by the checksum.
void FixChecksum(std::vector<unsigned char>& bytes)
{
    const uint32_t crc = CCrc32::Compute(bytes.data() + CSpeakerModel::kHeaderSize,
                                         bytes.size() - CSpeakerModel::kHeaderSize);
    for (int i = 0; i < 4; ++i) bytes[12 + i] = static_cast<unsigned char>(crc >> (8 * i));
}

void ExpectSameModel(const CSpeakerModel& a, const CSpeakerModel& b)
{
    ASSERT_EQ(a.nDims, b.nDims);
    ASSERT_EQ(a.nTemplates, b.nTemplates);
    EXPECT_EQ(a.nSampleRate, b.nSampleRate);
    EXPECT_EQ(a.nChannels, b.nChannels);
    for (int t = 0; t < a.nTemplates; ++t) {
        ASSERT_EQ(a.templateFrames[t], b.templateFrames[t]);
        EXPECT_FLOAT_EQ(a.templatePitch[t], b.templatePitch[t]);
        EXPECT_EQ(0, std::memcmp(a.templates[t], b.templates[t], static_cast<size_t>(a.templateFrames[t]) * a.nDims));
    }
    for (int p = 0; p < CSpeakerModel::kScoreParts; ++p) {
        EXPECT_FLOAT_EQ(a.enrolMean[p], b.enrolMean[p]);
        EXPECT_FLOAT_EQ(a.adaptedMean[p], b.adaptedMean[p]);
    }
    EXPECT_EQ(a.nAdaptations, b.nAdaptations);
    ASSERT_EQ(a.nFingerprints, b.nFingerprints);
    EXPECT_EQ(a.nNextRingSlot, b.nNextRingSlot);
    EXPECT_FLOAT_EQ(a.fingerprintTypical, b.fingerprintTypical);
    for (int f = 0; f < a.nFingerprints; ++f) {
        ASSERT_EQ(a.fingerprintFrames[f], b.fingerprintFrames[f]);
        EXPECT_EQ(0, std::memcmp(a.fingerprints[f], b.fingerprints[f],
                                 static_cast<size_t>(a.fingerprintFrames[f]) * CSpeakerModel::kFingerprintDims));
    }
}

} // namespace

TEST(SpeakerModel, TheLargestModelFitsTheVoiceDictionaryBlockAndRoundTrips)
{
    const CSpeakerModel m = LargestModel();
    std::vector<unsigned char> bytes;
    ASSERT_EQ(1, m.Serialize(bytes));
    EXPECT_LE(bytes.size(), static_cast<size_t>(CSpeakerModel::kMaxFileSize));
    EXPECT_EQ(0, std::memcmp(bytes.data(), "SVMD", 4));
    CSpeakerModel back;
    ASSERT_EQ(1, back.Parse(bytes.data(), bytes.size()));
    ExpectSameModel(m, back);
}

TEST(SpeakerModel, RefusesToWriteFieldsOutOfTheirLimits)
{
    std::vector<unsigned char> bytes;
    CSpeakerModel m = LargestModel();
    m.templateFrames[2] = CSpeakerModel::TemplateFrameLimit(m.nDims) + 1;
    EXPECT_EQ(0, m.Serialize(bytes));
    m = LargestModel();
    m.nTemplates = 0;
    EXPECT_EQ(0, m.Serialize(bytes));
    m = LargestModel();
    m.nDims = CSpeakerModel::kMaxDims + 1;
    EXPECT_EQ(0, m.Serialize(bytes));
    m = LargestModel();
    m.fingerprintFrames[0] = 0;
    EXPECT_EQ(0, m.Serialize(bytes));
}

TEST(SpeakerModel, EveryFlippedByteIsDetected)
{
    std::vector<unsigned char> bytes;
    ASSERT_EQ(1, LargestModel().Serialize(bytes));
    CSpeakerModel m;
    for (size_t i = 0; i < bytes.size(); i += 13) {
        std::vector<unsigned char> bad = bytes;
        bad[i] ^= 0x5A;
        EXPECT_EQ(0, m.Parse(bad.data(), bad.size())) << "byte " << i;
        EXPECT_EQ(0, m.nTemplates) << "a refused parse leaves the model empty";
    }
}

TEST(SpeakerModel, EveryTruncationAndAnyExtraByteIsRefused)
{
    std::vector<unsigned char> bytes;
    ASSERT_EQ(1, LargestModel().Serialize(bytes));
    CSpeakerModel m;
    for (size_t n = 0; n < bytes.size(); n += (n < 64 ? 1 : 97))
        EXPECT_EQ(0, m.Parse(bytes.data(), n)) << n;
    std::vector<unsigned char> longer = bytes;
    longer.push_back(0);
    EXPECT_EQ(0, m.Parse(longer.data(), longer.size()));
    EXPECT_EQ(0, m.Parse(nullptr, bytes.size()));
}

TEST(SpeakerModel, ForeignHeadersAndImpossibleLengthsAreRefusedEvenWithAGoodChecksum)
{
    std::vector<unsigned char> good;
    ASSERT_EQ(1, LargestModel().Serialize(good));
    CSpeakerModel m;
    std::vector<unsigned char> bad = good;
    bad[0] = 'X';
    EXPECT_EQ(0, m.Parse(bad.data(), bad.size()));
    bad = good;
    bad[4] = CSpeakerModel::kVersion + 1;       // a later format
    EXPECT_EQ(0, m.Parse(bad.data(), bad.size()));
    // Payload offsets: 7 u16 fields, then dims f32 scales, then the first template's frame count.
    const size_t firstFrames = CSpeakerModel::kHeaderSize + 14 + 17 * 4;
    bad = good;
    bad[firstFrames] = 0xFF;
    bad[firstFrames + 1] = 0x7F;                // 32767 frames: far past the limit
    FixChecksum(bad);
    EXPECT_EQ(0, m.Parse(bad.data(), bad.size()));
    bad = good;
    bad[CSpeakerModel::kHeaderSize + 12] = 99;  // template count 99
    FixChecksum(bad);
    EXPECT_EQ(0, m.Parse(bad.data(), bad.size()));
    bad = good;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(&bad[CSpeakerModel::kHeaderSize + 14], &nan, 4);   // first scale
    FixChecksum(bad);
    EXPECT_EQ(0, m.Parse(bad.data(), bad.size()));
}

TEST(SpeakerModel, SaveReplacesTheFileAndLoadReadsItBack)
{
    const std::string dir = enginetest::MakeTempDir("model");
    const std::string path = dir + "/aaj.bin";
    CSpeakerModel m;
    EXPECT_EQ(0, m.Load(path));      // missing
    CSpeakerModel first = LargestModel();
    ASSERT_EQ(1, first.Save(path));
    CSpeakerModel second = LargestModel();
    second.nAdaptations = 99;
    second.adaptedMean[0] = 12.0f;
    ASSERT_EQ(1, second.Save(path)); // over an existing file
    ASSERT_EQ(1, m.Load(path));
    ExpectSameModel(second, m);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    // An oversized file is not a model, whatever its start.
    std::vector<unsigned char> bytes = enginetest::ReadBytes(path);
    bytes.resize(CSpeakerModel::kMaxFileSize + 10, 0);
    ASSERT_TRUE(enginetest::WriteBytes(path, bytes));
    EXPECT_EQ(0, m.Load(path));
    // A folder that does not exist cannot take the file.
    EXPECT_EQ(0, second.Save(dir + "/missing/aaj.bin"));
}

TEST(SpeakerModel, ReplaceWithPutsTheNewFileInPlaceInOneMove)
{
    const std::string dir = enginetest::MakeTempDir("replace");
    const std::string path = dir + "/aaj.bin", tmp = path + ".tmp";
    ASSERT_TRUE(enginetest::WriteBytes(path, {1, 2, 3}));
    ASSERT_TRUE(enginetest::WriteBytes(tmp, {7, 8, 9, 10}));
    ASSERT_TRUE(CSpeakerModel::ReplaceWith(tmp, path));
    EXPECT_EQ((std::vector<unsigned char>{7, 8, 9, 10}), enginetest::ReadBytes(path));
    EXPECT_FALSE(std::filesystem::exists(tmp));
    // Without a finished temporary file the old model stays as it was.
    EXPECT_FALSE(CSpeakerModel::ReplaceWith(tmp, path));
    EXPECT_EQ((std::vector<unsigned char>{7, 8, 9, 10}), enginetest::ReadBytes(path));
    // Into a folder that does not exist nothing moves, and the file is kept.
    ASSERT_TRUE(enginetest::WriteBytes(tmp, {5}));
    EXPECT_FALSE(CSpeakerModel::ReplaceWith(tmp, dir + "/missing/aaj.bin"));
    EXPECT_TRUE(std::filesystem::exists(tmp));
}

TEST(SpeakerModel, SaveWorksInAFolderWithAJapaneseName)
{
    // "日本" in Shift-JIS, as the dialog passes an application folder.
    const std::string dir = enginetest::MakeTempDir("sjis") + "/\x93\xFA\x96\x7B";
    ASSERT_TRUE(MakeAnsiDir(dir));
    const std::string path = dir + "/aaj.bin";
    CSpeakerModel first = LargestModel();
    ASSERT_EQ(1, first.Save(path));
    CSpeakerModel second = LargestModel();
    second.nAdaptations = 7;
    ASSERT_EQ(1, second.Save(path));   // over the existing file
    CSpeakerModel m;
    ASSERT_EQ(1, m.Load(path));
    ExpectSameModel(second, m);
    std::FILE* tmp = std::fopen((path + ".tmp").c_str(), "rb");
    EXPECT_EQ(nullptr, tmp);
    if (tmp) std::fclose(tmp);
}
