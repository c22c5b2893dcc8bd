// Shift-JIS paths, as the dialog passes them: "能" (0x94 0x5C) ends in the
// code of the backslash, which is no separator there.
#include "AnsiFileSystem.h"
#include "EngineTestData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(AnsiFileSystem, AFolderIsJoinedWithOneSeparatorWhateverItsLastCharacter)
{
    const std::string kSep(1, CAnsiFileSystem::kSeparator);
    const struct {
        const char* what;
        std::string dir, joined;
    } cases[] = {
        {"plain", "C:\\app", "C:\\app" + kSep + "work"},
        {"backslash", "C:\\app\\", "C:\\app\\work"},
        {"slash", "/tmp/app/", "/tmp/app/work"},
        {"empty", "", "work"},
        {"ends in 0x94 0x5C", "C:\\\x8B\x40\x94\x5C", "C:\\\x8B\x40\x94\x5C" + kSep + "work"},
        {"0x94 0x5C, then a separator", "C:\\\x94\x5C\\", "C:\\\x94\x5C\\work"},
        {"0x5C alone after a double-byte one", "C:\\\x8B\x40\\", "C:\\\x8B\x40\\work"},
        {"a lead byte at the very end", "C:\\a\x94", "C:\\a\x94" + kSep + "work"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.joined, CAnsiFileSystem::Join(c.dir, "work")) << c.what;
        EXPECT_EQ(c.joined.size() == c.dir.size() + 4 && !c.dir.empty(), CAnsiFileSystem::EndsWithSeparator(c.dir))
            << c.what;
    }
}

TEST(AnsiFileSystem, ReplacePutsTheNewFileInPlaceOrLeavesBothAsTheyWere)
{
    // "日本" in Shift-JIS.
    const std::string dir = sonvera_test::MakeTempDir("replace") + "/\x93\xFA\x96\x7B";
    ASSERT_TRUE(CAnsiFileSystem::MakeFolder(dir));
    ASSERT_TRUE(CAnsiFileSystem::MakeFolder(dir)) << "an existing folder is fine";
    const std::string path = dir + "/aaj.bin", tmp = path + ".tmp";
    using Bytes = std::vector<unsigned char>;
    ASSERT_TRUE(sonvera_test::WriteBytes(path, {1, 2, 3}));
    ASSERT_TRUE(sonvera_test::WriteBytes(tmp, {7, 8, 9}));
    ASSERT_TRUE(CAnsiFileSystem::Replace(tmp, path));
    EXPECT_EQ((Bytes{7, 8, 9}), sonvera_test::ReadBytes(path));
    EXPECT_TRUE(sonvera_test::ReadBytes(tmp).empty());
    // Without a finished temporary file the old one stays as it was.
    EXPECT_FALSE(CAnsiFileSystem::Replace(tmp, path));
    EXPECT_EQ((Bytes{7, 8, 9}), sonvera_test::ReadBytes(path));
    // Into a folder that does not exist nothing moves.
    ASSERT_TRUE(sonvera_test::WriteBytes(tmp, {5}));
    EXPECT_FALSE(CAnsiFileSystem::Replace(tmp, dir + "/missing/aaj.bin"));
    EXPECT_EQ(Bytes{5}, sonvera_test::ReadBytes(tmp));
    EXPECT_FALSE(CAnsiFileSystem::MakeFolder(dir + "/missing/work"));
}
