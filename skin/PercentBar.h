// CPercentBar: a bar that shows a percentage by covering its base picture
// with its filled picture from the left (or, filling from the top, from the
// top edge down), and that the user sets by clicking or dragging.
#pragma once

#include "skin/HoverButton.h"

class CPercentBar : public CHoverButton {
public:
    // Ignored while the user drags the bar and when unchanged; values above 100
    // (compared unsigned, so negative values too) become 100.
    void SetPos(int position);
    int GetPos() const { return m_nPos; }
    void SetFillsFromTop(int fromTop) { m_bFillsFromTop = fromTop; }
    int FillsFromTop() const { return m_bFillsFromTop; }
    int IsDragging() const { return m_bDragging; }

    // The button's own redraws paint the bar.
    void DrawItem(LPDRAWITEMSTRUCT item) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnLButtonDown(UINT flags, CPoint point);
    LRESULT OnLButtonUp(UINT flags, CPoint point);
    LRESULT OnMouseMove(UINT flags, CPoint point);

private:
    // Sets the position from a point in the bar; FALSE for a bar of no size.
    bool TakePositionFrom(CPoint point);
    void Paint(HDC dc);

    int m_bFillsFromTop = 0;
    int m_bDragging = 0;
    int m_nPos = 0;
};
