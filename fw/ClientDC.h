// CClientDC: a window's client-area DC, released when the scope ends.
#pragma once

#include "fw/DC.h"

class SONVERA_API CClientDC : public CDC {
public:
    explicit CClientDC(HWND window) : CDC(::GetDC(window)), m_hWnd(window) {}
    ~CClientDC()
    {
        RestoreSelections();
        if (m_hDC != nullptr)
            ::ReleaseDC(m_hWnd, m_hDC);
    }

private:
    HWND m_hWnd;
};
