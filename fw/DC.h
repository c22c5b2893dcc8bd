// CDC: drawing on a device context it does not own. Everything selected
// through it is put back when it ends (or at RestoreSelections), so a CDC is
// the scope of its selections: a helper that draws on a caller's DC wraps the
// handle in its own CDC and leaves the caller's DC as it found it. The owning
// kinds (CPaintDC, CClientDC, CWindowDC, CMemoryDC) add taking and giving back
// the handle.
#pragma once

#include <windows.h>

#include "fw/Api.h"
#include "fw/GdiObject.h"
#include "fw/Rect.h"
#include "fw/String.h"

class SONVERA_API CDC {
public:
    explicit CDC(HDC dc = nullptr) : m_hDC(dc) {}
    ~CDC() { RestoreSelections(); }
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }

    // Selects a pen, brush, font or bitmap; returns the one it replaces.
    HGDIOBJ SelectObject(const CGdiObject& object) { return Select(object.GetSafeHandle()); }
    HGDIOBJ SelectStockObject(int index) { return Select(::GetStockObject(index)); }
    // Puts back every object that was in the DC before this CDC selected over it.
    void RestoreSelections();

    BOOL BitBlt(int x, int y, int width, int height, HDC source, int xSource, int ySource, DWORD rop)
    {
        return ::BitBlt(m_hDC, x, y, width, height, source, xSource, ySource, rop);
    }
    void FillRect(const RECT& rect, HBRUSH brush) { ::FillRect(m_hDC, &rect, brush); }
    void FillSolidRect(const RECT& rect, COLORREF colour);
    // The outline of the rectangle, one pixel wide: top and left edges in one
    // colour, bottom and right edges in the other.
    void Draw3dRect(const RECT& rect, COLORREF topLeft, COLORREF bottomRight);
    BOOL MoveTo(int x, int y) { return ::MoveToEx(m_hDC, x, y, nullptr); }
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    BOOL Ellipse(int left, int top, int right, int bottom) { return ::Ellipse(m_hDC, left, top, right, bottom); }
    // Lines from each point to the next, as MoveTo and LineTo would draw them, in one call.
    BOOL Polyline(const POINT* points, int count) { return ::Polyline(m_hDC, points, count); }
    COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }

    // Draws the outline in the selected pen and fills it with the selected
    // brush; with the null pen the filled area ends one pixel before right and bottom.
    BOOL Rectangle(int left, int top, int right, int bottom) { return ::Rectangle(m_hDC, left, top, right, bottom); }

    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    COLORREF SetBkColor(COLORREF colour) { return ::SetBkColor(m_hDC, colour); }
    COLORREF SetTextColor(COLORREF colour) { return ::SetTextColor(m_hDC, colour); }
    int DrawText(const CString& text, RECT& rect, UINT format)
    {
        return ::DrawTextA(m_hDC, text, text.GetLength(), &rect, format);
    }
    // The extent of one line of text in the selected font.
    CSize GetTextExtent(const CString& text) const;
    BOOL GetTextMetrics(TEXTMETRICA& metrics) const { return ::GetTextMetricsA(m_hDC, &metrics); }
    int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }

protected:
    HDC m_hDC;

private:
    HGDIOBJ Select(HGDIOBJ object);

    enum { penSlot, brushSlot, fontSlot, bitmapSlot, slotCount };
    // The slot that remembers the original object of the kind; -1 for kinds
    // that selecting does not replace (a region is copied into the clip).
    static int SlotOf(HGDIOBJ object);
    HGDIOBJ m_original[slotCount] = {};
};
