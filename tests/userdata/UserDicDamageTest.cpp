// Damaged user dictionaries: the entries before the damage load, nothing is
// read past the end, and no length is trusted before it is checked.
#include "UserDicTestSupport.h"

using sonvera_test::DictionaryImage;
using sonvera_test::Texts;
using sonvera_test::WordBytes;

namespace {

using Strings = std::vector<std::string>;

std::vector<unsigned char> Bytes(const std::string& text) { return std::vector<unsigned char>(text.begin(), text.end()); }

int Parse(const std::string& image, CStringArray& out)
{
    const std::vector<unsigned char> bytes = Bytes(image);
    return CAppUserDic::ParseDicImage(bytes.data(), bytes.size(), out);
}

TEST(UserDicImage, WellFormedEntriesAreReadInOrder)
{
    CStringArray out;
    EXPECT_EQ(1, Parse(WordBytes(3) + "abc" + WordBytes(1) + "z", out));
    EXPECT_EQ(Strings({"abc", "z"}), Texts(out));
    CStringArray none;
    EXPECT_EQ(1, CAppUserDic::ParseDicImage(nullptr, 0, none));
    EXPECT_EQ(0, none.GetSize());
}

TEST(UserDicImage, DamageEndsTheListWithTheEntriesBeforeIt)
{
    const std::string good = WordBytes(3) + "abc";
    const struct {
        const char* what;
        std::string tail;
    } cases[] = {
        {"length past the end", WordBytes(100) + "short"},
        {"length near 4 GiB", WordBytes(0xFFFFFFF0ul) + "x"},
        {"length word cut short", std::string("\x05\x00", 2)},
        {"zero length", WordBytes(0) + WordBytes(1) + "q"},
        {"zero byte inside the cipher text", WordBytes(3) + std::string("a\0b", 3)},
    };
    for (const auto& c : cases) {
        CStringArray out;
        EXPECT_EQ(0, Parse(good + c.tail, out)) << c.what;
        EXPECT_EQ(Strings({"abc"}), Texts(out)) << c.what;
    }
}

TEST(UserDicImage, EveryCutOfAValidImageKeepsTheWholeEntriesBeforeTheCut)
{
    const std::string image = WordBytes(2) + "ab" + WordBytes(4) + "cdef" + WordBytes(1) + "g";
    for (size_t cut = 0; cut <= image.size(); ++cut) {
        CStringArray out;
        const std::vector<unsigned char> bytes = Bytes(image.substr(0, cut));
        const int whole = CAppUserDic::ParseDicImage(bytes.data(), bytes.size(), out);
        const int expectedEntries = cut >= 19 ? 3 : cut >= 14 ? 2 : cut >= 6 ? 1 : 0;
        EXPECT_EQ(expectedEntries, out.GetSize()) << cut;
        EXPECT_EQ(cut == 0 || cut == 6 || cut == 14 || cut == 19 ? 1 : 0, whole) << cut;
    }
}

class DamagedFileTest : public ::testing::Test {
protected:
    // Loads the file with a fresh object and gives the IDs it holds.
    Strings LoadIds(const std::string& image)
    {
        EXPECT_TRUE(sonvera_test::WriteRaw(m_path, image));
        CAppUserDic dic;
        EXPECT_EQ(1, dic.SetUserDicFilePath(m_path));
        CStringArray ids;
        dic.GetUserIDList(ids);
        return Texts(ids);
    }

