// The voice dictionary: slots and model blocks at fixed offsets, changes all
// or nothing, and damaged files never read or written outside their slot.
#include "UserDataTestSupport.h"
#include "userdata/AppUserVoiceDic.h"

#include <cwchar>
#include <functional>
#include <memory>

#include "fw/FileLock.h"
#include "tests/support/SecondHost.h"
#include "userdata/ModelPutBack.h"
#include "userdata/TrainedModels.h"

namespace {

using namespace sonvera_test;

const size_t kSlot = 125000;
const size_t kBlockArea = 20655;
const char* const kNicks[] = {"aaj", "abj", "acj", "adj", "aej", "afj"};
const unsigned long kBlockOffsets[] = {428, 21087, 41746, 62405, 83064, 103723};

class VoiceDicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateDirectoryA(WorkFolder(), nullptr));
        m_voice.SetVoiceDicPath(m_folder.Path());
        m_dicPath = m_folder.File("marzetuvd.dat");
    }

    CString WorkFolder() const { return m_folder.File("work"); }
    CString ModelPath(const char* nick) const { return WorkFolder() + "\\" + nick + ".bin"; }
    std::string Dic() const { return ReadRaw(m_dicPath); }
    void PutModel(const char* nick, const std::string& bytes) { ASSERT_TRUE(WriteRaw(ModelPath(nick), bytes)); }
    std::string Model(const char* nick) const { return ReadRaw(ModelPath(nick)); }
    // Puts a model in the work folder and stores it in the user's block.
    void Store(const char* id, const char* key, const char* nick, const std::string& bytes)
    {
        PutModel(nick, bytes);
        m_voice.SetUserVoice(id, key, nick);
    }
    // The model a nick's block gives back into the work folder.
    std::string Fetched(const char* id, const char* key, const char* nick)
    {
        PutModel(nick, "stale");
        m_voice.GetUserVoice(id, key, nick);
        return Model(nick);
    }
    int FindSlot(const std::string& id, const std::string& key)
    {
        CFile file(m_dicPath, CFile::modeRead | CFile::typeBinary);
        return m_voice.FindIDPos(id.c_str(), key.c_str(), file);
    }
    std::vector<BYTE> Trained() const { return std::vector<BYTE>(kTrained, kTrained + sizeof kTrained - 1); }

    static constexpr char kTrained[] = "alice's new model";
    CTempFolder m_folder;
    CString m_dicPath;
    CAppUserVoiceDic m_voice;
};

// A new slot holds both texts in place and zeros elsewhere; the first slot
// with the ID decides, and needs the key; a deleted slot is reused without
// growing the file and keeps its blocks.
TEST_F(VoiceDicTest, SlotsLieAtFixedOffsetsAndTheFirstSlotWithTheIdDecides)
{
    for (int m = 0; m < 6; ++m)   // any letter case and any slot: the model tests below
        EXPECT_EQ(kBlockOffsets[m], m_voice.GetNickPos(kNicks[m], 0)) << kNicks[m];
    EXPECT_EQ(0ul, m_voice.GetNickPos("aajx", 2));
    EXPECT_EQ("", Dic());
    m_voice.AddUser("Alice", "001122334455Alice");
    const std::string bytes = Dic();
    ASSERT_EQ(kSlot, bytes.size());
    EXPECT_EQ(1ul, Word(bytes, 0));
    const unsigned long idLength = Word(bytes, 4), keyLength = Word(bytes, 184);
    ASSERT_TRUE(idLength <= 176 && keyLength <= 240);
    EXPECT_EQ("Alice", Decrypted(bytes.substr(8, idLength)));
    EXPECT_EQ("001122334455Alice", Decrypted(bytes.substr(188, keyLength)));
    EXPECT_EQ(std::string(184 - 8 - idLength, '\0'), bytes.substr(8 + idLength, 184 - 8 - idLength));
    EXPECT_EQ(std::string(kSlot - 188 - keyLength, '\0'), bytes.substr(188 + keyLength));

    m_voice.AddUser("Bob", "KEY-B");
    m_voice.AddUser("Alice", "NEW-KEY");
    ASSERT_EQ(3 * kSlot, Dic().size());
    EXPECT_EQ(0, FindSlot("ALICE", "001122334455Alice"));
    EXPECT_EQ(-1, FindSlot("Alice", "NEW-KEY"));
    EXPECT_EQ(1, FindSlot("bob", "key-b"));
    Store("Alice", "001122334455ALICE", "aaj", "alice's model");
    m_voice.DelUser("Alice", "001122334455Alice");
    EXPECT_EQ(2, FindSlot("Alice", "NEW-KEY"));
    m_voice.AddUser("Carol", "KEY-C");
    EXPECT_EQ(0, FindSlot("carol", "KEY-C"));
    EXPECT_EQ(LengthRecord("alice's model"), Dic().substr(428, 17));
}

