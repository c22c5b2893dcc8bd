// The flat popup menu while it is open: choosing with the mouse and with
// mnemonics, the sub-menu that opens after the delay or at a click, the mouse
// capture passing between the levels, closing the whole chain (also while a
// sub-menu is open), the non-modal menu's posted command, and the ignored
// release of the button that opened the menu. Input is posted as the system
// would route it, by a script that runs inside the menu's own loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/skin/MenuTestSupport.h"
#include "tests/skin/SkinTestSupport.h"
#include "tests/support/WindowCapture.h"

using namespace sonvera_test;

namespace
{
using Menu = CFlatPopupMenu;

const int kX = 200;
const int kY = 150;
const int kDelay = 200;

// A window that keeps the commands posted to it.
class CNotifyWindow
{
public:
    CNotifyWindow()
    {
        WNDCLASSA notifyClass{};
        notifyClass.lpfnWndProc = &CNotifyWindow::Proc;
        notifyClass.hInstance = GetModuleHandleA(nullptr);
        notifyClass.lpszClassName = "MenuTestNotify";
        RegisterClassA(&notifyClass);
        m_hWnd = CreateWindowExA(0, "MenuTestNotify", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CNotifyWindow() { DestroyWindow(m_hWnd); }

    HWND m_hWnd;
    std::vector<UINT> m_commands;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<CNotifyWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == WM_COMMAND && self != nullptr)
            self->m_commands.push_back(LOWORD(wParam));
        return DefWindowProcA(window, message, wParam, lParam);
    }
};

class MenuTrackingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The real pointer stays away from the menus: only the posted input moves over them.
        SetCursorPos(Outside().x, Outside().y);
        m_sub.AppendItem(0, "Sub &one", 11, 2);
        m_sub.AppendItem(0, "Sub &two", 12, 3);
        m_menu.AppendItem(0, "&First", 1, 0);
        m_menu.AppendPopup(0, "&More", m_sub, 1);
        m_menu.AppendItem(0, "&Last", 3);
        m_menu.SetPopupDelay(kDelay);
    }
    void TearDown() override
    {
        // Whatever the test did, every level is closed and the mouse is free.
        EXPECT_TRUE(MenuWindows().empty());
        EXPECT_EQ(nullptr, m_menu.m_hWnd);
        EXPECT_EQ(nullptr, m_sub.m_hWnd);
        EXPECT_EQ(nullptr, GetCapture());
    }

    UINT TrackModal(CMenuScript& script)
    {
        script.Start();
        const UINT chosen = m_menu.Track(kX, kY, nullptr, true);
        script.Stop();
        EXPECT_TRUE(script.Done());
        return chosen;
    }

    // Steps that open the sub-menu with a click and wait for it.
    void OpenSubByClick(CMenuScript& script)
    {
        script.Do([this] { PostMouse(WM_MOUSEMOVE, m_menu.ItemOnScreen(1)); })
            .Do([this] { PostClick(m_menu.ItemOnScreen(1)); })
            .Then([this] { return m_sub.m_hWnd != nullptr; });
    }

    CTestMenu m_menu;
    CTestMenu m_sub;
};

TEST_F(MenuTrackingTest, AClickOnAnItemReturnsItsCommand)
{
    CMenuScript script;
    script.Do([this] { PostMouse(WM_MOUSEMOVE, m_menu.ItemOnScreen(2)); })
        .Do([this] { PostClick(m_menu.ItemOnScreen(2)); });
    EXPECT_EQ(3u, TrackModal(script));
}

TEST_F(MenuTrackingTest, AClickOutsideReturnsNothing)
{
    CMenuScript script;
    script.Do([this] { PostMouse(WM_MOUSEMOVE, m_menu.ItemOnScreen(0)); })
        .Do([this] { PostMouse(WM_LBUTTONDOWN, m_menu.ScreenPoint(POINT{2, 10})); });   // on the frame margin
    EXPECT_EQ(0u, TrackModal(script));
}

TEST_F(MenuTrackingTest, ReleasingOverAnItemWithoutCommandOrSelectionChoosesNothing)
{
    CMenuScript script;
    // Released over "Last" while "First" is selected: nothing.
    script.Do([this] { PostMouse(WM_MOUSEMOVE, m_menu.ItemOnScreen(0)); })
        .Do([this] { PostMouse(WM_LBUTTONUP, m_menu.ItemOnScreen(2)); })
        .Do([this] { EXPECT_NE(nullptr, m_menu.m_hWnd); })
        // Released over the sub-menu's own item (command 0): nothing either.
        .Do([this] {
            m_menu.SetPopupDelay(60000);
            PostMouse(WM_MOUSEMOVE, m_menu.ItemOnScreen(1));
            PostMouse(WM_LBUTTONUP, m_menu.ItemOnScreen(1));
        })
        .Do([this] {
            EXPECT_NE(nullptr, m_menu.m_hWnd);
            PostMouse(WM_LBUTTONDOWN, Outside());
        });
    EXPECT_EQ(0u, TrackModal(script));
}

