// The string table must reach the library as the exact Shift-JIS bytes its
// messages are compared and shown with, whatever the host's own language.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "resources/resource.h"
#include "tests/support/Bytes.h"

namespace {

using namespace sonvera_test;

std::string LoadAnsi(UINT id)
{
    char buffer[4096] = {};
    const int length = LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? length : 0);
}

// The mode labels are Shift-JIS, the hints keep their format fields, and the
// pass phrase is base64.
TEST(StringTable, TextsAreShiftJisWithTheirFormatFields)
{
    EXPECT_EQ(LoadAnsi(IDS_MODE_ENROL), Bytes({0x93, 0x6F, 0x98, 0x5E}));    // 登録
    const std::string takeDone = LoadAnsi(IDS_HINT_TAKE_DONE);                // [%d]回の録音が成功しました。
    EXPECT_EQ(takeDone.substr(0, 4), "[%d]");
    EXPECT_EQ(takeDone.substr(4, 2), Bytes({0x89, 0xF1}));                  // 回
    EXPECT_EQ(LoadAnsi(IDS_HINT_WRONG_WORD).substr(0, 4), "[%s]");
    EXPECT_EQ(LoadAnsi(IDS_HINT_FIRST_ENROL).substr(0, 4), "[%s]");
    const std::string passPhrase = LoadAnsi(IDS_PASS_PHRASE);
    ASSERT_EQ(passPhrase.size(), 1003u);
    for (char c : passPhrase)
        EXPECT_TRUE(isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/') << c;
}

}  // namespace
