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

class VoiceDicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateDirectoryA(m_folder.File("work"), nullptr));
        m_voice.SetVoiceDicPath(m_folder.Path());
        m_dicPath = m_folder.File("marzetuvd.dat");
    }

    CString ModelPath(const char* nick) const { return m_folder.File("work") + "\\" + nick + ".bin"; }
    std::string Dic() const { return ReadRaw(m_dicPath); }
    void PutModel(const char* nick, const std::string& bytes) { ASSERT_TRUE(WriteRaw(ModelPath(nick), bytes)); }
    std::string Model(const char* nick) const { return ReadRaw(ModelPath(nick)); }
    // The model a nick's block gives back into the work folder.
    std::string Fetched(const char* id, const char* key, const char* nick)
    {
        PutModel(nick, "stale");
        m_voice.GetUserVoice(id, key, nick);
        return Model(nick);
    }

    // The decrypted text of the length-prefixed area at an offset of a slot.
    std::string SlotText(size_t slot, size_t lengthOffset) const
    {
        const std::string bytes = Dic();
        const unsigned long length = Word(bytes, slot * kSlot + lengthOffset);
        return length > 240 ? "<bad length>" : Decrypted(bytes.substr(slot * kSlot + lengthOffset + 4, length));
    }

    int FindSlot(const std::string& id, const std::string& key)
    {
        CFile file(m_dicPath, CFile::modeRead | CFile::typeBinary);
        return m_voice.FindIDPos(id.c_str(), key.c_str(), file);
    }

    CTempFolder m_folder;
    CString m_dicPath;
    CAppUserVoiceDic m_voice;
};

const char* const kNicks[] = {"aaj", "abj", "acj", "adj", "aej", "afj"};
const unsigned long kBlockOffsets[] = {428, 21087, 41746, 62405, 83064, 103723};
const size_t kBlockArea = 20655;

TEST_F(VoiceDicTest, BlocksLieAtFixedOffsetsAndANewSlotHoldsBothTextsInPlace)
{
    // Any letter case and any slot: the model tests below.
    for (int m = 0; m < 6; ++m)
        EXPECT_EQ(kBlockOffsets[m], m_voice.GetNickPos(kNicks[m], 0)) << kNicks[m];
    EXPECT_EQ(0ul, m_voice.GetNickPos("aajx", 2));

    EXPECT_EQ("", Dic());
    m_voice.AddUser("Alice", "001122334455Alice");
    const std::string bytes = Dic();
    ASSERT_EQ(kSlot, bytes.size());
    EXPECT_EQ(1ul, Word(bytes, 0));
    EXPECT_EQ("Alice", SlotText(0, 4));
    EXPECT_EQ("001122334455Alice", SlotText(0, 184));
    const unsigned long idLength = Word(bytes, 4);
    const unsigned long keyLength = Word(bytes, 184);
    EXPECT_EQ(std::string(184 - 8 - idLength, '\0'), bytes.substr(8 + idLength, 184 - 8 - idLength));
    EXPECT_EQ(std::string(kSlot - 188 - keyLength, '\0'), bytes.substr(188 + keyLength));
}

// The first slot with the ID decides, and needs the key; a deleted slot is
// reused without growing the file and keeps its blocks.
TEST_F(VoiceDicTest, TheFirstSlotWithTheIdDecidesAndADeletedSlotIsReused)
{
    m_voice.AddUser("Alice", "OLD-KEY");
    m_voice.AddUser("Bob", "KEY-B");
    m_voice.AddUser("Alice", "NEW-KEY");
    ASSERT_EQ(3 * kSlot, Dic().size());
    EXPECT_EQ(0, FindSlot("ALICE", "OLD-KEY"));
    EXPECT_EQ(-1, FindSlot("Alice", "NEW-KEY"));
    EXPECT_EQ(1, FindSlot("bob", "key-b"));

    PutModel("aaj", "alice's model");
    m_voice.SetUserVoice("Alice", "OLD-KEY", "aaj");
    m_voice.DelUser("Alice", "OLD-KEY");
    EXPECT_EQ(2, FindSlot("Alice", "NEW-KEY"));
    m_voice.AddUser("Carol", "KEY-C");
    EXPECT_EQ(0, FindSlot("carol", "KEY-C"));
    EXPECT_EQ(LengthRecord("alice's model"), Dic().substr(428, 17));
}

