// Single fields of a user: letter-case rules (Shift-JIS aware), the
// verifiers, the nick list operations and what an unknown user gets.
#include "UserDicTestSupport.h"

using sonvera_test::StoredRecords;
using sonvera_test::Texts;
using sonvera_test::UserDicTest;

namespace {

using Strings = std::vector<std::string>;

// "ア" is 0x83 0x41: its trail byte is the code of 'A'. "ヂ" is 0x83 0x61, whose
// trail byte is the code of 'a'. Folding trail bytes would make them one.
const char kKatakanaA[] = "\x83\x41";
const char kKatakanaDi[] = "\x83\x61";

TEST_F(UserDicTest, IdsMatchWithoutCaseAndPasswordsWithCase)
{
    AddAlice();
    EXPECT_EQ(0, m_dic.VerifyPassWord("aLICE", "Secret"));
    EXPECT_EQ(-1, m_dic.VerifyPassWord("Alice", "secret"));
    EXPECT_EQ(-1, m_dic.VerifyPassWord("Alice", "Secret "));
    EXPECT_EQ(0, m_dic.VerifyCertiKey("ALICE", "KEY-A"));
    EXPECT_EQ(-1, m_dic.VerifyCertiKey("ALICE", "key-a"));
    EXPECT_EQ(0, m_dic.VerifyAuthority("alice", "101"));
    EXPECT_EQ(-1, m_dic.VerifyAuthority("alice", "10"));
    EXPECT_EQ(0, m_dic.VerifyGroupInfo("alice", "1"));
    EXPECT_EQ(-1, m_dic.VerifyGroupInfo("alice", "01"));
}

TEST_F(UserDicTest, VerifiersGiveTheIndexOfTheMatchingRecord)
{
    ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p1", 0, 1, 1, 1, ""));
    AddAlice();
    EXPECT_EQ(1, m_dic.VerifyPassWord("alice", "Secret"));
    EXPECT_EQ(0, m_dic.VerifyPassWord("bob", "p1"));
    EXPECT_EQ(-1, m_dic.VerifyPassWord("bob", "Secret"));
}

TEST_F(UserDicTest, DoubleByteCharactersAreNeverCaseFolded)
{
    const CString idA = CString(kKatakanaA) + "x";
    const CString idDi = CString(kKatakanaDi) + "x";
    ASSERT_EQ(1, m_dic.CreateUser("t", idA, "K1", "p1", 0, 1, 1, 1, ""));
    ASSERT_EQ(1, m_dic.CreateUser("t", idDi, "K2", "p2", 0, 1, 1, 1, ""));
    EXPECT_EQ(0, m_dic.VerifyUserInfo(CString(kKatakanaA) + "X"));
    EXPECT_EQ(1, m_dic.VerifyUserInfo(CString(kKatakanaDi) + "X"));
    EXPECT_EQ("p2", m_dic.GetPassWord(idDi).str());
    EXPECT_EQ(-1, m_dic.VerifyPassWord(idA, "p2"));
    // The whole ID survives the file: bytes, not characters, are stored.
    const Strings stored = StoredRecords(m_path);
    ASSERT_EQ(2u, stored.size());
    EXPECT_EQ(idDi.str() + ";t;p2;0;K2;111;;", stored[1]);
}

TEST_F(UserDicTest, NickLookupIgnoresCaseButRemovalDoesNot)
{
    AddAlice();
    EXPECT_EQ(0, m_dic.VerifyNick("alice", "AAJ"));
    EXPECT_EQ(1, m_dic.VerifyNick("alice", "abj"));
    EXPECT_EQ(-1, m_dic.VerifyNick("alice", "acj"));
    const std::string before = sonvera_test::ReadRaw(m_path);
    EXPECT_EQ(1, m_dic.DelNick("alice", "AAJ"));
    EXPECT_EQ("aaj,abj", m_dic.GetVoiceList("Alice").str());
    // Written back unchanged, but written: the cipher text is new.
    EXPECT_NE(before, sonvera_test::ReadRaw(m_path));
    EXPECT_EQ(Strings({"Alice;first text;Secret;1;KEY-A;101;aaj,abj"}), StoredRecords(m_path));
}

TEST_F(UserDicTest, TheLastNickCannotBeDeletedAndOneOfTwoLeavesNoComma)
{
    ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p", 0, 1, 1, 1, "acj"));
    const std::string before = sonvera_test::ReadRaw(m_path);
    EXPECT_EQ(0, m_dic.DelNick("Bob", "acj"));
    EXPECT_EQ(before, sonvera_test::ReadRaw(m_path));
    EXPECT_EQ("acj", m_dic.GetVoiceList("Bob").str());

    AddAlice();
    EXPECT_EQ(1, m_dic.DelNick("Alice", "aaj"));
    EXPECT_EQ("abj", m_dic.GetVoiceList("Alice").str());
    EXPECT_EQ(0, m_dic.VerifyNick("Alice", "abj"));
}

TEST_F(UserDicTest, SetNickAppendsEvenDuplicatesAndStartsEmptyListsWithAComma)
{
    ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p", 0, 1, 1, 1, ""));
    EXPECT_EQ(0, m_dic.VerifyNick("Bob", ""));   // an empty list has one empty entry
    ASSERT_EQ(1, m_dic.SetNick("Bob", "aej"));
    EXPECT_EQ(",aej", m_dic.GetVoiceList("Bob").str());
    EXPECT_EQ(1, m_dic.VerifyNick("Bob", "aej"));
    ASSERT_EQ(1, m_dic.SetNick("Bob", "aej"));
    EXPECT_EQ(",aej,aej", m_dic.GetVoiceList("Bob").str());
    EXPECT_EQ(1, m_dic.VerifyNick("bob", "AEJ"));
    EXPECT_EQ(Strings({"Bob;t;p;0;K;111;,aej,aej"}), StoredRecords(m_path));
}

TEST_F(UserDicTest, OnlyTheFirstSixNicksCountExceptInTheNickList)
{
    const CString seven = "aaj,abj,acj,adj,aej,afj,agj";
    ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p", 0, 1, 1, 1, seven));
    EXPECT_EQ(5, m_dic.VerifyNick("Bob", "afj"));
    EXPECT_EQ(-1, m_dic.VerifyNick("Bob", "agj"));

    CStringArray nicks;
    nicks.Add("kept");
    ASSERT_EQ(1, m_dic.GetNickList("bob", nicks));
    EXPECT_EQ(Strings({"kept", "aaj", "abj", "acj", "adj", "aej", "afj", "agj"}), Texts(nicks));

    // Deleting a nick that is not there still drops the seventh.
    ASSERT_EQ(1, m_dic.DelNick("Bob", "zzz"));
    EXPECT_EQ("aaj,abj,acj,adj,aej,afj", m_dic.GetVoiceList("Bob").str());
    ASSERT_EQ(1, m_dic.SetVoiceList("Bob", seven));
    ASSERT_EQ(1, m_dic.DelNick("Bob", "abj"));
    EXPECT_EQ("aaj,acj,adj,aej,afj", m_dic.GetVoiceList("Bob").str());
}

TEST_F(UserDicTest, GetNickListOfAnEmptyVoiceListAddsOneEmptyEntry)
{
    ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p", 0, 1, 1, 1, ""));
    CStringArray nicks;
    ASSERT_EQ(1, m_dic.GetNickList("Bob", nicks));
    EXPECT_EQ(Strings({""}), Texts(nicks));
}

TEST_F(UserDicTest, AnUnknownUserGetsEmptyTextsMinusOneAndZeroAndTheFileIsNotTouched)
{
    AddAlice();
    const std::string before = sonvera_test::ReadRaw(m_path);
    const CString nobody = "Alicia";
    EXPECT_EQ("", m_dic.GetPassWord(nobody).str());
    EXPECT_EQ("", m_dic.GetGroupInfo(nobody).str());
    EXPECT_EQ("", m_dic.GetCertiKey(nobody).str());
    EXPECT_EQ("", m_dic.GetAuthority(nobody).str());
    EXPECT_EQ("", m_dic.GetVoiceList(nobody).str());
    EXPECT_EQ(-1, m_dic.VerifyPassWord(nobody, "Secret"));
    EXPECT_EQ(-1, m_dic.VerifyGroupInfo(nobody, "1"));
    EXPECT_EQ(-1, m_dic.VerifyCertiKey(nobody, "KEY-A"));
    EXPECT_EQ(-1, m_dic.VerifyAuthority(nobody, "101"));
    EXPECT_EQ(-1, m_dic.VerifyNick(nobody, "aaj"));
    EXPECT_EQ(0, m_dic.SetPassWord(nobody, "x"));
    EXPECT_EQ(0, m_dic.SetGroupInfo(nobody, "x"));
    EXPECT_EQ(0, m_dic.SetCertiKey(nobody, "x"));
    EXPECT_EQ(0, m_dic.SetAuthority(nobody, "x"));
    EXPECT_EQ(0, m_dic.SetVoiceList(nobody, "x"));
    EXPECT_EQ(0, m_dic.SetNick(nobody, "aaj"));
    EXPECT_EQ(0, m_dic.DelNick(nobody, "aaj"));
    CStringArray nicks;
    EXPECT_EQ(0, m_dic.GetNickList(nobody, nicks));
    EXPECT_EQ(0, nicks.GetSize());
    EXPECT_EQ(before, sonvera_test::ReadRaw(m_path));
}

TEST_F(UserDicTest, ASetterReplacesOnlyItsOwnField)
{
    AddAlice();
    ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p", 0, 1, 1, 1, "acj"));
    ASSERT_EQ(1, m_dic.SetCertiKey("bob", "NEW"));
    EXPECT_EQ(Strings({"Alice;first text;Secret;1;KEY-A;101;aaj,abj;", "Bob;t;p;0;NEW;111;acj"}),
              StoredRecords(m_path));
    EXPECT_EQ(1, m_dic.VerifyCertiKey("BOB", "NEW"));
}

} // namespace
