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

// Answers the two messages that ask a window for its picture -- WM_PAINT for
// the screen and WM_PRINTCLIENT for the DC the message carries -- with the
// one function that draws the client area, so a window prints exactly what it
// paints. False for any other message, which the caller goes on to handle.
template <class Paint>
bool AnswerPaintMessage(HWND window, UINT message, WPARAM wParam, Paint paint)
{
    if (message == WM_PAINT) {
        CPaintDC dc(window);
        paint(static_cast<HDC>(dc));
        return true;
    }
    if (message == WM_PRINTCLIENT) {
        paint(reinterpret_cast<HDC>(wParam));
        return true;
    }
    return false;
}
