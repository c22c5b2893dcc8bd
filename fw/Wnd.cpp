#include "fw/Wnd.h"

#include <cassert>
#include <cstdio>
#include <exception>

#include "fw/Module.h"

namespace {

// The window property that points from a window to its object. The module's
// address is part of the name: two copies of this code in one process (the
// DLL and a program that links the classes statically) never take each
// other's objects for their own.
const char* ObjectPropertyName()
{
    static char name[48] = {};
    if (name[0] == '\0')
        std::snprintf(name, sizeof name, "Sonvera.CWnd.%p", static_cast<void*>(GetSonveraModule()));
    return name;
}

// What a window procedure returns for a message whose handler failed: creation
// is refused, anything else counts as handled.
LRESULT FailedMessageResult(UINT message, const char* reason)
{
    OutputDebugStringA("Sonvera: a window message handler failed: ");
    OutputDebugStringA(reason);
    OutputDebugStringA("\n");
    switch (message) {
    case WM_NCCREATE:
        return FALSE;
    case WM_CREATE:
        return -1;
    default:
        return 0;
    }
}

} // namespace

const CRuntimeClass CWnd::classCWnd = {"CWnd", static_cast<int>(sizeof(CWnd)), 0xFFFF, &CObject::classCObject};

const CRuntimeClass* CWnd::GetRuntimeClass() const
{
    return &classCWnd;
}

CWnd::~CWnd()
{
    // The derived parts of this object are gone: the window's last messages go
    // to its previous procedure, not to handlers of a half-destroyed object.
    HWND window = UnsubclassWindow();
    if (window != nullptr && ::IsWindow(window))
        ::DestroyWindow(window);
}

CWnd* CWnd::FromHandlePermanent(HWND window)
{
    if (window == nullptr)
        return nullptr;
    return static_cast<CWnd*>(::GetPropA(window, ObjectPropertyName()));
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, const RECT& rect,
                    HWND parent, UINT id)
{
    assert(m_hWnd == nullptr && "a CWnd handles one window at a time");
    // A child's menu parameter carries its control identifier.
    HMENU idOrMenu = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)) : nullptr;
    HWND window = ::CreateWindowExA(exStyle, className, windowName, style, rect.left, rect.top,
                                    rect.right - rect.left, rect.bottom - rect.top, parent, idOrMenu,
                                    GetSonveraModule(), nullptr);
    if (window == nullptr)
        return FALSE;
    if (!SubclassWindow(window)) {
        ::DestroyWindow(window);
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::SubclassWindow(HWND window)
{
    assert(m_hWnd == nullptr && "a CWnd handles one window at a time");
    if (window == nullptr || !::IsWindow(window) || FromHandlePermanent(window) != nullptr)
        return FALSE;
    if (!::SetPropA(window, ObjectPropertyName(), this))
        return FALSE;
    m_hWnd = window;
    PreSubclassWindow();
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StandardWindowProc)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    return parent != nullptr && SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow()
{
    HWND window = m_hWnd;
    if (window == nullptr)
        return nullptr;
    const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(window, GWLP_WNDPROC));
    if (current == &CWnd::StandardWindowProc && m_pfnSuper != nullptr)
        ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    ::RemovePropA(window, ObjectPropertyName());
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
    return window;
}

BOOL CWnd::DestroyWindow()
{
    if (m_hWnd == nullptr)
        return FALSE;
    // The window's last message (WM_NCDESTROY) clears m_hWnd.
    return ::DestroyWindow(m_hWnd);
}

CString CWnd::GetWindowText() const
{
    const int length = ::GetWindowTextLengthA(m_hWnd);
    CString text;
    if (length > 0) {
        const int copied = ::GetWindowTextA(m_hWnd, text.GetBuffer(length), length + 1);
        text.ReleaseBuffer(copied);
    }
    return text;
}

BOOL CWnd::Modify(int index, DWORD remove, DWORD add, UINT flags)
{
    const DWORD before = static_cast<DWORD>(::GetWindowLongA(m_hWnd, index));
    const DWORD after = (before & ~remove) | add;
    if (after == before)
        return FALSE;
    ::SetWindowLongA(m_hWnd, index, static_cast<LONG>(after));
    if (flags != 0)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

BOOL CWnd::WalkPreTranslateTree(MSG* msg)
{
    for (HWND window = msg->hwnd; window != nullptr; window = ::GetParent(window)) {
        CWnd* handler = FromHandlePermanent(window);
        try {
            if (handler != nullptr && handler->PreTranslateMessage(msg))
                return TRUE;
        } catch (const std::exception& error) {
            FailedMessageResult(msg->message, error.what());
        } catch (...) {
            FailedMessageResult(msg->message, "unknown exception");
        }
        if (!(::GetWindowLongA(window, GWL_STYLE) & WS_CHILD))
            break;
    }
    return FALSE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (ReflectToChild(message, wParam, lParam, &result))
        return result;
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

void CWnd::PreSubclassWindow() {}

void CWnd::PostNcDestroy() {}

BOOL CWnd::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    HWND child = nullptr;
    switch (message) {
    case WM_COMMAND:
        child = reinterpret_cast<HWND>(lParam);
        break;
    case WM_NOTIFY:
        child = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
        break;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType != ODT_MENU)
            child = item->hwndItem;
        break;
    }
    default:
        return FALSE;
    }
    CWnd* control = FromHandlePermanent(child);
    return control != nullptr && control != this && control->OnChildNotify(message, wParam, lParam, result);
}

void CWnd::ForgetWindow()
{
    UnsubclassWindow();
    PostNcDestroy();
}

LRESULT CALLBACK CWnd::StandardWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* handler = FromHandlePermanent(window);
    if (handler == nullptr)
        return ::DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = 0;
    try {
        result = handler->WindowProc(message, wParam, lParam);
    } catch (const std::exception& error) {
        result = FailedMessageResult(message, error.what());
    } catch (...) {
        result = FailedMessageResult(message, "unknown exception");
    }
    if (message == WM_NCDESTROY)
        handler->ForgetWindow();
    return result;
}
