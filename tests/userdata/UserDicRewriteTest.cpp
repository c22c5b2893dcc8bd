// An interrupted rewrite of the user dictionary: each step of the safe
// replacement fails in turn, and the previous dictionary is found whole, in
// the file and in the object, with no temporary file left behind.
#include "UserDicTestSupport.h"

#include "fw/SafeFileWriter.h"

using udtest::FaultyFileSystem;
using udtest::StoredRecords;

namespace {

using Strings = std::vector<std::string>;

struct FaultCase {
    FaultyFileSystem::Fault fault;
    const char* name;
};

const FaultCase kFaults[] = {
    {FaultyFileSystem::failOpen, "open of the temporary file"},
    {FaultyFileSystem::shortWriteThenError, "short write, then a write error"},
    {FaultyFileSystem::diskFull, "disk full"},
    {FaultyFileSystem::failFlush, "flush"},
    {FaultyFileSystem::failMove, "replace"},
};

class RewriteFaultTest : public udtest::UserDicTest {
protected:
    void SetUp() override
    {
        udtest::UserDicTest::SetUp();
        AddAlice();
        ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p", 0, 1, 1, 1, "acj"));
        m_before = sonvera_test::ReadRaw(m_path);
        m_records = StoredRecords(m_path);
    }

    // Runs one change under the fault and checks that nothing of it stuck.
    template <typename Change>
    void ExpectOldDictionaryAfter(const FaultCase& fault, Change change)
    {
        FaultyFileSystem fs(fault.fault, L".~tmp");
        {
            CFileSystemOverride scope(fs);
            EXPECT_THROW(change(), CFileException) << fault.name;
        }
        EXPECT_EQ(1, fs.Triggered()) << fault.name;
        EXPECT_EQ(m_before, sonvera_test::ReadRaw(m_path)) << fault.name;
        EXPECT_EQ(m_records, Reloaded()) << fault.name;
        EXPECT_EQ(m_records[0], m_dic.GetUserWholeInfo("Alice").str()) << fault.name;
        EXPECT_EQ(m_records[1], m_dic.GetUserWholeInfo("Bob").str()) << fault.name;
        EXPECT_EQ(-1, m_dic.VerifyUserInfo("Carol")) << fault.name;
        EXPECT_EQ(1u, m_folder.Entries().size()) << fault.name;
    }

    std::string m_before;
    Strings m_records;
};

TEST_F(RewriteFaultTest, AFailedPasswordChangeLeavesTheOldDictionary)
{
    for (const FaultCase& fault : kFaults)
        ExpectOldDictionaryAfter(fault, [this] { m_dic.SetPassWord("Alice", "changed"); });
}

TEST_F(RewriteFaultTest, AFailedCreateLeavesTheOldDictionary)
{
    for (const FaultCase& fault : kFaults)
        ExpectOldDictionaryAfter(fault, [this] { m_dic.CreateUser("t", "Carol", "K", "p", 0, 1, 1, 1, ""); });
}

TEST_F(RewriteFaultTest, AFailedDeleteLeavesTheOldDictionary)
{
    for (const FaultCase& fault : kFaults)
        ExpectOldDictionaryAfter(fault, [this] { m_dic.DelUserWholeInfo("Bob"); });
}

TEST_F(RewriteFaultTest, AShortWriteThatIsFollowedUpStillWritesTheWholeFile)
{
    FaultyFileSystem fs(FaultyFileSystem::shortWriteOnly, L".~tmp");
    {
        CFileSystemOverride scope(fs);
        ASSERT_EQ(1, m_dic.SetPassWord("Alice", "changed"));
    }
    EXPECT_EQ(1, fs.Triggered());
    EXPECT_EQ(Strings({"Alice;first text;changed;1;KEY-A;101;aaj,abj", m_records[1]}), StoredRecords(m_path));
}

TEST_F(RewriteFaultTest, TheDictionaryWorksAgainOnceTheFaultIsGone)
{
    ExpectOldDictionaryAfter(kFaults[2], [this] { m_dic.SetPassWord("Alice", "changed"); });
    ASSERT_EQ(1, m_dic.SetPassWord("Alice", "changed"));
    EXPECT_EQ("changed", m_dic.GetPassWord("alice").str());
    EXPECT_EQ("changed", CAppUserDic::GetField(CString(Reloaded()[0]), 2).str());
}

TEST_F(RewriteFaultTest, ATemporaryFileLeftByACrashIsIgnoredAndRemoved)
{
    const CString leftover = CSafeFileWriter::TempPrefix(m_path) + "0000BEEF";
    ASSERT_TRUE(sonvera_test::WriteRaw(leftover, udtest::DictionaryImage({"Mallory;x;y;0;k;111;;"})));
    CAppUserDic dic;
    ASSERT_EQ(1, dic.SetUserDicFilePath(m_path));
    EXPECT_EQ(-1, dic.VerifyUserInfo("Mallory"));
    EXPECT_EQ(1, dic.VerifyUserInfo("Bob"));
    EXPECT_FALSE(udtest::Exists(leftover));
    EXPECT_EQ(1u, m_folder.Entries().size());
}

} // namespace
