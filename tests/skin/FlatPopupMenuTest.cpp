// The flat popup menu, and the menu while it is open, driven by input posted
// as the system would route it from steps that run inside the menus' loops.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fw/ClientDC.h"
#include "skin/FlatPopupMenu.h"
#include "tests/skin/SkinTestSupport.h"
#include "host/capture/WindowPicture.h"

using namespace sonvera_test;

namespace
{
using Menu = CFlatPopupMenu;
const UINT kIconStrip = 9001;   // MenuIcons.rc: page, folder, key, microphone, padlock

// A menu made with the test program's icon strip, its layout and state open to the checks.
class CTestMenu : public CFlatPopupMenu
{
public:
    using CFlatPopupMenu::m_bIgnoreRButtonUp, CFlatPopupMenu::m_hWnd;
    using CFlatPopupMenu::m_Items, CFlatPopupMenu::m_nCapture, CFlatPopupMenu::m_nReturn;
    using CFlatPopupMenu::m_nMenuWidth, CFlatPopupMenu::m_nSelected;

    CTestMenu() { EXPECT_TRUE(Create(GetModuleHandleA(nullptr), kIconStrip)); }

    POINT ItemOnScreen(int index) const   // the middle of its row
    {
        POINT point{30, m_Items[index].nTop + m_Items[index].nHeight / 2};
        ClientToScreen(m_hWnd, &point);
        return point;
    }
};

TEST(MenuItems, PlacementLookupsAndMnemonics)
{
    // The menu moves inside the work area; where it fits, it opens at the point.
    CRect area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    const std::string wide(400, 'W');   // wider than any work area of the tests
    const struct {
        const char* name;
        int x, y, items;
        const char* text;
        int expectedX, expectedY;   // -1: the right or bottom edge minus the menu's size
    } cases[] = {
        {"at the right edge", area.right - 10, 100, 2, "Item", -1, 100},
        {"at the bottom edge", 100, area.bottom - 10, 2, "Item", 100, -1},
        {"wider than the work area", 300, 100, 1, wide.c_str(), 0, 100},
        {"taller than the work area", 100, 300, area.Height() / 17 + 2, "Item", 100, 0},
    };
    for (const auto& c : cases) {
        CTestMenu menu;
        for (int i = 0; i < c.items; ++i)
            menu.AppendItem(0, c.text, 1 + i);
        menu.Track(c.x, c.y, nullptr, false);
        const CRect placed = WindowArea(menu.m_hWnd);
        EXPECT_EQ(c.expectedX >= 0 ? c.expectedX : area.right - placed.Width(), placed.left) << c.name;
        EXPECT_EQ(c.expectedY >= 0 ? c.expectedY : area.bottom - placed.Height(), placed.top) << c.name;
        DestroyWindow(menu.m_hWnd);
    }

    // Items are found by command or by position.
    const struct {
        UINT item;
        bool byPosition;
        int found;   // -1: none
    } lookups[] = {{20, false, 1}, {2, true, 2}, {99, false, -1}, {3, true, -1}};
    for (const auto& c : lookups) {
        CTestMenu menu;
        menu.AppendItem(0, "Open", 10);
        menu.AppendItem(0, "Save", 20);
        menu.AppendItem(0, "Save as", 20);   // the first item with a command is the one
        char text[4] = "";
        EXPECT_EQ(c.found >= 0, menu.SetMenuItemText(c.item, "New", c.byPosition)) << c.item;
        EXPECT_EQ(c.found >= 0, menu.SetMenuItemFlags(c.item, Menu::itemGrayed, c.byPosition)) << c.item;
        EXPECT_EQ(c.found >= 0, menu.SetMenuItemIcon(c.item, 4, c.byPosition)) << c.item;
        EXPECT_EQ(c.found >= 0, menu.GetString(c.item, text, sizeof text, c.byPosition)) << c.item;
        for (int i = 0; i < 3; ++i) {
            const auto& item = menu.m_Items[i];
            const bool changed = item.strText == "New" && item.dwFlags == Menu::itemGrayed && item.nIcon == 4;
            EXPECT_EQ(i == c.found, changed) << c.item << "/" << i;
        }
        EXPECT_STREQ(c.found >= 0 ? "New" : "", text) << c.item;
        EXPECT_FALSE(menu.GetString(c.item, text, 3, c.byPosition)) << "no room for the terminator";
    }

    // A mnemonic, typed as WM_CHAR reaches the menu (MenuTrackingTest sends one
    // to a sub-menu), chooses the first item whose marked character matches:
    // the menu's return is set, or stays as it was.
    const UINT kOpen = 99;
    const std::pair<char, UINT> typings[] = {
        {'f', 1}, {'F', 1},          // compared in lower case
        {'l', 3},                    // "&Last" comes before "L&ast"
        {'a', 31},                   // and "L&ast" before "L&ater"
        {'m', 0},                    // the sub-menu's item closes with no command
        {'g', kOpen},                // a grayed item takes no mnemonic
        {'\0', kOpen},               // "Close&": "&" as the last character marks nothing
        {'i', kOpen},                // only the character after "&" is the mark
    };
    CTestMenu menu, sub;
    menu.AppendItem(Menu::itemDefault, "&First", 1);
    menu.AppendPopup(0, "&More", sub);
    menu.AppendItem(0, "&Last", 3);
    menu.AppendItem(0, "L&ast", 31);
    menu.AppendItem(0, "L&ater", 33);
    menu.AppendItem(Menu::itemGrayed, "&Grayed", 32);
    menu.AppendItem(0, "Close&", 35);
    for (const auto& [typed, chosen] : typings) {
        menu.m_nReturn = kOpen;
        menu.OnChar(nullptr, static_cast<unsigned char>(typed), 1);
        EXPECT_EQ(chosen, menu.m_nReturn) << typed;
    }
}

// Colours no two roles share, in the order of menuColor.
const COLORREF kColours[] = {RGB(0, 0, 96),   RGB(240, 240, 208), RGB(0, 96, 0),      RGB(150, 150, 150), RGB(255, 255, 0),
                             RGB(128, 0, 0), RGB(255, 0, 255),   RGB(250, 250, 250), RGB(64, 64, 64)};
const COLORREF kBorder = kColours[Menu::colorBorder], kBackground = kColours[Menu::colorBackground],
               kText = kColours[Menu::colorText], kGrayed = kColours[Menu::colorGrayedText],
               kHighlightText = kColours[Menu::colorHighlightText], kHighlight = kColours[Menu::colorHighlight],
               kIconLight = kColours[Menu::colorIconLight];
const COLORREF kInk = RGB(0, 0, 128);   // of the page icon

class MenuDrawingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < Menu::colorCount; ++i)
            m_menu.SetColor(Menu::menuColor(i), kColours[i]);
        ASSERT_TRUE(m_menu.Create(GetModuleHandleA(nullptr), kIconStrip));
        m_menu.SetPopupDelay(60000);   // the sub-menu stays closed
        m_menu.AppendItem(0, "&Open", 1, 0);              // top 3, the page icon
        m_menu.AppendItem(Menu::itemSeparator, "", 0);    // top 20, its line at 22
        m_menu.AppendItem(Menu::itemGrayed, "Gray", 2, 5); // top 25, an icon past the strip
        m_menu.AppendPopup(0, "More", m_more, 1);         // top 42, the folder icon
        m_menu.AppendItem(0, "Same", 3);                  // top 59
        m_menu.AppendItem(Menu::itemDefault, "Same", 4);  // top 76; 95 high in all
        m_menu.Track(200, 200, nullptr, false);
        UpdateWindow(m_menu.m_hWnd);
    }
    void TearDown() override { DestroyWindow(m_menu.m_hWnd); }

    void Select(int item)
    {
        PostMessageA(m_menu.m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(30, m_menu.m_Items[item].nTop + 8));
        PumpMessages();
    }
    // The pixels of the item's text area at least two thirds of the way from
    // the paper to the ink in every channel, as smoothed strokes' cores are.
    int PixelsOf(int item, COLORREF ink, COLORREF paper = kBackground) const
    {
        auto inked = [ink, paper](COLORREF pixel) {
            for (int shift : {0, 8, 16}) {
                const int inkValue = (ink >> shift) & 0xFF, paperValue = (paper >> shift) & 0xFF;
                if (std::abs(static_cast<int>((pixel >> shift) & 0xFF) - inkValue) * 3 > std::abs(paperValue - inkValue))
                    return false;
            }
            return true;
        };
        CClientDC dc(m_menu.m_hWnd);
        int count = 0;
        for (int y = m_menu.m_Items[item].nTop; y < m_menu.m_Items[item].nTop + 17; ++y)
            for (int x = 23; x < m_menu.m_nMenuWidth - 12; ++x)
                count += inked(dc.GetPixel(x, y));
        return count;
    }

    CTestMenu m_more;
    CTestMenu m_menu;
};

