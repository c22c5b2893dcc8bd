// The archive layout of counts, strings and the collections, byte for byte,
// and loads of damaged data, which must fail cleanly at the end of the data.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/Archive.h"
#include "fw/ArchiveException.h"
#include "fw/ByteArray.h"
#include "fw/DWordArray.h"
#include "fw/MemFile.h"
#include "fw/StringArray.h"
#include "fw/StringList.h"
#include "fw/WordArray.h"

namespace {

using Bytes = std::vector<BYTE>;

template <typename T>
Bytes Store(T& collection)
{
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    collection.Serialize(ar);
    return file.Detach();
}

template <typename T>
void Load(T& collection, const Bytes& bytes)
{
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    collection.Serialize(ar);
    // A successful load takes exactly the stored bytes.
    EXPECT_EQ(file.GetPosition(), bytes.size());
}

Bytes Prefix(const Bytes& head, size_t filler, BYTE value = 'q')
{
    Bytes out(head);
    out.insert(out.end(), filler, value);
    return out;
}

CString Repeat(char ch, int n)
{
    return CString(ch, n);
}

TEST(ArchiveLayout, StringArrayOfTextAndEmpty)
{
    CStringArray a;
    a.Add("ab");
    a.Add("");
    EXPECT_EQ(Store(a), (Bytes{0x02, 0x00, 0x02, 'a', 'b', 0x00}));
    CStringArray back;
    back.Add("old");
    Load(back, Store(a));
    ASSERT_EQ(back.GetSize(), 2);
    EXPECT_EQ(back[0], "ab");
    EXPECT_TRUE(back[1].IsEmpty());
}

TEST(ArchiveLayout, StringListMatchesTheArrayLayout)
{
    CStringList list;
    list.AddTail("ab");
    list.AddTail("");
    EXPECT_EQ(Store(list), (Bytes{0x02, 0x00, 0x02, 'a', 'b', 0x00}));
    CStringList back;
    Load(back, Store(list));
    ASSERT_EQ(back.GetCount(), 2);
    EXPECT_EQ(back.GetHead(), "ab");
    EXPECT_TRUE(back.GetTail().IsEmpty());
}

TEST(ArchiveLayout, RectangleAsFiveDWords)
{
    // top 2, bottom 4, left 1, right 3, then 0.
    CDWordArray a;
    for (DWORD v : {2u, 4u, 1u, 3u, 0u})
        a.Add(v);
    const Bytes expected{0x05, 0x00, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Store(a), expected);
    CDWordArray back;
    Load(back, expected);
    EXPECT_TRUE(back == a);
}

TEST(ArchiveLayout, WordsAndBytesAreLittleEndian)
{
    CWordArray w;
    w.Add(0x1234);
    w.Add(0xABCD);
    EXPECT_EQ(Store(w), (Bytes{0x02, 0x00, 0x34, 0x12, 0xCD, 0xAB}));
    CByteArray b;
    b.Add(0xFF);
    b.Add(0x00);
    b.Add(0x7F);
    EXPECT_EQ(Store(b), (Bytes{0x03, 0x00, 0xFF, 0x00, 0x7F}));
    CWordArray wb;
    Load(wb, Store(w));
    EXPECT_TRUE(wb == w);
}

TEST(ArchiveLayout, CountsAtTheSixteenBitBoundary)
{
    struct Case {
        int count;
        Bytes head;
    };
    const Case cases[] = {
        {0, {0x00, 0x00}},
        {0xFFFE, {0xFE, 0xFF}},
        {0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {0x10000, {0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}},
    };
    for (const Case& c : cases) {
        CByteArray a;
        a.SetSize(c.count);
        if (c.count > 0)
            a[c.count - 1] = 0x5A;
        const Bytes stored = Store(a);
        ASSERT_EQ(stored.size(), c.head.size() + static_cast<size_t>(c.count)) << c.count;
        EXPECT_EQ(Bytes(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(c.head.size())), c.head) << c.count;
        CByteArray back;
        Load(back, stored);
        EXPECT_TRUE(back == a) << c.count;
    }
}

TEST(ArchiveLayout, StringLengthPrefixes)
{
    struct Case {
        int length;
        Bytes head;
    };
    const Case cases[] = {
        {254, {0xFE}},
        {255, {0xFF, 0xFF, 0x00}},
        {0xFFFD, {0xFF, 0xFD, 0xFF}},
        {0xFFFE, {0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {0x10000, {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}},
    };
    for (const Case& c : cases) {
        CStringArray a;
        a.Add(Repeat('s', c.length));
        const Bytes stored = Store(a);
        const Bytes expectedHead = Prefix({0x01, 0x00}, 0);
        Bytes head(expectedHead);
        head.insert(head.end(), c.head.begin(), c.head.end());
        ASSERT_EQ(stored.size(), head.size() + static_cast<size_t>(c.length)) << c.length;
        EXPECT_EQ(Bytes(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(head.size())), head) << c.length;
        CStringArray back;
        Load(back, stored);
        ASSERT_EQ(back.GetSize(), 1);
        EXPECT_EQ(back[0].GetLength(), c.length);
    }
}

TEST(ArchiveLayout, LongFormPrefixesOfShortStringsAreAccepted)
{
    // Another writer may use the wider prefixes for short lengths.
    CStringArray a;
    Load(a, Bytes{0x02, 0x00, 0xFF, 0x02, 0x00, 'h', 'i', 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00, 'x'});
    ASSERT_EQ(a.GetSize(), 2);
    EXPECT_EQ(a[0], "hi");
    EXPECT_EQ(a[1], "x");
}

TEST(ArchiveLayout, WideStringsAreConvertedToAnsi)
{
    // 0xFF 0xFFFE marks a UTF-16 string: "h" and 表 (U+8868), which is 95 5C in Shift-JIS.
    CStringArray a;
    Load(a, Bytes{0x01, 0x00, 0xFF, 0xFE, 0xFF, 0x02, 'h', 0x00, 0x68, 0x88});
    ASSERT_EQ(a.GetSize(), 1);
    EXPECT_EQ(a[0], "h\x95\x5C");
}

TEST(ArchiveScalars, IntegersAreLittleEndianAndRoundTrip)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        ar << static_cast<BYTE>(0xAB) << static_cast<WORD>(0x1234) << static_cast<DWORD>(0x01020304)
           << static_cast<LONG>(-2) << -3 << static_cast<short>(-4) << 7u;
        ar << CString("ok");
    }
    const Bytes expected{0xAB, 0x34, 0x12, 0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF,
                         0xFD, 0xFF, 0xFF, 0xFF, 0xFC, 0xFF, 0x07, 0x00, 0x00, 0x00, 0x02, 'o', 'k'};
    EXPECT_EQ(Bytes(file.GetBuffer(), file.GetBuffer() + file.GetSize()), expected);
    file.SeekToBegin();
    CArchive ar(&file, CArchive::load);
    BYTE b = 0;
    WORD w = 0;
    DWORD d = 0;
    LONG l = 0;
    int i = 0;
    short s = 0;
    UINT u = 0;
    CString text;
    ar >> b >> w >> d >> l >> i >> s >> u >> text;
    EXPECT_EQ(b, 0xAB);
    EXPECT_EQ(w, 0x1234);
    EXPECT_EQ(d, 0x01020304u);
    EXPECT_EQ(l, -2);
    EXPECT_EQ(i, -3);
    EXPECT_EQ(s, -4);
    EXPECT_EQ(u, 7u);
    EXPECT_EQ(text, "ok");
    EXPECT_THROW(ar >> b, CArchiveException);
}

TEST(ArchiveMode, DirectionIsEnforced)
{
    CMemFile file;
    CArchive loading(&file, CArchive::load);
    EXPECT_TRUE(loading.IsLoading());
    EXPECT_THROW(loading << 1, CArchiveException);
    CArchive storing(&file, CArchive::store);
    EXPECT_TRUE(storing.IsStoring());
    int value = 0;
    EXPECT_THROW(storing >> value, CArchiveException);
}

// Each damaged archive must raise CArchiveException, leave the collection as
// it was and never move past the end of the data.
template <typename T>
void ExpectRejected(const Bytes& bytes, const char* what)
{
    T collection;
    collection.SetSize(1);
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    try {
        collection.Serialize(ar);
        ADD_FAILURE() << what << ": accepted";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::endOfFile) << what;
    }
    EXPECT_LE(file.GetPosition(), bytes.size()) << what;
    EXPECT_EQ(collection.GetSize(), 1) << what;
}

TEST(ArchiveDamage, TruncatedOrOverlongDataIsRejected)
{
    ExpectRejected<CStringArray>({}, "no count");
    ExpectRejected<CStringArray>({0x01}, "half a count");
    ExpectRejected<CStringArray>({0xFF, 0xFF, 0x02, 0x00}, "half a long count");
    ExpectRejected<CStringArray>({0x03, 0x00, 0x01, 'a', 0x00}, "fewer strings than counted");
    ExpectRejected<CStringArray>({0x01, 0x00, 0x05, 'a', 'b'}, "string shorter than its length");
    ExpectRejected<CStringArray>({0x01, 0x00, 0xFF, 0x10}, "half a word length");
    ExpectRejected<CStringArray>({0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, "huge string length");
    ExpectRejected<CStringArray>({0x01, 0x00, 0xFF, 0xFE, 0xFF, 0x03, 'a', 0x00}, "wide string too short");
    ExpectRejected<CByteArray>({0x05, 0x00, 1, 2, 3}, "bytes missing");
    ExpectRejected<CWordArray>({0x02, 0x00, 1, 2, 3}, "half a word");
    ExpectRejected<CDWordArray>({0x03, 0x00, 1, 2, 3, 4, 5, 6, 7, 8}, "dwords missing");
    // A count that would allocate gigabytes is refused before anything is allocated.
    ExpectRejected<CDWordArray>({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0}, "huge count");
    ExpectRejected<CStringArray>({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, "huge string count");
}

TEST(ArchiveDamage, StringListLeftAsItWas)
{
    CStringList list;
    list.AddTail("kept");
    const Bytes bytes{0x02, 0x00, 0x01, 'a', 0x09, 'b'};
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    EXPECT_THROW(list.Serialize(ar), CArchiveException);
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetHead(), "kept");
}

TEST(ArchiveDamage, NestedWideMarkerIsRejected)
{
    CStringArray a;
    const Bytes bytes{0x01, 0x00, 0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 0x00};
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    EXPECT_THROW(a.Serialize(ar), CArchiveException);
}

} // namespace
