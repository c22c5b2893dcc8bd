// Pictures of windows as PNG files, for screenshots a person looks at: the
// sample host's record of a dialog run, and the tests' pictures.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/capture/PngFile.h"

namespace sonvera_capture
{
namespace picture_detail
{
// Copies a width x height area from the device context `source`, at `origin`
// within it; false when the area is empty or the copy fails.
inline bool SaveArea(HDC source, POINT origin, int width, int height, const std::string& path)
{
    if (source == nullptr || width <= 0 || height <= 0)
        return false;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;   // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC memory = CreateCompatibleDC(source);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (section != nullptr && memory != nullptr) {
        HGDIOBJ old = SelectObject(memory, section);
        copied = BitBlt(memory, 0, 0, width, height, source, origin.x, origin.y, SRCCOPY) != FALSE;
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
    return copied && WritePng(path, width, height, rgb);
}

// The area of `window` (its outline included) in `source`, at `origin` within it.
inline bool SaveArea(HWND window, HDC source, POINT origin, const std::string& path)
{
    RECT area{};
    return GetWindowRect(window, &area) &&
           SaveArea(source, origin, area.right - area.left, area.bottom - area.top, path);
}
} // namespace picture_detail

// What the window's own surface holds, its controls and drawing included,
// whatever covers it on the screen.
inline bool SaveWindowSurface(HWND window, const std::string& path)
{
    HDC source = GetWindowDC(window);
    const bool saved = picture_detail::SaveArea(window, source, POINT{0, 0}, path);
    ReleaseDC(window, source);
    return saved;
}

// What the screen shows where the window is: its outline, and any window
// opened over it (a message box, a drive choice).
inline bool SaveScreenArea(HWND window, const std::string& path)
{
    RECT area{};
    GetWindowRect(window, &area);
    HDC screen = GetDC(nullptr);
    const bool saved = picture_detail::SaveArea(window, screen, POINT{area.left, area.top}, path);
    ReleaseDC(nullptr, screen);
    return saved;
}

// What the screen shows in an area, whatever windows lie there (a menu and
// its open sub-menu).
inline bool SaveScreenRect(const RECT& area, const std::string& path)
{
    HDC screen = GetDC(nullptr);
    const bool saved = picture_detail::SaveArea(screen, POINT{area.left, area.top}, area.right - area.left,
                                                area.bottom - area.top, path);
    ReleaseDC(nullptr, screen);
    return saved;
}
} // namespace sonvera_capture