TEST_F(MenuDrawingTest, PixelsOfFrameSeparatorIconsSelectionArrowAndText)
{
    const struct {
        const char* what;
        int selected;   // the item selected first (-1: none)
        int x, y;       // x below 0 counts from the right edge
        COLORREF colour;
    } cases[] = {
        {"frame, top left", -1, 0, 0, kBorder},
        {"separator line, left", -1, 0, 22, kBorder},
        {"icon ink", -1, 9, 8, kInk},
        {"arrow tip", -1, -7, 50, kText},
        {"raised icon box, left", 0, 3, 11, kIconLight},
        {"raised box of an icon past the strip, inside", 2, 9, 30, kBackground},
        {"selection beside the icon box", 0, 21, 11, kHighlight},
        {"selection without an icon, left", 4, 3, 59, kHighlight},
    };
    for (const auto& c : cases) {
        Select(c.selected >= 0 ? c.selected : 2);   // the grayed item's row holds no checked pixel
        CClientDC dc(m_menu.m_hWnd);
        EXPECT_EQ(c.colour, dc.GetPixel(c.x >= 0 ? c.x : m_menu.m_nMenuWidth + c.x, c.y)) << c.what;
    }

    // The text's colour follows the item's state ("More", selected last, is not looked at).
    EXPECT_GT(PixelsOf(0, kText), 0);
    EXPECT_GT(PixelsOf(2, kGrayed), 0);
    // The default item's bold strokes cover more than the same text's normal ones.
    EXPECT_GT(PixelsOf(5, kText), PixelsOf(4, kText));
    Select(0);
    EXPECT_GT(PixelsOf(0, kHighlightText, kHighlight), 0);

    // Selected, the item whose icon lies past the strip shows an empty raised box.
    Select(2);
    const std::string path = std::string(SONVERA_SCREENSHOT_DIR) + "/flat-popup-menu-colours.png";
    EXPECT_TRUE(sonvera_capture::SaveWindowSurface(m_menu.m_hWnd, path)) << path;
}

