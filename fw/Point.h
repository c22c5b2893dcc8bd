// CPoint: a point in pixels, usable wherever the system takes a POINT.
#pragma once

#include <windows.h>

class CPoint : public POINT {
public:
    CPoint() : POINT{0, 0} {}
    CPoint(int xValue, int yValue) : POINT{xValue, yValue} {}
    CPoint(const POINT& point) : POINT(point) {}
    // The position packed in a mouse message's LPARAM (signed 16-bit halves).
    explicit CPoint(LPARAM packed)
        : POINT{static_cast<short>(LOWORD(packed)), static_cast<short>(HIWORD(packed))} {}

    bool operator==(const POINT& other) const { return x == other.x && y == other.y; }
    bool operator!=(const POINT& other) const { return !(*this == other); }
    CPoint operator+(const POINT& other) const { return CPoint(x + other.x, y + other.y); }
    // Packs the point as a mouse message carries it.
    LPARAM ToLParam() const { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }
};
