// result.log: the line format, appending, a line torn by a crash, and a log
// that cannot be written never troubling the caller.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "UserDataTestSupport.h"
#include "userdata/AccessLog.h"

namespace {

using sonvera_test::CTempFolder;
using sonvera_test::ReadRaw;
using sonvera_test::WriteRaw;

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME when = {};
    when.wYear = year;
    when.wMonth = month;
    when.wDay = day;
    when.wHour = hour;
    when.wMinute = minute;
    when.wSecond = second;
    return when;
}

struct LineCase {
    SYSTEMTIME when;
    const char* user;
    int purpose;
    int accepted;
    const char* line;
};

class AccessLogLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(AccessLogLine, IsFormattedAsTheLogReadersExpect)
{
    const LineCase& c = GetParam();
    EXPECT_EQ(c.line, CAccessLog::FormatLine(c.when, c.user, c.purpose, c.accepted).str());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AccessLogLine,
    ::testing::Values(LineCase{At(2004, 12, 31, 23, 59, 7), "taro", 0, 1, "[04-12-31 23:59:07] taro : Logon : Accept"},
                      LineCase{At(2000, 1, 2, 3, 4, 5), "taro", 1, 0, "[00-01-02 03:04:05] taro : Encrypt : Denied"},
                      LineCase{At(2019, 7, 8, 0, 0, 0), "Hanako", 2, 5, "[19-07-08 00:00:00] Hanako : Decrypt : Accept"},
                      LineCase{At(2024, 2, 29, 12, 0, 59), "x", 3, 0, "[24-02-29 12:00:59] x : Setting : Denied"},
                      LineCase{At(2024, 2, 29, 12, 0, 59), "x", 4, 1, "[24-02-29 12:00:59] x : User : Accept"},
                      LineCase{At(2024, 2, 29, 12, 0, 59), "x", 7, 1, "[24-02-29 12:00:59] x : User : Accept"},
                      LineCase{At(2024, 2, 29, 12, 0, 59), "x", -1, 1, "[24-02-29 12:00:59] x : User : Accept"},
                      LineCase{At(2024, 2, 29, 12, 0, 59), "", 0, 0, "[24-02-29 12:00:59]  : Logon : Denied"},
                      // "太郎" in Shift-JIS goes into the file unchanged.
                      LineCase{At(2005, 5, 5, 5, 5, 5), "\x91\xBE\x98\x59", 0, 1,
                               "[05-05-05 05:05:05] \x91\xBE\x98\x59 : Logon : Accept"}));

TEST(AccessLog, FirstWriteCreatesTheFileAndLaterOnesAppend)
{
    CTempFolder folder;
    CAccessLog log(folder.File("result.log"));
    EXPECT_EQ(1, log.AppendAt(At(2004, 12, 31, 23, 59, 7), "taro", 0, 1));
    EXPECT_EQ(1, log.AppendAt(At(2005, 1, 1, 0, 0, 1), "jiro", 2, 0));
    EXPECT_EQ("[04-12-31 23:59:07] taro : Logon : Accept\r\n"
              "[05-01-01 00:00:01] jiro : Decrypt : Denied\r\n",
              ReadRaw(folder.File("result.log")));
}

TEST(AccessLog, NowIsStampedInLocalTime)
{
    CTempFolder folder;
    SYSTEMTIME before;
    GetLocalTime(&before);
    ASSERT_EQ(1, CAccessLog(folder.File("result.log")).Append("taro", 0, 1));
    const std::string line = ReadRaw(folder.File("result.log"));
    char year[3] = {};
    ASSERT_EQ(1, sscanf(line.c_str(), "[%2c-", year));
    EXPECT_EQ(before.wYear % 100, atoi(year));
    EXPECT_EQ(std::string("] taro : Logon : Accept\r\n"), line.substr(18));
}

TEST(AccessLog, LineTornByACrashIsEndedAndKept)
{
    CTempFolder folder;
    const std::string torn = "[04-12-31 23:59:07] taro : Logon : Accept\r\n[05-01-01 00:0";
    ASSERT_TRUE(WriteRaw(folder.File("result.log").str(), torn));
    ASSERT_EQ(1, CAccessLog(folder.File("result.log")).AppendAt(At(2005, 1, 1, 0, 0, 2), "jiro", 0, 0));
    EXPECT_EQ(torn + "\r\n[05-01-01 00:00:02] jiro : Logon : Denied\r\n", ReadRaw(folder.File("result.log")));
}

TEST(AccessLog, UnwritableLogIsSkippedQuietly)
{
    CTempFolder folder;
    // A folder where the file should be: it cannot be opened.
    ASSERT_TRUE(CreateDirectoryA(folder.File("result.log"), nullptr));
    EXPECT_EQ(0, CAccessLog(folder.File("result.log")).Append("taro", 0, 1));
    EXPECT_EQ(0, CAccessLog(folder.File("missing\\result.log")).Append("taro", 0, 1));
}

TEST(AccessLog, FullDiskKeepsTheLinesAlreadyThere)
{
    CTempFolder folder;
    const std::string before = "[04-12-31 23:59:07] taro : Logon : Accept\r\n";
    ASSERT_TRUE(WriteRaw(folder.File("result.log").str(), before));
    udtest::FaultyFileSystem full(udtest::FaultyFileSystem::diskFull, L"result.log");
    {
        CFileSystemOverride scope(full);
        EXPECT_EQ(0, CAccessLog(folder.File("result.log")).Append("jiro", 0, 0));
    }
    EXPECT_EQ(1, full.Triggered());
    EXPECT_EQ(before, ReadRaw(folder.File("result.log")));
}

}  // namespace
