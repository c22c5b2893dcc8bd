// Slots of the voice dictionary: their layout byte for byte, finding a
// user's slot, and the reuse of blank slots.
#include "VoiceDicTestSupport.h"

using sonvera_test::kSlot;
using sonvera_test::VoiceDicTest;
using sonvera_test::Word;

namespace {

TEST(VoiceDicLayout, NickBlocksLieAtTheirFixedOffsets)
{
    CAppUserVoiceDic voice;
    const char* nicks[] = {"aaj", "abj", "acj", "adj", "aej", "afj"};
    const unsigned long offsets[] = {428, 21087, 41746, 62405, 83064, 103723};
    for (int m = 0; m < 6; ++m) {
        EXPECT_EQ(offsets[m], voice.GetNickPos(nicks[m], 0)) << nicks[m];
        EXPECT_EQ(3 * 125000ul + offsets[m], voice.GetNickPos(nicks[m], 3)) << nicks[m];
    }
    EXPECT_EQ(271087ul, voice.GetNickPos("ABJ", 2));
    EXPECT_EQ(0ul, voice.GetNickPos("agj", 2));
    EXPECT_EQ(0ul, voice.GetNickPos("", 0));
    EXPECT_EQ(0ul, voice.GetNickPos("aajx", 1));
    // The last block ends before the unused tail of the slot.
    EXPECT_EQ(124382ul, offsets[5] + 4 + 20655);
}

TEST_F(VoiceDicTest, SetVoiceDicPathCreatesAnEmptyFileOnceAndKeepsAnExistingOne)
{
    EXPECT_EQ("", Dic());
    m_voice.AddUser("Alice", "KEY-A");
    const std::string filled = Dic();
    CAppUserVoiceDic again;
    again.SetVoiceDicPath(m_folder.Path());
    EXPECT_EQ(filled, Dic());
}

TEST_F(VoiceDicTest, AddUserOnAnEmptyFileMakesOneSlotWithBothTextsInPlace)
{
    m_voice.AddUser("Alice", "001122334455Alice");
    const std::string bytes = Dic();
    ASSERT_EQ(kSlot, bytes.size());
    EXPECT_EQ(1ul, Word(bytes, 0));
    const unsigned long idLength = Word(bytes, 4);
    const unsigned long keyLength = Word(bytes, 184);
    EXPECT_GT(idLength, 0ul);
    EXPECT_LE(idLength, 176ul);
    EXPECT_GT(keyLength, 0ul);
    EXPECT_LE(keyLength, 240ul);
    EXPECT_EQ("Alice", SlotText(0, 4));
    EXPECT_EQ("001122334455Alice", SlotText(0, 184));
    // Everything else of the new slot reads as zero.
    EXPECT_EQ(std::string(184 - 8 - idLength, '\0'), bytes.substr(8 + idLength, 184 - 8 - idLength));
    EXPECT_EQ(std::string(kSlot - 188 - keyLength, '\0'), bytes.substr(188 + keyLength));
}

TEST_F(VoiceDicTest, FindIdPosMatchesTheIdWithoutCaseAndNeedsTheRightKey)
{
    m_voice.AddUser("Alice", "KEY-A");
    m_voice.AddUser("Bob", "KEY-B");
    EXPECT_EQ(0, FindSlot("ALICE", "KEY-A"));
    EXPECT_EQ(1, FindSlot("bob", "key-b"));
    EXPECT_EQ(-1, FindSlot("Alice", "KEY-B"));
    EXPECT_EQ(-1, FindSlot("Carol", "KEY-A"));
}

TEST_F(VoiceDicTest, TheFirstSlotWithTheIdDecidesEvenWhenALaterOneHasTheRightKey)
{
    m_voice.AddUser("Alice", "OLD-KEY");
    m_voice.AddUser("Alice", "NEW-KEY");
    ASSERT_EQ(2 * kSlot, Dic().size());
    EXPECT_EQ(0, FindSlot("Alice", "OLD-KEY"));
    EXPECT_EQ(-1, FindSlot("Alice", "NEW-KEY"));
}

TEST_F(VoiceDicTest, ADeletedSlotIsReusedWithoutGrowingTheFile)
{
    m_voice.AddUser("Alice", "KEY-A");
    m_voice.AddUser("Bob", "KEY-B");
    PutModel("aaj", "alice's model");
    m_voice.SetUserVoice("Alice", "KEY-A", "aaj");
    m_voice.DelUser("Alice", "KEY-A");
    EXPECT_EQ(0ul, Word(Dic(), 0));
    EXPECT_EQ(-1, FindSlot("Alice", "KEY-A"));
    {
        CFile file(m_dicPath, CFile::modeRead | CFile::typeBinary);
        EXPECT_EQ(0, m_voice.FindBlankSlot(file));
    }

    m_voice.AddUser("Carol", "KEY-C");
    const std::string bytes = Dic();
    EXPECT_EQ(2 * kSlot, bytes.size());
    EXPECT_EQ(1ul, Word(bytes, 0));
    EXPECT_EQ("Carol", SlotText(0, 4));
    EXPECT_EQ(0, FindSlot("carol", "KEY-C"));
    EXPECT_EQ(1, FindSlot("Bob", "KEY-B"));
    // The model blocks of a reused slot are left as they were.
    EXPECT_EQ(13ul, Word(bytes, 428));
    EXPECT_EQ("alice's model", bytes.substr(432, 13));
}

TEST_F(VoiceDicTest, DelUserOfAnUnknownUserChangesNothing)
{
    m_voice.AddUser("Alice", "KEY-A");
    const std::string before = Dic();
    m_voice.DelUser("Alice", "WRONG");
    m_voice.DelUser("Nobody", "KEY-A");
    EXPECT_EQ(before, Dic());
}

TEST_F(VoiceDicTest, AddSlotAndFindBlankSlotOnTheOpenFile)
{
    CFile file(m_dicPath, CFile::modeReadWrite | CFile::typeBinary);
    EXPECT_EQ(-1, m_voice.FindBlankSlot(file));
    EXPECT_EQ(0, m_voice.AddSlot(file));
    EXPECT_EQ(1, m_voice.AddSlot(file));
    EXPECT_EQ(2 * static_cast<ULONGLONG>(kSlot), file.GetLength());
    EXPECT_EQ(0, m_voice.FindBlankSlot(file));
    file.Close();
    EXPECT_EQ(std::string(2 * kSlot, '\0'), Dic());
}

TEST_F(VoiceDicTest, AMissingDictionaryIsAFileErrorForTheCaller)
{
    CAppUserVoiceDic voice;
    voice.SetBackupVoiceDicPath(m_folder.File("none.dat"), m_folder.File("work") + "\\");
    EXPECT_THROW(voice.AddUser("Alice", "K"), CFileException);
    EXPECT_THROW(voice.GetUserVoice("Alice", "K", "aaj"), CFileException);
    EXPECT_FALSE(sonvera_test::Exists(m_folder.File("none.dat")));
}

TEST_F(VoiceDicTest, CopiesKeepBothPaths)
{
    CAppUserVoiceDic copy(m_voice);
    m_voice.SetBackupVoiceDicPath("elsewhere.dat", "elsewhere\\");
    PutModel("aej", "model");
    copy.AddUser("Alice", "K");
    copy.SetUserVoice("Alice", "K", "aej");
    EXPECT_EQ(5ul, Word(Dic(), 83064));
    CAppUserVoiceDic assigned;
    assigned = copy;
    ASSERT_TRUE(DeleteFileA(ModelPath("aej")));
    assigned.GetUserVoice("Alice", "K", "aej");
    EXPECT_EQ("model", Model("aej"));
}

} // namespace
