// CBitmap: an owned bitmap; empty (no handle) until one is created or attached.
#pragma once

#include "fw/GdiObject.h"
#include "fw/Size.h"

class SONVERA_API CBitmap : public CGdiObject {
public:
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }

    BOOL CreateCompatibleBitmap(HDC dc, int width, int height)
    {
        return Attach(::CreateCompatibleBitmap(dc, width, height));
    }
    // A device-independent section; *bits receives its pixel memory.
    BOOL CreateDIBSection(HDC dc, const BITMAPINFO& info, void** bits)
    {
        return Attach(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0));
    }
    // A bitmap file from disk as a device-independent section at its own size.
    BOOL LoadFromFile(const char* path)
    {
        return Attach(::LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    }
    // Width and height in pixels; 0 x 0 without a bitmap.
    CSize GetSize() const;
};
