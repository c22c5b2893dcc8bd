// Damaged voice dictionaries: odd in-use words, lengths larger than their
// areas and a file length that is not a whole number of slots never make an
// operation read or write outside the slot it works on.
#include "VoiceDicTestSupport.h"

using sonvera_test::kSlot;
using sonvera_test::PatternBytes;
using sonvera_test::PutWord;
using sonvera_test::VoiceDicTest;
using sonvera_test::Word;

namespace {

class VoiceDamageTest : public VoiceDicTest {
protected:
    void SetUp() override
    {
        VoiceDicTest::SetUp();
        m_voice.AddUser("Alice", "KEY-A");
        m_voice.AddUser("Bob", "KEY-B");
        PutModel("aaj", "bob's model");
        m_voice.SetUserVoice("Bob", "KEY-B", "aaj");
    }

    void Damage(size_t offset, unsigned long value)
    {
        std::string bytes = Dic();
        PutWord(bytes, offset, value);
        ASSERT_TRUE(sonvera_test::WriteRaw(m_dicPath, bytes));
    }
};

// Only 1 is ever written, but any word other than 0 marks a slot in use: the
// user keeps the slot and its models, and the slot is not handed to another.
TEST_F(VoiceDamageTest, AnInUseWordOtherThanZeroOrOneStillMatchesAndIsNotReused)
{
    Damage(0, 7);
    EXPECT_EQ(0, FindSlot("Alice", "KEY-A"));
    EXPECT_EQ(-1, FindSlot("Alice", "KEY-B"));
    EXPECT_EQ(1, FindSlot("Bob", "KEY-B"));
    const std::string before = Dic();
    m_voice.AddUser("Carol", "KEY-C");
    const std::string after = Dic();
    ASSERT_EQ(3 * kSlot, after.size());
    EXPECT_EQ(before, after.substr(0, 2 * kSlot));
    EXPECT_EQ(2, FindSlot("Carol", "KEY-C"));
}

TEST_F(VoiceDamageTest, AnIdLengthLargerThanItsAreaNeverMatches)
{
    for (unsigned long length : {177ul, 0x7FFFFFFFul, 0xFFFFFFFFul}) {
        Damage(4, length);
        EXPECT_EQ(-1, FindSlot("Alice", "KEY-A")) << length;
        EXPECT_EQ(1, FindSlot("Bob", "KEY-B")) << length;
    }
}

TEST_F(VoiceDamageTest, AKeyLengthLargerThanItsAreaNeverMatches)
{
    Damage(kSlot + 184, 241);
    EXPECT_EQ(-1, FindSlot("Bob", "KEY-B"));
    const std::string before = Dic();
    PutModel("aaj", "work file");
    m_voice.SetUserVoice("Bob", "KEY-B", "aaj");
    m_voice.DelUserVoice("Bob", "KEY-B", "aaj");
    m_voice.DelUser("Bob", "KEY-B");
    m_voice.GetUserVoice("Bob", "KEY-B", "aaj");
    EXPECT_EQ(before, Dic());
    EXPECT_EQ("work file", Model("aaj"));
}

TEST_F(VoiceDamageTest, AModelLengthLargerThanItsBlockReadsAsNoModel)
{
    for (unsigned long length : {20656ul, 125000ul, 0xFFFFFFFFul}) {
        Damage(kSlot + 428, length);
        PutModel("aaj", "an earlier user's model");
        m_voice.GetUserVoice("Bob", "KEY-B", "aaj");
        EXPECT_EQ("", Model("aaj")) << length;
    }
}

TEST_F(VoiceDamageTest, TheLastBlockIsReadToItsFullSizeWithoutLeavingTheSlot)
{
    // The sixth block at its largest ends 618 bytes before the next slot.
    const std::string model = PatternBytes(20655, 9);
    PutModel("afj", model);
    m_voice.SetUserVoice("Alice", "KEY-A", "afj");
    const std::string bytes = Dic();
    EXPECT_EQ(std::string(618, '\0'), bytes.substr(124382, 618));
    EXPECT_EQ(1ul, Word(bytes, kSlot));
    m_voice.GetUserVoice("Alice", "KEY-A", "afj");
    EXPECT_EQ(model, Model("afj"));
}

TEST_F(VoiceDamageTest, BytesBehindTheLastWholeSlotAreNotASlot)
{
    std::string bytes = Dic();
    // A third slot cut short: in use, with Carol's texts copied from a real slot.
    std::string partial = bytes.substr(0, 428);
    bytes += partial;
    ASSERT_TRUE(sonvera_test::WriteRaw(m_dicPath, bytes));
    EXPECT_EQ(0, FindSlot("Alice", "KEY-A"));
    {
        CFile file(m_dicPath, CFile::modeRead | CFile::typeBinary);
        EXPECT_EQ(-1, m_voice.FindBlankSlot(file));
    }
    // A new slot starts behind the last whole one and is all zero before the texts go in.
    m_voice.DelUser("Alice", "KEY-A");
    m_voice.AddUser("Dave", "KEY-D");
    EXPECT_EQ(0, FindSlot("Dave", "KEY-D"));
    m_voice.AddUser("Erin", "KEY-E");
    const std::string after = Dic();
    ASSERT_EQ(3 * kSlot, after.size());
    EXPECT_EQ(2, FindSlot("Erin", "KEY-E"));
    EXPECT_EQ(0ul, Word(after, 2 * kSlot + 428));
}

// Bytes at a 64-bit offset of a file, read or written without the code under test.
bool PutAt(const CString& path, ULONGLONG offset, const std::string& bytes)
{
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD done = 0;
    const BOOL ok = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) &&
                    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
    return ok && done == bytes.size();
}

