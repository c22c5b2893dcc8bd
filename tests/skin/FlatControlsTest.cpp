// The flat controls: the combo box's auto-completion, the edit box's border,
// and the static tooltip's lines and showing.
#include <gtest/gtest.h>

#include "fw/WindowDC.h"
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
        ASSERT_TRUE(m_skin.WriteIni("[SCREEN]\r\nMAIN=main.bmp\r\nEDIT_ID=10,10,120,22,ID\r\n"));
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

TEST_F(FlatControlsTest, AutoCompletionCanBeSwitchedOff)
{
    CSkinCombo combo;
    ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, CRect(10, 150, 200, 300), &m_dialog, 4000));
    combo.AddString("apple");
    combo.EnableAutoCompletion(0);
    SendMessageA(FindWindowExA(combo.m_hWnd, nullptr, "Edit", nullptr), WM_CHAR, 'a', 1);
    EXPECT_EQ(CString("a"), combo.GetWindowText());
}

// The colour of the edit box's outermost frame pixel.
COLORREF FramePixel(CSkinEdit& edit)
{
    CWindowDC dc(edit.m_hWnd);
    return dc.GetPixel(0, 0);
}

TEST_F(FlatControlsTest, TheEditBorderShowsWithFocusOrWhenDisabled)
{
    CSkinEdit& edit = m_dialog.m_editID;
    ASSERT_TRUE(edit.GetExStyle() & WS_EX_CLIENTEDGE);
    const COLORREF raised = GetSysColor(COLOR_3DSHADOW);
    const COLORREF flat = GetSysColor(COLOR_3DFACE);
    ASSERT_NE(raised, flat);

    edit.SendMessage(WM_SETFOCUS);
    EXPECT_EQ(raised, FramePixel(edit));
    edit.SendMessage(WM_KILLFOCUS);
    EXPECT_EQ(flat, FramePixel(edit));
    edit.EnableWindow(FALSE);
    edit.SendMessage(WM_KILLFOCUS);
    EXPECT_EQ(raised, FramePixel(edit));
}

// Opens the protected measuring of the tooltip.
class CMeasuredToolTip : public CStaticToolTip
{
public:
    using CStaticToolTip::GetMultiLineTextExtent;
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

TEST(StaticToolTip, MeasuresTheWidestLineAndEveryLinesHeight)
{
    CMeasuredToolTip tip;
    CMemoryDC dc;
    dc.SelectStockObject(DEFAULT_GUI_FONT);
    const CSize widest = dc.GetTextExtent("abcdefgh");
    const CSize extent = tip.GetMultiLineTextExtent(&dc, "abc\n\nabcdefgh\nab");
    EXPECT_EQ(widest.cx, extent.cx);
    EXPECT_EQ(widest.cy * 4, extent.cy);
    EXPECT_EQ(dc.GetTextExtent("single"), tip.GetMultiLineTextExtent(&dc, "single"));
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
