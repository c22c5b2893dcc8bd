// CControlTip: the tooltip of one control, made inactive on first use, with a
// single tool over the control's client area.
#pragma once

#include "fw/ToolTipCtrl.h"

class CControlTip : public CToolTipCtrl {
public:
    // Creates the tooltip, inactive, when there is none.
    void Init(CWnd& control);
    // Sets the tool's text (a null text does nothing) and switches the tooltip on or off.
    void SetText(CWnd& control, const CString* text, int activate);
    // Switches the tooltip on or off once it has its tool.
    void ActivateTool(int activate);
    // Shows the tooltip the control's mouse messages.
    void Relay(CWnd& control, MSG* msg);
};
