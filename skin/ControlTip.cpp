#include "skin/ControlTip.h"

namespace {
const UINT_PTR kToolId = 1;
}

void CControlTip::Init(CWnd& control)
{
    if (m_hWnd == nullptr && Create(&control))
        Activate(FALSE);
}

void CControlTip::SetText(CWnd& control, const CString* text, int activate)
{
    if (text == nullptr)
        return;
    Init(control);
    if (GetToolCount() == 0) {
        CRect client;
        control.GetClientRect(&client);
        AddTool(control, *text, client, kToolId);
    }
    UpdateTipText(*text, control, kToolId);
    Activate(activate);
}

void CControlTip::ActivateTool(int activate)
{
    if (m_hWnd != nullptr && GetToolCount() > 0)
        Activate(activate);
}

void CControlTip::Relay(CWnd& control, MSG* msg)
{
    Init(control);
    RelayEvent(msg);
}