TEST_F(MenuTrackingTest, AMnemonicChoosesTheFirstItemWhoseMarkedCharacterMatches)
{
    const struct {
        char typed;
        UINT chosen;   // 0 with `closes` false: the menu stays open
        bool closes;
    } cases[] = {
        {'f', 1, true},   {'F', 1, true},   // compared in lower case
        {'l', 3, true},   {'a', 31, true},  // "L&ast" comes after "&Last", which takes "l"
        {'m', 0, true},                     // the sub-menu's item: closes with no command
        {'g', 0, false},  {'d', 0, false},  // grayed and disabled items take no mnemonic
        {'c', 0, false},                    // "Close&": "&" as the last character marks nothing
        {'s', 0, false},                    // nor do separators
        {'i', 0, false},  {'z', 0, false},  // "F" of "&First" is the mark, not "i"
    };
    m_menu.AppendItem(0, "L&ast", 31);
    m_menu.AppendItem(Menu::itemGrayed, "&Grayed", 32);
    m_menu.AppendItem(Menu::itemDisabled, "&Disabled", 33);
    m_menu.AppendItem(Menu::itemSeparator, "&Separator", 34);
    m_menu.AppendItem(0, "Close&", 35);
    for (const auto& c : cases) {
        // The second step runs only when the character left the menu open.
        bool openAfterTyping = false;
        CMenuScript script;
        script.Do([&] { PostMessageA(m_menu.m_hWnd, WM_CHAR, static_cast<unsigned char>(c.typed), 1); })
            .Do([&] {
                openAfterTyping = true;
                PostMouse(WM_LBUTTONDOWN, Outside());
            });
        script.Start();
        EXPECT_EQ(c.chosen, m_menu.Track(kX, kY, nullptr, true)) << c.typed;
        script.Stop();
        EXPECT_EQ(!c.closes, openAfterTyping) << c.typed;
    }
}

TEST_F(MenuTrackingTest, ASubMenuOpensAfterTheDelayBesideItsItemAndTakesTheMouse)
{
    DWORD movedAt = 0;
    CMenuScript script;
    script.Do([&] {
              movedAt = GetTickCount();
              PostMouse(WM_MOUSEMOVE, m_menu.ItemOnScreen(1));
          })
        // Half the delay later it is still closed...
        .Then([&] { return GetTickCount() - movedAt >= kDelay / 2; })
        .Do([&] {
            EXPECT_EQ(nullptr, m_sub.m_hWnd);
            EXPECT_EQ(1u, MenuWindows().size());
        })
        // ...then it opens, overlapping the menu's right edge and rising above its item.
        .Then([&] { return m_sub.m_hWnd != nullptr; })
        .Do([&] {
            EXPECT_GE(GetTickCount() - movedAt, static_cast<DWORD>(kDelay / 2));
            const RECT menu = m_menu.WindowRect();
            const RECT sub = m_sub.WindowRect();
            EXPECT_EQ(menu.left + m_menu.m_nMenuWidth - 5, sub.left);
            EXPECT_EQ(menu.top + m_menu.m_Items[1].nTop - 3, sub.top);
            // Opened without the capture: the menu keeps it until the pointer enters.
            EXPECT_EQ(m_menu.m_hWnd, GetCapture());
            EXPECT_EQ(Menu::captureShown, m_sub.m_nCapture);
            PostMouse(WM_MOUSEMOVE, m_sub.ItemOnScreen(1));
        })
        .Do([&] {
            EXPECT_EQ(m_sub.m_hWnd, GetCapture());
            EXPECT_EQ(Menu::captureShown, m_menu.m_nCapture);
            EXPECT_EQ(Menu::captureHeld, m_sub.m_nCapture);
            EXPECT_EQ(1, m_menu.m_nSelected);   // the hand-over changes no selection
            PostMouse(WM_MOUSEMOVE, m_sub.ItemOnScreen(1));
        })
        .Do([&] {
            EXPECT_EQ(1, m_sub.m_nSelected);
            PostClick(m_sub.ItemOnScreen(1));
        });
    EXPECT_EQ(12u, TrackModal(script));
}

TEST_F(MenuTrackingTest, AClickOpensTheSubMenuWithoutWaiting)
{
    m_menu.SetPopupDelay(60000);
    CMenuScript script(2000);
    OpenSubByClick(script);
    script.Do([&] { PostMouse(WM_LBUTTONDOWN, Outside()); });
    EXPECT_EQ(0u, TrackModal(script));
}

