// CWnd: a window handled through a C++ object.
//
// The object takes the window over (SubclassWindow, or CreateEx, which
// creates and takes over at once): every message then reaches the virtual
// WindowProc, where a class switches over the messages it handles, one case
// per message, and hands everything else to its base class; what no class
// handles goes to the window's previous procedure (DefWindowProc). A parent
// reflects the notifications and owner-draw requests of its controls back to
// the control's OnChildNotify, so a control draws and reacts by itself.
//
// No exception ever leaves a window procedure: one that escapes a handler is
// turned into a failed-message result at the boundary.
#pragma once

#include <windows.h>

#include "fw/Api.h"
#include "fw/Object.h"
#include "fw/Rect.h"
#include "fw/String.h"

class SONVERA_API CWnd : public CObject {
public:
    CWnd() = default;
    // Gives the window back to its previous procedure and destroys it.
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCWnd;

    operator HWND() const { return m_hWnd; }

    // The object that handles the window; null for a window this library does not handle.
    static CWnd* FromHandlePermanent(HWND window);

    // Creates a window of the class and takes it over; FALSE when either fails.
    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, const RECT& rect,
                  HWND parent, UINT id);
    // Takes over an existing window; FALSE when it is none or already handled.
    BOOL SubclassWindow(HWND window);
    // Takes over the parent dialog's control with the identifier.
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    // Gives the window back to its previous procedure; returns the handle.
    HWND UnsubclassWindow();
    BOOL DestroyWindow();

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
    void ClientToScreen(LPPOINT point) const { ::ClientToScreen(m_hWnd, point); }
    void ScreenToClient(LPPOINT point) const { ::ScreenToClient(m_hWnd, point); }
    void MoveWindow(const RECT& rect, BOOL repaint = TRUE)
    {
        ::MoveWindow(m_hWnd, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, repaint);
    }
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int width, int height, UINT flags)
    {
        return ::SetWindowPos(m_hWnd, insertAfter, x, y, width, height, flags);
    }
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL RedrawWindow(UINT flags) { return ::RedrawWindow(m_hWnd, nullptr, nullptr, flags); }
    BOOL SetWindowRgn(HRGN region, BOOL redraw) { return ::SetWindowRgn(m_hWnd, region, redraw) != 0; }

    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    CString GetWindowText() const;
    void SetFont(HFONT font, BOOL redraw = TRUE) { SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw); }

    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_EXSTYLE)); }
    // Removes and adds style bits; with non-zero flags the frame is told of the change
    // through SetWindowPos with those flags.
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0) { return Modify(GWL_STYLE, remove, add, flags); }
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0) { return Modify(GWL_EXSTYLE, remove, add, flags); }

    UINT_PTR SetTimer(UINT_PTR id, UINT milliseconds) { return ::SetTimer(m_hWnd, id, milliseconds, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    int MessageBox(const char* text, const char* caption, UINT type)
    {
        return ::MessageBoxA(m_hWnd, text, caption, type);
    }

    // A look at a message before it is dispatched; TRUE when it was handled.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Offers the message to each window of this library from the message's
    // window up to its top-level window; TRUE when one of them handled it.
    static BOOL WalkPreTranslateTree(MSG* msg);

    HWND m_hWnd = nullptr;

protected:
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The processing the window had before this object took it over.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // A notification or owner-draw request of this control, reflected by its
    // parent; TRUE (with the result set) when handled.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Runs when the object takes a window over, before its messages arrive here.
    virtual void PreSubclassWindow();
    // Runs after the window's last message; the object has no window any more.
    virtual void PostNcDestroy();

private:
    static LRESULT CALLBACK StandardWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    BOOL ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    BOOL Modify(int index, DWORD remove, DWORD add, UINT flags);
    void ForgetWindow();

    WNDPROC m_pfnSuper = nullptr;
};