TEST_F(VoiceDicTest, EachNickHasItsOwnBlockAndAModelComesBackByteForByte)
{
    m_voice.AddUser("Alice", "KEY-A");
    m_voice.AddUser("Bob", "KEY-B");
    for (int m = 0; m < 6; ++m) {
        PutModel(kNicks[m], PatternBytes(m == 2 ? kBlockArea : 1000 + 3000 * m, 10 + m));
        m_voice.SetUserVoice("bob", "KEY-B", CString(kNicks[m]).MakeUpper());
    }
    PutModel("aaj", "alice");
    m_voice.SetUserVoice("Alice", "KEY-A", "aaj");
    const std::string bytes = Dic();
    for (int m = 0; m < 6; ++m)
        EXPECT_EQ(PatternBytes(m == 2 ? kBlockArea : 1000 + 3000 * m, 10 + m), Fetched("BOB", "KEY-B", kNicks[m])) << kNicks[m];
    EXPECT_EQ("alice", Fetched("Alice", "KEY-A", "aaj"));

    // A deleted model comes back empty; its bytes stay in the block.
    m_voice.DelUserVoice("Bob", "KEY-B", "abj");
    EXPECT_EQ(bytes.substr(kSlot + kBlockOffsets[1] + 4, 16), Dic().substr(kSlot + kBlockOffsets[1] + 4, 16));
    EXPECT_EQ("", Fetched("Bob", "KEY-B", "abj"));
}

TEST_F(VoiceDicTest, RefusalsWriteNothing)
{
    m_voice.AddUser("Alice", "KEY-A");
    PutModel("adj", "previous");
    m_voice.SetUserVoice("Alice", "KEY-A", "adj");
    const std::string before = Dic();
    const struct {
        const char* what;
        std::function<void()> call;
    } cases[] = {
        {"a model larger than its block",
         [this] {
             PutModel("adj", PatternBytes(kBlockArea + 1, 5));
             m_voice.SetUserVoice("Alice", "KEY-A", "adj");
         }},
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
}

TEST_F(VoiceDicTest, AMissingFileIsAFileErrorForTheCallerAndCopiesKeepBothPaths)
{
    m_voice.AddUser("Alice", "KEY-A");
    PutModel("aej", "model");
    m_voice.SetUserVoice("Alice", "KEY-A", "aej");
    const std::string before = Dic();
    ASSERT_TRUE(DeleteFileA(ModelPath("aej")));
    EXPECT_THROW(m_voice.SetUserVoice("Alice", "KEY-A", "aej"), CFileException);
    EXPECT_EQ(before, Dic());

    CAppUserVoiceDic copy(m_voice);
    m_voice.SetBackupVoiceDicPath(m_folder.File("none.dat"), m_folder.File("no-such-folder") + "\\");
    EXPECT_THROW(m_voice.AddUser("Alice", "K"), CFileException);
    m_voice.SetBackupVoiceDicPath(m_dicPath, m_folder.File("no-such-folder") + "\\");
    EXPECT_THROW(m_voice.GetUserVoice("Alice", "KEY-A", "aej"), CFileException);
    CAppUserVoiceDic assigned;
    assigned = copy;
    assigned.GetUserVoice("Alice", "KEY-A", "aej");
    EXPECT_EQ("model", Model("aej"));
}

// A dialog makes the work folder before it holds the model file, so a model
// move that found no folder cannot have the file's lock: a dialog may make
// the folder and fetch its user's model the moment after. The move must then
// leave the file alone, as it would have found it missing, and neither write
// over the dialog's model nor store it as another user's. The dialog here
// comes in as the move opens the dictionary.
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
    PutModel("aaj", "alice's model");
    m_voice.SetUserVoice("Alice", "KEY-A", "aaj");
    const struct {
        const char* move;
        std::function<void()> call;
    } moves[] = {
        {"GetUserVoice", [this] { m_voice.GetUserVoice("Alice", "KEY-A", "aaj"); }},
        {"SetUserVoice", [this] { m_voice.SetUserVoice("Alice", "KEY-A", "aaj"); }},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(m.move);
        ASSERT_TRUE(DeleteFileA(ModelPath("aaj")));
        ASSERT_TRUE(RemoveDirectoryA(m_folder.File("work")));
        {
            CDialogMakingTheWorkFolder dialog(m_folder.File("work"), ModelPath("aaj"));
            CFileSystemOverride scope(dialog);
            // As for a work folder that is not there: the caller learns the move did not happen.
            EXPECT_THROW(m.call(), CFileException);
        }
        EXPECT_EQ("bob's model", Model("aaj"));
        EXPECT_EQ("alice's model", Fetched("Alice", "KEY-A", "aaj"));
    }
}