    sonvera_test::CTempFolder m_folder;
    CString m_path = m_folder.File("users.dic");
};

TEST_F(DamagedFileTest, ALengthPastTheEndKeepsTheUsersBeforeIt)
{
    const std::string good = DictionaryImage({"u1;a;p;0;k;111;aaj;", "u2;a;p;0;k;111;abj;"});
    EXPECT_EQ(Strings({"u1", "u2"}), LoadIds(good + WordBytes(0x7FFFFFFF) + "garbage"));
}

TEST_F(DamagedFileTest, ATruncatedRecordKeepsTheUsersBeforeIt)
{
    const std::string good = DictionaryImage({"u1;a;p;0;k;111;aaj;", "u2;a;p;0;k;111;abj;"});
    const std::string third = DictionaryImage({"u3;a;p;0;k;111;acj;"});
    EXPECT_EQ(Strings({"u1", "u2"}), LoadIds(good + third.substr(0, third.size() - 7)));
    EXPECT_EQ(Strings({"u1", "u2"}), LoadIds(good + third.substr(0, 2)));
}

// The entries of a dictionary file as they are stored, cipher texts undecrypted.
Strings RawEntries(const std::string& image)
{
    Strings entries;
    for (size_t pos = 0; pos + 4 <= image.size();) {
        const size_t length = sonvera_test::Word(image, pos);
        entries.push_back(image.substr(pos + 4, length));
        pos += 4 + length;
    }
    return entries;
}

// A changed cipher text is an entry that names nobody: no ID matches it, not
// even the empty one, and every rewrite keeps its bytes as they were. The
// whole entries behind it load.
TEST_F(DamagedFileTest, AnEntryThatDoesNotDecryptMatchesNothingAndIsKeptAsItWas)
{
    EXPECT_EQ(Strings(), LoadIds(sonvera_test::PatternBytes(5000, 7)));

    std::string image = DictionaryImage({"u1;a;p;0;k;111;aaj;", "u2;a;p;0;k;111;abj;", "u3;a;p;0;k;111;acj;"});
    const unsigned long first = sonvera_test::Word(image, 0);
    const size_t secondText = 4 + first + 4;
    image[secondText + 10] = image[secondText + 10] == 'A' ? 'B' : 'A';
    const std::string damaged = RawEntries(image)[1];
    EXPECT_EQ(Strings({"u1", "", "u3"}), LoadIds(image));

    CAppUserDic dic;
    dic.SetUserDicFilePath(m_path);
    EXPECT_EQ(-1, dic.VerifyUserInfo(""));
    EXPECT_EQ(-1, dic.VerifyPassWord("", ""));
    CAppUserDic::USER_INFORMATION info;
    EXPECT_EQ(0, dic.GetUser("", info));
    EXPECT_EQ(0, dic.SetPassWord("", "taken over"));
    EXPECT_EQ(2, dic.VerifyPassWord("U3", "p"));
    ASSERT_EQ(1, dic.SetPassWord("u1", "q"));
    const std::string stored = sonvera_test::ReadRaw(m_path);
    ASSERT_EQ(3u, RawEntries(stored).size());
    EXPECT_EQ(damaged, RawEntries(stored)[1]);
    EXPECT_EQ("u1;a;q;0;k;111;aaj", sonvera_test::StoredRecords(m_path)[0]);
    EXPECT_EQ("u3;a;p;0;k;111;acj;", sonvera_test::StoredRecords(m_path)[2]);
}

// Bytes that cannot be framed (a length past the end) are not a user either;
// they stay at the end of the file, behind the users.
TEST_F(DamagedFileTest, ADamagedTailStaysUsableAndIsKeptBehindTheUsers)
{
    const std::string good = DictionaryImage({"u1;a;p;0;k;111;aaj;"});
    const std::string tail = WordBytes(999) + "xx";
    ASSERT_TRUE(sonvera_test::WriteRaw(m_path, good + tail));
    CAppUserDic dic;
    dic.SetUserDicFilePath(m_path);
    ASSERT_EQ(1, dic.CreateUser("t", "u2", "K", "p", 0, 1, 1, 1, ""));
    EXPECT_EQ(Strings({"u1;a;p;0;k;111;aaj;", "u2;t;p;0;K;111;;", "<damaged>"}), sonvera_test::StoredRecords(m_path));
    const std::string stored = sonvera_test::ReadRaw(m_path);
    EXPECT_EQ(tail, stored.substr(stored.size() - tail.size()));
}

TEST_F(DamagedFileTest, AReadErrorDuringTheLoadKeepsTheUsersReadBeforeItAndIsNotRaised)
{
    // Enough users that the file takes several reads.
    std::vector<std::string> records;
    for (int i = 0; i < 3000; ++i)
        records.push_back("user" + std::to_string(i) + ";text;pw;0;key;111;aaj;");
    const std::string image = DictionaryImage(records);
    ASSERT_GT(image.size(), 2u * 64u * 1024u);
    ASSERT_TRUE(sonvera_test::WriteRaw(m_path, image));

    sonvera_test::CFaultyFileSystem fs;
    fs.Watch(L"users.dic");
    fs.FailCall(sonvera_test::CFaultyFileSystem::read, 2, ERROR_READ_FAULT);
    CAppUserDic dic;
    {
        CFileSystemOverride scope(fs);
        EXPECT_EQ(1, dic.SetUserDicFilePath(m_path));
    }
    ASSERT_EQ(1, fs.Failures());
    CStringArray ids;
    dic.GetUserIDList(ids);
    ASSERT_GT(ids.GetSize(), 0);
    ASSERT_LT(ids.GetSize(), 3000);
    for (int i = 0; i < ids.GetSize(); ++i)
        ASSERT_EQ("user" + std::to_string(i), ids[i].str());
    EXPECT_EQ(image, sonvera_test::ReadRaw(m_path));

    // A change made while the file still cannot be read is refused; one made
    // once it can works on every user the file holds.
    {
        sonvera_test::CFaultyFileSystem again;
        again.Watch(L"users.dic");
        again.FailCall(sonvera_test::CFaultyFileSystem::read, 2, ERROR_READ_FAULT);
        CFileSystemOverride scope(again);
        EXPECT_THROW(dic.SetPassWord("user0", "changed"), CFileException);
    }
    EXPECT_EQ(image, sonvera_test::ReadRaw(m_path));
    ASSERT_EQ(1, dic.SetPassWord("user0", "changed"));
    const Strings stored = sonvera_test::StoredRecords(m_path);
    ASSERT_EQ(3000u, stored.size());
    EXPECT_EQ("user0;text;changed;0;key;111;aaj", stored[0]);
    EXPECT_EQ("user2999;text;pw;0;key;111;aaj;", stored[2999]);
}

// A dictionary that could not be opened was never loaded: nothing is written
// to it, and the users it holds stay.
TEST_F(DamagedFileTest, AFailedLoadLeadsToNoRewrite)
{
    const std::string image = DictionaryImage({"u1;a;p;0;k;111;aaj;", "u2;a;p;0;k;111;abj;", "u3;a;p;0;k;111;acj;"});
    ASSERT_TRUE(sonvera_test::WriteRaw(m_path, image));
    CAppUserDic dic;
    {
        sonvera_test::CFaultyFileSystem fs;
        fs.Watch(L"users.dic");
        fs.Fail(sonvera_test::CFaultyFileSystem::open, ERROR_NETNAME_DELETED);
        CFileSystemOverride scope(fs);
        EXPECT_THROW(dic.SetUserDicFilePath(m_path), CFileException);
    }
    try {
        EXPECT_EQ(0, dic.CreateUser("t", "new", "K", "p", 0, 1, 1, 1, ""));
    } catch (const CFileException&) {
        // Refusing with the file error is as good.
    }
    EXPECT_EQ(image, sonvera_test::ReadRaw(m_path));
}

TEST_F(DamagedFileTest, AFolderInPlaceOfTheFileIsAFileErrorForTheCaller)
{
    ASSERT_TRUE(CreateDirectoryA(m_path, nullptr));
    CAppUserDic dic;
    EXPECT_THROW(dic.SetUserDicFilePath(m_path), CFileException);
}

} // namespace
