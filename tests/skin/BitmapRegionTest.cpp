// BitmapToRegion: the window outline from a mask picture, in which pure white
// is outside.
#include <gtest/gtest.h>

#include "skin/BitmapRegion.h"
#include "tests/skin/SkinTestSupport.h"

using namespace sonvera_test;

namespace
{
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kTolerance = RGB(16, 16, 16);

// The region of the rectangles, joined one by one.
CRgn UnionOf(const std::vector<CRect>& rects)
{
    CRgn result;
    result.CreateRectRgn(0, 0, 0, 0);
    for (const CRect& rect : rects) {
        CRgn part;
        part.CreateRectRgn(rect.left, rect.top, rect.right, rect.bottom);
        result.CombineRgn(result, part, RGN_OR);
    }
    return result;
}

struct MaskCase {
    const char* name;
    int width;
    int height;
    ColourAt colourAt;
    std::vector<CRect> expected;   // the opaque area
};

TEST(BitmapToRegion, OpaquePixelsMakeTheRegion)
{
    std::vector<CRect> everyOtherColumn;   // 50 runs a row, 3000 in all: joined in batches
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; x += 2)
            everyOtherColumn.push_back(CRect(x, y, x + 1, y + 1));
    const MaskCase cases[] = {
        {"all white", 40, 30, [](int, int) { return kWhite; }, {}},
        {"no white", 40, 30, [](int, int) { return RGB(0, 0, 0); }, {CRect(0, 0, 40, 30)}},
        {"near white is opaque", 40, 30, [](int, int) { return RGB(250, 255, 255); }, {CRect(0, 0, 40, 30)}},
        {"white frame", 40, 30,
         [](int x, int y) { return (x == 0 || y == 0 || x == 39 || y == 29) ? kWhite : RGB(10, 200, 10); },
         {CRect(1, 1, 39, 29)}},
        {"rounded corner", 4, 2, [](int x, int y) { return (x == 0 && y == 0) ? kWhite : RGB(1, 1, 1); },
         {CRect(1, 0, 4, 1), CRect(0, 1, 4, 2)}},
        {"more than 2000 runs", 100, 60, [](int x, int) { return x % 2 ? kWhite : RGB(0, 0, 255); },
         everyOtherColumn},
    };
    for (const MaskCase& c : cases) {
        CBitmap mask;
        MakeBitmap(mask, c.width, c.height, c.colourAt);
        CRgn region = BitmapToRegion(mask, kWhite, kTolerance);
        ASSERT_FALSE(region.IsNull()) << c.name;
        CRgn expected = UnionOf(c.expected);
        EXPECT_TRUE(region.EqualRgn(expected)) << c.name;
    }
    CBitmap none;
    EXPECT_TRUE(BitmapToRegion(none, kWhite, kTolerance).IsNull()) << "no picture";
}

} // namespace
