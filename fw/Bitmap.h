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
    // A device-dependent bitmap from the given bits (null: uninitialised);
    // one plane of 1 bit per pixel makes a monochrome mask.
    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
    {
        return Attach(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
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
    // A bitmap resource of the module.
    BOOL LoadBitmap(HINSTANCE module, UINT id) { return Attach(::LoadBitmapA(module, MAKEINTRESOURCEA(id))); }
    // Width and height in pixels; 0 x 0 without a bitmap.
    CSize GetSize() const;
};
