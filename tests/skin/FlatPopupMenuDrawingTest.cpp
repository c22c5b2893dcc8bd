// The flat popup menu as it is laid out, placed and drawn: item rows and the
// width from the widest text, the fit inside the work area, the fonts from
// the settings, and the pixels of the frame, separators, icons with their
// transparent colour, the selection and the sub-menu arrow. Also the item
// list: sub-menus, access by command or position, and copies.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "fw/ClientDC.h"
#include "tests/skin/MenuTestSupport.h"
#include "tests/skin/SkinTestSupport.h"

using namespace sonvera_test;

namespace
{
using Menu = CFlatPopupMenu;

int Extent(const CFont& font, const char* text)
{
    CClientDC screen(nullptr);
    screen.SelectObject(font);
    return screen.GetTextExtent(text).cx;
}

CRect WorkArea()
{
    CRect area;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

TEST(MenuLayout, ItemsStackFromTheTopAndTheWidestTextSetsTheWidth)
{
    CTestMenu more;
    more.AppendItem(0, "Inner", 9);
    CTestMenu menu;
    menu.AppendItem(0, "&Open", 1, 0);
    menu.AppendItem(Menu::itemSeparator, "", 0);
    menu.AppendItem(Menu::itemDefault, "Properties", 2);
    ASSERT_TRUE(menu.AppendPopup(0, "More", more));
    menu.AppendItem(Menu::itemGrayed | Menu::itemDisabled, "Gray", 3);
    ASSERT_EQ(0u, menu.Track(100, 120, nullptr, false));

    const int tops[] = {3, 20, 25, 42, 59};
    const int heights[] = {17, 5, 17, 17, 17};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(tops[i], menu.m_Items[i].nTop) << i;
        EXPECT_EQ(heights[i], menu.m_Items[i].nHeight) << i;
    }
    const int width = Extent(menu.m_fontBold, "Properties") + 42;
    EXPECT_EQ(CRect(100, 120, 100 + width, 120 + 78), CRect(menu.WindowRect()));
    DestroyWindow(menu.m_hWnd);
}

TEST(MenuLayout, TextIsMeasuredAsDrawn)
{
    const struct {
        DWORD flags;
        const char* text;
        const char* shown;   // measured text ("&" marks a mnemonic)
        bool bold;
    } cases[] = {
        {0, "Properties", "Properties", false},
        {Menu::itemDefault, "Properties", "Properties", true},
        {0, "&Open", "Open", false},
        {0, "Fish && Chips", "Fish & Chips", false},
        {Menu::itemSeparator, "Separator text is never measured", "", false},
    };
    for (const auto& c : cases) {
        CTestMenu menu;
        menu.AppendItem(c.flags, c.text, 1);
        menu.Track(10, 10, nullptr, false);
        const int expected = 42 + (*c.shown != '\0' ? Extent(c.bold ? menu.m_fontBold : menu.m_fontNormal, c.shown) : 0);
        EXPECT_EQ(expected, menu.m_nMenuWidth) << c.text;
        DestroyWindow(menu.m_hWnd);
    }
}

TEST(MenuPlacement, TheMenuMovesInsideTheWorkArea)
{
    const CRect area = WorkArea();
    const std::string wide(400, 'W');   // wider than any work area of the tests
    const struct {
        const char* name;
        int x, y;
        int items;
        const char* text;
        int expectedX, expectedY;   // -1: right or bottom edge minus the menu's size
    } cases[] = {
        {"inside", 100, 100, 2, "Item", 100, 100},
        {"right edge", area.right - 10, 100, 2, "Item", -1, 100},
        {"bottom edge", 100, area.bottom - 10, 2, "Item", 100, -1},
        {"corner", area.right - 1, area.bottom - 1, 2, "Item", -1, -1},
        {"wider than the work area", 300, 100, 1, wide.c_str(), 0, 100},
        {"taller than the work area", 100, 300, area.Height() / 17 + 2, "Item", 100, 0},
    };
    for (const auto& c : cases) {
        CTestMenu menu;
        for (int i = 0; i < c.items; ++i)
            menu.AppendItem(0, c.text, 1 + i);
        menu.Track(c.x, c.y, nullptr, false);
        const CRect placed = menu.WindowRect();
        EXPECT_EQ(c.expectedX >= 0 ? c.expectedX : area.right - placed.Width(), placed.left) << c.name;
        EXPECT_EQ(c.expectedY >= 0 ? c.expectedY : area.bottom - placed.Height(), placed.top) << c.name;
        DestroyWindow(menu.m_hWnd);
    }
}

TEST(MenuFonts, CreateMakesTheFontsOfTheFaceAndSizeSetBefore)
{
    CTestMenu menu;
    menu.SetFont("Arial");
    menu.SetFontSize(12);
    LOGFONTA before{};
    ASSERT_TRUE(menu.m_fontNormal.GetLogFont(before));
    EXPECT_STREQ("MS Sans Serif", before.lfFaceName);   // the default, until Create

    ASSERT_TRUE(menu.Create(GetModuleHandleA(nullptr)));
    LOGFONTA normal{}, bold{};
    ASSERT_TRUE(menu.m_fontNormal.GetLogFont(normal));
    ASSERT_TRUE(menu.m_fontBold.GetLogFont(bold));
    CClientDC screen(nullptr);
    EXPECT_EQ(-MulDiv(12, GetDeviceCaps(screen, LOGPIXELSY), 72), normal.lfHeight);
    EXPECT_EQ(normal.lfHeight, bold.lfHeight);
    EXPECT_EQ(FW_NORMAL, normal.lfWeight);
    EXPECT_EQ(FW_BOLD, bold.lfWeight);
    EXPECT_STREQ("Arial", normal.lfFaceName);
    EXPECT_STREQ("Arial", bold.lfFaceName);
}

TEST(MenuFonts, LongFaceNamesAreCutTo31BytesOfWholeCharacters)
{
    const std::string a30(30, 'a');
    const struct {
        std::string face;
        std::string kept;
    } cases[] = {
        {std::string(40, 'f'), std::string(31, 'f')},
        {std::string(31, 'f'), std::string(31, 'f')},
        {a30 + "\x82\xA0", a30},   // a double-byte character that would end at byte 32 goes whole
        {a30 + "b\x82\xA0", a30 + "b"},
    };
    for (const auto& c : cases) {
        CTestMenu menu;
        menu.SetFont(c.face.c_str());
        EXPECT_EQ(c.kept, menu.m_strFont.str()) << c.face;
    }
}

// The drawing checks use colours that no two roles share.
const COLORREF kBorder = RGB(0, 0, 96);
const COLORREF kBackground = RGB(240, 240, 208);
const COLORREF kText = RGB(0, 96, 0);
const COLORREF kGrayed = RGB(150, 150, 150);
const COLORREF kHighlightText = RGB(255, 255, 0);
const COLORREF kHighlight = RGB(128, 0, 0);
const COLORREF kIconLight = RGB(250, 250, 250);
const COLORREF kIconDark = RGB(64, 64, 64);
// Pixels of the test icons: the page's paper and its first line of text.
const COLORREF kPaper = RGB(255, 255, 255);
const COLORREF kInk = RGB(0, 0, 128);

class MenuDrawingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::pair<Menu::menuColor, COLORREF> colours[] = {
            {Menu::colorBorder, kBorder},           {Menu::colorBackground, kBackground},
            {Menu::colorText, kText},               {Menu::colorGrayedText, kGrayed},
            {Menu::colorHighlightText, kHighlightText}, {Menu::colorHighlight, kHighlight},
            {Menu::colorIconLight, kIconLight},     {Menu::colorIconDark, kIconDark},
        };
        for (const auto& colour : colours)
            m_menu.SetColor(colour.first, colour.second);
        ASSERT_TRUE(m_menu.Create(GetModuleHandleA(nullptr), IDB_TEST_MENU_ICONS));
        m_more.AppendItem(0, "Inner", 9);
        m_menu.SetPopupDelay(60000);   // the sub-menu stays closed
        m_menu.AppendItem(0, "&Open", 1, 0);                     // top 3, the page icon
        m_menu.AppendItem(Menu::itemSeparator, "", 0);           // top 20, line at 22
        m_menu.AppendItem(Menu::itemGrayed, "Gray", 2);          // top 25
        m_menu.AppendPopup(0, "More", m_more, 1);                // top 42, the folder icon
        m_menu.AppendItem(0, "Same", 3);                         // top 59
        m_menu.AppendItem(Menu::itemDefault, "Same", 4);         // top 76
        m_menu.Track(200, 200, nullptr, false);
        UpdateWindow(m_menu.m_hWnd);
        m_width = m_menu.m_nMenuWidth;
        m_height = CRect(m_menu.WindowRect()).Height();
    }
    void TearDown() override { DestroyWindow(m_menu.m_hWnd); }

    COLORREF Pixel(int x, int y) const
    {
        CClientDC dc(m_menu.m_hWnd);
        return dc.GetPixel(x, y);
    }
    // How many pixels of the item's text area are inked in the colour: at
    // least two thirds of the way from the paper to it in every channel, as
    // the cores of smoothed strokes are.
    int TextPixels(int item, COLORREF ink, COLORREF paper = kBackground) const
    {
        auto inked = [](int pixel, int inkValue, int paperValue) {
            return std::abs(pixel - inkValue) * 3 <= std::abs(paperValue - inkValue);
        };
        CClientDC dc(m_menu.m_hWnd);
        const int top = m_menu.m_Items[item].nTop;
        int count = 0;
        for (int y = top; y < top + 17; ++y) {
            for (int x = 23; x < m_width - 12; ++x) {
                const COLORREF pixel = dc.GetPixel(x, y);
                count += inked(GetRValue(pixel), GetRValue(ink), GetRValue(paper)) &&
                         inked(GetGValue(pixel), GetGValue(ink), GetGValue(paper)) &&
                         inked(GetBValue(pixel), GetBValue(ink), GetBValue(paper));
            }
        }
        return count;
    }
    void MoveTo(int item)
    {
        PostMessageA(m_menu.m_hWnd, WM_MOUSEMOVE, 0, CPoint(m_menu.ItemPoint(item)).ToLParam());
        PumpMessages();
    }

    CTestMenu m_menu;
    CTestMenu m_more;
    int m_width = 0;
    int m_height = 0;
};

