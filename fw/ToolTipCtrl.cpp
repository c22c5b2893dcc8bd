#include "fw/ToolTipCtrl.h"

namespace {

void RegisterCommonControls()
{
    static bool registered = false;
    if (!registered) {
        INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
        registered = ::InitCommonControlsEx(&classes) != FALSE;
    }
}

} // namespace

BOOL CToolTipCtrl::Create(CWnd* owner)
{
    RegisterCommonControls();
    return CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CRect(),
                    owner != nullptr ? owner->m_hWnd : nullptr, 0);
}

TTTOOLINFOA CToolTipCtrl::ToolInfo(const CWnd& window, UINT_PTR id)
{
    TTTOOLINFOA info{};
    // The size that every version of the control accepts.
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.hwnd = window.m_hWnd;
    info.uId = id;
    return info;
}

BOOL CToolTipCtrl::AddTool(const CWnd& window, const char* text, const RECT& rect, UINT_PTR id)
{
    TTTOOLINFOA info = ToolInfo(window, id);
    info.uFlags = 0;
    info.rect = rect;
    info.lpszText = const_cast<char*>(text);
    return SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

void CToolTipCtrl::UpdateTipText(const char* text, const CWnd& window, UINT_PTR id)
{
    TTTOOLINFOA info = ToolInfo(window, id);
    info.lpszText = const_cast<char*>(text);
    SendMessage(TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
}
