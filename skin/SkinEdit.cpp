#include "skin/SkinEdit.h"

#include "fw/WindowDC.h"
#include "skin/ControlTip.h"

namespace {
// While the pointer is over the box, this timer watches for it to leave.
const UINT_PTR kHoverTimer = 1;
const UINT kHoverCheckMs = 10;
} // namespace

CSkinEdit::CSkinEdit() : m_pTooltip(std::make_unique<CControlTip>())
{
    ReadSystemColours();
}

CSkinEdit::~CSkinEdit() = default;

void CSkinEdit::ReadSystemColours()
{
    m_clrHighlight = ::GetSysColor(COLOR_3DHIGHLIGHT);
    m_clrLight = ::GetSysColor(COLOR_3DLIGHT);
    m_clrDarkShadow = ::GetSysColor(COLOR_3DDKSHADOW);
    m_clrShadow = ::GetSysColor(COLOR_3DSHADOW);
    m_clrFace = ::GetSysColor(COLOR_3DFACE);
}

LRESULT CSkinEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        const LRESULT result = DefWindowProc(message, wParam, lParam);
        DrawBorder(m_bHasFocus != 0);
        return result;
    }
    case WM_SETFOCUS: {
        const LRESULT result = DefWindowProc(message, wParam, lParam);
        m_bHasFocus = TRUE;
        DrawBorder(true);
        return result;
    }
    case WM_KILLFOCUS: {
        const LRESULT result = DefWindowProc(message, wParam, lParam);
        m_bHasFocus = FALSE;
        DrawBorder(false);
        return result;
    }
    case WM_MOUSEMOVE:
        return OnMouseMove(message, wParam, lParam, true);
    case WM_NCMOUSEMOVE:
        return OnMouseMove(message, wParam, lParam, false);
    case WM_TIMER:
        return OnTimer(wParam, lParam);
    case WM_SYSCOLORCHANGE: {
        const LRESULT result = DefWindowProc(message, wParam, lParam);
        ReadSystemColours();
        return result;
    }
    }
    return CEdit::WindowProc(message, wParam, lParam);
}

LRESULT CSkinEdit::OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam, bool inClientArea)
{
    // Over the client area a focused box already shows its border.
    const bool wanted = inClientArea ? !m_bHasFocus : true;
    if (wanted && !m_bTimerRunning) {
        DrawBorder(true);
        SetTimer(kHoverTimer, kHoverCheckMs);
        m_bTimerRunning = TRUE;
    }
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CSkinEdit::OnTimer(WPARAM wParam, LPARAM lParam)
{
    // Only the hover timer is looked at: the edit's own timer scrolls a
    // selection dragged past its edge, with the pointer outside, and must
    // still reach the edit.
    if (wParam == kHoverTimer) {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        CRect window;
        GetWindowRect(&window);
        if (!window.PtInRect(cursor)) {
            KillTimer(kHoverTimer);
            m_bTimerRunning = FALSE;
            if (!m_bHasFocus)
                DrawBorder(false);
            return 0;
        }
    }
    return DefWindowProc(WM_TIMER, wParam, lParam);
}

void CSkinEdit::DrawBorder(bool highlighted)
{
    if (!IsWindowEnabled())
        highlighted = true;
    const DWORD exStyle = GetExStyle();
    const bool modalFrame = (exStyle & WS_EX_DLGMODALFRAME) != 0;
    const bool clientEdge = (exStyle & WS_EX_CLIENTEDGE) != 0;
    const bool staticEdge = (exStyle & WS_EX_STATICEDGE) != 0;

    // How many pixels of frame the edge styles give the box.
    int frame = modalFrame ? 3 : 0;
    if (clientEdge)
        frame = modalFrame ? 5 : 2;
    if (staticEdge && !modalFrame)
        ++frame;

    CRect rect;
    GetWindowRect(&rect);
    rect.MoveToXY(0, 0);
    CWindowDC dc(m_hWnd);
    for (int i = 0; i < frame; ++i) {
        dc.Draw3dRect(rect, m_clrFace, m_clrFace);
        rect.DeflateRect(1, 1);
    }
    rect.InflateRect(1, 1);
    if (!highlighted)
        return;
    if (clientEdge) {
        dc.Draw3dRect(rect, m_clrDarkShadow, m_clrLight);
        rect.InflateRect(1, 1);
        dc.Draw3dRect(rect, m_clrShadow, m_clrHighlight);
        rect.InflateRect(1, 1);
    }
    if (staticEdge && !modalFrame) {
        dc.Draw3dRect(rect, m_clrShadow, m_clrHighlight);
        rect.InflateRect(1, 1);
    }
    if (modalFrame) {
        dc.Draw3dRect(rect, m_clrFace, m_clrFace);
        rect.InflateRect(1, 1);
        dc.Draw3dRect(rect, m_clrHighlight, m_clrShadow);
        rect.InflateRect(1, 1);
        dc.Draw3dRect(rect, m_clrLight, m_clrDarkShadow);
    }
}

void CSkinEdit::InitToolTip()
{
    m_pTooltip->Init(*this);
}

void CSkinEdit::SetTooltipText(const CString* text, int activate)
{
    m_pTooltip->SetText(*this, text, activate);
}

void CSkinEdit::ActivateTooltip(int activate)
{
    m_pTooltip->ActivateTool(activate);
}

BOOL CSkinEdit::PreTranslateMessage(MSG* msg)
{
    m_pTooltip->Relay(*this, msg);
    return CEdit::PreTranslateMessage(msg);
}
