// The user dictionary's file going wrong: damaged images load the entries
// before the damage and keep the rest, a failed load never leads to a
// rewrite, and a failed rewrite leaves the file and the object as they were.
#include "UserDataTestSupport.h"

#include <functional>

namespace {

using sonvera_test::CFaultyFileSystem;
using sonvera_test::DictionaryImage;
using sonvera_test::StoredRecords;
using sonvera_test::Strings;
using sonvera_test::Texts;
using sonvera_test::WordBytes;

int Parse(const std::string& image, CStringArray& out)
{
    return CAppUserDic::ParseDicImage(reinterpret_cast<const unsigned char*>(image.data()), image.size(), out);
}

TEST(UserDicImage, DamageEndsTheListWithTheEntriesBeforeIt)
{
    const std::string good = WordBytes(3) + "abc";
    const struct {
        const char* what;
        std::string tail;
        int whole;
    } cases[] = {
        {"no damage", WordBytes(1) + "z", 1},
        {"length past the end", WordBytes(100) + "short", 0},
        {"length near 4 GiB", WordBytes(0xFFFFFFF0ul) + "x", 0},
        {"length word cut short", std::string("\x05\x00", 2), 0},
        {"zero length", WordBytes(0) + WordBytes(1) + "q", 0},
        {"zero byte inside the cipher text", WordBytes(3) + std::string("a\0b", 3), 0},
    };
    for (const auto& c : cases) {
        CStringArray out;
        EXPECT_EQ(c.whole, Parse(good + c.tail, out)) << c.what;
        EXPECT_EQ(c.whole ? Strings({"abc", "z"}) : Strings({"abc"}), Texts(out)) << c.what;
    }
}

TEST(UserDicImage, EveryCutOfAValidImageKeepsTheWholeEntriesBeforeTheCut)
{
    const std::string image = WordBytes(2) + "ab" + WordBytes(4) + "cdef" + WordBytes(1) + "g";
    for (size_t cut = 0; cut <= image.size(); ++cut) {
        CStringArray out;
        const int whole = Parse(image.substr(0, cut), out);
        EXPECT_EQ(cut >= 19 ? 3 : cut >= 14 ? 2 : cut >= 6 ? 1 : 0, out.GetSize()) << cut;
        EXPECT_EQ(cut == 0 || cut == 6 || cut == 14 || cut == 19 ? 1 : 0, whole) << cut;
    }
}

class UserDicFileTest : public sonvera_test::UserDicTest {
protected:
    // Loads the image with a fresh object and gives the IDs it holds.
    Strings LoadIds(const std::string& image)
    {
        EXPECT_TRUE(sonvera_test::WriteRaw(m_path, image));
        CAppUserDic dic;
        EXPECT_EQ(1, dic.SetUserDicFilePath(m_path));
        CStringArray ids;
        dic.GetUserIDList(ids);
        return Texts(ids);
    }

