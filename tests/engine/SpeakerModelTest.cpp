// The model file: its layout within the voice dictionary's block, every kind
// of damage refused, and the rewrite that never leaves a reader without one.
#include "AnsiFileSystem.h"
#include "Crc32.h"
#include "EngineTestData.h"
#include "SpeakerModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <vector>

#ifdef __linux__
#include <unistd.h>
#endif

namespace {

using Bytes = std::vector<unsigned char>;

// A model at its largest: five templates at the frame limit, every known
// take's slot full, each with its print.
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
        m.weightedEnrolMean[p] = 8.0f + p;
        m.weightedAdaptedMean[p] = 8.25f + p;
    }
    m.nAdaptations = 7;
    m.nKnownTakes = CSpeakerModel::kMaxKnownTakes;
    m.nNextRingSlot = 6;
    for (int k = 0; k < m.nKnownTakes; ++k) {
        m.contourFrames[k] = CSpeakerModel::kMaxContourFrames - k;
        m.contourMedianPitch[k] = 100.0f + 10.0f * k;
        for (int i = 0; i < m.contourFrames[k]; ++i)
            m.contourPitch[k][i] = i % 7 == 0 ? CSpeakerModel::kUnvoiced : static_cast<signed char>(i * 3 - 60);
        m.printed[k] = true;
        for (int i = 0; i < CSpeakerModel::kWaveformPrintBytes; ++i)
            m.prints[k][i] = static_cast<unsigned char>(i * 7 + k);
    }
    m.printTypical = 0.15f;
    m.enrolSnrDb = 47.25f;
    m.bNoiseMove = true; m.noiseMove = -0.75f; m.noiseImpostorMove = 0.5f; m.noiseCopySnrDb = 28.5f;
    m.bWeighted = true;
    for (int d = 0; d < m.nDims; ++d) m.weightCodes[d] = static_cast<unsigned char>(96 + 4 * d);
    m.nEnrolNoiseChannels = m.nChannels;
    for (int c = 0; c < m.nChannels; ++c) m.enrolNoiseDb[c] = -40.5f - c;
    m.enrolNoiseDb[3] = CSpeakerModel::kNoNoiseDb;   // no enrolment take carried noise there
    m.bMatchedMargin = true; m.matchedMargin = -1.75f;
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

// Puts the header's payload size and checksum right: a wrong field is judged alone.
void FixHeader(Bytes& bytes)
{
    const size_t payload = bytes.size() - CSpeakerModel::kHeaderSize;
    PutU32(bytes, 8, static_cast<uint32_t>(payload));
    PutU32(bytes, 12, CCrc32::Compute(bytes.data() + CSpeakerModel::kHeaderSize, payload));
}

} // namespace

