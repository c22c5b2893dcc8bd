// CRegistryEx values: what each family stores and reads back, the buffer
// limits of the reads and the three "last" fields each operation leaves
// behind. The collections' byte layouts are the archive's (tests/fw).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "Setup/RegistryEx.h"
#include "fw/ArchiveException.h"
#include "tests/support/Bytes.h"
#include "tests/support/FaultyRegistry.h"
#include "tests/support/ScratchKey.h"
#include "tests/support/StringLists.h"

namespace
{
using sonvera_test::Bytes;
using sonvera_test::CFaultyRegistry;
using sonvera_test::Items;
using sonvera_test::ListOf;

class RegistryValuesTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(1, m_reg.Open(m_key.Root(), m_key.Path())); }
    void TearDown() override { m_reg.Close(); }

    // The value as the registry holds it, read past the object under test.
    std::string Stored(const char* name, DWORD* type = NULL)
    {
        DWORD size = 0;
        if (RegGetValueA(m_key.Root(), m_key.Path(), name, RRF_RT_ANY | RRF_NOEXPAND, type, NULL, &size))
            return std::string();
        std::string bytes(size, '\0');
        RegGetValueA(m_key.Root(), m_key.Path(), name, RRF_RT_ANY | RRF_NOEXPAND, type, &bytes[0], &size);
        return bytes.substr(0, size);
    }
    void StoreRaw(const char* name, DWORD type, const std::string& bytes)
    {
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(m_key.Root(), m_key.Path(), name, type, bytes.data(),
                                                 static_cast<DWORD>(bytes.size())));
    }
    void ExpectLast(LONG status, DWORD type, DWORD size)
    {
        EXPECT_EQ(status, m_reg.GetLastStatus());
        EXPECT_EQ(type, m_reg.GetLastType());
        EXPECT_EQ(size, m_reg.GetLastSize());
    }

    sonvera_test::CScratchKey m_key{HKEY_CURRENT_USER, "values"};
    CRegistryEx m_reg{HKEY_CURRENT_USER};
};

template <class Collection, class Element>
Collection Of(std::initializer_list<Element> elements)
{
    Collection c;
    for (const Element& e : elements)
        c.Add(e);
    return c;
}

bool SameList(const CStringList& a, const CStringList& b)
{
    return Items(a) == Items(b);
}

// A write, what the registry then holds and the "last" fields it leaves, and
// a read of it into an object holding something else, with the read's fields.
// The collections are the archive's layout (tests/fw); one array and the list
// show that they are stored as it.
struct Family
{
    const char* what;
    std::function<int(CRegistryEx&)> write;
    std::string stored;
    DWORD type, lastType, lastSize;   // shapes record 1 (rectangle) or 2 (point) as the type
    std::function<bool(CRegistryEx&)> readsBack;
    DWORD readType, readSize;
};

