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
#include "tests/support/StringLists.h"

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

// A successful load takes exactly the stored bytes.
template <typename T>
void Load(T& collection, const Bytes& bytes)
{
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    collection.Serialize(ar);
    EXPECT_EQ(file.GetPosition(), bytes.size());
}

using namespace sonvera_test;

// Stores the collection and loads the bytes back over a copy, which must give
// the collection only: stored again, the same bytes. (The string list's layout
// is the registry list's test.)
template <typename T>
void ExpectLayout(T& collection, const Bytes& expected, const char* what)
{
    EXPECT_EQ(Store(collection), expected) << what;
    T back = collection;
    Load(back, expected);
    EXPECT_EQ(Store(back), expected) << what;
}

TEST(ArchiveLayout, EveryCollectionAsCountThenElementsWithItsPrefixesAtTheBoundaries)
{
    CStringArray strings;
    strings.Add("ab");
    strings.Add("");
    ExpectLayout(strings, {0x02, 0x00, 0x02, 'a', 'b', 0x00}, "strings");
    CDWordArray rect;   // a rectangle: top 2, bottom 4, left 1, right 3, then 0
    for (DWORD v : {2u, 4u, 1u, 3u, 0u})
        rect.Add(v);
    ExpectLayout(rect, {0x05, 0x00, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0}, "dwords");
    CWordArray words;
    words.Add(0x1234);
    words.Add(0xABCD);
    ExpectLayout(words, {0x02, 0x00, 0x34, 0x12, 0xCD, 0xAB}, "words");

    // Counts and string lengths around the points where the prefix widens: the
    // prefix, then the elements.
    const struct {
        bool string;
        int length;
        Bytes head;
    } cases[] = {
        {false, 0xFFFE, {0xFE, 0xFF}},
        {false, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}},
        {false, 0x10000, {0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}},
        {true, 254, {0x01, 0x00, 0xFE}},
        {true, 255, {0x01, 0x00, 0xFF, 0xFF, 0x00}},
        {true, 0xFFFD, {0x01, 0x00, 0xFF, 0xFD, 0xFF}},
        {true, 0xFFFE, {0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {true, 0x10000, {0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.length) + (c.string ? " characters" : " bytes"));
        CByteArray bytes;
        bytes.SetSize(c.length);
        bytes[c.length - 1] = 0x5A;
        CStringArray strings;
        strings.Add(CString('s', c.length));
        const Bytes stored = c.string ? Store(strings) : Store(bytes);
        ASSERT_EQ(stored.size(), c.head.size() + static_cast<size_t>(c.length));
        EXPECT_EQ(Bytes(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(c.head.size())), c.head);
        const auto loadedAgain = [&stored](auto back) {
            Load(back, stored);
            return Store(back);
        };
        EXPECT_EQ(c.string ? loadedAgain(CStringArray()) : loadedAgain(CByteArray()), stored);
    }

    // Wider prefixes for short lengths; 0xFF 0xFFFE marks a UTF-16 string:
    // "h" and 表 (U+8868), which is 95 5C in Shift-JIS.
    CStringArray a;
    Load(a, Bytes{0x03, 0x00, 0xFF, 0x02, 0x00, 'h', 'i', 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00, 'x',
                  0xFF, 0xFE, 0xFF, 0x02, 'h', 0x00, 0x68, 0x88});
    EXPECT_EQ(Items(a), (std::vector<std::string>{"hi", "x", "h\x95\x5C"}));
}

// Each damaged archive must raise CArchiveException, leave the collection as
// it was and never move past the end of the data.
template <typename T>
void ExpectRejected(const Bytes& bytes, const char* what, int cause = CArchiveException::endOfFile)
{
    T collection;
    collection.SetSize(1);
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchive ar(&file, CArchive::load);
    try {
        collection.Serialize(ar);
        ADD_FAILURE() << what << ": accepted";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, cause) << what;
    }
    EXPECT_LE(file.GetPosition(), bytes.size()) << what;
    EXPECT_EQ(collection.GetSize(), 1) << what;
}

TEST(Archive, TruncatedOrOverlongDataIsRejected)
{
    ExpectRejected<CStringArray>({0x01}, "half a count");
    ExpectRejected<CStringArray>({0xFF, 0xFF, 0x02, 0x00}, "half a long count");
    ExpectRejected<CStringArray>({0x03, 0x00, 0x01, 'a', 0x00}, "fewer strings than counted");
    ExpectRejected<CStringArray>({0x01, 0x00, 0x05, 'a', 'b'}, "string shorter than its length");
    ExpectRejected<CStringArray>({0x01, 0x00, 0xFF, 0x10}, "half a word length");
    ExpectRejected<CStringArray>({0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, "huge string length");
    ExpectRejected<CStringArray>({0x01, 0x00, 0xFF, 0xFE, 0xFF, 0x03, 'a', 0x00}, "wide string too short");
    ExpectRejected<CStringArray>({0x01, 0x00, 0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF, 0x00}, "nested wide marker",
                                 CArchiveException::badSchema);
    ExpectRejected<CDWordArray>({0x03, 0x00, 1, 2, 3, 4, 5, 6, 7, 8}, "dwords missing");
    // A count that would allocate gigabytes is refused before anything is allocated.
    ExpectRejected<CDWordArray>({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0}, "huge count");
    ExpectRejected<CStringArray>({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}, "huge string count");
    // The list, which has no size to set, is left as it was too.
    CStringList list;
    list.AddTail("kept");
    EXPECT_THROW(Load(list, Bytes{0x02, 0x00, 0x01, 'a', 0x09, 'b'}), CArchiveException);
    EXPECT_EQ(Items(list), std::vector<std::string>{"kept"});
}

} // namespace