// It fits the block and comes back as it was (a field read otherwise than
// written is written back otherwise; the pitches, kept in tenths of a Hz,
// come back to the tenth); out of their limits, its fields are not written.
TEST(SpeakerModel, TheLargestModelAndItsFieldsAtTheirLimits)
{
    const Bytes bytes = Serialized(LargestModel());
    EXPECT_LE(bytes.size(), static_cast<size_t>(CSpeakerModel::kMaxFileSize));
    CSpeakerModel back;
    ASSERT_EQ(1, back.Parse(bytes.data(), bytes.size()));
    EXPECT_EQ(bytes, Serialized(back));
    EXPECT_FLOAT_EQ(110.5f, back.templatePitch[0]);
    EXPECT_FLOAT_EQ(220.0f, back.contourMedianPitch[12]);
    const std::function<void(CSpeakerModel&)> faults[] = {
        [](CSpeakerModel& m) { m.templateFrames[2] = CSpeakerModel::TemplateFrameLimit(m.nDims) + 1; },
        [](CSpeakerModel& m) { m.nTemplates = 0; },
        [](CSpeakerModel& m) { m.nDims = CSpeakerModel::kMaxDims + 1; },
        [](CSpeakerModel& m) { m.contourFrames[0] = 0; },
        [](CSpeakerModel& m) { m.contourMedianPitch[3] = 6001.0f; },
        [](CSpeakerModel& m) { m.printTypical = 1.5f; },
        [](CSpeakerModel& m) { m.enrolSnrDb = std::numeric_limits<float>::quiet_NaN(); },
        [](CSpeakerModel& m) { m.noiseMove = std::numeric_limits<float>::quiet_NaN(); },
        [](CSpeakerModel& m) { m.noiseImpostorMove = -CSpeakerModel::kMaxNoiseMove - 1.0f; },
        [](CSpeakerModel& m) { m.noiseCopySnrDb = -1.0f; },
        [](CSpeakerModel& m) { m.weightedEnrolMean[1] = 0.0f; },
        [](CSpeakerModel& m) { m.weightedAdaptedMean[2] = std::numeric_limits<float>::quiet_NaN(); },
        [](CSpeakerModel& m) { m.nEnrolNoiseChannels = m.nChannels - 1; },
        [](CSpeakerModel& m) { m.enrolNoiseDb[5] = std::numeric_limits<float>::quiet_NaN(); },
        [](CSpeakerModel& m) { m.enrolNoiseDb[6] = 1e6f; },
        [](CSpeakerModel& m) { m.matchedMargin = std::numeric_limits<float>::quiet_NaN(); },
        [](CSpeakerModel& m) { m.matchedMargin = CSpeakerModel::kMaxMatchedMargin + 1.0f; },
        // Fields only the reader held to their limits once.
        [](CSpeakerModel& m) { m.nSampleRate = 0; },
        [](CSpeakerModel& m) { m.nChannels = m.nCepstra; },
        [](CSpeakerModel& m) { m.scale[0] = 0.0f; },
        [](CSpeakerModel& m) { m.enrolSpread[1] = std::numeric_limits<float>::quiet_NaN(); },
        [](CSpeakerModel& m) { m.adaptedMean[2] = 0.0f; },
    };
    Bytes refused;
    for (size_t i = 0; i < std::size(faults); ++i) {
        CSpeakerModel m = LargestModel();
        faults[i](m);
        EXPECT_EQ(0, m.Serialize(refused)) << i;
    }
}