std::string GetAt(const CString& path, ULONGLONG offset, size_t size)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    std::string bytes(size, '\0');
    DWORD done = 0;
    if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN) ||
        !ReadFile(h, &bytes[0], static_cast<DWORD>(size), &done, nullptr))
        done = 0;
    CloseHandle(h);
    bytes.resize(done);
    return bytes;
}

// Makes the file `size` bytes long without writing the zeros: marked sparse
// where the file system knows sparse files (Wine's host file systems are
// sparse anyway), so that the test neither fills the disk nor waits for it.
bool GrowSparse(const CString& path, ULONGLONG size)
{
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const BOOL ok = SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return ok != FALSE;
}

// Slot 34359 starts just below 4 GiB and its last model block just above, so
// a block offset kept in 32 bits comes out inside slot 0. The slots in front
// of it are blank; the file is sparse where the file system allows.
TEST_F(VoiceDamageTest, ABlockBeyondFourGigabytesIsNotTakenForOneNearTheStart)
{
    const ULONGLONG farSlot = 34359;
    std::string bytes = Dic();
    const std::string aliceHead = bytes.substr(0, 428);
    PutWord(bytes, 0, 0);
    ASSERT_TRUE(sonvera_test::WriteRaw(m_dicPath, bytes));
    ASSERT_TRUE(GrowSparse(m_dicPath, (farSlot + 1) * kSlot));
    ASSERT_TRUE(PutAt(m_dicPath, farSlot * kSlot, aliceHead));
    ASSERT_EQ(static_cast<int>(farSlot), FindSlot("Alice", "KEY-A"));

    const std::string model = PatternBytes(3000, 21);
    PutModel("afj", model);
    m_voice.SetUserVoice("Alice", "KEY-A", "afj");
    // Compared whole, not printed: a difference would fill the log with zeros.
    EXPECT_TRUE(bytes == GetAt(m_dicPath, 0, 2 * kSlot)) << "the first two slots changed";
    EXPECT_EQ(sonvera_test::WordBytes(3000) + model, GetAt(m_dicPath, farSlot * kSlot + 103723, 4 + model.size()));

    PutModel("afj", "stale");
    m_voice.GetUserVoice("Alice", "KEY-A", "afj");
    EXPECT_EQ(model, Model("afj"));
    m_voice.DelUserVoice("Alice", "KEY-A", "afj");
    EXPECT_TRUE(bytes == GetAt(m_dicPath, 0, 2 * kSlot)) << "the first two slots changed";
    EXPECT_EQ(sonvera_test::WordBytes(0), GetAt(m_dicPath, farSlot * kSlot + 103723, 4));
}

TEST_F(VoiceDamageTest, AGarbageFileFindsNobodyAndGrowsByWholeSlots)
{
    ASSERT_TRUE(sonvera_test::WriteRaw(m_dicPath, PatternBytes(2 * kSlot + 999, 4)));
    EXPECT_EQ(-1, FindSlot("Alice", "KEY-A"));
    m_voice.AddUser("Alice", "KEY-A");
    const std::string after = Dic();
    EXPECT_EQ(3 * kSlot, after.size());
    EXPECT_EQ(2, FindSlot("Alice", "KEY-A"));
    EXPECT_EQ(PatternBytes(2 * kSlot + 999, 4).substr(0, 2 * kSlot), after.substr(0, 2 * kSlot));
}

} // namespace
