// CStatic: a static text or picture control.
#pragma once

#include "fw/Wnd.h"

class SONVERA_API CStatic : public CWnd {
public:
    BOOL Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id)
    {
        return CreateEx(0, "STATIC", text, style, rect, parent != nullptr ? parent->m_hWnd : nullptr, id);
    }
};