// The menus' window class. The menu tests run alone: every window of it is this program's.
const char kMenuClass[] = "fpmMenuClass";

// Posts a mouse message at a screen point to the window that holds the
// capture, else to `menu`, the menu window meant. Not to the window the display
// has under the point: other test programs share the display, and while one
// of them takes the foreground the point may lie on its window.
void PostMouse(UINT message, POINT screen, HWND menu)
{
    HWND target = GetCapture();
    if (target == nullptr)
        target = menu;
    ScreenToClient(target, &screen);
    PostMessageA(target, message, 0, MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y)));
}

void PostClick(POINT screen, HWND menu)
{
    PostMouse(WM_LBUTTONDOWN, screen, menu);
    PostMouse(WM_LBUTTONUP, screen, menu);
}

const POINT kOutside{1200, 980};   // far from every menu of the tests

using Step = CTimerScript::Step;

// Plays the steps inside the loops of the menus; when a menu is still open
// five seconds on, every menu window is closed.
CTimerScript MenuScript(std::vector<Step> steps)
{
    return CTimerScript(std::move(steps), 5000, [] {
        while (HWND window = FindWindowA(kMenuClass, nullptr)) {
            if (!DestroyWindow(window))
                break;
        }
    });
}

Step MoveTo(const CTestMenu& menu, int item)
{
    return Do([&menu, item] { PostMouse(WM_MOUSEMOVE, menu.ItemOnScreen(item), menu.m_hWnd); });
}
Step ClickOn(const CTestMenu& menu, int item)
{
    return Do([&menu, item] { PostClick(menu.ItemOnScreen(item), menu.m_hWnd); });
}
Step IsOpen(const CTestMenu& menu)
{
    return [&menu] { return menu.m_hWnd != nullptr; };
}

