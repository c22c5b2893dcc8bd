// CSkinLabel: a skin's scrolling label; a click reports its identifier to the
// skin dialog (PressButtonID), as a button's does.
#pragma once

#include "skin/ScrollLabel.h"

class CSkinLabel : public CScrollLabel {
public:
    void SetName(const CString& name) { m_strName = name; }
    const CString& GetName() const { return m_strName; }
    void SetID(int id) { m_nID = id; }
    int GetID() const { return m_nID; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnLButtonUp(UINT flags, CPoint point);

    CString m_strName;
    int m_nID = 0;
};