// An enrolment in this process kept the model it trained for Alice's "zero",
// and the file holds another's since. The host's store of her "zero" alone
// takes the kept one, however the host names the application folder, and
// once: every other store takes the file.
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
    } cases[] = {
        {m_folder.Path(), "Bob", "aaj", "the file's"},
        {m_folder.Path(), "Alice", "abj", "the file's"},
        {m_folder.Path(), "alice", "aaj", "alice's new model"},
        {m_folder.Path() + "\\", "Alice", "aaj", "alice's new model"},
        {CString(shortFolder), "Alice", "aaj", "alice's new model"},
        {m_folder.Path().MakeUpper(), "Alice", "aaj", "alice's new model"},
    };
    const std::string trained = "alice's new model";
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.hostFolder.str() << " " << c.user << " " << c.nick);
        trained_models::Keep(ModelPath("aaj"), "Alice", std::vector<BYTE>(trained.begin(), trained.end()));
        CAppUserVoiceDic host;
        host.SetVoiceDicPath(c.hostFolder);
        for (const char* stored : {c.stored, "the file's"}) {
            PutModel(c.nick, "the file's");
            host.SetUserVoice(c.user, "KEY", c.nick);
            PutModel(c.nick, "");
            m_voice.GetUserVoiceHeld(c.user, "KEY", c.nick);   // the host's own fetch would forget the kept one
            EXPECT_EQ(stored, Model(c.nick));
        }
    }
}

// An enrolment in this process kept the model it trained for Alice, and the
// work folder has been removed since. The host's store of Alice's model
// needs no model file: it stores the kept one, however the host names the
// application folder, and makes no folder.
TEST_F(VoiceDicTest, AHostsStoreOfAKeptModelNeedsNoWorkFolder)
{
    m_voice.AddUser("Alice", "KEY-A");
    char shortFolder[MAX_PATH] = {};
    ASSERT_NE(0u, GetShortPathNameA(m_folder.Path(), shortFolder, MAX_PATH));
    const std::string trained = "alice's new model";
    trained_models::Keep(ModelPath("aaj"), "Alice", std::vector<BYTE>(trained.begin(), trained.end()));
    ASSERT_TRUE(RemoveDirectoryA(m_folder.File("work")));
    CAppUserVoiceDic host;
    host.SetVoiceDicPath(CString(shortFolder));
    host.SetUserVoice("Alice", "KEY-A", "aaj");
    EXPECT_FALSE(Exists(m_folder.File("work")));
    ASSERT_TRUE(CreateDirectoryA(m_folder.File("work"), nullptr));
    EXPECT_EQ(trained, Fetched("Alice", "KEY-A", "aaj"));
}