TEST_F(VoiceDicTest, EachNickHasItsOwnBlockAndAModelComesBackByteForByte)
{
    m_voice.AddUser("Alice", "KEY-A");
    m_voice.AddUser("Bob", "KEY-B");
    const auto model = [](int m) { return PatternBytes(m == 2 ? kBlockArea : 1000 + 3000 * m, 10 + m); };
    for (int m = 0; m < 6; ++m)
        Store("bob", "KEY-B", CString(kNicks[m]).MakeUpper(), model(m));
    Store("Alice", "KEY-A", "aaj", "alice");
    const std::string bytes = Dic();
    for (int m = 0; m < 6; ++m)
        EXPECT_EQ(model(m), Fetched("BOB", "KEY-B", kNicks[m])) << kNicks[m];
    EXPECT_EQ("alice", Fetched("Alice", "KEY-A", "aaj"));

    // A deleted model comes back empty; its bytes stay in the block.
    m_voice.DelUserVoice("Bob", "KEY-B", "abj");
    EXPECT_EQ(bytes.substr(kSlot + kBlockOffsets[1] + 4, 16), Dic().substr(kSlot + kBlockOffsets[1] + 4, 16));
    EXPECT_EQ("", Fetched("Bob", "KEY-B", "abj"));
}

// Refusals and file errors write nothing; a copy keeps both paths.
TEST_F(VoiceDicTest, RefusalsAndFileErrorsWriteNothingAndCopiesKeepBothPaths)
{
    m_voice.AddUser("Alice", "KEY-A");
    Store("Alice", "KEY-A", "adj", "previous");
    const std::string before = Dic();
    const struct {
        const char* what;
        std::function<void()> call;
    } cases[] = {
        {"a model larger than its block", [this] { Store("Alice", "KEY-A", "adj", PatternBytes(kBlockArea + 1, 5)); }},
        {"a wrong key", [this] { m_voice.SetUserVoice("Alice", "KEY-B", "adj"); }},
        {"a wrong key deleting", [this] { m_voice.DelUserVoice("Alice", "WRONG", "adj"); }},
        {"an unknown user deleted", [this] { m_voice.DelUser("Nobody", "KEY-A"); }},
        {"a nick outside the six", [this] { m_voice.SetUserVoice("Alice", "KEY-A", "agj"); }},
        {"a nick outside the six deleting", [this] { m_voice.DelUserVoice("Alice", "KEY-A", "agj"); }},
        // 4 * ceil((29 + n) / 3) cipher bytes: 104 ID bytes need 180 > 176, 152 key bytes 244 > 240.
        {"an ID too long for its area", [this] { m_voice.AddUser(CString(std::string(104, 'i')), "KEY"); }},
        {"a key too long for its area", [this] { m_voice.AddUser("Carol", CString(std::string(152, 'k'))); }},
        {"an empty ID", [this] { m_voice.AddUser("", "KEY"); }},
        {"an empty key", [this] { m_voice.AddUser("Carol", ""); }},
        // Past the longest text the library encrypts it gives no cipher text, as when it fails.
        {"a key with no cipher text", [this] { m_voice.AddUser("Carol", CString(std::string(64 << 20 | 1, 'k'))); }},
        {"a missing model file", [this] {
             ASSERT_TRUE(DeleteFileA(ModelPath("adj")));
             EXPECT_THROW(m_voice.SetUserVoice("Alice", "KEY-A", "adj"), CFileException);
         }},
    };
    for (const auto& c : cases) {
        c.call();
        EXPECT_TRUE(before == Dic()) << c.what;
    }
    PutModel("agj", "work file");
    m_voice.GetUserVoice("Alice", "WRONG", "agj");
    m_voice.GetUserVoice("Alice", "KEY-A", "agj");
    EXPECT_EQ("work file", Model("agj"));
    // The largest texts that fit are stored and found.
    m_voice.AddUser(CString(std::string(103, 'i')), CString(std::string(151, 'k')));
    EXPECT_EQ(1, FindSlot(std::string(103, 'I'), std::string(151, 'k')));

    CAppUserVoiceDic copy(m_voice);
    m_voice.SetBackupVoiceDicPath(m_folder.File("none.dat"), m_folder.File("no-such-folder") + "\\");
    EXPECT_THROW(m_voice.AddUser("Alice", "K"), CFileException);
    m_voice.SetBackupVoiceDicPath(m_dicPath, m_folder.File("no-such-folder") + "\\");
    EXPECT_THROW(m_voice.GetUserVoice("Alice", "KEY-A", "adj"), CFileException);
    CAppUserVoiceDic assigned;
    assigned = copy;
    assigned.GetUserVoice("Alice", "KEY-A", "adj");
    EXPECT_EQ("previous", Model("adj"));
}

