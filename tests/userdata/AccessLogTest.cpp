// result.log: the line format, appending, a line torn by a crash, and a log
// that cannot be written never troubling the caller.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"
#include "userdata/AccessLog.h"

namespace {

using sonvera_test::ReadRaw;
using sonvera_test::WriteRaw;

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    return SYSTEMTIME{year, month, 0, day, hour, minute, second, 0};
}

TEST(AccessLog, LinesNameTimeUserPurposeAndVerdict)
{
    const struct {
        SYSTEMTIME when;
        const char* user;
        int purpose, accepted;
        const char* line;
    } cases[] = {
        {At(2004, 12, 31, 23, 59, 7), "taro", 0, 1, "[04-12-31 23:59:07] taro : Logon : Accept"},
        {At(2024, 2, 29, 12, 0, 59), "x", -1, 5, "[24-02-29 12:00:59] x : User : Accept"},   // out of range
        // A line break in the ID would start a forged line of its own.
        {At(2005, 1, 1, 0, 0, 2), "x\r\n[05-01-01 00:00:03] admin\t", 0, 0,
         "[05-01-01 00:00:02] x??[05-01-01 00:00:03] admin? : Logon : Denied"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.line, CAccessLog::FormatLine(c.when, c.user, c.purpose, c.accepted).str());
}

// A line torn by a crash is ended and kept.
TEST(AccessLog, TheFileIsCreatedAppendedToAndSkippedWhenItCannotBeWritten)
{
    sonvera_test::CTempFolder folder;
    const std::string path = folder.File("result.log").str();
    CAccessLog log(path.c_str());
    EXPECT_EQ(1, log.AppendAt(At(2004, 12, 31, 23, 59, 7), "taro", 0, 1));
    EXPECT_EQ(1, log.Append("jiro", 2, 0));   // now, in local time
    const std::string text = ReadRaw(path);
    ASSERT_EQ(43u + 45u, text.size());
    EXPECT_EQ("] jiro : Decrypt : Denied\r\n", text.substr(43 + 18));

    ASSERT_TRUE(WriteRaw(path, text + "[05-01-01 00:0"));
    ASSERT_EQ(1, log.AppendAt(At(2005, 1, 1, 0, 0, 2), "jiro", 0, 0));
    EXPECT_EQ(text + "[05-01-01 00:0\r\n[05-01-01 00:00:02] jiro : Logon : Denied\r\n", ReadRaw(path));

    // A log that cannot be written is skipped and keeps its lines.
    ASSERT_TRUE(CreateDirectoryA(folder.File("folder.log"), nullptr));   // a folder where the file should be
    EXPECT_EQ(0, CAccessLog(folder.File("folder.log")).Append("taro", 0, 1));

    const std::string before = ReadRaw(path);
    sonvera_test::CFaultyFileSystem full;
    full.Watch(L"result.log");
    full.Fail(sonvera_test::CFaultyFileSystem::write, ERROR_DISK_FULL);
    {
        CFileSystemOverride scope(full);
        EXPECT_EQ(0, log.Append("jiro", 0, 0));
    }
    EXPECT_EQ(before, ReadRaw(path));
}

}  // namespace
