#include "skin/SkinButton.h"

#include "skin/SkinDlg.h"

LRESULT CSkinButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONUP:
        return OnLButtonUp(static_cast<UINT>(wParam), CPoint(lParam));
    }
    return CHoverButton::WindowProc(message, wParam, lParam);
}

LRESULT CSkinButton::OnLButtonUp(UINT flags, CPoint point)
{
    CRect client;
    GetClientRect(&client);
    if (client.PtInRect(point)) {
        m_bHover = FALSE;
        if (CSkinDlg* dialog = CSkinDlg::FromChild(m_hWnd))
            dialog->PressButtonID(m_nID);
        Invalidate();
    }
    return DefWindowProc(WM_LBUTTONUP, flags, point.ToLParam());
}
