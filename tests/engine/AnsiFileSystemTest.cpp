// Shift-JIS paths, as the dialog passes them: "能" (0x94 0x5C) ends in the
// code of the backslash, which is no separator there.
#include "AnsiFileSystem.h"

#include <gtest/gtest.h>

#include <string>

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
    for (const auto& c : cases) EXPECT_EQ(c.joined, CAnsiFileSystem::Join(c.dir, "work")) << c.what;
}
