// Damaged voice dictionaries: odd in-use words, lengths larger than their
// areas and a file length that is not a whole number of slots never make an
// operation read or write outside the slot it works on.
#include "UserDataTestSupport.h"

namespace {

using sonvera_test::kSlot;
using sonvera_test::PatternBytes;
using sonvera_test::PutWord;
using sonvera_test::Word;

class VoiceDamageTest : public sonvera_test::VoiceDicTest {
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
        PutWord(bytes, offset, value);
        ASSERT_TRUE(sonvera_test::WriteRaw(m_dicPath, bytes));
    }

    std::string m_intact;
};

// Only 1 is ever written, but any word other than 0 marks a slot in use: the
// user keeps the slot and its models, and the slot is not handed to another.
TEST_F(VoiceDamageTest, AnInUseWordOtherThanZeroOrOneStillMatchesAndIsNotReused)
{
    Damage(0, 7);
    EXPECT_EQ(0, FindSlot("Alice", "KEY-A"));
    const std::string before = Dic();
    m_voice.AddUser("Carol", "KEY-C");
    const std::string after = Dic();
    ASSERT_EQ(3 * kSlot, after.size());
    EXPECT_TRUE(before == after.substr(0, 2 * kSlot));
    EXPECT_EQ(2, FindSlot("Carol", "KEY-C"));
}

// A length larger than its area: the slot never matches and nothing of it is
// touched; a model block's reads as no model.
TEST_F(VoiceDamageTest, LengthsLargerThanTheirAreasNeverReachOutside)
{
    const struct {
        size_t offset;
        unsigned long length;
    } lengths[] = {{4, 177}, {4, 0x7FFFFFFF}, {4, 0xFFFFFFFF}, {kSlot + 184, 241}};
    for (const auto& c : lengths) {
        Damage(c.offset, c.length);
        const std::string before = Dic();
        const char* id = c.offset < kSlot ? "Alice" : "Bob";
        const char* key = c.offset < kSlot ? "KEY-A" : "KEY-B";
        EXPECT_EQ(-1, FindSlot(id, key)) << c.offset << " " << c.length;
        m_voice.SetUserVoice(id, key, "aaj");
        m_voice.DelUserVoice(id, key, "aaj");
        m_voice.DelUser(id, key);
        EXPECT_EQ("stale", Fetched(id, key, "aaj"));
        EXPECT_TRUE(before == Dic()) << c.offset << " " << c.length;
    }
    for (unsigned long length : {20656ul, 125000ul, 0xFFFFFFFFul}) {
        Damage(kSlot + 428, length);
        EXPECT_EQ("", Fetched("Bob", "KEY-B", "aaj")) << length;
    }
}

TEST_F(VoiceDamageTest, TheLastBlockAtItsLargestEndsBeforeTheUnusedTail)
{
    const std::string model = PatternBytes(20655, 9);
    PutModel("afj", model);
    m_voice.SetUserVoice("Alice", "KEY-A", "afj");
    const std::string bytes = Dic();
    EXPECT_EQ(std::string(618, '\0'), bytes.substr(124382, 618));
    EXPECT_EQ(1ul, Word(bytes, kSlot));
    EXPECT_EQ(model, Fetched("Alice", "KEY-A", "afj"));
}

// A file that is not a whole number of slots: the bytes behind the last whole
// slot are no slot, and a new slot starts behind the last whole one.
TEST_F(VoiceDamageTest, BytesBehindTheLastWholeSlotAreNotASlot)
{
    for (const std::string& image : {m_intact + m_intact.substr(0, 428), PatternBytes(2 * kSlot + 999, 4)}) {
        ASSERT_TRUE(sonvera_test::WriteRaw(m_dicPath, image));
        if (image.size() < 2 * kSlot + 999) {
            CFile file(m_dicPath, CFile::modeRead | CFile::typeBinary);
            EXPECT_EQ(-1, m_voice.FindBlankSlot(file));
        }
        m_voice.AddUser("Erin", "KEY-E");
        const std::string after = Dic();
        ASSERT_EQ(3 * kSlot, after.size());
        EXPECT_EQ(2, FindSlot("Erin", "KEY-E"));
        EXPECT_EQ(0ul, Word(after, 2 * kSlot + 428));
        EXPECT_TRUE(image.substr(0, 2 * kSlot) == after.substr(0, 2 * kSlot));
    }
}

// Makes the file `size` bytes long without writing the zeros: marked sparse
// where the file system knows sparse files (Wine's host file systems are
// sparse anyway), so that the test neither fills the disk nor waits for it.
bool GrowSparse(const CString& path, ULONGLONG size)
{
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD returned = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const BOOL ok = h != INVALID_HANDLE_VALUE && SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return ok != FALSE;
}

// Slot 34359 starts just below 4 GiB and its last model block just above, so
// a block offset kept in 32 bits comes out inside slot 0. The slots in front
// of it are blank.
TEST_F(VoiceDamageTest, ABlockBeyondFourGigabytesIsNotTakenForOneNearTheStart)
{
    const ULONGLONG farSlot = 34359;
    std::string bytes = m_intact;
    PutWord(bytes, 0, 0);
    ASSERT_TRUE(sonvera_test::WriteRaw(m_dicPath, bytes));
    ASSERT_TRUE(GrowSparse(m_dicPath, (farSlot + 1) * kSlot));
    ASSERT_TRUE(sonvera_test::WriteRawAt(m_dicPath, farSlot * kSlot, m_intact.substr(0, 428)));
    ASSERT_EQ(static_cast<int>(farSlot), FindSlot("Alice", "KEY-A"));

    const std::string model = PatternBytes(3000, 21);
    PutModel("afj", model);
    m_voice.SetUserVoice("Alice", "KEY-A", "afj");
    // Compared whole, not printed: a difference would fill the log with zeros.
    EXPECT_TRUE(bytes == sonvera_test::ReadRawAt(m_dicPath, 0, 2 * kSlot)) << "the first two slots changed";
    EXPECT_EQ(sonvera_test::LengthRecord(model), sonvera_test::ReadRawAt(m_dicPath, farSlot * kSlot + 103723, 4 + model.size()));
    EXPECT_EQ(model, Fetched("Alice", "KEY-A", "afj"));
    m_voice.DelUserVoice("Alice", "KEY-A", "afj");
    EXPECT_TRUE(bytes == sonvera_test::ReadRawAt(m_dicPath, 0, 2 * kSlot)) << "the first two slots changed";
    EXPECT_EQ(sonvera_test::WordBytes(0), sonvera_test::ReadRawAt(m_dicPath, farSlot * kSlot + 103723, 4));
}

} // namespace