// A model move that found no work folder holds no model file lock: a dialog
// may make the folder and fetch its model there the moment after (here: as
// the move opens the dictionary). The move must leave that file alone.
class CDialogMakingTheWorkFolder : public CWin32FileSystem {
public:
    CDialogMakingTheWorkFolder(const CString& workFolder, const CString& modelPath)
        : m_workFolder(workFolder), m_modelPath(modelPath)
    {
    }
    HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) override
    {
        if (m_lock == nullptr && std::wcsstr(path, L"marzetuvd.dat") != nullptr) {
            EXPECT_TRUE(CreateDirectoryA(m_workFolder, nullptr));
            m_lock.reset(new CFileLock(m_modelPath, 0));
            EXPECT_TRUE(WriteRaw(m_modelPath, "bob's model"));
        }
        return CWin32FileSystem::Open(path, access, share, disposition, flags);
    }

private:
    CString m_workFolder, m_modelPath;
    std::unique_ptr<CFileLock> m_lock;
};

TEST_F(VoiceDicTest, AModelMoveThatFoundNoWorkFolderLeavesTheModelFileToTheDialogThatMadeIt)
{
    m_voice.AddUser("Alice", "KEY-A");
    Store("Alice", "KEY-A", "aaj", "alice's model");
    for (const bool store : {false, true}) {
        ASSERT_TRUE(DeleteFileA(ModelPath("aaj")));
        ASSERT_TRUE(RemoveDirectoryA(WorkFolder()));
        {
            CDialogMakingTheWorkFolder dialog(WorkFolder(), ModelPath("aaj"));
            CFileSystemOverride scope(dialog);
            // As for a work folder that is not there: the caller learns the move did not happen.
            EXPECT_THROW(store ? m_voice.SetUserVoice("Alice", "KEY-A", "aaj")
                               : m_voice.GetUserVoice("Alice", "KEY-A", "aaj"), CFileException) << store;
        }
        EXPECT_EQ("bob's model", Model("aaj"));
        EXPECT_EQ("alice's model", Fetched("Alice", "KEY-A", "aaj"));
    }
}

// An enrolment in this process kept the model it trained for Alice's "zero",
// and the file holds another's since. The host's store of her "zero" alone
// takes the kept one, however the host names the application folder, and
// once: every other store takes the file, and so does a store after the
// host's own fetch (the host put her stored model in the file itself).
TEST_F(VoiceDicTest, AKeptModelIsStoredOnceByTheHostsStoreOfItsUserAndWordWhateverFormItNamesTheFolderIn)
{
    m_voice.AddUser("Alice", "KEY");
    m_voice.AddUser("Bob", "KEY");
    char shortFolder[MAX_PATH] = {};
    ASSERT_NE(0u, GetShortPathNameA(m_folder.Path(), shortFolder, MAX_PATH));
    ASSERT_STRNE(m_folder.Path().str().c_str(), shortFolder);
    const struct {
        CString hostFolder;
        const char* user;
        const char* nick;
        const char* stored;
        bool fetchFirst;
    } cases[] = {
        {m_folder.Path(), "Bob", "aaj", "the file's", false},
        {m_folder.Path(), "Alice", "abj", "the file's", false},
        {m_folder.Path(), "alice", "aaj", kTrained, false},
        {m_folder.Path() + "\\", "Alice", "aaj", kTrained, false},
        {CString(shortFolder), "Alice", "aaj", kTrained, false},
        {m_folder.Path().MakeUpper(), "Alice", "aaj", kTrained, false},
        {m_folder.Path(), "Alice", "aaj", "the file's", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.hostFolder.str() << " " << c.user << " " << c.nick << " " << c.fetchFirst);
        trained_models::Keep(ModelPath("aaj"), "Alice", Trained());
        CAppUserVoiceDic host;
        host.SetVoiceDicPath(c.hostFolder);
        if (c.fetchFirst)
            host.GetUserVoice(c.user, "KEY", c.nick);
        for (const char* stored : {c.stored, "the file's"}) {
            PutModel(c.nick, "the file's");
            host.SetUserVoice(c.user, "KEY", c.nick);
            PutModel(c.nick, "");
            m_voice.GetUserVoiceHeld(c.user, "KEY", c.nick);   // the host's own fetch would forget the kept one
            EXPECT_EQ(stored, Model(c.nick));
        }
    }

    // The work folder removed since, the host's store of the kept model needs
    // none, and makes none.
    trained_models::Keep(ModelPath("aaj"), "Alice", Trained());
    ASSERT_TRUE(DeleteFileA(ModelPath("aaj")) && DeleteFileA(ModelPath("abj")) && RemoveDirectoryA(WorkFolder()));
    CAppUserVoiceDic host;
    host.SetVoiceDicPath(CString(shortFolder));
    host.SetUserVoice("Alice", "KEY", "aaj");
    EXPECT_FALSE(Exists(WorkFolder()));
    ASSERT_TRUE(CreateDirectoryA(WorkFolder(), nullptr));
    EXPECT_EQ(kTrained, Fetched("Alice", "KEY", "aaj"));
}

