// CEdit: an edit control.
#pragma once

#include "fw/Wnd.h"

class SONVERA_API CEdit : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
    {
        return CreateEx(0, "EDIT", "", style, rect, parent != nullptr ? parent->m_hWnd : nullptr, id);
    }
    void SetSel(int start, int end) { SendMessage(EM_SETSEL, static_cast<WPARAM>(start), end); }
    void GetSel(int& start, int& end) const
    {
        DWORD first = 0, last = 0;
        SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&first), reinterpret_cast<LPARAM>(&last));
        start = static_cast<int>(first);
        end = static_cast<int>(last);
    }
};