TEST_F(MenuTrackingTest, PointingAtAnotherItemClosesTheSubMenuAndTheMouseComesBack)
{
    CMenuScript script;
    OpenSubByClick(script);
    script.Do([&] { PostMouse(WM_MOUSEMOVE, m_sub.ItemOnScreen(0)); })
        .Do([&] {
            EXPECT_EQ(m_sub.m_hWnd, GetCapture());
            PostMouse(WM_MOUSEMOVE, m_menu.ItemOnScreen(2));   // hands the mouse back
        })
        .Do([&] {
            EXPECT_EQ(m_menu.m_hWnd, GetCapture());
            EXPECT_NE(nullptr, m_sub.m_hWnd);
            PostMouse(WM_MOUSEMOVE, m_menu.ItemOnScreen(2));   // selects "Last"
        })
        .Do([&] {
            EXPECT_EQ(nullptr, m_sub.m_hWnd);
            EXPECT_EQ(2, m_menu.m_nSelected);
            EXPECT_EQ(m_menu.m_hWnd, GetCapture());
            PostClick(m_menu.ItemOnScreen(2));
        });
    EXPECT_EQ(3u, TrackModal(script));
}

TEST_F(MenuTrackingTest, AClickOutsideWhileTheSubMenuIsOpenClosesBoth)
{
    CMenuScript script;
    OpenSubByClick(script);
    script.Do([&] { PostMouse(WM_MOUSEMOVE, m_sub.ItemOnScreen(0)); })
        .Do([&] { PostMouse(WM_LBUTTONDOWN, Outside()); });
    EXPECT_EQ(0u, TrackModal(script));
}

TEST_F(MenuTrackingTest, AMnemonicInTheSubMenuClosesTheWholeChain)
{
    CMenuScript script;
    OpenSubByClick(script);
    script.Do([&] { PostMessageA(m_sub.m_hWnd, WM_CHAR, 't', 1); });
    EXPECT_EQ(12u, TrackModal(script));
}

TEST_F(MenuTrackingTest, ACopyGetsTheChoiceMadeInTheSubMenuItShares)
{
    CTestMenu copy(m_menu);
    CMenuScript script;
    script.Do([&] { PostMouse(WM_MOUSEMOVE, copy.ItemOnScreen(1)); })
        .Do([&] { PostClick(copy.ItemOnScreen(1)); })
        .Then([&] { return m_sub.m_hWnd != nullptr; })
        .Do([&] { PostMessageA(m_sub.m_hWnd, WM_CHAR, 'o', 1); });
    script.Start();
    EXPECT_EQ(11u, copy.Track(kX, kY, nullptr, true));
    script.Stop();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(&m_menu, m_sub.m_pParent);
}

TEST_F(MenuTrackingTest, ANonModalMenuPostsItsCommandWhenItCloses)
{
    const struct {
        const char* name;
        bool throughSub;
        bool outside;
        std::vector<UINT> posted;
    } cases[] = {
        {"item", false, false, {3}},
        {"sub-menu item", true, false, {12}},
        {"outside click", false, true, {}},
    };
    for (const auto& c : cases) {
        CNotifyWindow notify;
        EXPECT_EQ(0u, m_menu.Track(kX, kY, notify.m_hWnd, false));
        ASSERT_NE(nullptr, m_menu.m_hWnd);
        CMenuScript script;
        if (c.throughSub) {
            OpenSubByClick(script);
            script.Do([&] { PostMouse(WM_MOUSEMOVE, m_sub.ItemOnScreen(1)); })
                .Do([&] { PostMouse(WM_MOUSEMOVE, m_sub.ItemOnScreen(1)); })
                .Do([&] { PostClick(m_sub.ItemOnScreen(1)); });
        } else if (c.outside) {
            script.Do([&] { PostClick(Outside()); });
        } else {
            script.Do([&] { PostMouse(WM_MOUSEMOVE, m_menu.ItemOnScreen(2)); })
                .Do([&] { PostClick(m_menu.ItemOnScreen(2)); });
        }
        script.Then([&] { return m_menu.m_hWnd == nullptr; });
        script.RunToEnd();
        PumpMessages();
        EXPECT_EQ(c.posted, notify.m_commands) << c.name;
    }
}