// A holder that died before its put-back left the record: the next holder
// puts back what the file held, or no file (also for a record not ours), and
// the record goes, unless the fetched model is open elsewhere. The host's
// store is such a holder, and stores what it put back.
TEST_F(VoiceDicTest, APutBackCutOffIsMadeByTheNextHolder)
{
    const CString record = model_putback::RecordPath(ModelPath("aaj"));
    const struct {
        bool fetchedLeft;
        const char* notOurs;
        bool openElsewhere;
    } cuts[] = {{false, nullptr, false}, {true, nullptr, false}, {true, "\2bob's model", false}, {true, nullptr, true}};
    for (const auto& c : cuts) {
        if (c.fetchedLeft)
            PutModel("aaj", "bob's model");
        model_putback::Record(ModelPath("aaj"), false, {});
        if (c.notOurs != nullptr) {
            ASSERT_TRUE(WriteRaw(record, c.notOurs));
        }
        if (c.openElsewhere) {
            const HANDLE other = CreateFileA(ModelPath("aaj"), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            EXPECT_THROW(model_putback::Recover(ModelPath("aaj")), CFileException);
            CloseHandle(other);
        }
        EXPECT_TRUE(model_putback::Recover(ModelPath("aaj")));
        EXPECT_EQ("<missing>", Model("aaj"));
        EXPECT_FALSE(Exists(record));
    }

    model_putback::Record(ModelPath("aaj"), true, Trained());
    m_voice.AddUser("Alice", "KEY-A");
    Store("Alice", "KEY-A", "aaj", "bob's model");
    EXPECT_EQ(kTrained, Fetched("Alice", "KEY-A", "aaj"));
    EXPECT_FALSE(Exists(record));
}

// A host's store waits while another program holds the model file (a dialog
// judging its own user's model there), then stores what the file holds.
TEST_F(VoiceDicTest, AHostsStoreWaitsWhileAnotherProgramHoldsTheModelFile)
{
    if (CSecondHost::IsSecondHost()) {
        CAppUserVoiceDic host;
        host.SetVoiceDicPath(CSecondHost::Folder());
        host.SetUserVoice("Alice", "KEY-A", "aaj");
        return;
    }
    m_voice.AddUser("Alice", "KEY-A");
    CSecondHost host("VoiceDicTest.AHostsStoreWaitsWhileAnotherProgramHoldsTheModelFile", m_folder.Path());
    {
        const CFileLock dialog(ModelPath("aaj"));
        PutModel("aaj", "bob's model");
        host.Go();
        EXPECT_EQ(98u, host.Wait(1000)) << "the store did not wait";
        PutModel("aaj", kTrained);
    }
    EXPECT_EQ(0u, host.Wait());
    EXPECT_EQ(kTrained, Fetched("Alice", "KEY-A", "aaj"));
}

// Every change is written through the rollback journal (each of its steps
// failing: tests/fw): a change cut off by a crash, its journal left beside the
// file, is undone at the next touch.
TEST_F(VoiceDicTest, AChangeCutOffIsUndoneAtTheNextTouch)
{
    m_voice.AddUser("Bob", "KEY-B");
    const std::string before = Dic();
    CFaultyFileSystem fs;
    fs.Watch(L"marzetuvd.dat");
    fs.Fail(CFaultyFileSystem::remove, ERROR_ACCESS_DENIED);   // the journal stays
    {
        CFileSystemOverride scope(fs);
        EXPECT_THROW(m_voice.DelUser("Bob", "KEY-B"), CFileException);
    }
    ASSERT_TRUE(WriteRaw(m_dicPath, WordBytes(0) + before.substr(4)));   // the change in place, as the crash left it
    m_voice.GetUserVoice("Nobody", "KEY", "aaj");   // a touch
    EXPECT_TRUE(before == Dic());
}

class VoiceDamageTest : public VoiceDicTest {
protected:
    void SetUp() override
    {
        VoiceDicTest::SetUp();
        m_voice.AddUser("Alice", "KEY-A");
        m_voice.AddUser("Bob", "KEY-B");
        Store("Bob", "KEY-B", "aaj", "bob's model");
        m_intact = Dic();
    }

    // The dictionary as set up, with one word changed.
    void Damage(size_t offset, unsigned long value)
    {
        ASSERT_TRUE(WriteRaw(m_dicPath, std::string(m_intact).replace(offset, 4, WordBytes(value))));
    }
    std::string m_intact;
};

// Only 1 is ever written, but any word other than 0 marks a slot in use: the
// user keeps the slot and its models, and the slot is not handed to another.
TEST_F(VoiceDamageTest, DamagedWordsNeverMatchAnotherUserOrReachOutside)
{
    Damage(0, 7);
    EXPECT_EQ(0, FindSlot("Alice", "KEY-A"));
    const std::string before = Dic();
    m_voice.AddUser("Carol", "KEY-C");
    const std::string after = Dic();
    ASSERT_EQ(3 * kSlot, after.size());
    EXPECT_TRUE(before == after.substr(0, 2 * kSlot));
    EXPECT_EQ(2, FindSlot("Carol", "KEY-C"));

    // A length one past its area, or a text that does not decrypt ("!!!!" is
    // no base64; not even the empty ID or key matches it): the slot never
    // matches. A model block's reads as no model.
    const struct {
        size_t offset;
        unsigned long value;
        const char* id;
        const char* key;
    } damages[] = {{4, 177, "Alice", "KEY-A"},
                   {kSlot + 184, 241, "Bob", "KEY-B"},
                   {kSlot + 8 + 20, 0x21212121, "", "KEY-B"},
                   {kSlot + 188 + 20, 0x21212121, "Bob", ""}};
    for (const auto& c : damages) {
        Damage(c.offset, c.value);
        EXPECT_EQ(-1, FindSlot(c.id, c.key)) << c.offset;
    }
    Damage(kSlot + 428, kBlockArea + 1);
    EXPECT_EQ("", Fetched("Bob", "KEY-B", "aaj"));

    // Bytes behind the last whole slot are no slot; a new one is written over them.
    const std::string image = m_intact + m_intact.substr(0, 428);
    ASSERT_TRUE(WriteRaw(m_dicPath, image));
    m_voice.AddUser("Erin", "KEY-E");
    const std::string grown = Dic();
    ASSERT_EQ(3 * kSlot, grown.size());
    EXPECT_EQ(2, FindSlot("Erin", "KEY-E"));
    EXPECT_TRUE(image.substr(0, 2 * kSlot) == grown.substr(0, 2 * kSlot));
}

// Slot 34359 starts just below 4 GiB and its last model block just above, so
// a block offset kept in 32 bits comes out inside slot 0. The slots in front
// of it are blank.
TEST_F(VoiceDamageTest, ABlockBeyondFourGigabytesIsNotTakenForOneNearTheStart)
{
    const ULONGLONG farSlot = 34359;
    Damage(0, 0);
    // Sparse, so that the test neither fills the disk nor waits for it.
    HANDLE h = CreateFileA(m_dicPath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD returned = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end, head;
    end.QuadPart = static_cast<LONGLONG>((farSlot + 1) * kSlot);
    head.QuadPart = static_cast<LONGLONG>(farSlot * kSlot);
    ASSERT_TRUE(SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h) &&
                SetFilePointerEx(h, head, nullptr, FILE_BEGIN) &&
                WriteFile(h, m_intact.data(), 428, &returned, nullptr));
    CloseHandle(h);
    ASSERT_EQ(static_cast<int>(farSlot), FindSlot("Alice", "KEY-A"));

    const std::string model = PatternBytes(3000, 21);
    Store("Alice", "KEY-A", "afj", model);
    EXPECT_EQ(LengthRecord(model), ReadRawAt(m_dicPath, farSlot * kSlot + 103723, 4 + model.size()));
    EXPECT_EQ(model, Fetched("Alice", "KEY-A", "afj"));
    m_voice.DelUserVoice("Alice", "KEY-A", "afj");
    EXPECT_EQ(WordBytes(0), ReadRawAt(m_dicPath, farSlot * kSlot + 103723, 4));
}

} // namespace
