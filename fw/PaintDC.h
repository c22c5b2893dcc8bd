// CPaintDC: the DC of one WM_PAINT, from BeginPaint to EndPaint.
#pragma once

#include "fw/DC.h"

class SONVERA_API CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND window) : m_hWnd(window) { m_hDC = ::BeginPaint(window, &m_ps); }
    ~CPaintDC()
    {
        RestoreSelections();
        ::EndPaint(m_hWnd, &m_ps);
    }

private:
    HWND m_hWnd;
    PAINTSTRUCT m_ps{};
};
