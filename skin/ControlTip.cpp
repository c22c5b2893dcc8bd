#include "skin/ControlTip.h"

namespace {
const UINT_PTR kToolId = 1;
}

void CControlTip::Init(CWnd& control)
{
    if (m_hWnd != nullptr || !Create(&control))
        return;
    Activate(FALSE);
    if (m_bHasTool)
        ApplyTool(control);
}

void CControlTip::SetText(CWnd& control, const CString* text, int activate)
{
    if (text == nullptr)
        return;
    m_bHasTool = true;
    m_strText = *text;
    m_bActive = activate;
    if (m_hWnd != nullptr)
        ApplyTool(control);
}

void CControlTip::ActivateTool(int activate)
{
    if (!m_bHasTool)
        return;
    m_bActive = activate;
    if (m_hWnd != nullptr)
        Activate(activate);
}

void CControlTip::Relay(CWnd& control, MSG* msg)
{
    // Only mouse messages show or hide a tooltip.
    if (msg->message < WM_MOUSEFIRST || msg->message > WM_MOUSELAST)
        return;
    Init(control);
    RelayEvent(msg);
}

void CControlTip::ApplyTool(CWnd& control)
{
    if (GetToolCount() == 0) {
        CRect client;
        control.GetClientRect(&client);
        AddTool(control, m_strText, client, kToolId);
    }
    UpdateTipText(m_strText, control, kToolId);
    Activate(m_bActive);
}
