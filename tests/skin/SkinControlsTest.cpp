// The skin's controls on their own, on an open skinned dialog.
#include <gtest/gtest.h>

#include <algorithm>

#include "skin/HoverButton.h"
#include "skin/PercentBar.h"
#include "skin/ScrollLabel.h"
#include "skin/StaticToolTip.h"
#include "tests/skin/SkinTestSupport.h"

using namespace sonvera_test;

namespace
{
const COLORREF kNormal = RGB(200, 0, 0), kHover = RGB(0, 200, 0), kPressed = RGB(0, 0, 200);
const COLORREF kDisabled = RGB(90, 90, 90);

// Controls live on an open skinned dialog, which is also the active window
// that hover tracking asks for.
class SkinControlsTest : public SkinDialogTest
{
protected:
    void SetUp() override
    {
        SkinDialogTest::SetUp();
        Load();
        const COLORREF colours[] = {kNormal, kHover, kPressed, kDisabled};
        for (int i = 0; i < CHoverButton::pictureCount; ++i)
            MakeBitmap(m_sources[i], 300, 220, [&colours, i](int, int) { return colours[i]; });
    }

    void CutPictures(CHoverButton& control, const CRect& rect)
    {
        for (int i = 0; i < CHoverButton::pictureCount; ++i)
            control.CutPicture(static_cast<CHoverButton::Picture>(i), m_sources[i], rect);
    }

    static void MoveOver(CWnd& control, int x, int y, UINT flags = 0)
    {
        control.SendMessage(WM_MOUSEMOVE, flags, MAKELPARAM(x, y));
    }

    CBitmap m_sources[CHoverButton::pictureCount];
};

TEST_F(SkinControlsTest, EachButtonStateShowsItsPicture)
{
    const struct {
        const char* name;
        int twoState;
        int checked;
        bool hover;
        UINT itemState;
        COLORREF expected;
    } cases[] = {
        {"normal", 0, 0, false, 0, kNormal},
        {"hovered", 0, 0, true, 0, kHover},
        {"pressed", 0, 0, true, ODS_SELECTED, kPressed},
        {"disabled", 0, 0, false, ODS_DISABLED, kDisabled},
        {"checked", 0, 1, false, 0, kPressed},
        {"checked and hovered", 0, 1, true, 0, kHover},
        {"two-state checked and hovered", 1, 1, true, 0, kPressed},
        {"two-state pressed", 1, 0, true, ODS_SELECTED, kNormal},
    };
    for (const auto& c : cases) {
        CHoverButton button;
        const CRect rect(10, 10, 70, 40);
        ASSERT_TRUE(button.Create("", WS_CHILD | WS_VISIBLE, rect, &m_dialog, 0));
        CutPictures(button, rect);
        button.SetTwoState(c.twoState);
        button.SetChecked(c.checked);
        if (c.hover)
            MoveOver(button, 5, 5);
        ASSERT_EQ(c.hover, button.IsHover() != 0) << c.name;
        // The look, asked for as the system does: an owner-draw request to the parent.
        const COLORREF drawn = DrawnPixel(button, CPoint(5, 5), [&](HDC dc, const CRect& client) {
            DRAWITEMSTRUCT item{ODT_BUTTON, 0, 0, ODA_DRAWENTIRE, c.itemState, button.m_hWnd, dc, client, 0};
            m_dialog.SendMessage(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&item));
        });
        EXPECT_EQ(c.expected, drawn) << c.name;
    }
}

TEST_F(SkinControlsTest, AClickSetsTheBarByItsPosition)
{
    const struct {
        int fromTop;
        CSize size;
        CPoint click;
        int expected;
    } cases[] = {
        {0, CSize(200, 10), CPoint(199, 5), 99},   // never 100 by clicking on it
        {1, CSize(10, 200), CPoint(9, 150), 75},
        {0, CSize(0, 10), CPoint(0, 5), 0},   // a bar of no size ignores clicks
        // A point past either end (the mouse the bar has captured, or a
        // caller's) sets that end.
        {0, CSize(200, 10), CPoint(250, 5), 100},
        {0, CSize(200, 10), CPoint(-30, 5), 0},
        {1, CSize(10, 200), CPoint(5, 32767), 100},
    };
    for (const auto& c : cases) {
        CPercentBar bar;
        ASSERT_TRUE(bar.Create("", WS_CHILD | WS_VISIBLE, CRect(CPoint(10, 50), c.size), &m_dialog, 0));
        bar.SetFillsFromTop(c.fromTop);
        bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, c.click.ToLParam());
        EXPECT_EQ(c.expected, bar.GetPos()) << c.size.cx << "x" << c.size.cy << " at " << c.click.x << "," << c.click.y;
        bar.SendMessage(WM_LBUTTONUP, 0, c.click.ToLParam());
    }
}

