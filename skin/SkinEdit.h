// CSkinEdit: an edit box drawn flat, that shows a sunken 3-D border only
// while the pointer is over it, while it has the focus or while it is
// disabled; with a tooltip.
#pragma once

#include <memory>

#include "fw/Api.h"
#include "fw/Edit.h"

class CControlTip;

class SONVERA_API CSkinEdit : public CEdit {
public:
    CSkinEdit();
    ~CSkinEdit() override;

    // Creates the tooltip, inactive, when there is none.
    void InitToolTip();
    // Sets the tooltip's text (a null text does nothing) and switches it on or off.
    void SetTooltipText(const CString* text, int activate);
    // Switches the tooltip on or off once it has its tool.
    void ActivateTooltip(int activate);
    void SetText(const CString& text) { SetWindowText(text); }

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    virtual void DrawBorder(bool highlighted);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnMouseMove(UINT message, WPARAM wParam, LPARAM lParam, bool inClientArea);
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    void ReadSystemColours();

    std::unique_ptr<CControlTip> m_pTooltip;
    COLORREF m_clrHighlight = 0;
    COLORREF m_clrLight = 0;
    COLORREF m_clrDarkShadow = 0;
    COLORREF m_clrShadow = 0;
    COLORREF m_clrFace = 0;
    BYTE m_bTimerRunning = 0;
    BYTE m_bHasFocus = 0;
};
