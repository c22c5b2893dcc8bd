#include "skin/StaticToolTip.h"

#include <algorithm>

#include "fw/ClientDC.h"
#include "fw/DC.h"
#include "fw/Module.h"
#include "fw/PaintDC.h"
#include "fw/ResourceException.h"

namespace {

const char kClassName[] = "StaticToolTip";
// Re-places the popup by the attached window while it is shown.
const UINT_PTR kFollowTimer = 1;
const UINT kFollowMs = 100;
// The popup's text area.
const CRect kTextRect(0, 0, 390, 30);

void RegisterPopupClass()
{
    HINSTANCE module = GetSonveraModule();
    WNDCLASSA existing{};
    if (::GetClassInfoA(module, kClassName, &existing))
        return;
    WNDCLASSA popupClass{};
    popupClass.style = CS_SAVEBITS | CS_DBLCLKS;
    popupClass.lpfnWndProc = ::DefWindowProcA;
    popupClass.hInstance = module;
    popupClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    popupClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_INFOBK + 1));
    popupClass.lpszClassName = kClassName;
    if (!::RegisterClassA(&popupClass))
        CResourceException::ThrowLastError("RegisterClass", kClassName);
}

} // namespace

CStaticToolTip::CStaticToolTip()
    : m_clrText(::GetSysColor(COLOR_INFOTEXT)), m_clrBackground(::GetSysColor(COLOR_INFOBK))
{
    RegisterPopupClass();
}

CStaticToolTip::~CStaticToolTip()
{
    Detach();
}

int CStaticToolTip::Attach(CWnd* pWnd, int x, int y)
{
    if (m_hWnd != nullptr && !Detach())
        return 0;
    m_pAttached = pWnd;
    m_nOffsetX = x;
    m_nOffsetY = y;
    if (!CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, nullptr, WS_POPUP | WS_BORDER, CRect(), nullptr, 0)) {
        m_pAttached = nullptr;
        return 0;
    }
    // Shown before the text is set again, so that setting it starts the
    // following; Show then places the popup, or hides it while it has no
    // text, and the following brings it back once a text is given (the
    // voice dialog attaches it before its first hint).
    ShowWindow(SW_SHOWNOACTIVATE);
    SetText(m_strText);
    Show();
    return 1;
}

int CStaticToolTip::Detach()
{
    if (m_hWnd == nullptr)
        return 1;
    ShowWindow(SW_HIDE);
    KillTimer(kFollowTimer);
    m_pAttached = nullptr;
    return DestroyWindow();
}

void CStaticToolTip::SetText(CString strText)
{
    m_strText = strText;
    if (m_hWnd == nullptr)
        return;
    {
        // Measured as the popup has always done; the fixed text area is used.
        CClientDC dc(m_hWnd);
        dc.SelectStockObject(DEFAULT_GUI_FONT);
        GetMultiLineTextExtent(&dc, m_strText);
    }
    m_rcText = kTextRect;
    if (IsWindowVisible()) {
        m_nShowCount = 0;
        SetTimer(kFollowTimer, kFollowMs);
    }
}

void CStaticToolTip::SetBkgndColor(int use, COLORREF colour)
{
    m_bOwnColours = use;
    if (use)
        m_clrBackground = colour;
    if (m_hWnd != nullptr && IsWindowVisible())
        Invalidate();
}

void CStaticToolTip::SetTextColor(COLORREF colour)
{
    m_clrText = colour;
    if (m_bOwnColours && m_hWnd != nullptr && IsWindowVisible())
        Invalidate();
}

int CStaticToolTip::GetNumberOfLines(const char* text) const
{
    const CString counted = text != nullptr ? CString(text) : m_strText;
    // A line feed byte is never part of a double-byte character.
    int lines = 1;
    for (int i = 0; i < counted.GetLength(); ++i) {
        if (counted[i] == '\n')
            ++lines;
    }
    return lines;
}

CSize CStaticToolTip::GetMultiLineTextExtent(CDC* pDC, const CString& text) const
{
    const int lines = GetNumberOfLines(text);
    if (lines == 1)
        return pDC->GetTextExtent(text);
    CSize extent;
    int lineHeight = 0;
    int start = 0;
    while (start <= text.GetLength()) {
        int end = text.Find('\n', start);
        if (end < 0)
            end = text.GetLength();
        if (end > start) {
            const CSize line = pDC->GetTextExtent(text.Mid(start, end - start));
            extent.cx = std::max<LONG>(extent.cx, line.cx);
            lineHeight = line.cy;
        }
        start = end + 1;
    }
    extent.cy = lineHeight * lines;
    return extent;
}

void CStaticToolTip::Show()
{
    if (m_hWnd == nullptr)
        return;
    if (m_strText.IsEmpty() || m_pAttached == nullptr || m_pAttached->m_hWnd == nullptr) {
        ShowWindow(SW_HIDE);
        return;
    }
    CPoint origin;
    m_pAttached->ClientToScreen(&origin);
    SetWindowPos(HWND_TOP, origin.x + m_nOffsetX, origin.y + m_nOffsetY, m_rcText.Width(), m_rcText.Height(),
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
    RedrawWindow(RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

LRESULT CStaticToolTip::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (AnswerPaintMessage(m_hWnd, message, wParam, [this](HDC dc) { Paint(dc); }))
        return 0;
    switch (message) {
    case WM_TIMER:
        if (wParam == kFollowTimer) {
            Show();
            return 0;
        }
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CStaticToolTip::Paint(HDC target)
{
    CDC dc(target);
    dc.SelectStockObject(DEFAULT_GUI_FONT);
    dc.SetBkMode(TRANSPARENT);
    if (m_bOwnColours) {
        dc.FillSolidRect(m_rcText, m_clrBackground);
        dc.SetTextColor(m_clrText);
    }
    CRect area = m_rcText;
    dc.DrawText(m_strText, area, DT_LEFT | DT_TOP);
}