TEST_F(SkinControlsTest, DraggingMovesTheBarOnlyWhenTheDragStartedOnIt)
{
    // Below the dialog template's own controls: hover tracking asks which
    // window is under the pointer.
    CPercentBar bar;
    ASSERT_TRUE(bar.Create("", WS_CHILD | WS_VISIBLE, CRect(10, 180, 210, 190), &m_dialog, 0));
    MoveOver(bar, 120, 5, MK_LBUTTON);   // comes in from outside with the button held
    EXPECT_EQ(0, bar.GetPos());
    EXPECT_FALSE(bar.IsHover());

    MoveOver(bar, 10, 5);
    bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 5));
    MoveOver(bar, 120, 5, MK_LBUTTON);
    EXPECT_EQ(60, bar.GetPos());
    bar.SetPos(10);   // the user holds the bar: the program's value waits
    EXPECT_EQ(60, bar.GetPos());
    bar.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(120, 5));
    bar.SetPos(10);
    EXPECT_EQ(10, bar.GetPos());
}

// Positions above a hundred, or below nought, become a hundred. A bar wider
// than a hundredth of the int range (a skin's slip) works its share out
// without overflowing, so its start shows filled (its pictures are cut for the
// part the test looks at).
TEST_F(SkinControlsTest, TheFilledPictureCoversThePositionsShare)
{
    const struct {
        int fromTop;
        CSize size;
        int position, shown;
        CPoint filled;
        CPoint base;   // (-1, -1): nothing left unfilled
    } cases[] = {
        {0, CSize(200, 10), 25, 25, CPoint(49, 5), CPoint(50, 5)},
        {1, CSize(10, 200), 50, 50, CPoint(5, 99), CPoint(5, 100)},
        {0, CSize(200, 10), 150, 100, CPoint(199, 9), CPoint(-1, -1)},
        {0, CSize(200, 10), -1, 100, CPoint(199, 9), CPoint(-1, -1)},
        {0, CSize(200, 10), 0, 0, CPoint(-1, -1), CPoint(0, 5)},
        {0, CSize(50000000, 10), 50, 50, CPoint(100, 5), CPoint(-1, -1)},
    };
    for (const auto& c : cases) {
        CPercentBar bar;
        const CRect rect(CPoint(10, 50), c.size);
        ASSERT_TRUE(bar.Create("", WS_CHILD | WS_VISIBLE, rect, &m_dialog, 0));
        CutPictures(bar, CRect(rect.TopLeft(), CSize(std::min<LONG>(c.size.cx, 200), c.size.cy)));
        bar.SetFillsFromTop(c.fromTop);
        bar.SetPos(c.position);
        EXPECT_EQ(c.shown, bar.GetPos()) << c.position;
        CCanvas canvas(200, 200, RGB(1, 2, 3));
        bar.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.DC()->GetSafeHdc()), PRF_CLIENT);
        for (const auto& [point, colour] : {std::pair(c.filled, kPressed), std::pair(c.base, kNormal)}) {
            if (point.x >= 0) {
                EXPECT_EQ(colour, canvas.At(point.x, point.y)) << c.size.cx << " at " << c.position;
            }
        }
    }
}

TEST_F(SkinControlsTest, ALabelThatDoesNotFitScrollsByCharacterAndWraps)
{
    // The positions after each step: one byte on at a space, two elsewhere.
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"AB CD", {2, 3, 5, 0, 2}},
        {"\x82\xA0\x82\xA2\x82\xA4", {2, 4, 6, 0, 2}},   // あいう
        {"A  B", {2, 3, 0}},
    };
    for (const auto& [text, positions] : cases) {
        CScrollLabel label;
        ASSERT_TRUE(label.Create("", WS_CHILD | WS_VISIBLE, CRect(10, 10, 12, 30), &m_dialog, 0));
        label.SetText(text);
        for (int expected : positions) {
            label.SendMessage(WM_TIMER, 1);
            EXPECT_EQ(expected, label.GetScrollPos()) << text;
        }
        label.EnableScrolling(0);
        label.SendMessage(WM_TIMER, 1);
        EXPECT_EQ(positions.back(), label.GetScrollPos()) << text << " paused";
    }

    // Only a text that does not fit runs the timer; its end is followed by
    // the separator and the text again.
    CScrollLabel label;
    ASSERT_TRUE(label.Create("", WS_CHILD | WS_VISIBLE, CRect(10, 10, 40, 30), &m_dialog, 0));
    label.SetText("Hi");
    EXPECT_FALSE(label.IsTimerRunning());
    EXPECT_EQ(CString("Hi"), label.GetPaintText());
    label.SetText("ABCDEFGHIJ");
    ASSERT_TRUE(label.IsTimerRunning());
    EXPECT_EQ(CString("ABCDEFGHIJ"), label.GetPaintText());
    for (int step = 0; step < 4; ++step)
        label.SendMessage(WM_TIMER, 1);
    EXPECT_EQ(CString("IJ <-- ABCDEFGHIJ"), label.GetPaintText());
    label.SetText("Hi");
    EXPECT_FALSE(label.IsTimerRunning());
    EXPECT_EQ(0, label.GetScrollPos());

    // A label two thousand million pixels wide (a skin's slip) holds any text.
    CScrollLabel wide;
    ASSERT_TRUE(wide.Create("", WS_CHILD | WS_VISIBLE, CRect(10, 10, 2000000010, 30), &m_dialog, 0));
    wide.SetText("ABCDEFGHIJ");
    EXPECT_FALSE(wide.IsTimerRunning());
}