TEST_F(MenuDrawingTest, FrameBackgroundAndSeparator)
{
    EXPECT_EQ(3 + 5 * 17 + 5 + 2, m_height);
    for (POINT corner : {POINT{0, 0}, POINT{m_width - 1, 0}, POINT{0, m_height - 1}, POINT{m_width - 1, m_height - 1},
                         POINT{m_width / 2, 0}, POINT{0, m_height / 2}})
        EXPECT_EQ(kBorder, Pixel(corner.x, corner.y)) << corner.x << "," << corner.y;
    EXPECT_EQ(kBackground, Pixel(1, 1));
    EXPECT_EQ(kBackground, Pixel(m_width - 2, m_height - 2));
    // The separator's line crosses the whole menu, two rows below its top.
    for (int x : {0, m_width / 2, m_width - 1})
        EXPECT_EQ(kBorder, Pixel(x, 22)) << x;
    EXPECT_EQ(kBackground, Pixel(m_width / 2, 21));
    EXPECT_EQ(kBackground, Pixel(m_width / 2, 23));
}

TEST_F(MenuDrawingTest, TextColoursFollowTheItemsState)
{
    EXPECT_GT(TextPixels(0, kText), 0);
    EXPECT_EQ(0, TextPixels(0, kGrayed));
    EXPECT_GT(TextPixels(2, kGrayed), 0);
    EXPECT_EQ(0, TextPixels(2, kText));
    // The default item's bold strokes cover more than the same text's normal ones.
    EXPECT_GT(TextPixels(5, kText), TextPixels(4, kText));

    MoveTo(0);
    EXPECT_GT(TextPixels(0, kHighlightText, kHighlight), 0);
    EXPECT_EQ(0, TextPixels(0, kText));
    MoveTo(2);   // grayed items can be selected and then show the selected colours
    EXPECT_GT(TextPixels(2, kHighlightText, kHighlight), 0);
    EXPECT_EQ(0, TextPixels(2, kGrayed));
    EXPECT_GT(TextPixels(0, kText), 0);
}

