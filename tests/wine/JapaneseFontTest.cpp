// The dialogs and skins ask for Japanese faces by their Windows names. Under
// Wine those faces exist only as replacements that the prefix maps to an
// installed Japanese font (scripts/wine-env); without them the text falls to
// whatever font Wine finds first: a fixed-pitch stand-in at best, empty boxes
// at worst. These tests hold the prefix to legible, proportional Japanese.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

struct Face {
    const char* id;
    const wchar_t* name;
    bool proportional;
};

void PrintTo(const Face& face, std::ostream* out) { *out << face.id; }

const Face kFaces[] = {
    {"MsPGothic", L"ＭＳ Ｐゴシック", true},
    {"MsGothic", L"ＭＳ ゴシック", false},
    {"MsUiGothic", L"MS UI Gothic", true},
    {"MsShellDlg", L"MS Shell Dlg", true},
};

// Every string-table text that the voice dialog shows in a label or a message box.
const UINT kShownTexts[] = {
    IDS_HINT_LENGTH_ABNORMAL, IDS_HINT_TOO_QUIET, IDS_HINT_TOO_LOUD, IDS_MODE_ENROL,
    IDS_MODE_VERIFY, IDS_HINT_CHOOSE_WORD, IDS_HINT_RECORD_VOICE, IDS_HINT_READ_AGAIN,
    IDS_HINT_READ_ONCE_MORE, IDS_HINT_PRESS_RECORD, IDS_HINT_TAKE_DONE, IDS_HINT_TRAINING,
    IDS_HINT_PLEASE_WAIT, IDS_HINT_REPLAYED, IDS_HINT_ACCEPTED, IDS_HINT_REJECTED,
    IDS_HINT_ENROL_FAILED, IDS_HINT_ENTER_ID, IDS_HINT_FIRST_ENROL, IDS_HINT_WRONG_WORD,
    IDS_ASK_ENROL_ANYWAY, IDS_HINT_WORD_TAKEN, IDS_HINT_NO_AUTHORITY,
};

std::string ShiftJis(const std::wstring& text)
{
    const int length = WideCharToMultiByte(932, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(length > 0 ? length : 1, '\0');
    WideCharToMultiByte(932, 0, text.c_str(), -1, bytes.data(), length, nullptr, nullptr);
    bytes.resize(bytes.size() - 1);
    return bytes;
}

// A white 32-bit memory canvas with a font made the way the skin makes it:
// an ANSI description holding the Shift-JIS face name, default character set.
class Canvas {
public:
    Canvas(const wchar_t* face, int height, int width, int rows) : m_size(width * rows)
    {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof info.bmiHeader, width, -rows, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* pixels = nullptr;
        m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
        SelectObject(m_dc, m_bitmap);
        m_pixels = static_cast<DWORD*>(pixels);
        LOGFONTA description = {};
        description.lfHeight = height;
        description.lfWeight = FW_NORMAL;
        description.lfCharSet = DEFAULT_CHARSET;
        lstrcpynA(description.lfFaceName, ShiftJis(face).c_str(), LF_FACESIZE);
        SelectObject(m_dc, CreateFontIndirectA(&description));
        SetBkMode(m_dc, TRANSPARENT);
    }
    ~Canvas()
    {
        DeleteObject(SelectObject(m_dc, GetStockObject(SYSTEM_FONT)));
        DeleteDC(m_dc);
        DeleteObject(m_bitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return m_dc; }

    // Draws the text alone on white and returns the picture.
    std::vector<DWORD> Draw(const std::string& text)
    {
        std::fill(m_pixels, m_pixels + m_size, 0x00FFFFFFu);
        TextOutA(m_dc, 2, 2, text.c_str(), static_cast<int>(text.size()));
        GdiFlush();
        return std::vector<DWORD>(m_pixels, m_pixels + m_size);
    }

    int Width(const std::string& text) const
    {
        SIZE size = {};
        GetTextExtentPoint32A(m_dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

private:
    int m_size;
    HDC m_dc = CreateCompatibleDC(nullptr);
    HBITMAP m_bitmap = nullptr;
    DWORD* m_pixels = nullptr;
};

int DarkPixels(const std::vector<DWORD>& picture)
{
    int dark = 0;
    for (DWORD pixel : picture)
        dark += (pixel & 0xFF) < 128;
    return dark;
}

class JapaneseFace : public ::testing::TestWithParam<Face> {};

TEST(JapaneseFonts, RunUnderTheJapaneseCodePage)
{
    ASSERT_EQ(GetACP(), 932u) << "tests must run with LC_ALL=ja_JP.UTF-8";
}

TEST_P(JapaneseFace, HasEveryGlyphOfTheDialogsTexts)
{
    Canvas canvas(GetParam().name, -12, 8, 8);
    for (UINT id : kShownTexts) {
        wchar_t text[1024] = {};
        const int length = LoadStringW(GetModuleHandleW(nullptr), id, text, 1024);
        ASSERT_GT(length, 0) << "string " << id;
        std::vector<WORD> glyphs(length);
        GetGlyphIndicesW(canvas.dc(), text, length, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
        for (int i = 0; i < length; ++i) {
            if (text[i] < L' ')  // line breaks are not drawn
                continue;
            EXPECT_NE(glyphs[i], 0xFFFF) << "string " << id << ", character " << i << " (U+"
                                         << std::hex << static_cast<unsigned>(text[i]) << ")";
        }
    }
}

// Boxes drawn for missing glyphs look all alike; real characters do not.
TEST_P(JapaneseFace, DrawsEachCharacterInItsOwnShape)
{
    Canvas canvas(GetParam().name, -24, 32, 32);
    std::set<std::vector<DWORD>> shapes;
    const std::wstring characters = L"登録認証音声パスワードを";
    for (wchar_t character : characters) {
        const std::vector<DWORD> picture = canvas.Draw(ShiftJis(std::wstring(1, character)));
        EXPECT_GT(DarkPixels(picture), 20) << "U+" << std::hex << static_cast<unsigned>(character);
        shapes.insert(picture);
    }
    EXPECT_EQ(shapes.size(), characters.size());
}

TEST_P(JapaneseFace, KeepsItsPitch)
{
    Canvas canvas(GetParam().name, -12, 8, 8);
    if (GetParam().proportional)
        EXPECT_LT(canvas.Width("i"), canvas.Width("W"));
    else
        EXPECT_EQ(canvas.Width("i"), canvas.Width("W"));
}

INSTANTIATE_TEST_SUITE_P(ProductFaces, JapaneseFace, ::testing::ValuesIn(kFaces),
                         [](const ::testing::TestParamInfo<Face>& info) { return std::string(info.param.id); });

}  // namespace
