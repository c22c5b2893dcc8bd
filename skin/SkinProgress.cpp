#include "skin/SkinProgress.h"

#include "skin/SkinDlg.h"

LRESULT CSkinProgress::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONUP:
        return OnLButtonUp(static_cast<UINT>(wParam), CPoint(lParam));
    case WM_MOUSEMOVE:
        return OnMouseMove(static_cast<UINT>(wParam), CPoint(lParam));
    }
    return CPercentBar::WindowProc(message, wParam, lParam);
}

LRESULT CSkinProgress::OnLButtonUp(UINT flags, CPoint point)
{
    CPercentBar::OnLButtonUp(flags, point);
    Invalidate();
    CRect client;
    GetClientRect(&client);
    if (client.PtInRect(point)) {
        if (CSkinDlg* dialog = CSkinDlg::FromChild(m_hWnd))
            dialog->ChangeProgress(m_nIndex);
    }
    return 0;
}

LRESULT CSkinProgress::OnMouseMove(UINT flags, CPoint point)
{
    const LRESULT result = CPercentBar::OnMouseMove(flags, point);
    if (CSkinDlg* dialog = CSkinDlg::FromChild(m_hWnd))
        dialog->MouseMoved(m_strName, point.x, point.y);
    return result;
}