TEST_F(MenuDrawingTest, IconsShowTheBackgroundThroughTheirKeyColour)
{
    const int top = 3;
    // The icon's cell starts at (4, top + 1); its corner pixel is magenta.
    EXPECT_EQ(kBackground, Pixel(4, top + 1));
    EXPECT_EQ(kBackground, Pixel(4 + 15, top + 1 + 14));
    EXPECT_EQ(kPaper, Pixel(4 + 3, top + 1 + 2));
    EXPECT_EQ(kInk, Pixel(4 + 5, top + 1 + 4));
    // Unselected, the icon box is flat: its edges are background.
    EXPECT_EQ(kBackground, Pixel(3, top + 8));
    EXPECT_EQ(kBackground, Pixel(20, top + 8));

    MoveTo(0);
    // Selected, the box is raised: light left and top, dark right and bottom.
    EXPECT_EQ(kIconLight, Pixel(3, top + 8));
    EXPECT_EQ(kIconLight, Pixel(3, top));
    EXPECT_EQ(kIconLight, Pixel(19, top));
    EXPECT_EQ(kIconDark, Pixel(20, top));
    EXPECT_EQ(kIconDark, Pixel(20, top + 8));
    EXPECT_EQ(kIconDark, Pixel(10, top + 16));
    // The selection starts beside the box and never shows through the icon.
    EXPECT_EQ(kBackground, Pixel(4, top + 1));
    EXPECT_EQ(kPaper, Pixel(4 + 3, top + 1 + 2));
    EXPECT_EQ(kHighlight, Pixel(21, top + 8));

    MoveTo(4);
    EXPECT_EQ(kBackground, Pixel(3, top + 8));
    EXPECT_EQ(kBackground, Pixel(20, top + 8));
    EXPECT_EQ(kBackground, Pixel(21, top + 8));
}

