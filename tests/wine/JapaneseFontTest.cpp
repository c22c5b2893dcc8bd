// The dialogs and skins ask for Japanese faces by their Windows names. Under
// Wine those faces exist only as replacements that the prefix maps to an
// installed Japanese font (scripts/wine-env); without them the text falls to
// whatever font Wine finds first: a fixed-pitch stand-in at best, empty boxes
// at worst. These tests hold the prefix to legible, proportional Japanese.
#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
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

// Every string-table text that the voice dialog shows in a label or a message
// box; each must be in the table.
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

// A font made the way the skin makes it: an ANSI description holding the
// Shift-JIS face name, default character set, selected into a memory DC.
class FontDC {
public:
    explicit FontDC(const wchar_t* face)
    {
        LOGFONTA description = {};
        description.lfHeight = -12;
        description.lfWeight = FW_NORMAL;
        description.lfCharSet = DEFAULT_CHARSET;
        lstrcpynA(description.lfFaceName, ShiftJis(face).c_str(), LF_FACESIZE);
        SelectObject(m_dc, CreateFontIndirectA(&description));
    }
    ~FontDC()
    {
        DeleteObject(SelectObject(m_dc, GetStockObject(SYSTEM_FONT)));
        DeleteDC(m_dc);
    }
    FontDC(const FontDC&) = delete;
    FontDC& operator=(const FontDC&) = delete;

    HDC dc() const { return m_dc; }

    int Width(const std::string& text) const
    {
        SIZE size = {};
        GetTextExtentPoint32A(m_dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

private:
    HDC m_dc = CreateCompatibleDC(nullptr);
};

class JapaneseFace : public ::testing::TestWithParam<Face> {};

TEST_P(JapaneseFace, HasEveryGlyphOfTheDialogsTextsAndKeepsItsPitch)
{
    FontDC font(GetParam().name);
    if (GetParam().proportional)
        EXPECT_LT(font.Width("i"), font.Width("W"));
    else
        EXPECT_EQ(font.Width("i"), font.Width("W"));
    for (UINT id : kShownTexts) {
        wchar_t text[1024] = {};
        const int length = LoadStringW(GetModuleHandleW(nullptr), id, text, 1024);
        ASSERT_GT(length, 0) << "string " << id;
        std::vector<WORD> glyphs(length);
        GetGlyphIndicesW(font.dc(), text, length, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
        for (int i = 0; i < length; ++i) {
            if (text[i] < L' ')  // line breaks are not drawn
                continue;
            EXPECT_NE(glyphs[i], 0xFFFF) << "string " << id << ", character " << i << " (U+"
                                         << std::hex << static_cast<unsigned>(text[i]) << ")";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ProductFaces, JapaneseFace, ::testing::ValuesIn(kFaces),
                         [](const ::testing::TestParamInfo<Face>& info) { return std::string(info.param.id); });

}  // namespace
