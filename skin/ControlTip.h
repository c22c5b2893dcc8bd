// CControlTip: the tooltip of one control, with a single tool over the
// control's client area. The tooltip window is made when the control first
// sees the mouse (or when asked for explicitly): a skin makes a dozen
// controls at once, and a tooltip window costs more to make than its control.
#pragma once

#include "fw/ToolTipCtrl.h"

class CControlTip : public CToolTipCtrl {
public:
    // Creates the tooltip window, inactive, when there is none, with the tool
    // if its text is already set.
    void Init(CWnd& control);
    // Sets the tool's text (a null text does nothing) and switches the tooltip on or off.
    void SetText(CWnd& control, const CString* text, int activate);
    // Switches the tooltip on or off once it has its tool.
    void ActivateTool(int activate);
    // Shows the tooltip the control's mouse messages.
    void Relay(CWnd& control, MSG* msg);

    bool HasTool() const { return m_bHasTool; }

private:
    // Gives the window the tool, its text and its state.
    void ApplyTool(CWnd& control);

    bool m_bHasTool = false;
    CString m_strText;
    int m_bActive = 0;
};
