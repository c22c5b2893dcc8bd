// CSkinClickable: what a skin's button and a skin's label share. Each has the
// name the skin gives it and an identifier, and a click on it (the button
// released over it) reports the identifier to the skin dialog that holds it
// (PressButtonID).
#pragma once

#include "skin/HoverButton.h"

// Reports the click of the control `child` to the skin dialog that holds it;
// nothing when it sits on no skin dialog.
void ReportSkinClick(HWND child, int nID);

template <class Control>
class CSkinClickable : public Control {
public:
    void SetName(const CString& name) { m_strName = name; }
    const CString& GetName() const { return m_strName; }
    void SetID(int id) { m_nID = id; }
    int GetID() const { return m_nID; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_LBUTTONUP)
            return OnLButtonUp(wParam, CPoint(lParam));
        return Control::WindowProc(message, wParam, lParam);
    }

private:
    LRESULT OnLButtonUp(WPARAM flags, CPoint point)
    {
        CRect client;
        this->GetClientRect(&client);
        if (client.PtInRect(point)) {
            this->m_bHover = FALSE;
            ReportSkinClick(this->m_hWnd, m_nID);
            this->Invalidate();
        }
        return this->DefWindowProc(WM_LBUTTONUP, flags, point.ToLParam());
    }

    CString m_strName;
    int m_nID = 0;
};
