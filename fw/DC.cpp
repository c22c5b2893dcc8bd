#include "fw/DC.h"

#include "fw/Brush.h"

int CDC::SlotOf(HGDIOBJ object)
{
    switch (::GetObjectType(object)) {
    case OBJ_PEN:
    case OBJ_EXTPEN:
        return penSlot;
    case OBJ_BRUSH:
        return brushSlot;
    case OBJ_FONT:
        return fontSlot;
    case OBJ_BITMAP:
        return bitmapSlot;
    default:
        return -1;
    }
}

HGDIOBJ CDC::Select(HGDIOBJ object)
{
    if (object == nullptr)
        return nullptr;
    HGDIOBJ previous = ::SelectObject(m_hDC, object);
    const int slot = SlotOf(object);
    if (slot >= 0 && m_original[slot] == nullptr && previous != nullptr && previous != HGDI_ERROR)
        m_original[slot] = previous;
    return previous;
}

void CDC::RestoreSelections()
{
    for (HGDIOBJ& original : m_original) {
        if (original != nullptr)
            ::SelectObject(m_hDC, original);
        original = nullptr;
    }
}

void CDC::FillSolidRect(const RECT& rect, COLORREF colour)
{
    CBrush brush(colour);
    ::FillRect(m_hDC, &rect, brush);
}

void CDC::Draw3dRect(const RECT& rect, COLORREF topLeft, COLORREF bottomRight)
{
    const int x = rect.left, y = rect.top;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    FillSolidRect(CRect(x, y, x + width - 1, y + 1), topLeft);
    FillSolidRect(CRect(x, y, x + 1, y + height - 1), topLeft);
    FillSolidRect(CRect(x + width - 1, y, x + width, y + height), bottomRight);
    FillSolidRect(CRect(x, y + height - 1, x + width, y + height), bottomRight);
}

CSize CDC::GetTextExtent(const CString& text) const
{
    CSize size;
    ::GetTextExtentPoint32A(m_hDC, text, text.GetLength(), &size);
    return size;
}