// Each earlier version reads as a model without the sections it lacked
// (10: the matched margin, 9: enrolment noise, 8: weights, 7: noise move, 6: enrolment snr); George's
// version 5 model keeps its contours and prints (its fingerprints skipped),
// version 4 its contours. All are written back in today's version.
TEST(SpeakerModel, FilesOfEarlierFormatsReadAsWhatTheyHoldAndAreWrittenBackInTodays)
{
    const Bytes today = Serialized(LargestModel());
    const Bytes v5 = sonvera_test::ReadBytes(SONVERA_TEST_ENGINE_DATA "/george-zero-v5.bin");
    ASSERT_EQ(5, v5.empty() ? 0 : v5[4]);
    const size_t matchedMargin = 1 + 4;
    const size_t enrolNoise = matchedMargin + 1 + 19 * 4;
    const size_t weights = enrolNoise + 1 + 17 + 8 * 4;
    const size_t printSection = 2 + 4 + CSpeakerModel::kMaxTemplates * CSpeakerModel::kWaveformPrintBytes;
    const int allKnown = CSpeakerModel::kMaxKnownTakes;
    const struct {
        const Bytes& file;
        size_t cut;
        int version;
        bool noiseMove;
        float enrolSnrDb;
        int knownTakes, ringSlot;
        bool prints;
        bool weighted;
        int enrolNoiseChannels;
    } cases[] = {
        {today, matchedMargin, 10, true, 47.25f, allKnown, 6, true, true, 19},
        {today, enrolNoise, 9, true, 47.25f, allKnown, 6, true, true, 0},
        {today, weights, 8, true, 47.25f, allKnown, 6, true, false, 0},
        {today, weights + 13, 7, false, 47.25f, allKnown, 6, true, false, 0},
        {today, weights + 17, 6, false, 0.0f, allKnown, 6, true, false, 0},
        {v5, 0, 5, false, 0.0f, 5, 5, true, false, 0},
        {v5, printSection, 4, false, 0.0f, 5, 5, false, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        Bytes old(c.file.begin(), c.file.end() - static_cast<long>(c.cut));
        if (c.cut > 0) {
            // Cut down from a later one; the version 5 file is read as it was written.
            old[4] = static_cast<unsigned char>(c.version);
            FixHeader(old);
        }
        CSpeakerModel m;
        ASSERT_EQ(1, m.Parse(old.data(), old.size()));
        EXPECT_EQ(c.weighted, m.bWeighted);
        EXPECT_EQ(c.enrolNoiseChannels, m.nEnrolNoiseChannels);
        EXPECT_FALSE(m.bMatchedMargin);
        EXPECT_EQ(c.noiseMove, m.bNoiseMove);
        EXPECT_EQ(c.enrolSnrDb, m.enrolSnrDb);
        EXPECT_EQ(CSpeakerModel::kMaxTemplates, m.nTemplates);
        EXPECT_EQ(c.knownTakes, m.nKnownTakes);
        EXPECT_EQ(c.ringSlot, m.nNextRingSlot);
        for (int k = 0; k < m.nKnownTakes; ++k) {
            EXPECT_GT(m.contourFrames[k], 10) << k;
            EXPECT_GT(m.contourMedianPitch[k], 80.0f) << k;
            EXPECT_EQ(c.prints, m.printed[k]) << k;
        }
        EXPECT_EQ(c.prints, m.printTypical > 0.0f);
        const Bytes again = Serialized(m);
        CSpeakerModel back;
        ASSERT_EQ(1, back.Parse(again.data(), again.size()));
        EXPECT_EQ(again, Serialized(back));
    }
}

// Every flipped byte, every truncation and any extra byte; a foreign header
// and impossible fields even with a good checksum.
TEST(SpeakerModel, DamagedAndForeignFilesAreRefused)
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
    // Payload offsets: 7 u16 fields, then dims f32 scales, then the first
    // template's frame count.
    const size_t payload = CSpeakerModel::kHeaderSize, firstFrames = payload + 14 + 17 * 4;
    // The next ring slot's offset: where the payload of a model that differs
    // only there differs.
    CSpeakerModel otherSlot = LargestModel();
    otherSlot.nNextRingSlot = 5;
    const Bytes moved = Serialized(otherSlot);
    const auto payloadOf = [&](const Bytes& b) { return b.begin() + static_cast<long>(payload); };
    const size_t ringSlot = std::mismatch(payloadOf(good), good.end(), payloadOf(moved)).first - good.begin();
    const size_t matchedMargin = 1 + 4;                        // the file's last section
    const size_t enrolNoise = matchedMargin + 1 + 19 * 4;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    unsigned char nanBytes[4];
    std::memcpy(nanBytes, &nan, 4);
    const struct {
        const char* what;
        size_t at;
        Bytes value;
        bool fixHeader;
    } cases[] = {
        {"a later format", 4, {CSpeakerModel::kVersion + 1}, false},
        {"32767 frames", firstFrames, {0xFF, 0x7F}, true},
        {"99 templates", payload + 12, {99}, true},
        {"a next ring slot past the ring", ringSlot, {CSpeakerModel::kMaxKnownTakes, 0}, true},
        {"a NaN scale", payload + 14, Bytes(nanBytes, nanBytes + 4), true},
        {"a NaN enrolment snr", good.size() - enrolNoise - 50 - 13 - 4, Bytes(nanBytes, nanBytes + 4), true},
        {"a noise move said to be unknown", good.size() - enrolNoise - 50 - 13, {0}, true},
        {"a NaN typical distance with the weights", good.size() - enrolNoise - 4, Bytes(nanBytes, nanBytes + 4), true},
        {"enrolment noise on another channel count", good.size() - enrolNoise, {18}, true},
        {"a NaN enrolment noise", good.size() - matchedMargin - 4, Bytes(nanBytes, nanBytes + 4), true},
        {"a matched margin said to be unknown", good.size() - matchedMargin, {0}, true},
        {"a NaN matched margin", good.size() - 4, Bytes(nanBytes, nanBytes + 4), true},
        {"a byte after the last field", good.size(), {0}, false},
        {"the same with a header that claims it", good.size(), {0}, true},
    };
    for (const auto& c : cases) {
        Bytes bad = good;
        bad.resize(std::max(bad.size(), c.at + c.value.size()));
        std::copy(c.value.begin(), c.value.end(), bad.begin() + static_cast<long>(c.at));
        if (c.fixHeader) FixHeader(bad);
        EXPECT_EQ(0, m.Parse(bad.data(), bad.size())) << c.what;
    }
    // The first known take's contour (its frame count right after the ring
    // slot) one frame longer than a model keeps, that frame's byte there too.
    Bytes longContour = good;
    longContour[ringSlot + 2] = CSpeakerModel::kMaxContourFrames + 1;
    longContour.insert(longContour.begin() + static_cast<long>(ringSlot + 6 + CSpeakerModel::kMaxContourFrames), 0);
    FixHeader(longContour);
    EXPECT_EQ(0, m.Parse(longContour.data(), longContour.size())) << "a contour one frame too long";
    // In an unweighted model's file without enrolment noise the byte before
    // that noise's channel count (0, before the matched margin) says whether
    // it is weighted.
    CSpeakerModel unweighted = LargestModel();
    unweighted.bWeighted = false;
    unweighted.nEnrolNoiseChannels = 0;
    Bytes neither = Serialized(unweighted);
    neither[neither.size() - matchedMargin - 2] = 2;
    FixHeader(neither);
    EXPECT_EQ(0, m.Parse(neither.data(), neither.size())) << "neither weighted nor not";
}