TEST_F(MenuDrawingTest, TheSelectionFillsOneRowFromTheMarginToTwoPixelsBeforeTheFrame)
{
    const int top = 59;   // "Same", without an icon
    MoveTo(4);
    EXPECT_EQ(kHighlight, Pixel(3, top));
    EXPECT_EQ(kHighlight, Pixel(3, top + 16));
    EXPECT_EQ(kHighlight, Pixel(m_width - 4, top + 8));
    EXPECT_EQ(kBackground, Pixel(2, top + 8));
    EXPECT_EQ(kBackground, Pixel(m_width - 3, top + 8));
    EXPECT_EQ(kBackground, Pixel(m_width / 2, top - 1));
    EXPECT_EQ(kBackground, Pixel(m_width / 2, top + 17));
}

TEST_F(MenuDrawingTest, TheSubMenuArrowPointsRight)
{
    const int top = 42;
    const int tip = m_width - 7;
    auto arrowPixels = [&](COLORREF colour) {
        // Column k (0 at the tip) spans 2k + 1 rows around top + 8.
        for (int k = 0; k < 4; ++k) {
            for (int y = top + 8 - k; y <= top + 8 + k; ++y)
                EXPECT_EQ(colour, Pixel(tip - k, y)) << k << "," << y;
            EXPECT_NE(colour, Pixel(tip - k, top + 7 - k)) << k;
            EXPECT_NE(colour, Pixel(tip - k, top + 9 + k)) << k;
        }
        EXPECT_NE(colour, Pixel(tip + 1, top + 8));
        EXPECT_NE(colour, Pixel(tip - 4, top + 8));
    };
    arrowPixels(kText);
    MoveTo(3);
    arrowPixels(kHighlightText);
}

TEST(MenuItems, AppendPopupRefusesTheSeparatorFlagAndTheMenuItself)
{
    const struct {
        DWORD flags;
        bool appended;
    } cases[] = {
        {0, true},
        {Menu::itemDefault | Menu::itemGrayed, true},
        {Menu::itemSeparator, false},
        {Menu::itemSeparator | Menu::itemDefault, false},
    };
    for (const auto& c : cases) {
        CTestMenu menu;
        CTestMenu sub;
        menu.AppendItem(0, "First", 1);
        EXPECT_EQ(c.appended, menu.AppendPopup(c.flags, "Sub", sub, 2)) << c.flags;
        ASSERT_EQ(c.appended ? 2u : 1u, menu.m_Items.size()) << c.flags;
        EXPECT_EQ(c.appended, sub.m_bIsPopup) << c.flags;
        EXPECT_EQ(c.appended ? &menu : nullptr, sub.m_pParent) << c.flags;
        if (c.appended) {
            EXPECT_EQ(0u, menu.m_Items[1].nID);
            EXPECT_EQ(&sub, menu.m_Items[1].pPopup);
            EXPECT_EQ(2, menu.m_Items[1].nIcon);
        }
    }
    CTestMenu menu;
    EXPECT_FALSE(menu.AppendPopup(0, "Itself", menu));
    EXPECT_TRUE(menu.m_Items.empty());
    EXPECT_FALSE(menu.m_bIsPopup);
}

