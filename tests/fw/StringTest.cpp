// CString as the product uses it: construction, comparison, substrings,
// trimming, formatting and buffer access; then under code page 932, where
// double-byte characters are stepped over whole, so their trail bytes are
// never found, trimmed or case-changed, and letters that have a case (full
// width Latin, Greek, Cyrillic) change it as whole characters. Shift-JIS
// bytes used below:
//   表 95 5C   ソ 83 5C   ア 83 41   Ａ 82 60   Ｂ 82 61   ａ 82 81   ｂ 82 82
//   ｃ 82 83   Α 83 9F   α 83 BF   А 84 40   а 84 70   half-width ｱ B1
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "fw/String.h"
#include "resources/resource.h"

namespace {

TEST(String, KeepsExactlyTheGivenBytesInIndependentCopiesAndComparesByteWise)
{
    EXPECT_EQ(CString(static_cast<const char*>(nullptr)).str(), "");
    EXPECT_EQ(CString("abcdef", 3).str(), "abc");
    const char withNul[] = {'a', '\0', 'b'};
    EXPECT_EQ(CString(withNul, 3).GetLength(), 3);
    CString a("one");
    CString b = a;
    b += "two";
    b.SetAt(0, 'O');
    EXPECT_EQ(a.str(), "one");
    EXPECT_EQ(b.str(), "Onetwo");
    a = 'z';
    EXPECT_EQ(a.str(), "z");
    a = static_cast<const char*>(nullptr);
    EXPECT_TRUE(a.IsEmpty());
    CString s("ab");
    EXPECT_EQ(s[static_cast<size_t>(1)], 'b');
    EXPECT_EQ(s.GetAt(2), '\0');

    // Strings are only ever compared for equality, never ordered.
    EXPECT_TRUE("a" == CString("a"));
    EXPECT_TRUE(CString("a") != CString("b"));
    EXPECT_EQ(CString("UserID").CompareNoCase("USERid"), 0);
    EXPECT_NE(CString("ab").CompareNoCase("ABC"), 0);
    EXPECT_NE(CString("[").CompareNoCase("{"), 0);
}

TEST(String, ConcatenatesFindsAndCutsSubstringsClampedToTheString)
{
    const CString a("ab");
    EXPECT_EQ((a + "cd").str(), "abcd");
    EXPECT_EQ((a + 'c').str(), "abc");
    EXPECT_EQ(('c' + a).str(), "cab");
    CString appended;
    appended += a;
    appended += ";";
    appended += 'x';
    EXPECT_EQ(appended.str(), "ab;x");
    const CString s("abcdef");
    EXPECT_EQ(s.Mid(2).str(), "cdef");
    EXPECT_EQ(s.Mid(4, 100).str(), "ef");
    EXPECT_EQ(s.Mid(-3, 2).str(), "ab");
    EXPECT_EQ(s.Mid(60, 2).str(), "");
    EXPECT_EQ(s.Left(2).str(), "ab");

    const CString list("a;b;c");
    EXPECT_EQ(list.Find(';'), 1);
    EXPECT_EQ(list.Find(';', 2), 3);
    EXPECT_EQ(list.Find(';', 4), -1);
    EXPECT_EQ(list.Find("b;"), 2);
    EXPECT_EQ(list.Find("b;", 3), -1);
    EXPECT_EQ(list.Find("c;"), -1);
    EXPECT_EQ(list.Find(""), 0);
    EXPECT_EQ(list.ReverseFind('x'), -1);
}

TEST(String, TrimsBlanksOrTheGivenCharactersFromEitherEnd)
{
    CString padded(" \t\r\n value x \r\n\t ");
    EXPECT_EQ(CString(padded).TrimRight().str(), " \t\r\n value x");
    EXPECT_EQ(padded.Trim().str(), "value x");
    EXPECT_EQ(CString(" \t ").Trim().str(), "");
    EXPECT_EQ(CString("x.ya.xy").TrimRight("xy.").str(), "x.ya");
}

TEST(String, FormatsWithPrintfSemanticsAtAnyLengthAndReleasesBuffers)
{
    CString s;
    s.Format("%d,%d,%d,%d", 10, -20, 0, 7);
    EXPECT_EQ(s.str(), "10,-20,0,7");
    s.AppendFormat("[%d]", 3);
    EXPECT_EQ(s.Right(3).str(), "[3]");
    // Filling the first attempt's buffer of 256 bytes with its terminator
    // (250 k's, the brackets and "250"), and one byte past it.
    for (int n : {250, 251}) {
        const std::string body(static_cast<size_t>(n), 'k');
        s.Format("<%s>%d", body.c_str(), n);
        EXPECT_EQ(s.str(), "<" + body + ">" + std::to_string(n)) << n;
    }

    // A buffer grown to hold the text and its terminator exactly.
    CString buffered("abc");
    char* p = buffered.GetBuffer(6);
    std::strcpy(p, "hello");
    buffered.ReleaseBuffer();
    EXPECT_EQ(buffered.str(), "hello");
    p = buffered.GetBuffer(0);
    EXPECT_EQ(std::string(p), "hello");
    buffered.ReleaseBuffer(2);
    EXPECT_EQ(buffered.str(), "he");
    p = buffered.GetBufferSetLength(4);
    std::memcpy(p, "wxyz", 4);
    buffered.ReleaseBuffer(4);
    EXPECT_EQ(buffered.str(), "wxyz");
}

const char kHyo[] = "\x95\x5C";    // 表
const char kSo[] = "\x83\x5C";     // ソ
const char kA[] = "\x83\x41";      // ア
const char kFullAB[] = "\x82\x60\x82\x61";   // ＡＢ
const char kFullab[] = "\x82\x81\x82\x82";   // ａｂ

TEST(StringMbcs, FindsEditsAndFoldsWholeCharactersNeverATrailByte)
{
    ASSERT_EQ(GetACP(), 932u) << "tests must run with LC_ALL=ja_JP.UTF-8";
    ASSERT_TRUE(IsDBCSLeadByte(0x95));

    const CString hyo(kHyo);
    EXPECT_EQ(hyo.Find('\\'), -1);
    EXPECT_EQ(hyo.Find("\\"), -1);
    EXPECT_EQ(hyo.Find('\\', 1), -1);   // a start inside the character does not help
    const CString path = CString("C:\\") + kHyo + "\\" + kSo;
    EXPECT_EQ(path.Find('\\', 3), 5);
    EXPECT_EQ(path.Find("\\", 3), 5);
    EXPECT_EQ(path.ReverseFind('\\'), 5);
    const CString s = CString(kA) + kHyo + kSo;
    EXPECT_EQ(s.Find(kSo), 4);
    // 5C 83 spans the end of 表 and the start of ソ: not a character sequence.
    EXPECT_EQ(s.Find("\x5C\x83"), -1);

    // Ｂ's trail byte 0x61 and ア's 0x41 are no ASCII letters to change.
    const struct {
        std::string text, upper, lower;
    } cases[] = {
        {"\x82\x81\x82\x61" "aB" + std::string(kA), std::string(kFullAB) + "AB" + kA,
         std::string(kFullab) + "ab" + kA},   // ａＢaBア
        {"\x83\x9F\x84\x70", "\x83\x9F\x84\x40", "\x83\xBF\x84\x70"},   // Αа
        {std::string(kHyo) + "\xB1", std::string(kHyo) + "\xB1", std::string(kHyo) + "\xB1"},
        {"a\x82", "A\x82", "a\x82"},
        // Pairs code page 932 does not define keep their bytes.
        {"\x85\x40\x82\x20", "\x85\x40\x82\x20", "\x85\x40\x82\x20"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CString(c.text).MakeUpper().str(), c.upper);
        EXPECT_EQ(CString(c.text).MakeLower().str(), c.lower);
    }
    const struct {
        std::string a, b;
        bool same;
    } comparisons[] = {
        {kFullAB, kFullab, true},
        {kFullAB, "\x82\x81\x82\x83", false},   // ＡＢ, ａｃ
        {"\x82\x60", "a", false},                 // Ａ is no ASCII A
        {"\x83\x9F\x84\x40", "\x83\xBF\x84\x70", true},
        {std::string("user") + kHyo, std::string("USER") + kHyo, true},
        // ア (83 41) against ヂ (83 61): trail bytes differing in ASCII case.
        {kA, "\x83\x61", false},
        {"A\x82", "a\x82", true},
        {"A\x82", "a\x82\x81", false},
    };
    for (const auto& c : comparisons)
        EXPECT_EQ(CString(c.a).CompareNoCase(c.b.c_str()) == 0, c.same)
            << testing::PrintToString(c.a) << " / " << testing::PrintToString(c.b);

    EXPECT_EQ(CString(kHyo).TrimRight('\\').str(), kHyo);
    EXPECT_EQ(CString((std::string(kSo) + "\\\\").c_str()).TrimRight('\\').str(), kSo);
    EXPECT_EQ(CString((std::string(kHyo) + "\\").c_str()).TrimRight("\\/").str(), kHyo);
    const CString lengths = CString("a") + kHyo;
    EXPECT_EQ(lengths.CharLengthAt(0), 1);
    EXPECT_EQ(lengths.CharLengthAt(1), 2);
    EXPECT_EQ(lengths.CharLengthAt(3), 0);
    // A lead byte cut off at the end stands alone.
    const CString cut("a\x95");
    EXPECT_EQ(cut.CharLengthAt(1), 1);
    EXPECT_EQ(cut.Find('\x95'), 1);
    // A start cut to a byte count never keeps half of a character.
    EXPECT_EQ(lengths.LeftWhole(2).str(), "a");
    EXPECT_EQ(lengths.LeftWhole(3).str(), lengths.str());
    EXPECT_EQ(lengths.LeftWhole(-1).str(), "");
}

TEST(String, ConvertsThroughTheAnsiCodePageAndLoadsShiftJisTexts)
{
    EXPECT_EQ(CString(kHyo).ToWide(), std::wstring(L"\u8868"));
    EXPECT_EQ(CString::FromWide(L"\u8868\u30BD").str(), std::string(kHyo) + kSo);
    const CString mixed = CString("C:\\") + kHyo + "\\x.dat";
    EXPECT_EQ(CString::FromWide(mixed.ToWide().c_str()).str(), mixed.str());
    EXPECT_TRUE(CString().ToWide().empty());
    EXPECT_TRUE(CString::FromWide(nullptr).IsEmpty());

    CString s;
    ASSERT_TRUE(s.LoadString(IDS_MODE_VERIFY));
    EXPECT_EQ(s.str(), "\x94\x46\x8F\xD8");   // 認証
    EXPECT_FALSE(s.LoadString(IDS_PASS_PHRASE - 1));   // same block, no entry
    EXPECT_FALSE(s.LoadString(65000));                 // no block at all
    EXPECT_EQ(s.str(), "\x94\x46\x8F\xD8");
}

} // namespace