    const std::string m_u1 = "u1;a;p;0;k;111;aaj;";
    const std::string m_u2 = "u2;a;p;0;k;111;abj;";
};

TEST_F(UserDicFileTest, AnImageCutShortLoadsTheUsersBeforeTheCut)
{
    const std::string good = DictionaryImage({m_u1, m_u2});
    const std::string third = DictionaryImage({"u3;a;p;0;k;111;acj;"});
    for (const std::string& tail : {WordBytes(0x7FFFFFFF) + "garbage", third.substr(0, third.size() - 7), third.substr(0, 2)})
        EXPECT_EQ(Strings({"u1", "u2"}), LoadIds(good + tail));
    EXPECT_EQ(Strings(), LoadIds(sonvera_test::PatternBytes(5000, 7)));
}

// A changed cipher text is an entry that names nobody: no ID matches it, not
// even the empty one, and every rewrite keeps its bytes as they were; so are
// bytes that cannot be framed, behind the users.
TEST_F(UserDicFileTest, DamagedEntriesAndTailMatchNobodyAndAreKeptAsTheyWere)
{
    std::string image = DictionaryImage({m_u1, m_u2, "u3;a;p;0;k;111;acj;"});
    const size_t second = 4 + sonvera_test::Word(image, 0);
    image[second + 14] = image[second + 14] == 'A' ? 'B' : 'A';
    const std::string damaged = image.substr(second, 4 + sonvera_test::Word(image, second));
    const std::string tail = WordBytes(999) + "xx";
    EXPECT_EQ(Strings({"u1", "", "u3"}), LoadIds(image + tail));

    CAppUserDic dic;
    dic.SetUserDicFilePath(m_path);
    EXPECT_EQ(-1, dic.VerifyUserInfo(""));
    EXPECT_EQ(-1, dic.VerifyPassWord("", ""));
    CAppUserDic::USER_INFORMATION info;
    EXPECT_EQ(0, dic.GetUser("", info));
    EXPECT_EQ(0, dic.SetPassWord("", "taken over"));
    EXPECT_EQ(2, dic.VerifyPassWord("U3", "p"));
    ASSERT_EQ(1, dic.SetPassWord("u1", "q"));
    ASSERT_EQ(1, dic.CreateUser("t", "u4", "K", "p", 0, 1, 1, 1, ""));
    const std::string stored = sonvera_test::ReadRaw(m_path);
    EXPECT_NE(std::string::npos, stored.find(damaged));
    EXPECT_EQ(tail, stored.substr(stored.size() - tail.size()));
    const Strings records = StoredRecords(m_path);
    ASSERT_EQ(5u, records.size());
    EXPECT_EQ("u1;a;q;0;k;111;aaj", records[0]);
    EXPECT_EQ("", records[1]);
    EXPECT_EQ(Strings({"u3;a;p;0;k;111;acj;", "u4;t;p;0;K;111;;", "<damaged>"}), Strings(records.begin() + 2, records.end()));
}

TEST_F(UserDicFileTest, AReadErrorDuringTheLoadKeepsTheUsersBeforeItAndRefusesChanges)
{
    // Enough users that the file takes several reads.
    Strings records;
    for (int i = 0; i < 3000; ++i)
        records.push_back("user" + std::to_string(i) + ";text;pw;0;key;111;aaj;");
    const std::string image = DictionaryImage(records);
    ASSERT_TRUE(sonvera_test::WriteRaw(m_path, image));
    CFaultyFileSystem fs;
    fs.Watch(L"users.dic");
    fs.FailCall(CFaultyFileSystem::read, 2, ERROR_READ_FAULT);
    CAppUserDic dic;
    {
        CFileSystemOverride scope(fs);
        EXPECT_EQ(1, dic.SetUserDicFilePath(m_path));
        CStringArray ids;
        dic.GetUserIDList(ids);
        ASSERT_GT(ids.GetSize(), 0);
        ASSERT_LT(ids.GetSize(), 3000);
        EXPECT_EQ("user" + std::to_string(ids.GetSize() - 1), ids[ids.GetSize() - 1].str());
        fs.FailFrom(CFaultyFileSystem::read, 2, ERROR_READ_FAULT);
        EXPECT_THROW(dic.SetPassWord("user0", "changed"), CFileException);
    }
    EXPECT_EQ(image, sonvera_test::ReadRaw(m_path));
    // Once the file reads again, a change works on every user it holds.
    ASSERT_EQ(1, dic.SetPassWord("user0", "changed"));
    const Strings stored = StoredRecords(m_path);
    ASSERT_EQ(3000u, stored.size());
    EXPECT_EQ("user0;text;changed;0;key;111;aaj", stored[0]);
    EXPECT_EQ(records[2999], stored[2999]);
}

// A dictionary that could not be opened was never loaded: nothing is written to it.
TEST_F(UserDicFileTest, AFailedOpenLeadsToNoRewrite)
{
    const std::string image = DictionaryImage({m_u1, m_u2});
    ASSERT_TRUE(sonvera_test::WriteRaw(m_path, image));
    CAppUserDic dic;
    {
        CFaultyFileSystem fs;
        fs.Watch(L"users.dic");
        fs.Fail(CFaultyFileSystem::open, ERROR_NETNAME_DELETED);
        CFileSystemOverride scope(fs);
        EXPECT_THROW(dic.SetUserDicFilePath(m_path), CFileException);
    }
    EXPECT_ANY_THROW(dic.CreateUser("t", "new", "K", "p", 0, 1, 1, 1, ""));
    EXPECT_EQ(image, sonvera_test::ReadRaw(m_path));
    ASSERT_TRUE(CreateDirectoryA(m_folder.File("folder.dic"), nullptr));
    EXPECT_THROW(dic.SetUserDicFilePath(m_folder.File("folder.dic")), CFileException);
}

// The safe rewrite's every step is proved in fw; here one failing step per
// operation shows the file, the object and a fresh object still agree.
TEST_F(UserDicFileTest, AFailedRewriteLeavesTheOldDictionaryEverywhere)
{
    AddAlice();
    AddBob();
    const std::string before = sonvera_test::ReadRaw(m_path);
    const Strings records = StoredRecords(m_path);
    const struct {
        const char* what;
        CFaultyFileSystem::Step step;
        DWORD error;
        std::function<void()> change;
    } cases[] = {
        {"password at the flush", CFaultyFileSystem::flush, ERROR_IO_DEVICE, [this] { m_dic.SetPassWord("Alice", "x"); }},
        {"create on a full disk", CFaultyFileSystem::write, ERROR_DISK_FULL,
         [this] { m_dic.CreateUser("t", "Carol", "K", "p", 0, 1, 1, 1, ""); }},
        {"delete at the replace", CFaultyFileSystem::move, ERROR_IO_DEVICE, [this] { m_dic.DelUserWholeInfo("Bob"); }},
    };
    for (const auto& c : cases) {
        CFaultyFileSystem fs;
        fs.Watch(L".~tmp");
        fs.Fail(c.step, c.error);
        {
            CFileSystemOverride scope(fs);
            EXPECT_THROW(c.change(), CFileException) << c.what;
        }
        EXPECT_EQ(1, fs.Failures()) << c.what;
        EXPECT_EQ(before, sonvera_test::ReadRaw(m_path)) << c.what;
        ExpectEverywhere(records, c.what);
        EXPECT_EQ(1u, m_folder.Entries().size()) << c.what;
    }
    ASSERT_EQ(1, m_dic.SetPassWord("Alice", "changed"));
    EXPECT_EQ("changed", CAppUserDic::GetField(CString(Reloaded()[0]), 2).str());
}

} // namespace