TEST(MenuItems, ItemsAreFoundByCommandOrByPosition)
{
    CTestMenu menu;
    menu.AppendItem(0, "Open", 10);
    menu.AppendItem(0, "Save", 20);
    menu.AppendItem(0, "Save again", 20);

    EXPECT_TRUE(menu.SetMenuItemText(20, "Store"));   // the first item with the command
    EXPECT_TRUE(menu.SetMenuItemText(2, "Third", true));
    EXPECT_FALSE(menu.SetMenuItemText(99, "None"));
    EXPECT_FALSE(menu.SetMenuItemText(3, "None", true));
    EXPECT_EQ("Store", menu.m_Items[1].strText.str());
    EXPECT_EQ("Third", menu.m_Items[2].strText.str());

    EXPECT_TRUE(menu.SetMenuItemFlags(10, Menu::itemGrayed));
    EXPECT_TRUE(menu.SetMenuItemFlags(1, Menu::itemDefault, true));
    EXPECT_FALSE(menu.SetMenuItemFlags(11, 0));
    EXPECT_EQ(static_cast<DWORD>(Menu::itemGrayed), menu.m_Items[0].dwFlags);
    EXPECT_EQ(static_cast<DWORD>(Menu::itemDefault), menu.m_Items[1].dwFlags);

    EXPECT_TRUE(menu.SetMenuItemIcon(20, 4));
    EXPECT_TRUE(menu.SetMenuItemIcon(0, 3, true));
    EXPECT_FALSE(menu.SetMenuItemIcon(7, 1, true));
    EXPECT_EQ(3, menu.m_Items[0].nIcon);
    EXPECT_EQ(4, menu.m_Items[1].nIcon);
    EXPECT_EQ(-1, menu.m_Items[2].nIcon);
}

TEST(MenuItems, GetStringCopiesOnlyWhenTheTextAndItsTerminatorFit)
{
    CTestMenu menu;
    menu.AppendItem(0, "Open", 10);
    const struct {
        UINT item;
        bool byPosition;
        int size;
        bool copied;
    } cases[] = {
        {10, false, 5, true}, {10, false, 64, true}, {0, true, 5, true},
        {10, false, 4, false}, {10, false, 0, false}, {11, false, 64, false}, {1, true, 64, false},
    };
    for (const auto& c : cases) {
        char buffer[64] = "untouched";
        EXPECT_EQ(c.copied, menu.GetString(c.item, buffer, c.size, c.byPosition)) << c.item << "/" << c.size;
        EXPECT_STREQ(c.copied ? "Open" : "untouched", buffer) << c.item << "/" << c.size;
    }
}

TEST(MenuItems, ACopyHasTheSettingsAndItemsAndItsOwnWindow)
{
    CTestMenu sub;
    sub.AppendItem(0, "Inner", 5);
    CTestMenu menu;
    menu.SetFontSize(14);
    menu.SetPopupDelay(123);
    ASSERT_TRUE(menu.Create(GetModuleHandleA(nullptr), IDB_TEST_MENU_ICONS));
    menu.AppendItem(Menu::itemDefault, "Open", 10, 2);
    menu.AppendPopup(0, "Sub", sub);

    CTestMenu copy(menu);
    EXPECT_EQ(123, copy.m_nPopupDelay);
    ASSERT_EQ(2u, copy.m_Items.size());
    EXPECT_EQ("Open", copy.m_Items[0].strText.str());
    EXPECT_EQ(10u, copy.m_Items[0].nID);
    EXPECT_EQ(2, copy.m_Items[0].nIcon);
    EXPECT_EQ(&sub, copy.m_Items[1].pPopup);
    LOGFONTA original{}, font{};
    menu.m_fontNormal.GetLogFont(original);
    ASSERT_TRUE(copy.m_fontNormal.GetLogFont(font));
    EXPECT_EQ(original.lfHeight, font.lfHeight);
    EXPECT_NE(menu.m_fontNormal.GetSafeHandle(), copy.m_fontNormal.GetSafeHandle());

    menu.Track(100, 100, nullptr, false);
    copy.Track(300, 100, nullptr, false);
    ASSERT_NE(nullptr, copy.m_hWnd);
    EXPECT_NE(menu.m_hWnd, copy.m_hWnd);
    EXPECT_EQ(menu.m_nMenuWidth, copy.m_nMenuWidth);
    DestroyWindow(copy.m_hWnd);
    EXPECT_NE(nullptr, menu.m_hWnd);
    DestroyWindow(menu.m_hWnd);
}
} // namespace
