// The flat controls: the combo box's auto-completion and the static
// tooltip's lines and showing.
#include <gtest/gtest.h>

#include "skin/StaticToolTip.h"
#include "tests/skin/SkinTestSupport.h"

using namespace sonvera_test;

namespace
{
class FlatControlsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WriteSolidBmp(m_skin.File("main.bmp"), 300, 260, RGB(128, 128, 128)));
        ASSERT_TRUE(m_skin.WriteIni("[SCREEN]\r\nMAIN=main.bmp\r\n"));
        ASSERT_TRUE(m_dialog.Open(m_skin));
    }

    CTestSkinFolder m_skin;
    CTestSkinDlg m_dialog;
};

TEST_F(FlatControlsTest, TypingCompletesTheFirstEntryThatBeginsSo)
{
    const struct {
        const char* typed;
        const char* text;
        int selStart;
        int selEnd;
    } cases[] = {
        {"a", "apple", 1, 5},
        {"apr", "apricot", 3, 7},
        {"BA", "banana", 2, 6},   // compared without regard to case
        {"ch", "Cherry", 2, 6},
        {"x", "x", 1, 1},         // nothing begins so: the text and caret stay
        {"apx", "apx", 3, 3},
    };
    for (const auto& c : cases) {
        CSkinCombo combo;
        ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWN, CRect(10, 150, 200, 300), &m_dialog,
                                 4000));
        for (const char* entry : {"apple", "apricot", "banana", "Cherry"})
            combo.AddString(entry);
        HWND edit = FindWindowExA(combo.m_hWnd, nullptr, "Edit", nullptr);
        ASSERT_NE(nullptr, edit);
        for (const char* key = c.typed; *key != '\0'; ++key)
            SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(*key), 1);
        EXPECT_EQ(CString(c.text), combo.GetWindowText()) << c.typed;
        const DWORD selection = combo.GetEditSel();
        EXPECT_EQ(c.selStart, LOWORD(selection)) << c.typed;
        EXPECT_EQ(c.selEnd, HIWORD(selection)) << c.typed;
    }
}

// Opens the tooltip's protected line counting.
class CMeasuredToolTip : public CStaticToolTip
{
public:
    using CStaticToolTip::GetNumberOfLines;
};

TEST(StaticToolTip, CountsLinesByLineFeeds)
{
    const struct {
        const char* text;
        int lines;
    } cases[] = {{"", 1}, {"one line", 1}, {"a\nb", 2}, {"a\nb\nc", 3}, {"a\n", 2}, {"\n\n", 3}};
    CMeasuredToolTip tip;
    for (const auto& c : cases)
        EXPECT_EQ(c.lines, tip.GetNumberOfLines(c.text)) << c.text;
    tip.SetText("x\ny");
    EXPECT_EQ(2, tip.GetNumberOfLines());
}

TEST_F(FlatControlsTest, TheToolTipShowsBesideItsWindowUntilItsTextIsEmpty)
{
    CStaticToolTip tip;
    tip.SetText("Press the record button");
    ASSERT_EQ(1, tip.Attach(&m_dialog, 5, 40));
    EXPECT_TRUE(tip.IsAttached());
    char className[32] = {};
    GetClassNameA(tip.m_hWnd, className, sizeof className);
    EXPECT_STREQ("StaticToolTip", className);
    EXPECT_TRUE(tip.IsWindowVisible());
    CPoint origin;
    m_dialog.ClientToScreen(&origin);
    CRect placed;
    tip.GetWindowRect(&placed);
    EXPECT_EQ(CRect(origin.x + 5, origin.y + 40, origin.x + 395, origin.y + 70), placed);

    tip.SetText("");
    PumpMessages(250);   // the popup follows its window every 100 ms
    EXPECT_FALSE(tip.IsWindowVisible());
    EXPECT_EQ(1, tip.Attach(&m_dialog, 0, 0));   // a second attach replaces the popup
    EXPECT_NE(0, tip.Detach());
    EXPECT_EQ(nullptr, tip.m_hWnd);
}
} // namespace