const int kX = 200;
const int kY = 150;
const int kDelay = 200;

class MenuTrackingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The real pointer stays away: only the posted input moves over the menus.
        SetCursorPos(kOutside.x, kOutside.y);
        m_sub.AppendItem(0, "Sub &one", 11, 2);
        m_sub.AppendItem(0, "Sub &two", 12, 3);
        m_sub.AppendItem(Menu::itemSeparator, "", 0);
        m_sub.AppendItem(0, "\x89\xB9\x90\xBA\x82\xCC\x83\x8D\x83" "b\x83N", 13, 4);   // 音声のロック
        m_menu.AppendItem(Menu::itemDefault, "&First", 1, 0);
        m_menu.AppendPopup(0, "&More", m_sub, 1);
        m_menu.AppendItem(0, "&Last", 3);
        m_menu.AppendItem(Menu::itemSeparator, "", 0);
        m_menu.AppendItem(Menu::itemGrayed, "&Settings", 4);
        m_menu.SetPopupDelay(kDelay);
    }
    void TearDown() override
    {
        // Whatever the test did, every level is closed and the mouse is free.
        EXPECT_EQ(nullptr, FindWindowA(kMenuClass, nullptr));
        EXPECT_EQ(nullptr, GetCapture());
        DestroyWindow(m_notify);
    }

    // Tracks the menu while the steps play: a modal menu returns its command,
    // one that is not posts it to its window when it closes, and posts it once.
    UINT Track(std::vector<Step> steps, bool modal = true)
    {
        const CTimerScript script = MenuScript(std::move(steps));
        UINT chosen = m_menu.Track(kX, kY, m_notify, modal);
        MSG msg;
        while (!modal && !script.Done() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_COMMAND) {
                EXPECT_EQ(0u, chosen) << "a command posted twice";
                chosen = LOWORD(msg.wParam);
            }
            DispatchMessageA(&msg);
        }
        EXPECT_TRUE(script.Done());
        EXPECT_FALSE(PeekMessageA(&msg, m_notify, WM_COMMAND, WM_COMMAND, PM_REMOVE)) << "a command posted";
        return chosen;
    }

    HWND m_notify = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    CTestMenu m_sub;
    CTestMenu m_menu;
};

// Where the sub-menu opens shows in the screenshot taken here.
TEST_F(MenuTrackingTest, ASubMenuOpensAfterTheDelayAndTakesTheMouse)
{
    DWORD since = 0;
    auto waited = [&since](DWORD ms) -> Step { return [&since, ms] { return GetTickCount() - since >= ms; }; };
    const UINT chosen = Track({
        Do([&] { since = GetTickCount(); }), MoveTo(m_menu, 1), waited(kDelay / 2),
        Do([&] { EXPECT_EQ(nullptr, m_sub.m_hWnd) << "open before the delay"; }),
        IsOpen(m_sub),
        Do([&] {
            // Opened without capture: the menu keeps it until the pointer enters the sub-menu.
            EXPECT_EQ(m_menu.m_hWnd, GetCapture());
            EXPECT_EQ(Menu::captureShown, m_sub.m_nCapture);
        }),
        MoveTo(m_sub, 1),
        Do([&] {
            EXPECT_EQ(m_sub.m_hWnd, GetCapture());
            EXPECT_EQ(Menu::captureShown, m_menu.m_nCapture);
            EXPECT_EQ(Menu::captureHeld, m_sub.m_nCapture);
            since = GetTickCount();
        }),
        MoveTo(m_sub, 1), waited(150),   // Wine shows what was drawn a moment later
        Do([&] {
            CRect area;
            const RECT menu = WindowArea(m_menu.m_hWnd), sub = WindowArea(m_sub.m_hWnd);
            UnionRect(&area, &menu, &sub);
            const std::string path = std::string(SONVERA_SCREENSHOT_DIR) + "/flat-popup-menu.png";
            EXPECT_TRUE(sonvera_capture::SaveScreenRect(area, path)) << path;
        }),
        ClickOn(m_sub, 1),
    });
    EXPECT_EQ(12u, chosen);
}

