// The user dictionary: its records and fields, the case rules (Shift-JIS
// aware), and its file going wrong without a record lost.
#include "UserDataTestSupport.h"

#include <functional>

namespace {

using namespace sonvera_test;

// "ア" is 0x83 0x41: its trail byte is the code of 'A'. "ヂ" is 0x83 0x61, whose
// trail byte is the code of 'a'. Folding trail bytes would make them one.
const char kKatakanaA[] = "\x83\x41";
const char kKatakanaDi[] = "\x83\x61";

// ';' and ',' are never trail bytes, so the separator behind a lone lead byte
// (a text cut inside a character) still separates.
TEST(UserRecordFields, FieldsGoByPositionAndListsSplitAtEverySeparator)
{
    const struct {
        const char* record;
        int field;
        const char* expected;
    } fields[] = {
        {"id;text;pw;1;key;101;aaj,abj;", 0, "id"}, {"id;text;pw;1;key;101;aaj,abj", 6, "aaj,abj"},
        {"id;text", 4, ""}, {"id;;pw", 2, "pw"}, {"id;text\x83;pw;1", 2, "pw"},
    };
    for (const auto& c : fields)
        EXPECT_EQ(c.expected, CAppUserDic::GetField(c.record, c.field).str()) << c.record << " " << c.field;

    const struct {
        const char* list;
        Strings entries;
    } lists[] = {{",aaj,,abj", {"", "aaj", "", "abj"}}, {"aaj\x83,abj", {"aaj\x83", "abj"}}};
    for (const auto& c : lists) {
        CStringArray parts;
        CAppUserDic::SplitList(c.list, ',', parts);
        EXPECT_EQ(c.entries, Items(parts)) << c.list;
    }
}

// Each change on Alice and Bob: its result and the records then in the file
// and in the object alike, in list order. The other field setters differ from
// the certi key's only by their field, which later tests read back.
TEST_F(UserDicTest, EachChangeStoresItsShapeOfRecord)
{
    const std::string alice = "Alice;first text;Secret;1;KEY-A;101;aaj,abj;";
    const std::string bob = "Bob;t;p;0;K;111;acj;";
    CAppUserDic::USER_INFORMATION info;
    info.strUserID = "Alice";
    info.strUserText = "u";
    info.strPassword = "P";
    info.nGroup = 12;
    info.strCertiKey = "CK";
    info.bAllowLogon = 1;
    info.bAllowDecrypt = 2;
    info.arrNicks.Add("aaj");
    info.arrNicks.Add("acj");
    CAppUserDic::USER_INFORMATION nobody;
    nobody.strUserID = "Nobody";
    const struct {
        const char* what;
        std::function<int(CAppUserDic&)> change;
        int result;
        Strings records;
    } cases[] = {
        {"create: permissions as 0 or 1", [](CAppUserDic& d) { return d.CreateUser("t", "Carol", "K", "p", 3, 7, 0, -2, ""); },
         1, {alice, bob, "Carol;t;p;3;K;101;;"}},
        {"create: the ID in other letter case", [](CAppUserDic& d) { return d.CreateUser("x", "ALICE", "K", "p", 0, 1, 1, 1, ""); },
         0, {alice, bob}},
        {"create: the ID another host made since", [&](CAppUserDic& d) {
             CAppUserDic other;
             other.SetUserDicFilePath(m_path);
             other.CreateUser("t", "Carol", "K", "p", 0, 0, 0, 0, "");
             return d.CreateUser("x", "carol", "K", "p", 0, 1, 1, 1, "");
         }, 0, {alice, bob, "Carol;t;p;0;K;000;;"}},
        {"SetUser keeps key and voice list", [](CAppUserDic& d) { return d.SetUser("second", "ALICE", "New", 0, 0, 1, 9); },
         1, {"ALICE;second;New;0;KEY-A;011;aaj,abj;", bob}},
        {"SetUser of nobody", [](CAppUserDic& d) { return d.SetUser("t", "Nobody", "p", 0, 1, 1, 1); }, 0, {alice, bob}},
        {"SetUser of a structure", [&](CAppUserDic& d) { return d.SetUser("alice", info); },
         1, {"Alice;u;P;12;CK;102;aaj,acj", bob}},
        {"SetUser of a structure naming nobody", [&](CAppUserDic& d) { return d.SetUser("Alice", nobody); }, 1, {alice, bob}},
        {"SetUser of a structure for nobody", [&](CAppUserDic& d) { return d.SetUser("Nobody", nobody); }, 0, {alice, bob}},
        {"certi key", [](CAppUserDic& d) { return d.SetCertiKey("BOB", "NEW"); }, 1, {alice, "Bob;t;p;0;NEW;111;acj"}},
        {"whole record", [](CAppUserDic& d) { return d.SetUserWholeInfo("BOB;replaced"); }, 1, {alice, "BOB;replaced"}},
        {"whole record of nobody", [](CAppUserDic& d) { return d.SetUserWholeInfo("Carol;x"); }, 0, {alice, bob}},
        {"delete", [](CAppUserDic& d) { return d.DelUserWholeInfo("alice"); }, 1, {bob}},
        {"add a nick, even twice", [](CAppUserDic& d) { return d.SetNick("Bob", "acj"); }, 1, {alice, "Bob;t;p;0;K;111;acj,acj"}},
        {"the last nick stays", [](CAppUserDic& d) { return d.DelNick("Bob", "acj"); }, 0, {alice, bob}},
        {"nick removal is byte for byte", [](CAppUserDic& d) { return d.DelNick("Alice", "AAJ"); },
         1, {"Alice;first text;Secret;1;KEY-A;101;aaj,abj", bob}},
        {"one nick of two", [](CAppUserDic& d) { return d.DelNick("Alice", "aaj"); }, 1, {"Alice;first text;Secret;1;KEY-A;101;abj", bob}},
        // The safe rewrite's every step is failed in fw; one failing step shows the file and the object agree.
        {"a rewrite that fails", [](CAppUserDic& d) {
             CFaultyFileSystem fs;
             fs.Fail(CFaultyFileSystem::move, ERROR_IO_DEVICE);
             CFileSystemOverride scope(fs);
             EXPECT_THROW(d.DelUserWholeInfo("Bob"), CFileException);
             return 0;
         }, 0, {alice, bob}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteRaw(m_path, DictionaryImage({alice, bob})));
        ASSERT_EQ(1, m_dic.SetUserDicFilePath(m_path));
        EXPECT_EQ(c.result, c.change(m_dic)) << c.what;
        EXPECT_EQ(c.records, StoredRecords(m_path)) << c.what;
        CStringArray ids;
        m_dic.GetUserIDList(ids);
        Strings held;
        for (int i = 0; i < ids.GetSize(); ++i)
            held.push_back(m_dic.GetUserWholeInfo(ids[i]).str());
        EXPECT_EQ(c.records, held) << c.what;
    }
}

// The verifiers, and the setters with an unknown user: nothing found, nothing written.
// The four field verifiers share one byte-for-byte comparison: one mismatch shows it.
TEST_F(UserDicTest, IdsMatchWithoutCaseValuesByteForByteAndNobodyGetsNothing)
{
    AddBob();
    AddAlice();
    using Verify = int (CAppUserDic::*)(CString, CString);
    const struct {
        Verify verify;
        const char* id;
        const char* value;
        int expected;
    } verifies[] = {
        {&CAppUserDic::VerifyPassWord, "aLICE", "Secret", 1}, {&CAppUserDic::VerifyPassWord, "Alice", "secret", -1},
        {&CAppUserDic::VerifyPassWord, "bob", "p", 0}, {&CAppUserDic::VerifyCertiKey, "ALICE", "KEY-A", 1},
        {&CAppUserDic::VerifyAuthority, "alice", "101", 1}, {&CAppUserDic::VerifyGroupInfo, "alice", "1", 1},
        {&CAppUserDic::VerifyNick, "alice", "ABJ", 1}, {&CAppUserDic::VerifyNick, "alice", "acj", -1},
        {&CAppUserDic::VerifyPassWord, "Alicia", "Secret", -1}, {&CAppUserDic::VerifyNick, "Alicia", "aaj", -1},
        {&CAppUserDic::SetPassWord, "Alicia", "x", 0}, {&CAppUserDic::SetNick, "Alicia", "x", 0},
        {&CAppUserDic::DelNick, "Alicia", "aaj", 0},
    };
    const std::string before = ReadRaw(m_path);
    for (const auto& c : verifies)
        EXPECT_EQ(c.expected, (m_dic.*c.verify)(c.id, c.value)) << c.id << " " << c.value;
    EXPECT_EQ(before, ReadRaw(m_path));

    // The field getters share one lookup (one row); the other getters are read where they are used.
    EXPECT_EQ("1", m_dic.GetGroupInfo("ALICE").str());
    EXPECT_EQ("", (m_dic.GetPassWord("Alicia") + m_dic.GetUserWholeInfo("Alicia")).str());
    CStringArray nicks;
    CAppUserDic::USER_DICTIONARY dictionary;
    EXPECT_EQ(0, m_dic.GetNickList("Alicia", nicks) + m_dic.GetUserInfo("Alicia", dictionary) + nicks.GetSize());
}

TEST_F(UserDicTest, DoubleByteCharactersAreNeverCaseFoldedAndSixNicksCount)
{
    const CString idA = CString(kKatakanaA) + "x";
    const CString idDi = CString(kKatakanaDi) + "x";
    // The second create finds no user, a field check never reads the other
    // user's record, and a single-byte letter behind a double-byte one still folds.
    ASSERT_EQ(1, m_dic.CreateUser("t", idA, "K1", "p1", 0, 1, 1, 1, ""));
    EXPECT_EQ(1, m_dic.CreateUser("t", idDi, "K2", "p2", 0, 1, 1, 1, ""));
    EXPECT_EQ(-1, m_dic.VerifyPassWord(idA, "p2"));
    EXPECT_EQ(0, m_dic.VerifyUserInfo(CString(kKatakanaA) + "X"));

    // Only the first six nicks count, except in the nick list.
    const CString seven = "aaj,abj,acj,adj,aej,afj,agj";
    ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p", 0, 1, 1, 1, seven));
    EXPECT_EQ(5, m_dic.VerifyNick("Bob", "afj"));
    EXPECT_EQ(-1, m_dic.VerifyNick("Bob", "agj"));
    CStringArray nicks;
    ASSERT_EQ(1, m_dic.GetNickList("bob", nicks));
    EXPECT_EQ(7, nicks.GetSize());
    // Deleting a nick that is not there still drops the seventh.
    ASSERT_EQ(1, m_dic.DelNick("Bob", "zzz"));
    EXPECT_EQ("aaj,abj,acj,adj,aej,afj", m_dic.GetVoiceList("Bob").str());

    ASSERT_EQ(1, m_dic.SetVoiceList("Bob", ""));
    EXPECT_EQ(0, m_dic.VerifyNick("Bob", ""));   // an empty list has one empty entry
    ASSERT_EQ(1, m_dic.SetNick("Bob", "aej"));
    EXPECT_EQ(",aej", m_dic.GetVoiceList("Bob").str());
}

// The fields GetUser gives, joined for comparison; the authority as three digits.
std::string Joined(const CAppUserDic::USER_INFORMATION& info)
{
    return (info.strUserID + ";" + info.strUserText + ";" + info.strPassword + ";").str() +
           std::to_string(info.nGroup) + ";" + info.strCertiKey.str() + ";" + std::to_string(info.bAllowLogon) +
           std::to_string(info.bAllowEncrypt) + std::to_string(info.bAllowDecrypt);
}

// GetUser reads both record shapes alike, group 1 only from exactly "1" and
// a missing authority digit as 0, and appends the nicks; GetUserInfo reads
// the group as a number.
TEST_F(UserDicTest, GetUserReadsBothShapesAlikeAndAppendsTheNicks)
{
    AddAlice();
    AddBob();
    CAppUserDic::USER_INFORMATION terminated;
    ASSERT_EQ(1, m_dic.GetUser("ALICE", terminated));
    EXPECT_EQ("Alice;first text;Secret;1;KEY-A;101", Joined(terminated));
    ASSERT_EQ(1, m_dic.SetPassWord("Alice", "Secret"));   // now the joined shape
    CAppUserDic::USER_INFORMATION joined;
    joined.arrNicks.Add("kept");
    ASSERT_EQ(1, m_dic.GetUser("alice", joined));
    EXPECT_EQ("Alice;first text;Secret;1;KEY-A;101", Joined(joined));
    EXPECT_EQ(Strings({"kept", "aaj", "abj"}), Items(joined.arrNicks));

    ASSERT_EQ(1, m_dic.SetGroupInfo("Bob", "01"));
    ASSERT_EQ(1, m_dic.SetAuthority("Bob", "1"));
    CAppUserDic::USER_INFORMATION bob;
    ASSERT_EQ(1, m_dic.GetUser("Bob", bob));
    EXPECT_EQ("Bob;t;p;0;K;100", Joined(bob));
    CAppUserDic::USER_DICTIONARY dict;
    ASSERT_EQ(1, m_dic.GetUserInfo("bob", dict));
    EXPECT_EQ(1, dict.nGroup);
    EXPECT_EQ("Bob;t;p;K;1;acj", (dict.strUserID + ";" + dict.strUserText + ";" + dict.strPassword + ";" +
                                  dict.strCertiKey + ";" + dict.strAuthority + ";" + dict.strVoiceList).str());
}

// Lengths past the end are the record reader's (tests/fw); empty entries are damage here.
TEST(UserDicImage, DamageEndsTheListWithTheEntriesBeforeIt)
{
    const std::string good = WordBytes(3) + "abc";
    const struct {
        const char* what;
        std::string tail;
        int whole;
    } cases[] = {
        {"no damage", WordBytes(1) + "z", 1},
        {"zero length", WordBytes(0) + WordBytes(1) + "q", 0},
        {"zero byte inside the cipher text", WordBytes(3) + std::string("a\0b", 3), 0},
    };
    for (const auto& c : cases) {
        const std::string image = good + c.tail;
        CStringArray out;
        const auto* bytes = reinterpret_cast<const unsigned char*>(image.data());
        EXPECT_EQ(c.whole, CAppUserDic::ParseDicImage(bytes, image.size(), out)) << c.what;
        EXPECT_EQ(c.whole ? Strings({"abc", "z"}) : Strings({"abc"}), Items(out)) << c.what;
    }
}

// A changed cipher text is an entry that names nobody: no ID matches it, not
// even the empty one, and every rewrite keeps its bytes as they were, in its
// place among the users; so are bytes that cannot be framed, behind them.
TEST_F(UserDicTest, DamagedEntriesAndTailMatchNobodyAndAreKeptAsTheyWere)
{
    std::string image =
        DictionaryImage({"u1;a;p;0;k;111;aaj;", "u2;a;p;0;k;111;abj;", "u3;a;p;0;k;111;acj;"});
    const size_t second = 4 + Word(image, 0);
    image[second + 14] = image[second + 14] == 'A' ? 'B' : 'A';
    const std::string damaged = image.substr(second, 4 + Word(image, second));
    const std::string tail = WordBytes(999) + "xx";
    ASSERT_TRUE(WriteRaw(m_path, image + tail));
    ASSERT_EQ(1, m_dic.SetUserDicFilePath(m_path));
    CStringArray ids;
    m_dic.GetUserIDList(ids);
    EXPECT_EQ(Strings({"u1", "", "u3"}), Items(ids));
    EXPECT_EQ(-1, m_dic.VerifyUserInfo(""));
    EXPECT_EQ(-1, m_dic.VerifyPassWord("", ""));
    EXPECT_EQ(0, m_dic.SetPassWord("", "taken over"));
    EXPECT_EQ(2, m_dic.VerifyPassWord("U3", "p"));
    ASSERT_EQ(1, m_dic.DelUserWholeInfo("u1"));
    ASSERT_EQ(1, m_dic.CreateUser("t", "u4", "K", "p", 0, 1, 1, 1, ""));
    const std::string stored = ReadRaw(m_path);
    EXPECT_NE(std::string::npos, stored.find(damaged));
    EXPECT_EQ(tail, stored.substr(stored.size() - tail.size()));
    EXPECT_EQ(Strings({"", "u3;a;p;0;k;111;acj;", "u4;t;p;0;K;111;;", "<damaged>"}), StoredRecords(m_path));
}

TEST_F(UserDicTest, AFailedLoadKeepsTheUsersBeforeTheFailureAndLeadsToNoRewrite)
{
    // Enough users that the file takes several reads.
    Strings records;
    for (int i = 0; i < 3000; ++i)
        records.push_back("user" + std::to_string(i) + ";text;pw;0;key;111;aaj;");
    const std::string image = DictionaryImage(records);
    ASSERT_TRUE(WriteRaw(m_path, image));
    CFaultyFileSystem fs;
    fs.Watch(L"users.dic");
    fs.FailCall(CFaultyFileSystem::read, 2, ERROR_READ_FAULT);
    {
        CFileSystemOverride scope(fs);
        EXPECT_EQ(1, m_dic.SetUserDicFilePath(m_path));
        CStringArray ids;
        m_dic.GetUserIDList(ids);
        ASSERT_GT(ids.GetSize(), 0);
        ASSERT_LT(ids.GetSize(), 3000);
        EXPECT_EQ("user" + std::to_string(ids.GetSize() - 1), ids[ids.GetSize() - 1].str());
        fs.FailFrom(CFaultyFileSystem::read, 2, ERROR_READ_FAULT);
        EXPECT_THROW(m_dic.SetPassWord("user0", "changed"), CFileException);
    }
    EXPECT_EQ(image, ReadRaw(m_path));
    // Once the file reads again, a change works.
    EXPECT_EQ(1, m_dic.SetPassWord("user0", "changed"));

    // A dictionary that could not be opened was never loaded: nothing is written to it.
    CAppUserDic unopened;
    {
        CFaultyFileSystem fs;
        fs.Watch(L"users.dic");
        fs.Fail(CFaultyFileSystem::open, ERROR_NETNAME_DELETED);
        CFileSystemOverride scope(fs);
        EXPECT_THROW(unopened.SetUserDicFilePath(m_path), CFileException);
    }
    const std::string loaded = ReadRaw(m_path);
    EXPECT_ANY_THROW(unopened.CreateUser("t", "new", "K", "p", 0, 1, 1, 1, ""));
    EXPECT_EQ(loaded, ReadRaw(m_path));
}

} // namespace
