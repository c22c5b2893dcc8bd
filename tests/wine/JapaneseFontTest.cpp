// The dialogs and skins ask for Japanese faces by their Windows names; under Wine
// these are replacements the prefix maps to an installed Japanese font
// (scripts/wine-env), without which text falls to any font, empty boxes at worst.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

const wchar_t* const kFaces[] = {L"ＭＳ Ｐゴシック", L"ＭＳ ゴシック", L"MS UI Gothic", L"MS Shell Dlg"};

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

// Each face, made as the skin makes it (an ANSI description holding the
// Shift-JIS name, default character set), has a glyph for every character.
TEST(JapaneseFace, HasEveryGlyphOfTheDialogsTexts)
{
    HDC dc = CreateCompatibleDC(nullptr);
    for (const wchar_t* face : kFaces) {
        LOGFONTA description = {};
        description.lfHeight = -12;
        description.lfCharSet = DEFAULT_CHARSET;
        WideCharToMultiByte(932, 0, face, -1, description.lfFaceName, LF_FACESIZE, nullptr, nullptr);
        HGDIOBJ previous = SelectObject(dc, CreateFontIndirectA(&description));
        for (UINT id : kShownTexts) {
            wchar_t text[1024] = {};
            const int length = LoadStringW(GetModuleHandleW(nullptr), id, text, 1024);
            ASSERT_GT(length, 0) << "string " << id;
            std::vector<WORD> glyphs(length);
            GetGlyphIndicesW(dc, text, length, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
            for (int i = 0; i < length; ++i) {
                // Line breaks are not drawn.
                EXPECT_TRUE(text[i] < L' ' || glyphs[i] != 0xFFFF)
                    << description.lfFaceName << ": string " << id << ", character " << i;
            }
        }
        DeleteObject(SelectObject(dc, previous));
    }
    DeleteDC(dc);
}

}  // namespace
