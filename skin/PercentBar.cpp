#include "skin/PercentBar.h"

#include "fw/MemoryDC.h"
#include "fw/PaintDC.h"

#include <algorithm>

namespace
{
// The percentage's share of a length, truncated; in 64 bits, as a bar a
// skin makes wider than a hundredth of the int range would overflow.
int Share(int length, int percent)
{
    return static_cast<int>(static_cast<long long>(length) * percent / 100);
}
} // namespace

LRESULT CPercentBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (AnswerPaintMessage(m_hWnd, message, wParam, [this](HDC dc) { Paint(dc); }))
        return 0;
    switch (message) {
    case WM_LBUTTONDOWN:
        return OnLButtonDown(static_cast<UINT>(wParam), CPoint(lParam));
    case WM_LBUTTONUP:
        return OnLButtonUp(static_cast<UINT>(wParam), CPoint(lParam));
    case WM_MOUSEMOVE:
        return OnMouseMove(static_cast<UINT>(wParam), CPoint(lParam));
    case WM_ERASEBKGND:
        return TRUE;   // the paint covers the whole bar
    }
    return CHoverButton::WindowProc(message, wParam, lParam);
}

void CPercentBar::SetPos(int position)
{
    if (m_bDragging || position == m_nPos)
        return;
    m_nPos = static_cast<unsigned>(position) > 100u ? 100 : position;
    Invalidate();
}

bool CPercentBar::TakePositionFrom(CPoint point)
{
    CRect client;
    GetClientRect(&client);
    const int extent = m_bFillsFromTop ? client.Height() : client.Width();
    if (extent <= 0)
        return false;
    // A point past either end stands for that end: the bar that has the
    // mouse captured is told of points outside it, and so may any sender.
    const int along = std::clamp<int>(m_bFillsFromTop ? point.y : point.x, 0, extent);
    m_nPos = along * 100 / extent;
    return true;
}

LRESULT CPercentBar::OnLButtonDown(UINT, CPoint point)
{
    // No default processing: the bar never shows itself as a pushed button.
    if (TakePositionFrom(point)) {
        m_bDragging = TRUE;
        Invalidate();
    }
    return 0;
}

LRESULT CPercentBar::OnLButtonUp(UINT, CPoint)
{
    m_bDragging = FALSE;
    return 0;
}

LRESULT CPercentBar::OnMouseMove(UINT flags, CPoint point)
{
    const LRESULT result = CHoverButton::OnMouseMove(flags, point);
    if (m_bHover && m_bDragging && TakePositionFrom(point))
        Invalidate();
    return result;
}

void CPercentBar::DrawItem(LPDRAWITEMSTRUCT item)
{
    Paint(item->hDC);
}

void CPercentBar::Paint(HDC target)
{
    CDC dc(target);
    DrawPicture(dc, m_bmpPictures[normalPicture]);
    const CBitmap& filled = m_bmpPictures[pressedPicture];
    if (filled.IsNull())
        return;
    CRect client;
    GetClientRect(&client);
    const int width = m_bFillsFromTop ? client.Width() : Share(client.Width(), m_nPos);
    const int height = m_bFillsFromTop ? Share(client.Height(), m_nPos) : client.Height();
    CMemoryDC source(dc);
    source.SelectObject(filled);
    dc.BitBlt(0, 0, width, height, source, 0, 0, SRCCOPY);
}
