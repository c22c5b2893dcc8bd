// Whole records of the user dictionary: their two shapes, how fields are read
// back, and what each operation leaves in the file.
#include "UserDicTestSupport.h"

using sonvera_test::StoredRecords;
using sonvera_test::Texts;
using sonvera_test::UserDicTest;

namespace {

using Strings = std::vector<std::string>;

TEST(UserRecordFields, FieldsAreFoundByPositionAndMissingOnesAreEmpty)
{
    const CString terminated = "id;text;pw;1;key;101;aaj,abj;";
    const CString joined = "id;text;pw;1;key;101;aaj,abj";
    for (const CString& record : {terminated, joined}) {
        EXPECT_EQ("id", CAppUserDic::GetField(record, 0).str());
        EXPECT_EQ("pw", CAppUserDic::GetField(record, 2).str());
        EXPECT_EQ("aaj,abj", CAppUserDic::GetField(record, 6).str());
        EXPECT_EQ("", CAppUserDic::GetField(record, 7).str());
    }
    EXPECT_EQ("", CAppUserDic::GetField("id;text", 4).str());
    EXPECT_EQ("", CAppUserDic::GetField("id;;pw", 1).str());
    EXPECT_EQ("pw", CAppUserDic::GetField("id;;pw", 2).str());
}

// A text cut in the middle of a double-byte character ends with a lone lead
// byte. The separator behind it is still a separator: ';' and ',' are never
// trail bytes, so taking the pair for one character would glue two fields
// (or two nicks) together and shift every field behind them.
TEST(UserRecordFields, ASeparatorBehindALoneLeadByteStillSeparates)
{
    const CString record = "id;text\x83;pw;1;key;101;aaj\x83,abj;";
    EXPECT_EQ("text\x83", CAppUserDic::GetField(record, 1).str());
    EXPECT_EQ("pw", CAppUserDic::GetField(record, 2).str());
    EXPECT_EQ("aaj\x83,abj", CAppUserDic::GetField(record, 6).str());
    CStringArray nicks;
    CAppUserDic::SplitList("aaj\x83,abj", ',', nicks);
    EXPECT_EQ(Strings({"aaj\x83", "abj"}), Texts(nicks));
}

TEST_F(UserDicTest, AUserTextCutInsideACharacterDoesNotMoveThePassword)
{
    ASSERT_EQ(1, m_dic.CreateUser("text\x83", "Bob", "K", "Secret", 1, 1, 1, 1, "aaj"));
    EXPECT_EQ("Secret", m_dic.GetPassWord("bob").str());
    EXPECT_EQ(0, m_dic.VerifyPassWord("bob", "Secret"));
    // Shifted fields would put the group where the password belongs.
    EXPECT_EQ(-1, m_dic.VerifyPassWord("bob", "1"));
    EXPECT_EQ("111", m_dic.GetAuthority("bob").str());
    EXPECT_EQ(0, m_dic.VerifyNick("bob", "aaj"));
}

TEST(UserRecordFields, ListsSplitAtTheSeparatorWithEmptyEntriesKept)
{
    CStringArray parts;
    CAppUserDic::SplitList("", ',', parts);
    EXPECT_EQ(Strings({""}), Texts(parts));
    CAppUserDic::SplitList(",aaj,,abj", ',', parts);
    EXPECT_EQ(Strings({"", "", "aaj", "", "abj"}), Texts(parts));
}

TEST_F(UserDicTest, ANewPathGivesAnEmptyFileAndTheFirstUserOneEntry)
{
    EXPECT_EQ("", sonvera_test::ReadRaw(m_path));
    CStringArray ids;
    ids.Add("stale");
    EXPECT_EQ(1, m_dic.GetUserIDList(ids));
    EXPECT_EQ(0, ids.GetSize());
    AddAlice();
    EXPECT_EQ(Strings({"Alice;first text;Secret;1;KEY-A;101;aaj,abj;"}), StoredRecords(m_path));
}

TEST_F(UserDicTest, CreateUserEndsEveryFieldWithASeparatorAndNormalisesPermissions)
{
    ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p", 3, 7, 0, -2, ""));
    EXPECT_EQ("Bob;t;p;3;K;101;;", m_dic.GetUserWholeInfo("bob").str());
    EXPECT_EQ(Strings({"Bob;t;p;3;K;101;;"}), StoredRecords(m_path));
}

TEST_F(UserDicTest, CreateUserRefusesAnIdPresentInOtherLetterCase)
{
    AddAlice();
    const std::string before = sonvera_test::ReadRaw(m_path);
    EXPECT_EQ(0, m_dic.CreateUser("x", "ALICE", "K2", "p", 0, 1, 1, 1, ""));
    EXPECT_EQ(before, sonvera_test::ReadRaw(m_path));
    EXPECT_EQ(0, m_dic.VerifyUserInfo("alice"));
}

TEST_F(UserDicTest, SevenArgumentSetUserKeepsKeyAndVoiceListAndEndsEveryField)
{
    AddAlice();
    ASSERT_EQ(1, m_dic.SetUser("second text", "ALICE", "NewPw", 0, 0, 1, 9));
    const Strings expected({"ALICE;second text;NewPw;0;KEY-A;011;aaj,abj;"});
    EXPECT_EQ(expected, StoredRecords(m_path));
    EXPECT_EQ(expected[0], m_dic.GetUserWholeInfo("alice").str());
    EXPECT_EQ(0, m_dic.SetUser("t", "Nobody", "p", 0, 1, 1, 1));
}

TEST_F(UserDicTest, FieldSettersJoinFieldsWithoutATrailingSeparator)
{
    AddAlice();
    ASSERT_EQ(1, m_dic.SetPassWord("alice", "Other"));
    EXPECT_EQ(Strings({"Alice;first text;Other;1;KEY-A;101;aaj,abj"}), StoredRecords(m_path));
    ASSERT_EQ(1, m_dic.SetGroupInfo("Alice", "x9"));
    ASSERT_EQ(1, m_dic.SetCertiKey("Alice", "K2"));
    ASSERT_EQ(1, m_dic.SetAuthority("Alice", "1"));
    ASSERT_EQ(1, m_dic.SetVoiceList("Alice", "acj"));
    EXPECT_EQ(Strings({"Alice;first text;Other;x9;K2;1;acj"}), StoredRecords(m_path));
    EXPECT_EQ("x9", m_dic.GetGroupInfo("ALICE").str());
    EXPECT_EQ("K2", m_dic.GetCertiKey("ALICE").str());
    EXPECT_EQ("1", m_dic.GetAuthority("ALICE").str());
    EXPECT_EQ("acj", m_dic.GetVoiceList("ALICE").str());
    EXPECT_EQ("Other", m_dic.GetPassWord("ALICE").str());
}

TEST_F(UserDicTest, StructureSetUserJoinsFieldsAndNicksAsGiven)
{
    AddAlice();
    CAppUserDic::USER_INFORMATION info;
    info.strUserID = "Alice";
    info.strUserText = "u";
    info.strPassword = "P";
    info.nGroup = 12;
    info.strCertiKey = "CK";
    info.bAllowLogon = 1;
    info.bAllowEncrypt = 0;
    info.bAllowDecrypt = 2;
    info.arrNicks.Add("aaj");
    info.arrNicks.Add("acj");
    ASSERT_EQ(1, m_dic.SetUser("alice", info));
    EXPECT_EQ(Strings({"Alice;u;P;12;CK;102;aaj,acj"}), StoredRecords(m_path));
}

TEST_F(UserDicTest, StructureSetUserReportsSuccessEvenWhenItsIdNamesNobody)
{
    AddAlice();
    const std::string before = sonvera_test::ReadRaw(m_path);
    CAppUserDic::USER_INFORMATION info;
    info.strUserID = "Nobody";
    EXPECT_EQ(1, m_dic.SetUser("Alice", info));
    EXPECT_EQ(before, sonvera_test::ReadRaw(m_path));
    EXPECT_EQ(0, m_dic.SetUser("Nobody", info));
}

TEST_F(UserDicTest, GetUserReadsBothShapesAlike)
{
    AddAlice();
    CAppUserDic::USER_INFORMATION terminated;
    ASSERT_EQ(1, m_dic.GetUser("ALICE", terminated));
    ASSERT_EQ(1, m_dic.SetPassWord("Alice", "Secret"));   // now the joined shape
    CAppUserDic::USER_INFORMATION joined;
    ASSERT_EQ(1, m_dic.GetUser("alice", joined));
    for (const CAppUserDic::USER_INFORMATION* info : {&terminated, &joined}) {
        EXPECT_EQ("Alice", info->strUserID.str());
        EXPECT_EQ("first text", info->strUserText.str());
        EXPECT_EQ("Secret", info->strPassword.str());
        EXPECT_EQ(1, info->nGroup);
        EXPECT_EQ("KEY-A", info->strCertiKey.str());
        EXPECT_EQ(1, info->bAllowLogon);
        EXPECT_EQ(0, info->bAllowEncrypt);
        EXPECT_EQ(1, info->bAllowDecrypt);
        EXPECT_EQ(Strings({"aaj", "abj"}), Texts(info->arrNicks));
    }
}

TEST_F(UserDicTest, GetUserTakesGroupOneOnlyAsExactlyOneAndShortAuthorityAsZeros)
{
    ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p", 0, 1, 1, 1, ""));
    ASSERT_EQ(1, m_dic.SetGroupInfo("Bob", "01"));
    ASSERT_EQ(1, m_dic.SetAuthority("Bob", "1"));
    CAppUserDic::USER_INFORMATION info;
    ASSERT_EQ(1, m_dic.GetUser("Bob", info));
    EXPECT_EQ(0, info.nGroup);
    EXPECT_EQ(1, info.bAllowLogon);
    EXPECT_EQ(0, info.bAllowEncrypt);
    EXPECT_EQ(0, info.bAllowDecrypt);

    CAppUserDic::USER_DICTIONARY dict;
    ASSERT_EQ(1, m_dic.GetUserInfo("bob", dict));
    EXPECT_EQ(1, dict.nGroup);   // read as a number here
    EXPECT_EQ("1", dict.strAuthority.str());
    EXPECT_EQ("", dict.strVoiceList.str());
    EXPECT_EQ("K", dict.strCertiKey.str());
    EXPECT_EQ(0, m_dic.GetUserInfo("nobody", dict));
    EXPECT_EQ(0, m_dic.GetUser("nobody", info));
}

TEST_F(UserDicTest, GetUserAppendsNicksWithoutEmptyingTheList)
{
    ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p", 0, 1, 1, 1, ""));
    CAppUserDic::USER_INFORMATION info;
    ASSERT_EQ(1, m_dic.GetUser("Bob", info));
    EXPECT_EQ(Strings({""}), Texts(info.arrNicks));
    ASSERT_EQ(1, m_dic.GetUser("Bob", info));
    EXPECT_EQ(Strings({"", ""}), Texts(info.arrNicks));
}

TEST_F(UserDicTest, UserInformationCopiesCarryTheirOwnNickList)
{
    CAppUserDic::USER_INFORMATION info;
    info.arrNicks.Add("aaj");
    CAppUserDic::USER_INFORMATION copy(info);
    copy.arrNicks.Add("abj");
    EXPECT_EQ(Strings({"aaj"}), Texts(info.arrNicks));
    EXPECT_EQ(Strings({"aaj", "abj"}), Texts(copy.arrNicks));
}

TEST_F(UserDicTest, WholeRecordsAreReplacedByIdAndDeleted)
{
    AddAlice();
    ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p", 0, 1, 1, 1, "acj"));
    EXPECT_EQ(1, m_dic.SetUserWholeInfo("BOB;replaced"));
    EXPECT_EQ("BOB;replaced", m_dic.GetUserWholeInfo("bob").str());
    EXPECT_EQ(0, m_dic.SetUserWholeInfo("Carol;x"));
    EXPECT_EQ(1, m_dic.DelUserWholeInfo("alice"));
    EXPECT_EQ(0, m_dic.DelUserWholeInfo("alice"));
    EXPECT_EQ(Strings({"BOB;replaced"}), StoredRecords(m_path));
    EXPECT_EQ(Strings({"BOB;replaced"}), Reloaded());
    EXPECT_EQ(0, m_dic.VerifyUserInfo("Bob"));
    EXPECT_EQ(-1, m_dic.VerifyUserInfo("Alice"));
    EXPECT_EQ("", m_dic.GetUserWholeInfo("Alice").str());
}

TEST_F(UserDicTest, DeletingTheOnlyUserLeavesAnEmptyFile)
{
    AddAlice();
    ASSERT_NE("", sonvera_test::ReadRaw(m_path));
    ASSERT_EQ(1, m_dic.DelUserWholeInfo("Alice"));
    EXPECT_EQ("", sonvera_test::ReadRaw(m_path));
    EXPECT_TRUE(Reloaded().empty());
}

TEST_F(UserDicTest, ListOrderIsFileOrderAcrossReloads)
{
    const char* ids[] = {"u1", "u2", "u3", "u4"};
    for (const char* id : ids)
        ASSERT_EQ(1, m_dic.CreateUser("t", id, "K", "p", 0, 1, 1, 1, ""));
    ASSERT_EQ(1, m_dic.DelUserWholeInfo("u2"));
    CStringArray list;
    m_dic.GetUserIDList(list);
    EXPECT_EQ(Strings({"u1", "u3", "u4"}), Texts(list));
    const Strings reloaded = Reloaded();
    ASSERT_EQ(3u, reloaded.size());
    EXPECT_EQ("u4;t;p;0;K;111;;", reloaded[2]);
    EXPECT_EQ(2, m_dic.VerifyUserInfo("U4"));
}

TEST_F(UserDicTest, EachRecordIsStoredAsALengthAndItsOwnCipherText)
{
    AddAlice();
    ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p", 0, 1, 1, 1, ""));
    const std::string bytes = sonvera_test::ReadRaw(m_path);
    const unsigned long first = sonvera_test::Word(bytes, 0);
    ASSERT_LT(first + 4, bytes.size());
    const unsigned long second = sonvera_test::Word(bytes, 4 + first);
    EXPECT_EQ(bytes.size(), 8 + first + second);
    CCrypto crypto;
    const CString cipher(bytes.data() + 8 + first, static_cast<int>(second));
    EXPECT_EQ("Bob;t;p;0;K;111;;", crypto.DecryptString(cipher, CCrypto::GetProcessKey()).str());
    EXPECT_EQ(std::string::npos, bytes.find("Bob"));
}

} // namespace
