// Helpers of the popup menu tests: a menu with its state open to the checks,
// the test program's icon strip, mouse and key input as the system would
// route it, and a script that plays input while a modal Track runs its loop.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "skin/FlatPopupMenu.h"
#include "tests/skin/MenuIcons.h"

namespace sonvera_test
{
// A menu whose layout, state and drawing objects the tests read.
class CTestMenu : public CFlatPopupMenu
{
public:
    using CFlatPopupMenu::m_bIgnoreLButtonUp;
    using CFlatPopupMenu::m_bIgnoreRButtonUp;
    using CFlatPopupMenu::m_bIsPopup;
    using CFlatPopupMenu::m_fontBold;
    using CFlatPopupMenu::m_fontNormal;
    using CFlatPopupMenu::m_hWnd;
    using CFlatPopupMenu::m_Items;
    using CFlatPopupMenu::m_nCapture;
    using CFlatPopupMenu::m_nMenuWidth;
    using CFlatPopupMenu::m_nPopupDelay;
    using CFlatPopupMenu::m_nSelected;
    using CFlatPopupMenu::m_pParent;
    using CFlatPopupMenu::m_strFont;

    // Made with the test program's icon strip.
    CTestMenu() { EXPECT_TRUE(Create(GetModuleHandleA(nullptr), IDB_TEST_MENU_ICONS)); }

    // The middle of the item's row, in client and in screen coordinates.
    POINT ItemPoint(int index) const
    {
        return POINT{30, m_Items[index].nTop + m_Items[index].nHeight / 2};
    }
    POINT ScreenPoint(POINT client) const
    {
        ClientToScreen(m_hWnd, &client);
        return client;
    }
    POINT ItemOnScreen(int index) const { return ScreenPoint(ItemPoint(index)); }
    RECT WindowRect() const
    {
        RECT rect{};
        GetWindowRect(m_hWnd, &rect);
        return rect;
    }
};

inline BOOL CALLBACK CollectMenuWindow(HWND window, LPARAM found)
{
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) == "fpmMenuClass" && IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    return TRUE;
}

// The open menu windows of this thread.
inline std::vector<HWND> MenuWindows()
{
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), &CollectMenuWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// Posts a mouse message at a screen point to the window the system would
// give it: the one holding the capture, else the one under the point.
inline void PostMouse(UINT message, POINT screen)
{
    HWND target = GetCapture();
    if (target == nullptr)
        target = WindowFromPoint(screen);
    POINT client = screen;
    ScreenToClient(target, &client);
    const WPARAM buttons = message == WM_LBUTTONDOWN ? MK_LBUTTON : message == WM_RBUTTONDOWN ? MK_RBUTTON : 0;
    PostMessageA(target, message, buttons, MAKELPARAM(static_cast<WORD>(client.x), static_cast<WORD>(client.y)));
}

inline void PostClick(POINT screen)
{
    PostMouse(WM_LBUTTONDOWN, screen);
    PostMouse(WM_LBUTTONUP, screen);
}

// A screen point far from any menu of the tests.
inline POINT Outside()
{
    return POINT{1200, 980};
}

// Steps played one per tick of a thread timer, so that they run inside
// whatever message loop the thread is in (a modal Track's among them). A
// step returns false to be tried again at the next tick. Steps only post
// input: a sent click would open a sub-menu's loop inside the step.
// When the steps take longer than the deadline, the test fails and every
// menu is closed, so no loop is left waiting.
class CMenuScript
{
public:
    using Step = std::function<bool()>;

    explicit CMenuScript(DWORD deadlineMs = 5000) : m_deadline(deadlineMs) {}
    ~CMenuScript() { Stop(); }
    CMenuScript(const CMenuScript&) = delete;
    CMenuScript& operator=(const CMenuScript&) = delete;

    CMenuScript& Then(Step step)
    {
        m_steps.push_back(std::move(step));
        return *this;
    }
    // A step that always succeeds at once.
    CMenuScript& Do(std::function<void()> action)
    {
        return Then([action] {
            action();
            return true;
        });
    }

    void Start()
    {
        Current() = this;
        m_started = GetTickCount();
        m_timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &CMenuScript::Tick);
    }
    bool Done() const { return m_next >= m_steps.size(); }
    // Runs the thread's messages until every step is done (for menus that are not modal).
    void RunToEnd()
    {
        Start();
        while (!Done()) {
            MSG msg;
            if (GetMessageA(&msg, nullptr, 0, 0) <= 0)
                break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Stop();
    }
    void Stop()
    {
        if (m_timer != 0)
            KillTimer(nullptr, m_timer);
        m_timer = 0;
        if (Current() == this)
            Current() = nullptr;
    }

private:
    static CMenuScript*& Current()
    {
        static CMenuScript* current = nullptr;
        return current;
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        CMenuScript* script = Current();
        if (script == nullptr || script->m_running)
            return;
        script->m_running = true;
        script->RunStep();
        script->m_running = false;
    }

    void RunStep()
    {
        if (Done()) {
            Stop();
            return;
        }
        if (m_steps[m_next]())
            ++m_next;
        else if (GetTickCount() - m_started > m_deadline) {
            ADD_FAILURE() << "menu script step " << m_next << " did not finish in time";
            m_next = m_steps.size();
            for (HWND window : MenuWindows())
                DestroyWindow(window);
        }
    }

    std::vector<Step> m_steps;
    size_t m_next = 0;
    DWORD m_deadline;
    DWORD m_started = 0;
    UINT_PTR m_timer = 0;
    bool m_running = false;
};
} // namespace sonvera_test
