// CToolTipCtrl: the system's tooltip control for the tools of one window.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "fw/Wnd.h"

class SONVERA_API CToolTipCtrl : public CWnd {
public:
    // Creates the tooltip owned by the window; TRUE when it exists.
    BOOL Create(CWnd* owner);

    // A tool over the rectangle of the window, known by the identifier.
    BOOL AddTool(const CWnd& window, const char* text, const RECT& rect, UINT_PTR id);
    void UpdateTipText(const char* text, const CWnd& window, UINT_PTR id);
    int GetToolCount() const { return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)); }
    void Activate(BOOL activate) { SendMessage(TTM_ACTIVATE, activate); }
    // Hands a mouse message to the tooltip, which shows and hides itself by it.
    void RelayEvent(MSG* msg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }

private:
    static TTTOOLINFOA ToolInfo(const CWnd& window, UINT_PTR id);
};
