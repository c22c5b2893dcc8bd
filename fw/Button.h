// CButton: a button control. An owner-drawn button draws itself in DrawItem,
// which its parent's owner-draw request reaches by reflection.
#pragma once

#include "fw/Wnd.h"

class SONVERA_API CButton : public CWnd {
public:
    BOOL Create(const char* caption, DWORD style, const RECT& rect, CWnd* parent, UINT id);

    // The button-type bits of the style (BS_*), set through the control so that it redraws.
    void SetButtonStyle(UINT style, BOOL redraw = TRUE) { SendMessage(BM_SETSTYLE, style, redraw); }

    // Draws an owner-drawn button; the default draws nothing.
    virtual void DrawItem(LPDRAWITEMSTRUCT item);

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
