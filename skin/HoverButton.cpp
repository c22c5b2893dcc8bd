#include "skin/HoverButton.h"

#include "fw/ClientDC.h"
#include "fw/MemoryDC.h"

LRESULT CHoverButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEMOVE:
        return OnMouseMove(static_cast<UINT>(wParam), CPoint(lParam));
    case WM_CAPTURECHANGED:
        return OnCaptureChanged(wParam, lParam);
    case WM_KILLFOCUS:
        return OnKillFocus(wParam, lParam);
    case WM_ERASEBKGND:
        return TRUE;   // the picture covers the whole button
    }
    return CButton::WindowProc(message, wParam, lParam);
}

void CHoverButton::PreSubclassWindow()
{
    SetButtonStyle((GetStyle() & 0xFF) | BS_OWNERDRAW, TRUE);
    CButton::PreSubclassWindow();
    ModifyStyle(WS_TABSTOP, 0);
}

BOOL CHoverButton::PreTranslateMessage(MSG* msg)
{
    m_tooltip.Relay(*this, msg);
    return CButton::PreTranslateMessage(msg);
}

void CHoverButton::SetTooltipText(const CString* text, int activate)
{
    m_tooltip.SetText(*this, text, activate);
}

void CHoverButton::SetChecked(int checked)
{
    if (checked == m_bChecked)
        return;
    m_bChecked = checked;
    Invalidate();
}

void CHoverButton::CutPictures(const CBitmap* const sources[pictureCount], const CRect& rect)
{
    // One window DC for all the looks: taking a window's DC costs more than a cut.
    CClientDC windowDC(m_hWnd);
    for (int look = 0; look < pictureCount; ++look) {
        if (sources[look] != nullptr)
            CutOut(windowDC, m_bmpPictures[look], *sources[look], rect);
    }
}

void CHoverButton::CopyBitmapRect(CBitmap& destination, const CBitmap& source, const CRect& rect)
{
    CClientDC windowDC(m_hWnd);
    CutOut(windowDC, destination, source, rect);
}

void CHoverButton::CutOut(HDC windowDC, CBitmap& destination, const CBitmap& source, const CRect& rect)
{
    if (source.IsNull())
        return;
    CBitmap cut;
    cut.CreateCompatibleBitmap(windowDC, rect.Width(), rect.Height());
    {
        CMemoryDC from(windowDC);
        CMemoryDC to(windowDC);
        from.SelectObject(source);
        to.SelectObject(cut);
        to.BitBlt(0, 0, rect.Width(), rect.Height(), from, rect.left, rect.top, SRCCOPY);
    }
    destination = std::move(cut);
}

LRESULT CHoverButton::OnMouseMove(UINT flags, CPoint point)
{
    const LRESULT result = DefWindowProc(WM_MOUSEMOVE, flags, point.ToLParam());
    const bool leftHeld = (flags & MK_LBUTTON) != 0;
    // A drag that comes in from outside does not light the button.
    if (leftHeld && !m_bHover)
        return result;
    if (::GetCapture() != m_hWnd) {
        HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
        if (owner == nullptr)
            owner = ::GetParent(m_hWnd);
        if (::GetActiveWindow() != nullptr && owner != nullptr) {
            m_bHover = TRUE;
            ::SetCapture(m_hWnd);
            Invalidate();
        }
        return result;
    }
    CPoint screen = point;
    ClientToScreen(&screen);
    if (::WindowFromPoint(screen) != m_hWnd) {
        if (m_bHover) {
            m_bHover = FALSE;
            Invalidate();
        }
        if (!leftHeld)
            ::ReleaseCapture();
    }
    return result;
}

LRESULT CHoverButton::OnCaptureChanged(WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = DefWindowProc(WM_CAPTURECHANGED, wParam, lParam);
    // Hover stays set: the next move finds out where the pointer is.
    if (m_bHover) {
        if (::GetCapture() == m_hWnd)
            ::ReleaseCapture();
        Invalidate();
    }
    return result;
}

LRESULT CHoverButton::OnKillFocus(WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = DefWindowProc(WM_KILLFOCUS, wParam, lParam);
    m_bHover = FALSE;
    Invalidate();
    return result;
}

CHoverButton::Picture CHoverButton::ChoosePicture(UINT itemState) const
{
    const bool pressed = (itemState & ODS_SELECTED) != 0;
    const bool disabled = (itemState & ODS_DISABLED) != 0;
    if (m_bTwoState)
        return m_bChecked ? pressedPicture : normalPicture;
    if (m_bChecked && !m_bHover)
        return pressedPicture;
    if (pressed)
        return pressedPicture;
    if (m_bHover)
        return hoverPicture;
    if (disabled)
        return disabledPicture;
    return normalPicture;
}

void CHoverButton::DrawItem(LPDRAWITEMSTRUCT item)
{
    CDC dc(item->hDC);
    DrawPicture(dc, m_bmpPictures[ChoosePicture(item->itemState)]);
}

void CHoverButton::DrawPicture(CDC& dc, const CBitmap& picture) const
{
    if (picture.IsNull())
        return;
    CRect client;
    GetClientRect(&client);
    CMemoryDC source(dc);
    source.SelectObject(picture);
    dc.BitBlt(0, 0, client.Width(), client.Height(), source, 0, 0, SRCCOPY);
}
