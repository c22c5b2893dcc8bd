// CString under code page 932: double-byte characters are stepped over whole,
// so their trail bytes are never found, trimmed, replaced or case-changed.
// Shift-JIS bytes used below:
//   表 95 5C   ソ 83 5C   ア 83 41   Ａ 82 60   Ｂ 82 61   ａ 82 81   ｂ 82 82
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "fw/String.h"
#include "resources/resource.h"

namespace {

const char kHyo[] = "\x95\x5C";    // 表
const char kSo[] = "\x83\x5C";     // ソ
const char kA[] = "\x83\x41";      // ア
const char kFullAB[] = "\x82\x60\x82\x61";   // ＡＢ
const char kFullab[] = "\x82\x81\x82\x82";   // ａｂ

std::string Bytes(const CString& s)
{
    return std::string(s.GetString(), static_cast<size_t>(s.GetLength()));
}

TEST(StringMbcs, RunsUnderTheJapaneseCodePage)
{
    ASSERT_EQ(GetACP(), 932u) << "tests must run with LC_ALL=ja_JP.UTF-8";
    ASSERT_TRUE(IsDBCSLeadByte(0x95));
}

TEST(StringMbcs, FindMatchesWholeCharactersNeverATrailByte)
{
    const CString hyo(kHyo);
    EXPECT_EQ(hyo.Find('\\'), -1);
    EXPECT_EQ(hyo.Find("\\"), -1);
    EXPECT_EQ(hyo.Find('\\', 1), -1);   // a start inside the character does not help
    const CString path = CString("C:\\") + kHyo + "\\" + kSo;
    EXPECT_EQ(path.Find('\\'), 2);
    EXPECT_EQ(path.Find('\\', 3), 5);
    EXPECT_EQ(path.Find("\\", 3), 5);
    EXPECT_EQ(path.ReverseFind('\\'), 5);
    EXPECT_EQ(path.FindOneOf("\\/"), 2);
    EXPECT_EQ(CString(kA).Find('A'), -1);
    EXPECT_EQ(CString(kA).Find("A"), -1);
    const CString s = CString(kA) + kHyo + kSo;
    EXPECT_EQ(s.Find(kHyo), 2);
    EXPECT_EQ(s.Find(kSo), 4);
    // 5C 83 spans the end of 表 and the start of ソ: not a character sequence.
    EXPECT_EQ(s.Find("\x5C\x83"), -1);
}

TEST(StringMbcs, CaseChangesAndFoldsLeaveDoubleByteCharactersAlone)
{
    CString s = CString(kFullAB) + "ab" + kA;
    s.MakeUpper();
    EXPECT_EQ(Bytes(s), std::string(kFullAB) + "AB" + kA);
    s.MakeLower();
    EXPECT_EQ(Bytes(s), std::string(kFullAB) + "ab" + kA);   // Ｂ's trail 0x61 and ア's 0x41 unchanged
    CString fullLower(kFullab);
    fullLower.MakeUpper();
    EXPECT_EQ(Bytes(fullLower), kFullab);
    EXPECT_NE(CString(kFullAB).CompareNoCase(kFullab), 0);
    EXPECT_EQ(CString(std::string("user") + kHyo).CompareNoCase((std::string("USER") + kHyo).c_str()), 0);
    // ア (83 41) against 83 61: the trail bytes differ only in "case" and must not fold.
    EXPECT_NE(CString(kA).CompareNoCase("\x83\x61"), 0);
    EXPECT_NE(CString(kHyo).CompareNoCase(kSo), 0);
    EXPECT_EQ(CString(kHyo).CompareNoCase(kHyo), 0);
}

TEST(StringMbcs, EditsTrimsAndLengthsKeepDoubleByteCharactersWhole)
{
    const std::string original = std::string(kHyo) + "\\" + kSo;
    CString s(original.c_str());
    EXPECT_EQ(s.Replace('\\', '/'), 1);
    EXPECT_EQ(Bytes(s), std::string(kHyo) + "/" + kSo);
    CString t(original.c_str());
    EXPECT_EQ(t.Replace("\\", "|"), 1);
    EXPECT_EQ(Bytes(t), std::string(kHyo) + "|" + kSo);
    CString u(original.c_str());
    EXPECT_EQ(u.Remove('\\'), 1);
    EXPECT_EQ(Bytes(u), std::string(kHyo) + kSo);
    CString r = CString("a") + kHyo + "b";
    r.MakeReverse();
    EXPECT_EQ(Bytes(r), std::string("b") + kHyo + "a");
    EXPECT_EQ(Bytes(CString(kHyo).TrimRight('\\')), kHyo);
    EXPECT_EQ(Bytes(CString((std::string(kSo) + "\\\\").c_str()).TrimRight('\\')), kSo);
    EXPECT_EQ(Bytes(CString((std::string(kHyo) + "\\").c_str()).TrimRight("\\/")), kHyo);
    EXPECT_EQ(Bytes(CString((std::string(" ") + kHyo + " ").c_str()).Trim()), kHyo);
    const CString lengths = CString("a") + kHyo;
    EXPECT_EQ(lengths.CharLengthAt(0), 1);
    EXPECT_EQ(lengths.CharLengthAt(1), 2);
    EXPECT_EQ(lengths.CharLengthAt(3), 0);
    // A lead byte cut off at the end stands alone.
    const CString cut("a\x95");
    EXPECT_EQ(cut.CharLengthAt(1), 1);
    EXPECT_EQ(cut.Find('\x95'), 1);
}

TEST(StringWide, ConvertsThroughTheAnsiCodePage)
{
    EXPECT_EQ(CString(kHyo).ToWide(), std::wstring(L"\u8868"));
    EXPECT_EQ(Bytes(CString::FromWide(L"\u8868\u30BD")), std::string(kHyo) + kSo);
    const CString mixed = CString("C:\\") + kHyo + "\\x.dat";
    EXPECT_EQ(Bytes(CString::FromWide(mixed.ToWide().c_str())), Bytes(mixed));
    EXPECT_TRUE(CString().ToWide().empty());
    EXPECT_TRUE(CString::FromWide(nullptr).IsEmpty());
}

TEST(StringLoad, LoadsShiftJisOfAnyLengthFromThisModuleOrLeavesTheString)
{
    CString s;
    ASSERT_TRUE(s.LoadString(IDS_MODE_VERIFY));
    EXPECT_EQ(Bytes(s), "\x94\x46\x8F\xD8");   // 認証
    CString phrase;
    ASSERT_TRUE(phrase.LoadString(IDS_PASS_PHRASE));
    EXPECT_EQ(phrase.GetLength(), 1003);
    char reference[2048] = {};
    const int n = LoadStringA(GetModuleHandleA(nullptr), IDS_PASS_PHRASE, reference, sizeof reference);
    EXPECT_EQ(Bytes(phrase), std::string(reference, static_cast<size_t>(n)));
    EXPECT_FALSE(s.LoadString(IDS_PASS_PHRASE - 1));   // same block, no entry
    EXPECT_FALSE(s.LoadString(65000));                 // no block at all
    EXPECT_EQ(Bytes(s), "\x94\x46\x8F\xD8");
}

} // namespace
