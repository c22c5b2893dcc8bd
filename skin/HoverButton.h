// CHoverButton: an owner-drawn picture button that lights up while the
// pointer is over it and has a tooltip. It holds one picture per look
// (normal, hover, pressed, disabled), cut out of the skin's pictures; a
// two-state button shows only its normal and its checked (pressed) picture.
//
// While the pointer is over it the button holds the mouse capture, so that it
// sees the pointer leave.
#pragma once

#include "fw/Bitmap.h"
#include "fw/Button.h"
#include "fw/DC.h"
#include "skin/ControlTip.h"

class CHoverButton : public CButton {
public:
    enum Picture { normalPicture, hoverPicture, pressedPicture, disabledPicture, pictureCount };

    // Sets the tooltip's text (a null text does nothing) and switches it on or off.
    void SetTooltipText(const CString* text, int activate);
    void SetChecked(int checked);
    int GetChecked() const { return m_bChecked; }
    void SetTwoState(int twoState) { m_bTwoState = twoState; }
    int IsHover() const { return m_bHover; }

    // Cuts the picture for a look out of a skin picture at the rectangle.
    void CutPicture(Picture which, const CBitmap& source, const CRect& rect)
    {
        CopyBitmapRect(m_bmpPictures[which], source, rect);
    }
    // Cuts the picture of every look whose source is given, at one rectangle.
    void CutPictures(const CBitmap* const sources[pictureCount], const CRect& rect);
    // A new bitmap, compatible with this window, of the rectangle's size,
    // holding the source's pixels from the rectangle's top-left corner.
    // Without a source picture the destination stays as it is.
    void CopyBitmapRect(CBitmap& destination, const CBitmap& source, const CRect& rect);

    BOOL PreTranslateMessage(MSG* msg) override;
    void DrawItem(LPDRAWITEMSTRUCT item) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PreSubclassWindow() override;

    LRESULT OnMouseMove(UINT flags, CPoint point);
    LRESULT OnCaptureChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnKillFocus(WPARAM wParam, LPARAM lParam);

    // Copies the picture one-to-one onto the DC at 0, 0, as large as the client area.
    void DrawPicture(CDC& dc, const CBitmap& picture) const;

    CControlTip m_tooltip;
    int m_bChecked = 0;
    int m_bTwoState = 0;
    int m_bHover = 0;
    CBitmap m_bmpPictures[pictureCount];

private:
    static void CutOut(HDC windowDC, CBitmap& destination, const CBitmap& source, const CRect& rect);
    Picture ChoosePicture(UINT itemState) const;
};
