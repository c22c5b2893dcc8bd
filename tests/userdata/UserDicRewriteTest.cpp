// An interrupted rewrite of the user dictionary: each step of the safe
// replacement fails in turn, and the previous dictionary is found whole, in
// the file and in the object, with no temporary file left behind.
#include "UserDicTestSupport.h"

#include "fw/SafeFileWriter.h"

using sonvera_test::CFaultyFileSystem;
using sonvera_test::StoredRecords;

namespace {

using Strings = std::vector<std::string>;

struct FaultCase {
    void (*arm)(CFaultyFileSystem& fs);
    const char* name;
};

const FaultCase kFaults[] = {
    {[](CFaultyFileSystem& fs) { fs.Fail(CFaultyFileSystem::create, ERROR_WRITE_PROTECT); }, "create of the temporary file"},
    {[](CFaultyFileSystem& fs) { fs.LimitWrites(40, ERROR_WRITE_FAULT); }, "short write, then a write error"},
    {[](CFaultyFileSystem& fs) { fs.LimitWrites(0, ERROR_DISK_FULL); }, "disk full"},
    {[](CFaultyFileSystem& fs) { fs.Fail(CFaultyFileSystem::flush, ERROR_IO_DEVICE); }, "flush"},
    {[](CFaultyFileSystem& fs) { fs.Fail(CFaultyFileSystem::move, ERROR_IO_DEVICE); }, "replace"},
};

class RewriteFaultTest : public sonvera_test::UserDicTest {
protected:
    void SetUp() override
    {
        sonvera_test::UserDicTest::SetUp();
        AddAlice();
        ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "K", "p", 0, 1, 1, 1, "acj"));
        m_before = sonvera_test::ReadRaw(m_path);
        m_records = StoredRecords(m_path);
    }

    // Runs one change under the fault and checks that nothing of it stuck.
    template <typename Change>
    void ExpectOldDictionaryAfter(const FaultCase& fault, Change change)
    {
        CFaultyFileSystem fs;
        fs.Watch(L".~tmp");
        fault.arm(fs);
        {
            CFileSystemOverride scope(fs);
            EXPECT_THROW(change(), CFileException) << fault.name;
        }
        EXPECT_EQ(1, fs.Failures()) << fault.name;
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
    CFaultyFileSystem fs;
    fs.Watch(L".~tmp");
    fs.writeChunk = 7;
    {
        CFileSystemOverride scope(fs);
        ASSERT_EQ(1, m_dic.SetPassWord("Alice", "changed"));
    }
    EXPECT_GT(fs.Calls(CFaultyFileSystem::write), 10);
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
    ASSERT_TRUE(sonvera_test::WriteRaw(leftover, sonvera_test::DictionaryImage({"Mallory;x;y;0;k;111;;"})));
    CAppUserDic dic;
    ASSERT_EQ(1, dic.SetUserDicFilePath(m_path));
    EXPECT_EQ(-1, dic.VerifyUserInfo("Mallory"));
    EXPECT_EQ(1, dic.VerifyUserInfo("Bob"));
    EXPECT_FALSE(sonvera_test::Exists(leftover));
    EXPECT_EQ(1u, m_folder.Entries().size());
}

} // namespace
