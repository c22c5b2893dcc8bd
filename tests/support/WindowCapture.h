// Saves what the screen shows of a window (its outline included), or of any
// area of the screen, as a PNG.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/PngFile.h"

namespace sonvera_test
{
// Copies an area of the screen; false when the copy fails.
inline bool CaptureScreenToPng(const RECT& area, const std::string& path)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return false;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;   // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (section != nullptr && memory != nullptr) {
        HGDIOBJ old = SelectObject(memory, section);
        copied = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(memory, old);
    }
    std::vector<uint8_t> rgb;
    if (copied) {
        rgb.resize(static_cast<size_t>(width) * height * 3);
        const auto* pixel = static_cast<const uint8_t*>(bits);
        for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
            rgb[i * 3 + 0] = pixel[i * 4 + 2];
            rgb[i * 3 + 1] = pixel[i * 4 + 1];
            rgb[i * 3 + 2] = pixel[i * 4 + 0];
        }
    }
    if (section != nullptr)
        DeleteObject(section);
    if (memory != nullptr)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copied && WritePng(path, width, height, rgb);
}

// Copies the window's screen area; false when the window or the copy fails.
inline bool CaptureWindowToPng(HWND window, const std::string& path)
{
    RECT area{};
    return GetWindowRect(window, &area) && CaptureScreenToPng(area, path);
}
} // namespace sonvera_test