TEST_F(SkinControlsTest, TypingCompletesTheFirstEntryThatBeginsSo)
{
    // A Japanese entry's selection is not compared: some systems count an
    // edit's selection in bytes, others in characters. Its completed tail is
    // selected all the same, so the next key replaces it.
    const struct {
        const wchar_t* typed;
        const char* text;
        int selStart = -1, selEnd = -1;
    } cases[] = {
        {L"a", "apple", 1, 5},
        {L"apr", "apricot", 3, 7},
        {L"ch", "Cherry", 2, 6},   // compared without regard to case
        {L"apx", "apx", 3, 3},     // nothing begins so: the text and caret stay
        {L"\u3042", "\x82\xA0\x82\xA2\x82\xA4"},   // あ: あいう
        {L"\u3042x", "\x82\xA0x"},
    };
    for (const auto& c : cases) {
        CSkinCombo combo;
        ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWN, CRect(10, 150, 200, 300), &m_dialog,
                                 4000));
        for (const char* entry : {"apple", "apricot", "banana", "Cherry", "\x82\xA0\x82\xA2\x82\xA4"})
            combo.AddString(entry);
        HWND edit = FindWindowExA(combo.m_hWnd, nullptr, "Edit", nullptr);
        ASSERT_NE(nullptr, edit);
        for (const wchar_t* key = c.typed; *key != L'\0'; ++key)
            SendMessageW(edit, WM_CHAR, *key, 1);
        EXPECT_EQ(CString(c.text), combo.GetWindowText()) << c.text;
        if (c.selStart >= 0) {
            EXPECT_EQ(static_cast<DWORD>(MAKELONG(c.selStart, c.selEnd)), combo.GetEditSel()) << c.text;
        }
    }
}

// A host's framework asks an exported combo box what it is, and what it
// derives from, through its run-time class and the bases' chain under it.
TEST(SkinCombo, NamesItsRunTimeClassAndEachBase)
{
    std::string chain;
    for (const CRuntimeClass* c = CSkinCombo().GetRuntimeClass(); c != nullptr; c = c->m_pBaseClass)
        chain += std::string(c->m_lpszClassName) + " ";
    EXPECT_EQ("CSkinCombo CComboBox CWnd CObject ", chain);
}

// Opens the tooltip's protected line counting.
class CMeasuredToolTip : public CStaticToolTip
{
public:
    using CStaticToolTip::GetNumberOfLines;
};

TEST_F(SkinControlsTest, TheToolTipsLinesAndShowing)
{
    CMeasuredToolTip tip;
    EXPECT_EQ(3, tip.GetNumberOfLines("a\nb\nc"));
    tip.SetText("x\ny");
    EXPECT_EQ(2, tip.GetNumberOfLines());

    tip.SetText("Press the record button");
    ASSERT_EQ(1, tip.Attach(&m_dialog, 5, 40));
    EXPECT_TRUE(tip.IsAttached());
    EXPECT_EQ(tip.m_hWnd, FindWindowA("StaticToolTip", nullptr));   // a host may look the tooltip up so
    EXPECT_TRUE(tip.IsWindowVisible());
    CPoint origin;
    m_dialog.ClientToScreen(&origin);
    EXPECT_EQ(CRect(origin.x + 5, origin.y + 40, origin.x + 395, origin.y + 70), WindowArea(tip.m_hWnd));

    tip.SetText("");
    PumpMessages(250);   // the popup follows its window every 100 ms
    EXPECT_FALSE(tip.IsWindowVisible());
    EXPECT_EQ(1, tip.Attach(&m_dialog, 0, 0));   // a second attach replaces the popup
    EXPECT_NE(0, tip.Detach());
    EXPECT_EQ(nullptr, tip.m_hWnd);
    EXPECT_FALSE(tip.IsAttached());
}
} // namespace
