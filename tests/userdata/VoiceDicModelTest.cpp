// Voice models between the work folder and a user's slot: byte-exact round
// trips, what is refused with nothing written, and a model block torn by a
// crash, which the engine's model checksum must reject.
#include "VoiceDicTestSupport.h"

#include <functional>
#include <vector>

#include "SpeakerModel.h"

using sonvera_test::kSlot;
using sonvera_test::PatternBytes;
using sonvera_test::VoiceDicTest;
using sonvera_test::Word;

namespace {

const size_t kBlockArea = 20655;

// Newer model formats carry a typical fingerprint distance; older ones do not.
template <typename Model>
auto SetTypicalFingerprint(Model& model, int) -> decltype(model.fingerprintTypical = 1.0f, void())
{
    model.fingerprintTypical = 1.0f;
}
template <typename Model>
void SetTypicalFingerprint(Model&, long)
{
}

// A complete speaker model as the engine writes it, filled from a seed.
std::string EngineModel(unsigned int seed)
{
    CSpeakerModel model;
    model.nSampleRate = 11025;
    model.nFrameLength = 240;
    model.nShift = 80;
    model.nCepstra = 16;
    model.nChannels = 19;
    model.nDims = 17;
    model.nTemplates = CSpeakerModel::kMaxTemplates;
    const std::string noise = PatternBytes(sizeof(model.templates) + sizeof(model.fingerprints), seed);
    size_t next = 0;
    for (int d = 0; d < model.nDims; ++d)
        model.scale[d] = 0.05f + 0.01f * static_cast<float>(d);
    for (int t = 0; t < model.nTemplates; ++t) {
        model.templateFrames[t] = CSpeakerModel::TemplateFrameLimit(model.nDims);
        for (int i = 0; i < model.templateFrames[t] * model.nDims; ++i)
            model.templates[t][i] = static_cast<signed char>(noise[next++]);
        model.templatePitch[t] = 120.0f + static_cast<float>(t + seed % 7);
    }
    for (int i = 0; i < CSpeakerModel::kScoreParts; ++i) {
        model.enrolMean[i] = 1.0f + static_cast<float>(i);
        model.enrolSpread[i] = 0.5f;
        model.adaptedMean[i] = 1.0f + static_cast<float>(i);
    }
    model.nFingerprints = CSpeakerModel::kMaxFingerprints;
    model.fingerprintScale = 0.1f;
    SetTypicalFingerprint(model, 0);
    for (int f = 0; f < model.nFingerprints; ++f) {
        model.fingerprintFrames[f] = CSpeakerModel::kMaxFingerprintFrames;
        for (int i = 0; i < model.fingerprintFrames[f] * CSpeakerModel::kFingerprintDims; ++i)
            model.fingerprints[f][i] = static_cast<signed char>(noise[next++]);
    }
    std::vector<unsigned char> bytes;
    if (!model.Serialize(bytes))
        return std::string();
    return std::string(bytes.begin(), bytes.end());
}

bool EngineAccepts(const CString& path)
{
    CSpeakerModel model;
    return model.Load(path.str()) == 1;
}

class VoiceModelTest : public VoiceDicTest {
protected:
    void SetUp() override
    {
        VoiceDicTest::SetUp();
        m_voice.AddUser("Alice", "KEY-A");
        m_voice.AddUser("Bob", "KEY-B");
    }
};

TEST_F(VoiceModelTest, AModelComesBackByteForByte)
{
    const std::string model = PatternBytes(kBlockArea, 1);
    PutModel("acj", model);
    m_voice.SetUserVoice("alice", "KEY-A", "ACJ");
    const std::string bytes = Dic();
    EXPECT_EQ(kBlockArea, Word(bytes, 41746));
    EXPECT_EQ(model, bytes.substr(41750, kBlockArea));
    ASSERT_TRUE(DeleteFileA(ModelPath("acj")));
    m_voice.GetUserVoice("ALICE", "KEY-A", "acj");
    EXPECT_EQ(model, Model("acj"));
}

TEST_F(VoiceModelTest, EachNickHasItsOwnBlockInItsOwnUsersSlot)
{
    const char* nicks[] = {"aaj", "abj", "acj", "adj", "aej", "afj"};
    for (int m = 0; m < 6; ++m) {
        PutModel(nicks[m], PatternBytes(1000 + 3000 * m, 10 + m));
        m_voice.SetUserVoice("Bob", "KEY-B", nicks[m]);
    }
    PutModel("aaj", "alice");
    m_voice.SetUserVoice("Alice", "KEY-A", "aaj");
    for (int m = 0; m < 6; ++m) {
        ASSERT_TRUE(DeleteFileA(ModelPath(nicks[m])));
        m_voice.GetUserVoice("Bob", "KEY-B", nicks[m]);
        EXPECT_EQ(PatternBytes(1000 + 3000 * m, 10 + m), Model(nicks[m])) << nicks[m];
    }
    m_voice.GetUserVoice("Alice", "KEY-A", "aaj");
    EXPECT_EQ("alice", Model("aaj"));
    EXPECT_EQ(2 * kSlot, Dic().size());
}

TEST_F(VoiceModelTest, ADeletedModelComesBackEmptyAndAnEngineModelStillLoads)
{
    const std::string model = EngineModel(3);
    ASSERT_FALSE(model.empty());
    PutModel("abj", model);
    m_voice.SetUserVoice("Alice", "KEY-A", "abj");
    m_voice.GetUserVoice("Alice", "KEY-A", "abj");
    EXPECT_TRUE(EngineAccepts(ModelPath("abj")));
    m_voice.DelUserVoice("Alice", "KEY-A", "abj");
    const std::string bytes = Dic();
    EXPECT_EQ(0ul, Word(bytes, 21087));
    EXPECT_EQ(model.substr(0, 16), bytes.substr(21091, 16));   // the bytes stay
    m_voice.GetUserVoice("Alice", "KEY-A", "abj");
    EXPECT_EQ("", Model("abj"));
    EXPECT_FALSE(EngineAccepts(ModelPath("abj")));
}

TEST_F(VoiceModelTest, AnUnknownUserOrKeyLeavesTheWorkFileAndTheDictionaryAlone)
{
    PutModel("aaj", "work file");
    const std::string before = Dic();
    m_voice.SetUserVoice("Carol", "KEY-A", "aaj");
    m_voice.SetUserVoice("Alice", "KEY-B", "aaj");
    m_voice.GetUserVoice("Alice", "WRONG", "aaj");
    m_voice.DelUserVoice("Nobody", "KEY-A", "aaj");
    EXPECT_EQ(before, Dic());
    EXPECT_EQ("work file", Model("aaj"));
}

TEST_F(VoiceModelTest, AModelLargerThanItsBlockIsRefusedWithNothingWritten)
{
    PutModel("adj", "previous");
    m_voice.SetUserVoice("Alice", "KEY-A", "adj");
    const std::string before = Dic();
    PutModel("adj", PatternBytes(kBlockArea + 1, 5));
    m_voice.SetUserVoice("Alice", "KEY-A", "adj");
    EXPECT_EQ(before, Dic());
    m_voice.GetUserVoice("Alice", "KEY-A", "adj");
    EXPECT_EQ("previous", Model("adj"));
}

TEST_F(VoiceModelTest, ANickOutsideTheSixTouchesNoBlockAndMakesNoFile)
{
    PutModel("agj", "model");
    const std::string before = Dic();
    m_voice.SetUserVoice("Alice", "KEY-A", "agj");
    m_voice.DelUserVoice("Alice", "KEY-A", "agj");
    EXPECT_EQ(before, Dic());
    ASSERT_TRUE(DeleteFileA(ModelPath("agj")));
    m_voice.GetUserVoice("Alice", "KEY-A", "agj");
    EXPECT_FALSE(sonvera_test::Exists(ModelPath("agj")));
    EXPECT_EQ(before, Dic());
}

TEST_F(VoiceModelTest, AMissingModelFileIsAFileErrorAndTheBlockStays)
{
    PutModel("aej", "kept");
    m_voice.SetUserVoice("Alice", "KEY-A", "aej");
    const std::string before = Dic();
    ASSERT_TRUE(DeleteFileA(ModelPath("aej")));
    EXPECT_THROW(m_voice.SetUserVoice("Alice", "KEY-A", "aej"), CFileException);
    EXPECT_EQ(before, Dic());
}

TEST_F(VoiceModelTest, AMissingWorkFolderIsAFileErrorForGetUserVoice)
{
    PutModel("aaj", "model");
    m_voice.SetUserVoice("Alice", "KEY-A", "aaj");
    CAppUserVoiceDic voice;
    voice.SetBackupVoiceDicPath(m_dicPath, m_folder.File("no-such-folder") + "\\");
    EXPECT_THROW(voice.GetUserVoice("Alice", "KEY-A", "aaj"), CFileException);
    EXPECT_FALSE(sonvera_test::Exists(m_folder.File("no-such-folder")));
}

TEST_F(VoiceModelTest, AnIdOrKeyTooLongForItsAreaIsRefusedWithNothingWritten)
{
    const std::string before = Dic();
    // 4 * ceil((29 + n) / 3) cipher bytes: 104 ID bytes need 180 > 176, 152 key bytes 244 > 240.
    m_voice.AddUser(CString(std::string(104, 'i')), "KEY");
    m_voice.AddUser("Carol", CString(std::string(152, 'k')));
    EXPECT_EQ(before, Dic());
    // The largest that fit are stored and found.
    m_voice.AddUser(CString(std::string(103, 'i')), CString(std::string(151, 'k')));
    EXPECT_EQ(3 * kSlot, Dic().size());
    EXPECT_EQ(2, FindSlot(std::string(103, 'I').c_str(), std::string(151, 'k').c_str()));
}

// A crash while a model is being written leaves the length word of the new
// model in front of a mix of new and old bytes. (Both models begin with the
// same magic, so a cut inside it would leave the old model whole.)
TEST_F(VoiceModelTest, AModelTornByACrashNeverLoadsInTheEngine)
{
    const std::string oldModel = EngineModel(21);
    const std::string newModel = EngineModel(22);
    ASSERT_FALSE(oldModel.empty());
    ASSERT_EQ(oldModel.size(), newModel.size());
    PutModel("aaj", oldModel);
    m_voice.SetUserVoice("Alice", "KEY-A", "aaj");
    const std::string intact = Dic();

    for (size_t written : {size_t(13), size_t(30), size_t(4096), newModel.size() / 2, newModel.size() - 100}) {
        std::string torn = intact;
        torn.replace(428, 4, sonvera_test::WordBytes(static_cast<unsigned long>(newModel.size())));
        torn.replace(432, written, newModel.substr(0, written));
        ASSERT_TRUE(sonvera_test::WriteRaw(m_dicPath, torn));
        m_voice.GetUserVoice("Alice", "KEY-A", "aaj");
        EXPECT_EQ(newModel.size(), Model("aaj").size()) << written;
        EXPECT_FALSE(EngineAccepts(ModelPath("aaj"))) << written;
    }

    ASSERT_TRUE(sonvera_test::WriteRaw(m_dicPath, intact));
    m_voice.GetUserVoice("Alice", "KEY-A", "aaj");
    EXPECT_TRUE(EngineAccepts(ModelPath("aaj")));
}

// A model update is all or nothing: a write failing halfway leaves the old
// model, whole, for the next verification.
TEST_F(VoiceModelTest, AModelUpdateFailingHalfwayLeavesTheOldModel)
{
    const std::string oldModel = EngineModel(31);
    PutModel("aaj", oldModel);
    m_voice.SetUserVoice("Alice", "KEY-A", "aaj");
    PutModel("aaj", EngineModel(32));
    sonvera_test::CFaultyFileSystem fs;
    fs.Watch(L"marzetuvd.dat");
    fs.LimitWrites(2000, ERROR_WRITE_FAULT);
    {
        CFileSystemOverride scope(fs);
        EXPECT_THROW(m_voice.SetUserVoice("Alice", "KEY-A", "aaj"), CFileException);
    }
    ASSERT_EQ(1, fs.Failures());
    m_voice.GetUserVoice("Alice", "KEY-A", "aaj");
    EXPECT_EQ(oldModel, Model("aaj"));
    EXPECT_TRUE(EngineAccepts(ModelPath("aaj")));
    // The other user's slot is untouched by the failed write.
    EXPECT_EQ(1, FindSlot("Bob", "KEY-B"));
}

// Every change of the dictionary is all or nothing: one that fails after
// its new bytes were written in place (their flush fails, and so does every
// later one, the undoing's too) leaves the file byte for byte as it was once
// the dictionary is touched again.
TEST_F(VoiceModelTest, EveryChangeThatFailsMidwayLeavesTheDictionaryAsItWas)
{
    PutModel("abj", EngineModel(41));
    m_voice.SetUserVoice("Bob", "KEY-B", "abj");
    m_voice.DelUser("Alice", "KEY-A");   // slot 0 is blank for reuse
    const struct {
        const char* what;
        std::function<void()> setUp;
        std::function<void()> change;
    } changes[] = {
        {"AddUser into a blank slot", [] {}, [this] { m_voice.AddUser("Carol", "KEY-C"); }},
        {"AddUser of a new slot", [this] { m_voice.AddUser("Carol", "KEY-C"); },
         [this] { m_voice.AddUser("Dave", "KEY-D"); }},
        {"DelUser", [] {}, [this] { m_voice.DelUser("Bob", "KEY-B"); }},
        {"SetUserVoice", [this] { PutModel("abj", EngineModel(42)); },
         [this] { m_voice.SetUserVoice("Bob", "KEY-B", "abj"); }},
        {"DelUserVoice", [] {}, [this] { m_voice.DelUserVoice("Bob", "KEY-B", "abj"); }},
    };
    for (const auto& c : changes) {
        c.setUp();
        const std::string before = Dic();
        sonvera_test::CFaultyFileSystem fs;
        fs.Watch(L"marzetuvd.dat");
        fs.FailFrom(sonvera_test::CFaultyFileSystem::flush, 2, ERROR_IO_DEVICE);
        {
            CFileSystemOverride scope(fs);
            EXPECT_THROW(c.change(), CFileException) << c.what;
        }
        m_voice.GetUserVoice("Nobody", "KEY", "aaj");   // a touch
        EXPECT_TRUE(before == Dic()) << c.what;
        EXPECT_FALSE(sonvera_test::Exists(m_dicPath + "-journal")) << c.what;
        m_voice.GetUserVoice("Bob", "KEY-B", "abj");
        EXPECT_TRUE(EngineModel(41) == Model("abj")) << c.what;
    }
}

} // namespace
