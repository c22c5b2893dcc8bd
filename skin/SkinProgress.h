// CSkinProgress: a skin's percentage bar. It reports a click to the skin
// dialog by its index in the dialog's list (ChangeProgress) and every mouse
// move over it by its name (MouseMoved).
#pragma once

#include "skin/PercentBar.h"

class CSkinProgress : public CPercentBar {
public:
    void SetName(const CString& name) { m_strName = name; }
    const CString& GetName() const { return m_strName; }
    void SetIndex(int index) { m_nIndex = index; }
    int GetIndex() const { return m_nIndex; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnLButtonUp(UINT flags, CPoint point);
    LRESULT OnMouseMove(UINT flags, CPoint point);

    CString m_strName;
    int m_nIndex = 0;
};