// The rewrite in a Shift-JIS folder ("日本"), once under a reader: it replaces
// the file in one step (as it can natively) or fails and leaves it (as under
// Windows, where the reader does not share delete access).
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
        std::ifstream reader(path, std::ios::binary);
        ASSERT_TRUE(reader.is_open());
        saved = second.Save(path);
    }
    ASSERT_EQ(1, m.Load(path)) << "the model is gone";
    EXPECT_EQ(saved ? 8u : 7u, m.nAdaptations);
    EXPECT_TRUE(sonvera_test::ReadBytes(path + ".tmp").empty());
    ASSERT_EQ(1, second.Save(path));   // with no reader, over the existing file
    ASSERT_EQ(1, m.Load(path));
    EXPECT_EQ(Serialized(second), Serialized(m));
    // A folder that does not exist cannot take the file, nor can a folder
    // in the file's place (the new file is written, then cannot replace it).
    EXPECT_EQ(0, second.Save(dir + "/missing/aaj.bin"));
    EXPECT_EQ(0, second.Save(dir));
    EXPECT_TRUE(sonvera_test::ReadBytes(dir + ".tmp").empty());
#ifdef __linux__
    // A disk that fills up while the new file is written leaves the old
    // model in place.
    ASSERT_EQ(1, second.Save(path));
    ASSERT_EQ(0, symlink("/dev/full", (path + ".tmp").c_str()));
    EXPECT_EQ(0, LargestModel().Save(path));
    ASSERT_EQ(1, m.Load(path)) << "the model is gone";
    EXPECT_EQ(Serialized(second), Serialized(m));
#endif
}

// Taking adaptation's turns one by one leaves exactly the templates no turn
// reached holding their enrolment takes.
TEST(SpeakerModel, AdaptationReplacesTheAdaptiveTemplatesInTurnAndTellsWhichStillHoldEnrolmentTakes)
{
    constexpr int kTurns = 5;
    const struct {
        int templates;
        int turns[kTurns];   // NextAdaptedTemplate before each adaptation
    } kCases[] = {
        {3, {-1, -1, -1, -1, -1}},   // the fixed templates alone: none is replaced
        {4, {3, 3, 3, 3, 3}},
        {5, {3, 4, 3, 4, 3}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.templates);
        CSpeakerModel m;
        m.nTemplates = c.templates;
        bool replaced[CSpeakerModel::kMaxTemplates] = {};
        for (int turn = 0; turn < kTurns; ++turn) {
            SCOPED_TRACE(turn);
            for (int t = 0; t < m.nTemplates; ++t) EXPECT_EQ(!replaced[t], m.HoldsEnrolmentTake(t)) << t;
            EXPECT_FALSE(m.HoldsEnrolmentTake(-1));
            EXPECT_FALSE(m.HoldsEnrolmentTake(m.nTemplates));
            const int next = m.NextAdaptedTemplate();
            EXPECT_EQ(c.turns[turn], next);
            if (next >= 0) replaced[next] = true;
            ++m.nAdaptations;
        }
    }
}