// An enrolment in this process kept the model it trained for Alice, which the
// host did not store (its model test failed). The host then moves Alice's
// stored model through the work folder itself: what it stores is what it
// fetched, never the model it chose not to keep.
TEST_F(VoiceDicTest, AHostsStoreAfterItsOwnFetchStoresWhatItFetched)
{
    m_voice.AddUser("Alice", "KEY-A");
    PutModel("aaj", "alice's model");
    m_voice.SetUserVoice("Alice", "KEY-A", "aaj");
    trained_models::Keep(ModelPath("aaj"), "Alice", std::vector<BYTE>{'f', 'a', 'i', 'l', 'e', 'd'});
    m_voice.GetUserVoice("Alice", "KEY-A", "aaj");
    m_voice.SetUserVoice("Alice", "KEY-A", "aaj");
    trained_models::Forget(ModelPath("aaj"), "Alice");
    EXPECT_EQ("alice's model", Fetched("Alice", "KEY-A", "aaj"));
}

// A holder that died between its fetch and its put-back left the record: the
// next holder puts back what the file held, or no file when there was none
// (nor for a record that is not one of ours), removing the fetched model if
// it is there, and the record goes; a fetched model that cannot be removed
// yet (another program has it open) keeps the record for the holder after.
// The host's store is such a holder, and stores what it put back.
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

    const std::string before = "alice's new model";
    model_putback::Record(ModelPath("aaj"), true, std::vector<BYTE>(before.begin(), before.end()));
    m_voice.AddUser("Alice", "KEY-A");
    PutModel("aaj", "bob's model");
    m_voice.SetUserVoice("Alice", "KEY-A", "aaj");
    EXPECT_EQ(before, Fetched("Alice", "KEY-A", "aaj"));
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
        PutModel("aaj", "alice's new model");
    }
    EXPECT_EQ(0u, host.Wait());
    EXPECT_EQ("alice's new model", Fetched("Alice", "KEY-A", "aaj"));
}

// Every change is written through the rollback journal (each of its steps
// failing: tests/fw): a change whose flushes fail is undone at the next touch.
TEST_F(VoiceDicTest, AChangeThatFailsMidwayIsUndoneAtTheNextTouch)
{
    m_voice.AddUser("Bob", "KEY-B");
    const std::string before = Dic();
    CFaultyFileSystem fs;
    fs.Watch(L"marzetuvd.dat");
    fs.FailFrom(CFaultyFileSystem::flush, 2, ERROR_IO_DEVICE);
    {
        CFileSystemOverride scope(fs);
        EXPECT_THROW(m_voice.DelUser("Bob", "KEY-B"), CFileException);
    }
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
        PutModel("aaj", "bob's model");
        m_voice.SetUserVoice("Bob", "KEY-B", "aaj");
        m_intact = Dic();
    }

    void Damage(size_t offset, unsigned long value)
    {
        std::string bytes = m_intact;
        bytes.replace(offset, 4, WordBytes(value));
        ASSERT_TRUE(WriteRaw(m_dicPath, bytes));
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

    // A length one past its area (larger ones are the record reader's, tests/fw),
    // or a text that does not decrypt ("!!!!" is no base64), which must not fit
    // even the empty ID or key of a user the user dictionary no longer has: the
    // slot never matches (every operation finds its slot by this lookup); a
    // model block's reads as no model.
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

    // A file that is not a whole number of slots: the bytes behind the last
    // whole slot are no slot, and a new slot starts behind the last whole one.
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
    std::string bytes = m_intact;
    bytes.replace(0, 4, WordBytes(0));
    ASSERT_TRUE(WriteRaw(m_dicPath, bytes));
    // Grown without writing the zeros, sparse (as Wine's host file systems are anyway),
    // so that the test neither fills the disk nor waits for it.
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
    PutModel("afj", model);
    m_voice.SetUserVoice("Alice", "KEY-A", "afj");
    EXPECT_EQ(LengthRecord(model), ReadRawAt(m_dicPath, farSlot * kSlot + 103723, 4 + model.size()));
    EXPECT_EQ(model, Fetched("Alice", "KEY-A", "afj"));
    m_voice.DelUserVoice("Alice", "KEY-A", "afj");
    EXPECT_EQ(WordBytes(0), ReadRawAt(m_dicPath, farSlot * kSlot + 103723, 4));
}

} // namespace
