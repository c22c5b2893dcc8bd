// Dialog template 2035, the bypass key's drive choice, as the resources hold
// it: language 1041, a captionless modal pop-up of 83 x 67 units in 9-point
// "ＭＳ ゴシック", the list box over the cancel button.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

// A reader of the extended template's words, strings and ordinals.
class CTemplateReader {
public:
    explicit CTemplateReader(const BYTE* data) : m_at(data) {}

    WORD Word() { return Take<WORD>(); }
    DWORD DWord() { return Take<DWORD>(); }
    short Short() { return Take<short>(); }
    std::wstring Text()
    {
        std::wstring text;
        for (WORD ch = Word(); ch != 0; ch = Word())
            text += static_cast<wchar_t>(ch);
        return text;
    }
    // A string, or 0xFFFF and an ordinal, given back as "#ordinal".
    std::wstring TextOrOrdinal()
    {
        const WORD first = Word();
        if (first == 0xFFFF)
            return L"#" + std::to_wstring(Word());
        std::wstring text(1, static_cast<wchar_t>(first));
        return first == 0 ? std::wstring() : text + Text();
    }
    void AlignToDWord()
    {
        while (reinterpret_cast<UINT_PTR>(m_at) % 4 != 0)
            ++m_at;
    }
    void Skip(size_t bytes) { m_at += bytes; }

private:
    template <typename T>
    T Take()
    {
        T value;
        std::memcpy(&value, m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }

    const BYTE* m_at;
};

struct Item {
    DWORD style;
    short x, y, cx, cy;
    DWORD id;
    std::wstring windowClass;
    std::wstring title;
};

TEST(SelectDriveTemplate, IsTheJapaneseCaptionlessPopUpWithListAndCancel)
{
    const HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceExA(module, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(IDD_SELECT_DRIVE),
                                  MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    ASSERT_NE(nullptr, found) << "no template 2035 in language 1041";
    CTemplateReader reader(static_cast<const BYTE*>(LockResource(LoadResource(module, found))));

    ASSERT_EQ(1, reader.Word());        // extended template
    ASSERT_EQ(0xFFFF, reader.Word());
    reader.DWord();                     // help ID
    reader.DWord();                     // extended style
    const DWORD style = reader.DWord();
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP | DS_MODALFRAME), style & (WS_POPUP | DS_MODALFRAME));
    EXPECT_NE(static_cast<DWORD>(WS_CAPTION), style & WS_CAPTION);
    const WORD items = reader.Word();
    ASSERT_EQ(2, items);
    EXPECT_EQ(0, reader.Short());
    EXPECT_EQ(0, reader.Short());
    EXPECT_EQ(83, reader.Short());
    EXPECT_EQ(67, reader.Short());
    EXPECT_EQ(L"", reader.TextOrOrdinal());   // no menu
    EXPECT_EQ(L"", reader.TextOrOrdinal());   // the standard dialog class
    EXPECT_EQ(L"", reader.Text());            // no title
    ASSERT_TRUE(style & DS_SETFONT);
    EXPECT_EQ(9, reader.Word());
    reader.Word();                            // weight
    reader.Skip(2);                           // italic, character set
    EXPECT_EQ(L"\xFF2D\xFF33 \x30B4\x30B7\x30C3\x30AF", reader.Text());   // ＭＳ ゴシック

    std::vector<Item> controls;
    for (WORD i = 0; i < items; ++i) {
        reader.AlignToDWord();
        reader.DWord();   // help ID
        reader.DWord();   // extended style
        Item item;
        item.style = reader.DWord();
        item.x = reader.Short();
        item.y = reader.Short();
        item.cx = reader.Short();
        item.cy = reader.Short();
        item.id = reader.DWord();
        item.windowClass = reader.TextOrOrdinal();
        item.title = reader.TextOrOrdinal();
        reader.Skip(reader.Word());
        controls.push_back(item);
    }
    const Item& list = controls[0];
    EXPECT_EQ(static_cast<DWORD>(IDC_LIST_DRIVES), list.id);
    EXPECT_EQ(L"#131", list.windowClass);   // list box
    EXPECT_EQ((std::vector<short>{0, 0, 83, 51}), (std::vector<short>{list.x, list.y, list.cx, list.cy}));
    const DWORD listStyle = LBS_NOTIFY | WS_BORDER | WS_VSCROLL;
    EXPECT_EQ(listStyle, list.style & listStyle);

    const Item& cancel = controls[1];
    EXPECT_EQ(static_cast<DWORD>(IDC_BUTTON_CANCEL), cancel.id);
    EXPECT_EQ(L"#128", cancel.windowClass);   // button
    EXPECT_EQ((std::vector<short>{0, 51, 83, 16}), (std::vector<short>{cancel.x, cancel.y, cancel.cx, cancel.cy}));
    EXPECT_EQ(L"\x30AD\x30E3\x30F3\x30BB\x30EB", cancel.title);   // キャンセル
}

}  // namespace