TEST_F(RegistryValuesTest, EveryFamilyIsStoredAsItsLayoutAndReadsBack)
{
    const Family families[] = {
        {"rect: top, bottom, left, right in five elements",
         [](CRegistryEx& r) { RECT rect = {1, 2, 3, 4}; return r.Write("V", &rect); },
         Bytes({5, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0}), REG_BINARY, 1, 22,
         [](CRegistryEx& r) {
             RECT back = {9, 9, 9, 9};
             RECT* p = &back;
             return r.Read("V", p) == 1 && back.left == 1 && back.top == 2 && back.right == 3 && back.bottom == 4;
         },
         1, 16},
        {"point: x, y, three zeros",
         [](CRegistryEx& r) { POINT point = {7, -3}; POINT* p = &point; return r.Write("V", p); },
         Bytes({5, 0, 7, 0, 0, 0, 0xFD, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), REG_BINARY, 2, 22,
         [](CRegistryEx& r) {
             POINT back = {9, 9};
             POINT* p = &back;
             return r.Read("V", p) == 1 && back.x == 7 && back.y == -3;
         },
         2, 8},
        {"string list, read replacing the list", [](CRegistryEx& r) { auto l = ListOf({"ab", ""}); return r.Write("V", l); },
         Bytes({2, 0, 2, 'a', 'b', 0}), REG_BINARY, REG_BINARY, 6,
         [](CRegistryEx& r) {
             CStringList back = ListOf({"old1", "old2", "old3"});
             return r.Read("V", back) == 1 && SameList(back, ListOf({"ab", ""}));
         },
         REG_BINARY, 6},
        {"double words", [](CRegistryEx& r) { auto a = Of<CDWordArray, DWORD>({10, 0x80000001ul}); return r.Write("V", a); },
         Bytes({2, 0, 10, 0, 0, 0, 1, 0, 0, 0x80}), REG_BINARY, REG_BINARY, 10,
         [](CRegistryEx& r) {
             auto back = Of<CDWordArray, DWORD>({0, 0});
             return r.Read("V", back) == 1 && back == Of<CDWordArray, DWORD>({10, 0x80000001ul});
         },
         REG_BINARY, 10},
        {"int, also read unsigned", [](CRegistryEx& r) { return r.Write("V", -2); }, Bytes({0xFE, 0xFF, 0xFF, 0xFF}),
         REG_DWORD, REG_DWORD, 4,
         [](CRegistryEx& r) {
             int n = 0;
             unsigned long u = 0;
             return r.Read("V", n) == 1 && n == -2 && r.Read("V", u) == 1 && u == 0xFFFFFFFEul;
         },
         REG_DWORD, 4},
        {"text with its terminator, read whole and into a buffer", [](CRegistryEx& r) { return r.Write("V", "abc"); },
         std::string("abc", 4), REG_SZ, REG_SZ, 4,
         [](CRegistryEx& r) {
             CString text;
             char buffer[10] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
             return r.Read("V", text) == 1 && text == "abc" && r.Read("V", buffer, sizeof(buffer)) == 1 &&
                    std::string(buffer, 10) == std::string("abc\0xxxxxx", 10);
         },
         REG_SZ, 4},
        // A string read takes 199 characters; 200 are refused (below).
        {"text of 199 characters", [](CRegistryEx& r) { return r.Write("V", CString('a', 199)); },
         std::string(199, 'a') + '\0', REG_SZ, REG_SZ, 200,
         [](CRegistryEx& r) {
             CString text;
             return r.Read("V", text) == 1 && text == CString('a', 199);
         },
         REG_SZ, 200},
    };
    for (const Family& f : families) {
        SCOPED_TRACE(f.what);
        EXPECT_EQ(1, f.write(m_reg));
        ExpectLast(ERROR_SUCCESS, f.lastType, f.lastSize);
        DWORD type = 0;
        EXPECT_EQ(f.stored, Stored("V", &type));
        EXPECT_EQ(f.type, type);
        EXPECT_TRUE(f.readsBack(m_reg));
        ExpectLast(ERROR_SUCCESS, f.readType, f.readSize);
    }
}

// A value a read cannot take (another type, or larger than the read's limit)
// leaves the object as it was; only a too large one fails. Each reader reads
// into an object holding known values and tells whether it still holds them.
using Reader = std::function<int(CRegistryEx&, bool& unchanged)>;

template <class Value>
Reader ReadValue(Value kept, std::function<bool(const Value&, const Value&)> same = std::equal_to<Value>())
{
    return [=](CRegistryEx& r, bool& unchanged) {
        Value value = kept;
        const int result = r.Read("V", value);
        unchanged = same(value, kept);
        return result;
    };
}

template <class Shape>
Reader ReadShape(Shape initial)
{
    return [=](CRegistryEx& r, bool& unchanged) {
        Shape shape = initial;
        Shape* p = &shape;
        const int result = r.Read("V", p);
        unchanged = std::memcmp(&shape, &initial, sizeof shape) == 0;
        return result;
    };
}

template <class Collection, class Element>
Reader ReadCollection(Element kept)
{
    return ReadValue<Collection>(Of<Collection, Element>({kept}), [](const Collection& a, const Collection& b) {
        return a.GetSize() == 1 && a[0] == b[0];
    });
}

Reader ReadBuffer(int length)
{
    return [=](CRegistryEx& r, bool& unchanged) {
        std::string buffer(1000, 'x');
        const int result = r.Read("V", &buffer[0], length);
        unchanged = buffer == std::string(1000, 'x');
        return result;
    };
}

TEST_F(RegistryValuesTest, ReadsLeaveTheObjectWhenTheValueDoesNotFit)
{
    const struct
    {
        const char* what;
        DWORD type;
        std::string bytes;
        Reader read;
        int result;
        LONG status;
        DWORD lastSize;   // a shape read records its own size
    } cases[] = {
        {"rect from text", REG_SZ, "abc", ReadShape<RECT>({5, 6, 7, 8}), 1, ERROR_SUCCESS, 16},
        {"point from text", REG_SZ, "abc", ReadShape<POINT>({1, 2}), 1, ERROR_SUCCESS, 8},
        {"rect over 30 bytes", REG_BINARY, Bytes({8, 0}) + std::string(32, '\x01'), ReadShape<RECT>({5, 6, 7, 8}), 0,
         ERROR_MORE_DATA, 16},
        {"string array from text", REG_SZ, std::string("plain text", 11), ReadCollection<CStringArray>(CString("keep")),
         1, ERROR_SUCCESS, 11},
        {"string list from text", REG_SZ, std::string("plain text", 11),
         ReadValue<CStringList>(ListOf({"keep"}), SameList), 1, ERROR_SUCCESS, 11},
        {"array from a number", REG_DWORD, Bytes({17, 0, 0, 0}), ReadCollection<CDWordArray>(DWORD(5)), 1,
         ERROR_SUCCESS, 4},
        {"collection over 4096 bytes", REG_BINARY, std::string(5000, '\x01'), ReadCollection<CByteArray>(BYTE(42)), 0,
         ERROR_MORE_DATA, 5000},
        {"number over 4 bytes", REG_BINARY, std::string(8, '\x01'), ReadValue(123), 0, ERROR_MORE_DATA, 8},
        {"text of 200 characters", REG_SZ, std::string(200, 'b') + '\0', ReadValue(CString("unchanged")), 0,
         ERROR_MORE_DATA, 201},
        {"buffer too small", REG_SZ, std::string("abc", 4), ReadBuffer(2), 0, ERROR_MORE_DATA, 4},
        {"buffer over 256 bytes", REG_BINARY, std::string(257, '\x07'), ReadBuffer(1000), 0, ERROR_MORE_DATA, 257},
        {"missing value", 0, "", ReadValue(CString("keep")), 0, ERROR_FILE_NOT_FOUND, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_reg.DeleteValue("V");
        if (c.type != 0)
            StoreRaw("V", c.type, c.bytes);
        bool unchanged = false;
        EXPECT_EQ(c.result, c.read(m_reg, unchanged));
        EXPECT_TRUE(unchanged);
        EXPECT_EQ(c.status, m_reg.GetLastStatus());
        EXPECT_EQ(c.lastSize, m_reg.GetLastSize());
    }
    // A buffer read copies exactly the value's bytes, 256 at most; the default
    // value is named by an empty or a null name.
    StoreRaw("Exact", REG_BINARY, std::string(256, '\x07'));
    std::string big(1000, 'x');
    EXPECT_EQ(1, m_reg.Read("Exact", &big[0], 1000));
    EXPECT_EQ(std::string(256, '\x07') + std::string(744, 'x'), big);
    ASSERT_EQ(1, m_reg.Write("", "default"));
    CString back;
    EXPECT_EQ(1, m_reg.Read(NULL, back));
    EXPECT_EQ(CString("default"), back);
}

TEST_F(RegistryValuesTest, ArraysReadBackIntoTheSizeTheyHadOnEntry)
{
    auto strings = Of<CStringArray, CString>({CString('q', 300)});
    auto five = Of<CDWordArray, DWORD>({10, 20, 30, 40, 50});
    ASSERT_EQ(1, m_reg.Write("Strings", strings));
    auto three = Of<CStringArray, CString>({"x", "y", "z"});
    ASSERT_EQ(1, m_reg.Read("Strings", three));
    ASSERT_EQ(3, three.GetSize());
    EXPECT_EQ(CString('q', 300), three[0]);
    EXPECT_EQ(CString(""), three[2]);
    ASSERT_EQ(1, m_reg.Write("Five", five));
    for (int size : {0, 3, 7}) {
        CDWordArray back;
        back.SetSize(size);
        for (int i = 0; i < size; ++i)
            back[i] = 99;
        EXPECT_EQ(1, m_reg.Read("Five", back));
        ASSERT_EQ(size, back.GetSize());
        for (int i = 0; i < size; ++i)
            EXPECT_EQ(i < 5 ? 10u * (i + 1) : 0u, back[i]) << size << " " << i;
    }
}

TEST_F(RegistryValuesTest, MalformedBlobRaisesTheArchiveErrorAndLeavesTheCollection)
{
    StoreRaw("Broken", REG_BINARY, Bytes({0x05, 0x00, 0x01, 0x00}));   // five DWORDs promised, 2 bytes given
    auto array = Of<CDWordArray, DWORD>({77, 0});
    EXPECT_THROW(m_reg.Read("Broken", array), CArchiveException);
    EXPECT_TRUE((array == Of<CDWordArray, DWORD>({77, 0})));
    StoreRaw("BrokenStrings", REG_BINARY, Bytes({0x01, 0x00, 0x09, 'a'}));   // a 9-byte string cut short
    CStringList list = ListOf({"keep"});
    EXPECT_THROW(m_reg.Read("BrokenStrings", list), CArchiveException);
    EXPECT_TRUE(SameList(ListOf({"keep"}), list));
}

// The largest collection a read can take back is 4096 bytes; a larger one is
// not stored at all.
TEST_F(RegistryValuesTest, CollectionsAreStoredOnlyWhenAReadCanTakeThemBack)
{
    CByteArray full;
    full.SetSize(4094);
    full[4093] = 0x5A;
    ASSERT_EQ(1, m_reg.Write("Blob", full));
    EXPECT_EQ(4096u, m_reg.GetLastSize());
    CByteArray back;
    back.SetSize(4094);
    ASSERT_EQ(1, m_reg.Read("Blob", back));
    EXPECT_EQ(0x5A, back[4093]);
    CByteArray big;
    big.SetSize(70000);   // also needs the 0xFFFF escaped count
    EXPECT_EQ(0, m_reg.Write("Blob", big));
    EXPECT_EQ(ERROR_MORE_DATA, m_reg.GetLastStatus());
    EXPECT_EQ(4096u, Stored("Blob").size());
}

TEST_F(RegistryValuesTest, PresenceDeletionAndTheUnsignedWriteThatRecordsNothing)
{
    ASSERT_EQ(1, m_reg.Write("Gone", 1));
    EXPECT_EQ(1, m_reg.VerifyValue("Gone"));
    ExpectLast(ERROR_SUCCESS, 0, 0);
    EXPECT_EQ(1, m_reg.DeleteValue("Gone"));
    EXPECT_EQ(0, m_reg.VerifyValue("Gone"));
    ExpectLast(ERROR_FILE_NOT_FOUND, 0, 0);
    EXPECT_EQ(0, m_reg.DeleteValue("Gone"));
    // The unsigned write gives the status itself and leaves the fields alone.
    EXPECT_EQ(0, m_reg.Write("Unsigned", 0x80000001ul));
    ExpectLast(ERROR_FILE_NOT_FOUND, 0, 0);
    EXPECT_EQ(Bytes({0x01, 0x00, 0x00, 0x80}), Stored("Unsigned"));
    m_reg.Close();
    EXPECT_EQ(ERROR_INVALID_HANDLE, m_reg.Write("Unsigned", 5ul));
}

// A write the registry refuses (a key made read-only, a full hive) reports
// the refusal in the result and the status, and stores nothing.
TEST_F(RegistryValuesTest, ARefusedWriteReportsItsStatusAndStoresNothing)
{
    CFaultyRegistry registry;
    registry.Fail(CFaultyRegistry::setValue, ERROR_ACCESS_DENIED);
    CRegistryOverride scope(registry);
    RECT rect = {1, 2, 3, 4};
    auto strings = Of<CStringArray, CString>({"x"});
    EXPECT_EQ(0, m_reg.Write("Int", 7));
    ExpectLast(ERROR_ACCESS_DENIED, REG_DWORD, 4);
    EXPECT_EQ(ERROR_ACCESS_DENIED, m_reg.Write("Unsigned", 7ul));
    EXPECT_EQ(0, m_reg.Write("Text", "abc"));
    EXPECT_EQ(0, m_reg.Write("Strings", strings));
    EXPECT_EQ(0, m_reg.Write("Rect", &rect));
    ExpectLast(ERROR_ACCESS_DENIED, 1, 22);
    for (const char* name : {"Int", "Unsigned", "Text", "Strings", "Rect"})
        EXPECT_EQ(std::string(), Stored(name)) << name;
}
} // namespace
