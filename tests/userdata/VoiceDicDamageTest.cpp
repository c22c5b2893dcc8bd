// Damaged voice dictionaries: odd in-use words, lengths larger than their
// areas and a file length that is not a whole number of slots never make an
// operation read or write outside the slot it works on.
#include "VoiceDicTestSupport.h"

using udtest::kSlot;
using udtest::PatternBytes;
using udtest::PutWord;
using udtest::VoiceDicTest;
using udtest::Word;

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
        ASSERT_TRUE(udtest::WriteRaw(m_dicPath, bytes));
    }
};

TEST_F(VoiceDamageTest, AnInUseWordOtherThanZeroOrOneNeitherMatchesNorIsReused)
{
    Damage(0, 7);
    EXPECT_EQ(-1, FindSlot("Alice", "KEY-A"));
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
    ASSERT_TRUE(udtest::WriteRaw(m_dicPath, bytes));
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

TEST_F(VoiceDamageTest, AGarbageFileFindsNobodyAndGrowsByWholeSlots)
{
    ASSERT_TRUE(udtest::WriteRaw(m_dicPath, PatternBytes(2 * kSlot + 999, 4)));
    EXPECT_EQ(-1, FindSlot("Alice", "KEY-A"));
    m_voice.AddUser("Alice", "KEY-A");
    const std::string after = Dic();
    EXPECT_EQ(3 * kSlot, after.size());
    EXPECT_EQ(2, FindSlot("Alice", "KEY-A"));
    EXPECT_EQ(PatternBytes(2 * kSlot + 999, 4).substr(0, 2 * kSlot), after.substr(0, 2 * kSlot));
}

} // namespace