TEST_F(MenuTrackingTest, ANonModalMenuClosedByItsHostTakesItsOpenSubMenuAlong)
{
    CNotifyWindow notify;
    m_menu.Track(kX, kY, notify.m_hWnd, false);
    CMenuScript script;
    OpenSubByClick(script);
    script.Do([&] { DestroyWindow(m_menu.m_hWnd); })
        .Do([&] { EXPECT_TRUE(MenuWindows().empty()); });
    script.RunToEnd();
    PumpMessages();
    EXPECT_TRUE(notify.m_commands.empty());
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
    CMenuScript script;
    script.Do([&] {
              EXPECT_TRUE(m_menu.m_bIgnoreRButtonUp);
              EXPECT_FALSE(m_menu.m_bIgnoreLButtonUp);
              PostMouse(WM_MOUSEMOVE, m_menu.ScreenPoint(POINT{30, 10}));
          })
        .Do([&] { SendButton(MOUSEEVENTF_RIGHTUP); })
        .Then([&] { return !m_menu.m_bIgnoreRButtonUp; })   // the release came and went
        .Do([&] {
            EXPECT_NE(nullptr, m_menu.m_hWnd);
            EXPECT_EQ(0, m_menu.m_nSelected);
            SendButton(MOUSEEVENTF_RIGHTDOWN);
            SendButton(MOUSEEVENTF_RIGHTUP);
        });
    EXPECT_EQ(1u, TrackModal(script));
}

// A plain window in a desktop colour, so that the menus' frames show in the screenshot.
class CBackdrop
{
public:
    explicit CBackdrop(const RECT& area)
    {
        WNDCLASSA backdropClass{};
        backdropClass.lpfnWndProc = &DefWindowProcA;
        backdropClass.hInstance = GetModuleHandleA(nullptr);
        backdropClass.hbrBackground = m_brush;
        backdropClass.lpszClassName = "MenuTestBackdrop";
        RegisterClassA(&backdropClass);
        m_hWnd = CreateWindowExA(WS_EX_TOOLWINDOW, "MenuTestBackdrop", "", WS_POPUP, area.left, area.top,
                                 area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
        UpdateWindow(m_hWnd);
    }
    ~CBackdrop()
    {
        DestroyWindow(m_hWnd);
        UnregisterClassA("MenuTestBackdrop", GetModuleHandleA(nullptr));
        DeleteObject(m_brush);
    }

private:
    HBRUSH m_brush = CreateSolidBrush(RGB(58, 110, 165));
    HWND m_hWnd = nullptr;
};

TEST_F(MenuTrackingTest, ScreenshotOfAMenuWithIconsAndItsSubMenuOpen)
{
    const CBackdrop backdrop(RECT{kX - 12, kY - 12, kX + 320, kY + 160});
    CTestMenu voice;
    voice.AppendItem(Menu::itemDefault, "&Record a take", 21, 3);
    voice.AppendItem(0, "&Key file...", 22, 2);
    voice.AppendItem(0, "&Lock the desk", 23, 4);
    voice.AppendItem(Menu::itemSeparator, "", 0);
    voice.AppendItem(Menu::itemGrayed, "Train again", 24);
    CTestMenu menu;
    menu.AppendItem(Menu::itemDefault, "&Open...", 1, 0);
    menu.AppendItem(0, "Open &folder", 2, 1);
    menu.AppendItem(Menu::itemSeparator, "", 0);
    // 音声パスワード(&V), Shift-JIS
    menu.AppendPopup(0, "\x89\xB9\x90\xBA\x83p\x83X\x83\x8F\x81[\x83h(&V)", voice, 3);
    menu.AppendItem(Menu::itemGrayed, "&Settings", 3);
    menu.AppendItem(Menu::itemSeparator, "", 0);
    menu.AppendItem(0, "E&xit", 4);
    menu.SetPopupDelay(50);

    bool saved = false;
    DWORD selectedAt = 0;
    CMenuScript script;
    script.Do([&] { PostMouse(WM_MOUSEMOVE, menu.ItemOnScreen(3)); })
        .Then([&] { return voice.m_hWnd != nullptr; })
        .Do([&] { PostMouse(WM_MOUSEMOVE, voice.ItemOnScreen(1)); })
        .Do([&] {
            PostMouse(WM_MOUSEMOVE, voice.ItemOnScreen(1));
            selectedAt = GetTickCount();
        })
        // Wine copies what the windows drew to the screen a moment later.
        .Then([&] { return GetTickCount() - selectedAt >= 150; })
        .Do([&] {
            EXPECT_EQ(1, voice.m_nSelected);
            RECT area = menu.WindowRect();
            const RECT sub = voice.WindowRect();
            area.right = std::max(area.right, sub.right);
            area.bottom = std::max(area.bottom, sub.bottom);
            InflateRect(&area, 12, 12);
            const std::string path = std::string(SONVERA_SCREENSHOT_DIR) + "/flat-popup-menu.png";
            saved = CaptureScreenToPng(area, path);
            EXPECT_TRUE(saved) << path;
            PostMouse(WM_LBUTTONDOWN, Outside());
        });
    script.Start();
    EXPECT_EQ(0u, menu.Track(kX, kY, nullptr, true));
    script.Stop();
    EXPECT_TRUE(saved);
}
} // namespace
