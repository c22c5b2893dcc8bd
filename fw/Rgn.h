// CRgn: an owned region.
#pragma once

#include "fw/GdiObject.h"
#include "fw/Rect.h"

class SONVERA_API CRgn : public CGdiObject {
public:
    operator HRGN() const { return static_cast<HRGN>(m_hObject); }

    BOOL CreateRectRgn(int left, int top, int right, int bottom)
    {
        return Attach(::CreateRectRgn(left, top, right, bottom));
    }
    // A region from a list of rectangles; `size` covers the header and the rectangles.
    BOOL CreateFromData(const RGNDATA* data, DWORD size) { return Attach(::ExtCreateRegion(nullptr, size, data)); }
    // This region becomes `a` combined with `b`; returns the region's kind or ERROR.
    int CombineRgn(HRGN a, HRGN b, int mode) { return ::CombineRgn(*this, a, b, mode); }
    // The bounding rectangle; returns NULLREGION, SIMPLEREGION, COMPLEXREGION or ERROR.
    int GetRgnBox(CRect& box) const { return ::GetRgnBox(*this, &box); }
    BOOL PtInRegion(int x, int y) const { return ::PtInRegion(*this, x, y); }
};
