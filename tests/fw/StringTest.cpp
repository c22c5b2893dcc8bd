// CString behaviour that does not depend on the code page: construction,
// comparison, substrings, edits, trimming, formatting and buffer access.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fw/String.h"

namespace {

std::string Bytes(const CString& s)
{
    return std::string(s.GetString(), static_cast<size_t>(s.GetLength()));
}

TEST(StringConstruction, KeepsExactlyTheGivenBytesInIndependentCopies)
{
    EXPECT_EQ(Bytes(CString(static_cast<const char*>(nullptr))), "");
    EXPECT_EQ(Bytes(CString("abcdef", 3)), "abc");
    EXPECT_EQ(Bytes(CString("abc", -1)), "");
    EXPECT_EQ(Bytes(CString('x', 4)), "xxxx");
    const char withNul[] = {'a', '\0', 'b'};
    EXPECT_EQ(CString(withNul, 3).GetLength(), 3);
    CString a("one");
    CString b = a;
    b += "two";
    b.SetAt(0, 'O');
    EXPECT_EQ(Bytes(a), "one");
    EXPECT_EQ(Bytes(b), "Onetwo");
    a = 'z';
    EXPECT_EQ(Bytes(a), "z");
    a = static_cast<const char*>(nullptr);
    EXPECT_TRUE(a.IsEmpty());
    CString s("ab");
    EXPECT_EQ(s[static_cast<size_t>(1)], 'b');
    EXPECT_EQ(s.GetAt(2), '\0');
    EXPECT_EQ(s.GetAt(-1), '\0');
    s.SetAt(2, 'x');
    s.SetAt(-1, 'x');
    EXPECT_EQ(Bytes(s), "ab");
}

TEST(StringCompare, OrdersByteWiseAndNoCaseFoldsLettersOnly)
{
    EXPECT_LT(CString("abc").Compare("abd"), 0);
    EXPECT_GT(CString("abcd").Compare("abc"), 0);
    EXPECT_GT(CString("\x81\x40").Compare("z"), 0);   // unsigned bytes
    EXPECT_TRUE("a" == CString("a"));
    EXPECT_TRUE(CString("a") != CString("b"));
    EXPECT_TRUE(CString("a") < CString("b"));
    EXPECT_EQ(CString("UserID").CompareNoCase("USERid"), 0);
    EXPECT_LT(CString("a").CompareNoCase("B"), 0);
    EXPECT_GT(CString("b").CompareNoCase("A"), 0);
    EXPECT_LT(CString("ab").CompareNoCase("ABC"), 0);
    EXPECT_NE(CString("[").CompareNoCase("{"), 0);
    EXPECT_NE(CString("@").CompareNoCase("`"), 0);
}

TEST(StringPieces, ConcatenationAndSubstringsClampedToTheString)
{
    const CString a("ab");
    EXPECT_EQ(Bytes(a + "cd"), "abcd");
    EXPECT_EQ(Bytes("cd" + a), "cdab");
    EXPECT_EQ(Bytes(a + 'c'), "abc");
    EXPECT_EQ(Bytes('c' + a), "cab");
    CString appended;
    appended += a;
    appended += ";";
    appended += 'x';
    EXPECT_EQ(Bytes(appended), "ab;x");
    const CString s("abcdef");
    EXPECT_EQ(Bytes(s.Mid(2)), "cdef");
    EXPECT_EQ(Bytes(s.Mid(2, 2)), "cd");
    EXPECT_EQ(Bytes(s.Mid(4, 100)), "ef");
    EXPECT_EQ(Bytes(s.Mid(-3, 2)), "ab");
    EXPECT_EQ(Bytes(s.Mid(60, 2)), "");
    EXPECT_EQ(Bytes(s.Mid(1, -1)), "");
    EXPECT_EQ(Bytes(s.Left(2)), "ab");
    EXPECT_EQ(Bytes(s.Left(-2)), "");
    EXPECT_EQ(Bytes(s.Right(2)), "ef");
    EXPECT_EQ(Bytes(s.Right(99)), "abcdef");
    EXPECT_EQ(Bytes(s.Right(-1)), "");
    EXPECT_EQ(Bytes(CString("12ab").SpanIncluding("0123456789")), "12");
    EXPECT_EQ(Bytes(CString("ab;cd").SpanExcluding(";")), "ab");
    EXPECT_EQ(Bytes(CString("abcd").SpanExcluding(";")), "abcd");
}

TEST(StringFind, FindsFromTheStartPosition)
{
    const CString s("a;b;c");
    EXPECT_EQ(s.Find(';'), 1);
    EXPECT_EQ(s.Find(';', 2), 3);
    EXPECT_EQ(s.Find(';', 4), -1);
    EXPECT_EQ(s.Find("b;"), 2);
    EXPECT_EQ(s.Find("b;", 3), -1);
    EXPECT_EQ(s.Find("c;"), -1);
    EXPECT_EQ(s.Find(""), 0);
    EXPECT_EQ(s.ReverseFind(';'), 3);
    EXPECT_EQ(s.ReverseFind('x'), -1);
    EXPECT_EQ(s.FindOneOf("cb"), 2);
}

TEST(StringEdit, ReplaceRemoveInsertDelete)
{
    CString s("a,b,,c");
    EXPECT_EQ(s.Replace(',', ';'), 3);
    EXPECT_EQ(Bytes(s), "a;b;;c");
    EXPECT_EQ(s.Replace(";;", ";x;"), 1);
    EXPECT_EQ(Bytes(s), "a;b;x;c");
    EXPECT_EQ(s.Replace("", "q"), 0);
    EXPECT_EQ(s.Replace(";", ""), 3);
    EXPECT_EQ(Bytes(s), "abxc");
    EXPECT_EQ(s.Remove('x'), 1);
    EXPECT_EQ(Bytes(s), "abc");
    EXPECT_EQ(s.Insert(1, '-'), 4);
    EXPECT_EQ(s.Insert(99, "!"), 5);
    EXPECT_EQ(s.Insert(-5, ">"), 6);
    EXPECT_EQ(Bytes(s), ">a-bc!");
    EXPECT_EQ(s.Delete(1, 2), 4);
    EXPECT_EQ(Bytes(s), ">bc!");
    EXPECT_EQ(s.Delete(2, 99), 2);
    EXPECT_EQ(s.Delete(9, 1), 2);
    EXPECT_EQ(Bytes(s), ">b");
}

TEST(StringTrim, BlanksTabsAndLineEndsOrTheGivenCharacters)
{
    CString s(" \t\r\n value x \r\n\t ");
    EXPECT_EQ(Bytes(CString(s).TrimLeft()), "value x \r\n\t ");
    EXPECT_EQ(Bytes(CString(s).TrimRight()), " \t\r\n value x");
    EXPECT_EQ(Bytes(s.Trim()), "value x");
    EXPECT_EQ(Bytes(CString(" \t ").Trim()), "");
    EXPECT_EQ(Bytes(CString("xxaxx").Trim('x')), "a");
    EXPECT_EQ(Bytes(CString("x.ya.xy").TrimRight("xy.")), "x.ya");
    EXPECT_EQ(Bytes(CString("x.ya.xy").TrimLeft("xy.")), "a.xy");
    EXPECT_EQ(Bytes(CString(" a ").Trim("")), " a ");
}

TEST(StringFormat, PrintfSemanticsAtAnyLength)
{
    CString s;
    s.Format("%d,%d,%d,%d", 10, -20, 0, 7);
    EXPECT_EQ(Bytes(s), "10,-20,0,7");
    s.Format("%02X%02X", 0xA, 0xBC);
    EXPECT_EQ(Bytes(s), "0ABC");
    s.Format("%u %s\n%s %u", 5u, "RegEnumKeyEx", "Setup\\RegistryEx", 42u);
    EXPECT_EQ(Bytes(s), "5 RegEnumKeyEx\nSetup\\RegistryEx 42");
    s.AppendFormat("[%d]", 3);
    EXPECT_EQ(Bytes(s.Right(3)), "[3]");
    // Around the size of the first attempt's buffer and far beyond it.
    for (int n : {254, 255, 256, 257, 5000, 70000}) {
        const std::string body(static_cast<size_t>(n), 'k');
        s.Format("<%s>%d", body.c_str(), n);
        EXPECT_EQ(Bytes(s), "<" + body + ">" + std::to_string(n)) << n;
    }
}

TEST(StringBuffer, ReleaseSetsTheLength)
{
    CString s("abc");
    char* p = s.GetBuffer(10);
    std::strcpy(p, "hello");
    s.ReleaseBuffer();
    EXPECT_EQ(Bytes(s), "hello");
    p = s.GetBuffer(0);
    EXPECT_EQ(std::string(p), "hello");
    s.ReleaseBuffer(2);
    EXPECT_EQ(Bytes(s), "he");
    p = s.GetBufferSetLength(4);
    std::memcpy(p, "wxyz", 4);
    s.ReleaseBuffer(4);
    EXPECT_EQ(Bytes(s), "wxyz");
    s.ReleaseBuffer(99);   // never grows
    EXPECT_EQ(s.GetLength(), 4);
    CString empty;
    std::strcpy(empty.GetBuffer(3), "ok");
    empty.ReleaseBuffer();
    EXPECT_EQ(Bytes(empty), "ok");
}

} // namespace
