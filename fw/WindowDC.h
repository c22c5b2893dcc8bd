// CWindowDC: the DC of a whole window, frame included, with the origin at the
// window's top-left corner; released when the scope ends.
#pragma once

#include "fw/DC.h"

class SONVERA_API CWindowDC : public CDC {
public:
    explicit CWindowDC(HWND window) : CDC(::GetWindowDC(window)), m_hWnd(window) {}
    ~CWindowDC()
    {
        RestoreSelections();
        if (m_hDC != nullptr)
            ::ReleaseDC(m_hWnd, m_hDC);
    }

private:
    HWND m_hWnd;
};
