#include "skin/BitmapRegion.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "fw/MemoryDC.h"

namespace {

// Runs are joined into a region this many at a time: some systems refuse a
// region built from many more rectangles in one call.
const DWORD kRunsPerRegion = 2000;
// The run buffer grows by this many rectangles when full.
const DWORD kRunBufferStep = 100;

// A region-data buffer: the header, then room for the run rectangles.
class CRunBuffer {
public:
    CRunBuffer() { Reset(); }

    void Add(int x0, int y, int x1)
    {
        if (Count() == m_nCapacity) {
            m_nCapacity += kRunBufferStep;
            m_bytes.resize(sizeof(RGNDATAHEADER) + m_nCapacity * sizeof(RECT));
        }
        RECT* runs = reinterpret_cast<RECT*>(m_bytes.data() + sizeof(RGNDATAHEADER));
        runs[Count()] = RECT{x0, y, x1, y + 1};
        RECT& bound = Header().rcBound;
        bound.left = std::min<LONG>(bound.left, x0);
        bound.top = std::min<LONG>(bound.top, y);
        bound.right = std::max<LONG>(bound.right, x1);
        bound.bottom = std::max<LONG>(bound.bottom, y + 1);
        ++Header().nCount;
    }

    DWORD Count() { return Header().nCount; }

    // Joins the collected runs into `result` (or makes them the result) and starts over.
    void FlushInto(CRgn& result)
    {
        CRgn batch;
        batch.CreateFromData(reinterpret_cast<const RGNDATA*>(m_bytes.data()),
                             static_cast<DWORD>(sizeof(RGNDATAHEADER) + m_nCapacity * sizeof(RECT)));
        if (result.IsNull())
            result = std::move(batch);
        else if (!batch.IsNull())
            result.CombineRgn(result, batch, RGN_OR);
        Reset();
    }

private:
    RGNDATAHEADER& Header() { return *reinterpret_cast<RGNDATAHEADER*>(m_bytes.data()); }

    void Reset()
    {
        if (m_bytes.empty()) {
            m_nCapacity = kRunBufferStep;
            m_bytes.assign(sizeof(RGNDATAHEADER) + m_nCapacity * sizeof(RECT), 0);
        }
        RGNDATAHEADER& header = Header();
        header.dwSize = sizeof(RGNDATAHEADER);
        header.iType = RDH_RECTANGLES;
        header.nCount = 0;
        header.nRgnSize = 0;
        header.rcBound = RECT{LONG_MAX, LONG_MAX, 0, 0};
    }

    std::vector<BYTE> m_bytes;
    DWORD m_nCapacity = 0;
};

struct ChannelRange {
    BYTE low;
    BYTE high;
    bool Holds(BYTE value) const { return value >= low && value <= high; }
};

ChannelRange RangeOf(BYTE transparent, BYTE tolerance)
{
    return ChannelRange{transparent, static_cast<BYTE>(std::min(255, transparent + tolerance))};
}

} // namespace

CRgn BitmapToRegion(const CBitmap& picture, COLORREF transparent, COLORREF tolerance)
{
    CRgn result;
    if (picture.IsNull())
        return result;
    CMemoryDC sectionDC;
    CMemoryDC pictureDC(sectionDC.GetSafeHdc());
    if (!sectionDC.IsValid() || !pictureDC.IsValid())
        return result;

    // A 32-bit bottom-up copy of the picture, so that every pixel reads the same way.
    const CSize size = picture.GetSize();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    CBitmap section;
    if (!section.CreateDIBSection(sectionDC, info, &bits) || bits == nullptr)
        return result;
    sectionDC.SelectObject(section);
    pictureDC.SelectObject(picture);
    sectionDC.BitBlt(0, 0, size.cx, size.cy, pictureDC, 0, 0, SRCCOPY);
    ::GdiFlush();

    const ChannelRange red = RangeOf(GetRValue(transparent), GetRValue(tolerance));
    const ChannelRange green = RangeOf(GetGValue(transparent), GetGValue(tolerance));
    const ChannelRange blue = RangeOf(GetBValue(transparent), GetBValue(tolerance));
    const int rowBytes = ((size.cx * 32 + 31) / 32) * 4;

    CRunBuffer runs;
    for (int y = 0; y < size.cy; ++y) {
        // Bottom-up: the picture's top row is the section's last.
        const BYTE* row = static_cast<const BYTE*>(bits) + static_cast<size_t>(size.cy - 1 - y) * rowBytes;
        for (int x = 0; x < size.cx; ++x) {
            const int x0 = x;
            for (; x < size.cx; ++x) {
                const BYTE* pixel = row + x * 4;   // blue, green, red, unused
                if (red.Holds(pixel[2]) && green.Holds(pixel[1]) && blue.Holds(pixel[0]))
                    break;
            }
            if (x > x0)
                runs.Add(x0, y, x);
            if (runs.Count() == kRunsPerRegion)
                runs.FlushInto(result);
        }
    }
    runs.FlushInto(result);
    return result;
}
