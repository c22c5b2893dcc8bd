// CEdit: an edit control.
#pragma once

#include "fw/Wnd.h"

class SONVERA_API CEdit : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
    {
        return CreateEx(0, "EDIT", "", style, rect, parent != nullptr ? parent->m_hWnd : nullptr, id);
    }
};