TEST_F(MenuTrackingTest, ClosingWithASubMenuOpenAndClosingANonModalMenu)
{
    // A click on "More" opens its sub-menu without waiting.
    const auto withSubMenuOpen = [this](std::function<void()> close) {
        return std::vector<Step>{MoveTo(m_menu, 1), ClickOn(m_menu, 1), IsOpen(m_sub), Do(std::move(close))};
    };
    const Step closed = [this] { return m_menu.m_hWnd == nullptr; };
    const struct {
        const char* how;
        std::vector<Step> steps;
        UINT chosen;
        bool modal = true;
    } cases[] = {
        {"a click outside", withSubMenuOpen([this] { PostMouse(WM_LBUTTONDOWN, kOutside, m_menu.m_hWnd); }), 0},
        {"a mnemonic in the sub-menu", withSubMenuOpen([this] { PostMessageA(m_sub.m_hWnd, WM_CHAR, 't', 1); }), 12},
        {"Escape in the sub-menu", withSubMenuOpen([this] { PostMessageA(m_sub.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 1); }), 0},
        {"the host destroying the menu", withSubMenuOpen([this] { DestroyWindow(m_menu.m_hWnd); }), 0},
        {"the mouse taken away", withSubMenuOpen([] { ReleaseCapture(); }), 0},
        {"the application losing the foreground",
         withSubMenuOpen([this] { SendMessageA(m_sub.m_hWnd, WM_ACTIVATEAPP, FALSE, 0); }), 0},
        {"a cancel-mode message", withSubMenuOpen([this] { SendMessageA(m_menu.m_hWnd, WM_CANCELMODE, 0, 0); }), 0},
        {"an item", {MoveTo(m_menu, 2), ClickOn(m_menu, 2)}, 3},
        {"an item, not modal", {MoveTo(m_menu, 2), ClickOn(m_menu, 2), closed}, 3, false},
        {"a click outside, not modal", {Do([this] { PostClick(kOutside, m_menu.m_hWnd); }), closed}, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.chosen, Track(c.steps, c.modal)) << c.how;
}

void SendButton(DWORD flags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

TEST_F(MenuTrackingTest, TheReleaseOfTheButtonThatOpenedTheMenuChoosesNothing)
{
    // The right button goes down for real over where "First" will be, as when
    // a context menu opens on a press; the menu opens while it is held.
    SetCursorPos(kX + 30, kY + 10);
    SendButton(MOUSEEVENTF_RIGHTDOWN);
    PumpMessages();
    ASSERT_TRUE(GetAsyncKeyState(VK_RBUTTON) & 0x8000);
    const UINT chosen = Track({
        MoveTo(m_menu, 0), Do([] { SendButton(MOUSEEVENTF_RIGHTUP); }),
        [&] { return !m_menu.m_bIgnoreRButtonUp; },   // the release came and went
        Do([&] {
            EXPECT_EQ(0, m_menu.m_nSelected) << "the menu closed on the opening release";
            SendButton(MOUSEEVENTF_RIGHTDOWN);
            SendButton(MOUSEEVENTF_RIGHTUP);
        }),
    });
    EXPECT_EQ(1u, chosen);
}
} // namespace
