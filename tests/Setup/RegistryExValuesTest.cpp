// CRegistryEx values: the stored bytes of every family, the archive layouts of
// collections and shapes, the buffer limits of the reads and the three "last"
// fields each operation leaves behind.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "Setup/RegistryEx.h"
#include "fw/ArchiveException.h"
#include "tests/support/Bytes.h"
#include "tests/support/ScratchKey.h"
#include "tests/support/FaultyRegistry.h"

namespace
{
using sonvera_test::Bytes;
using sonvera_test::CScratchKey;
class RegistryValuesTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(1, m_reg.Open(m_key.Root(), m_key.Path())); }
    void TearDown() override { m_reg.Close(); }

    // The value as the registry holds it, read past the object under test.
    std::string Stored(const char* name, DWORD* type = NULL)
    {
        HKEY key = NULL;
        std::string bytes;
        if (RegOpenKeyExA(m_key.Root(), m_key.Path(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return bytes;
        DWORD size = 0;
        DWORD kind = 0;
        if (RegQueryValueExA(key, name, NULL, &kind, NULL, &size) == ERROR_SUCCESS) {
            bytes.resize(size);
            RegQueryValueExA(key, name, NULL, &kind, reinterpret_cast<BYTE*>(&bytes[0]), &size);
            bytes.resize(size);
        }
        RegCloseKey(key);
        if (type != NULL)
            *type = kind;
        return bytes;
    }

    void StoreRaw(const char* name, DWORD type, const std::string& bytes)
    {
        HKEY key = NULL;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(m_key.Root(), m_key.Path(), 0, KEY_ALL_ACCESS, &key));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type,
                                                reinterpret_cast<const BYTE*>(bytes.data()),
                                                static_cast<DWORD>(bytes.size())));
        RegCloseKey(key);
    }

    void ExpectLast(LONG status, DWORD type, DWORD size)
    {
        EXPECT_EQ(status, m_reg.GetLastStatus());
        EXPECT_EQ(type, m_reg.GetLastType());
        EXPECT_EQ(size, m_reg.GetLastSize());
    }

    CScratchKey m_key{HKEY_CURRENT_USER, "values"};
    CRegistryEx m_reg{HKEY_CURRENT_USER};
};

// ---- stored layouts -----------------------------------------------------

// A write: what the registry then holds, and the "last" fields it leaves.
struct Layout
{
    const char* what;
    std::function<int(CRegistryEx&)> write;
    std::string stored;
    DWORD type;
    DWORD lastType;   // shapes record 1 (rectangle) or 2 (point) here
    DWORD lastSize;
};

CStringArray StringsAbAndEmpty()
{
    CStringArray array;
    array.Add("ab");
    array.Add("");
    return array;
}

TEST_F(RegistryValuesTest, EveryFamilyIsStoredInItsLayout)
{
    const Layout layouts[] = {
        {"rect: top, bottom, left, right in five elements",
         [](CRegistryEx& r) { RECT rect = {1, 2, 3, 4}; return r.Write("V", &rect); },
         Bytes({5, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0}), REG_BINARY, 1, 22},
        {"point: x, y, three zeros",
         [](CRegistryEx& r) { POINT point = {7, -3}; POINT* p = &point; return r.Write("V", p); },
         Bytes({5, 0, 7, 0, 0, 0, 0xFD, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), REG_BINARY, 2, 22},
        {"string array: count, length-prefixed strings",
         [](CRegistryEx& r) { CStringArray a = StringsAbAndEmpty(); return r.Write("V", a); },
         Bytes({2, 0, 2, 'a', 'b', 0}), REG_BINARY, REG_BINARY, 6},
        {"string list: the array's layout",
         [](CRegistryEx& r) {
             CStringList list;
             list.AddTail("ab");
             list.AddTail("");
             return r.Write("V", list);
         },
         Bytes({2, 0, 2, 'a', 'b', 0}), REG_BINARY, REG_BINARY, 6},
        {"string of 300 bytes: the long length prefix",
         [](CRegistryEx& r) {
             CStringArray a;
             a.Add(CString('q', 300));
             return r.Write("V", a);
         },
         Bytes({1, 0, 0xFF, 0x2C, 0x01}) + std::string(300, 'q'), REG_BINARY, REG_BINARY, 305},
        {"bytes",
         [](CRegistryEx& r) {
             CByteArray a;
             for (BYTE b : {1, 0xFE, 3})
                 a.Add(b);
             return r.Write("V", a);
         },
         Bytes({3, 0, 1, 0xFE, 3}), REG_BINARY, REG_BINARY, 5},
        {"words",
         [](CRegistryEx& r) {
             CWordArray a;
             a.Add(0x1234);
             a.Add(0xBEEF);
             return r.Write("V", a);
         },
         Bytes({2, 0, 0x34, 0x12, 0xEF, 0xBE}), REG_BINARY, REG_BINARY, 6},
        {"double words",
         [](CRegistryEx& r) {
             CDWordArray a;
             a.Add(10);
             a.Add(0x80000001ul);
             return r.Write("V", a);
         },
         Bytes({2, 0, 10, 0, 0, 0, 1, 0, 0, 0x80}), REG_BINARY, REG_BINARY, 10},
        {"int", [](CRegistryEx& r) { return r.Write("V", -2); }, Bytes({0xFE, 0xFF, 0xFF, 0xFF}), REG_DWORD,
         REG_DWORD, 4},
        {"text with its terminator", [](CRegistryEx& r) { return r.Write("V", "\x93\xfa\x96\x7b"); },
         std::string("\x93\xfa\x96\x7b", 5), REG_SZ, REG_SZ, 5},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.what);
        EXPECT_EQ(1, l.write(m_reg));
        ExpectLast(ERROR_SUCCESS, l.lastType, l.lastSize);
        DWORD type = 0;
        EXPECT_EQ(l.stored, Stored("V", &type));
        EXPECT_EQ(l.type, type);
    }
}

// ---- reads --------------------------------------------------------------

TEST_F(RegistryValuesTest, ShapesReadBack)
{
    RECT rect = {-100, -20, 640, 480};
    ASSERT_EQ(1, m_reg.Write("Rect", &rect));
    RECT back = {0, 0, 0, 0};
    RECT* pBack = &back;
    EXPECT_EQ(1, m_reg.Read("Rect", pBack));
    ExpectLast(ERROR_SUCCESS, 1, 16);
    EXPECT_TRUE(EqualRect(&rect, &back));
    POINT point = {7, -3};
    POINT* pPoint = &point;
    ASSERT_EQ(1, m_reg.Write("Point", pPoint));
    POINT backPoint = {0, 0};
    POINT* pBackPoint = &backPoint;
    EXPECT_EQ(1, m_reg.Read("Point", pBackPoint));
    ExpectLast(ERROR_SUCCESS, 2, 8);
    EXPECT_EQ(7, backPoint.x);
    EXPECT_EQ(-3, backPoint.y);
}

// A value a read cannot take (another type, or larger than the read's limit)
// leaves the object as it was; only a too large one fails. Each reader reads
// into an object holding known values and tells whether it still holds them.
using Reader = std::function<int(CRegistryEx&, bool& unchanged)>;

template <class Shape>
Reader ReadShape(Shape initial, bool (*same)(const Shape&, const Shape&))
{
    return [=](CRegistryEx& r, bool& unchanged) {
        Shape shape = initial;
        Shape* p = &shape;
        const int result = r.Read("V", p);
        unchanged = same(shape, initial);
        return result;
    };
}

template <class Collection, class Element>
Reader ReadCollection(Element kept)
{
    return [=](CRegistryEx& r, bool& unchanged) {
        Collection c;
        c.Add(kept);
        const int result = r.Read("V", c);
        unchanged = c.GetSize() == 1 && c[0] == kept;
        return result;
    };
}

template <class Value>
Reader ReadValue(Value kept)
{
    return [=](CRegistryEx& r, bool& unchanged) {
        Value value = kept;
        const int result = r.Read("V", value);
        unchanged = value == kept;
        return result;
    };
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
    const auto sameRect = [](const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; };
    const auto samePoint = [](const POINT& a, const POINT& b) { return a.x == b.x && a.y == b.y; };
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
        {"rect from text", REG_SZ, "abc", ReadShape<RECT>({5, 6, 7, 8}, sameRect), 1, ERROR_SUCCESS, 16},
        {"point from text", REG_SZ, "abc", ReadShape<POINT>({1, 2}, samePoint), 1, ERROR_SUCCESS, 8},
        {"rect over 30 bytes", REG_BINARY, Bytes({8, 0}) + std::string(32, '\x01'),
         ReadShape<RECT>({5, 6, 7, 8}, sameRect), 0, ERROR_MORE_DATA, 16},
        {"string array from text", REG_SZ, std::string("plain text", 11), ReadCollection<CStringArray>(CString("keep")),
         1, ERROR_SUCCESS, 11},
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
}

TEST_F(RegistryValuesTest, AStringValueReadIntoAStringListLeavesTheList)
{
    ASSERT_EQ(1, m_reg.Write("Text", "plain text"));
    CStringList list;
    list.AddTail("keep");
    EXPECT_EQ(1, m_reg.Read("Text", list));
    ExpectLast(ERROR_SUCCESS, REG_SZ, 11);
    ASSERT_EQ(1, list.GetCount());
    EXPECT_EQ(CString("keep"), list.GetHead());
}

TEST_F(RegistryValuesTest, CollectionsReadBackIntoTheSizeTheyHadOnEntry)
{
    CStringArray strings;
    strings.Add(CString('q', 300));
    ASSERT_EQ(1, m_reg.Write("Strings", strings));
    CStringArray three;
    three.Add("x");
    three.Add("y");
    three.Add("z");
    ASSERT_EQ(1, m_reg.Read("Strings", three));
    ASSERT_EQ(3, three.GetSize());
    EXPECT_EQ(CString('q', 300), three[0]);
    EXPECT_EQ(CString(""), three[2]);

    CDWordArray five;
    for (DWORD value : {10u, 20u, 30u, 40u, 50u})
        five.Add(value);
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

    CWordArray words;
    words.Add(0xBEEF);
    ASSERT_EQ(1, m_reg.Write("Words", words));
    CWordArray backWords;
    backWords.SetSize(1);
    ASSERT_EQ(1, m_reg.Read("Words", backWords));
    EXPECT_EQ(0xBEEF, backWords[0]);
}

TEST_F(RegistryValuesTest, AStringListReadReplacesTheList)
{
    CStringList list;
    list.AddTail("ab");
    list.AddTail("");
    ASSERT_EQ(1, m_reg.Write("List", list));
    CStringList back;
    for (const char* old : {"old1", "old2", "old3"})
        back.AddTail(old);
    EXPECT_EQ(1, m_reg.Read("List", back));
    ExpectLast(ERROR_SUCCESS, REG_BINARY, 6);
    ASSERT_EQ(2, back.GetCount());
    EXPECT_EQ(CString("ab"), back.GetHead());
    EXPECT_EQ(CString(""), back.GetTail());
}

TEST_F(RegistryValuesTest, MalformedBlobRaisesTheArchiveErrorAndLeavesTheArray)
{
    StoreRaw("Broken", REG_BINARY, Bytes({0x05, 0x00, 0x01, 0x00}));   // five DWORDs promised, 2 bytes given
    CDWordArray array;
    array.SetSize(2);
    array[0] = 77;
    EXPECT_THROW(m_reg.Read("Broken", array), CArchiveException);
    ASSERT_EQ(2, array.GetSize());
    EXPECT_EQ(77u, array[0]);
    StoreRaw("BrokenStrings", REG_BINARY, Bytes({0x01, 0x00, 0x09, 'a'}));   // a 9-byte string cut short
    CStringList list;
    list.AddTail("keep");
    EXPECT_THROW(m_reg.Read("BrokenStrings", list), CArchiveException);
    EXPECT_EQ(1, list.GetCount());
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

TEST_F(RegistryValuesTest, ScalarsAndTextReadBackWhole)
{
    ASSERT_EQ(1, m_reg.Write("Int", -2));
    int n = 0;
    EXPECT_EQ(1, m_reg.Read("Int", n));
    EXPECT_EQ(-2, n);
    ExpectLast(ERROR_SUCCESS, REG_DWORD, 4);
    unsigned long u = 0;
    EXPECT_EQ(1, m_reg.Read("Int", u));
    EXPECT_EQ(0xFFFFFFFEul, u);
    // A string read takes 199 characters (one fewer than 200 is refused, in the table above).
    ASSERT_EQ(1, m_reg.Write("Fits", CString('a', 199)));
    CString fits;
    EXPECT_EQ(1, m_reg.Read("Fits", fits));
    EXPECT_EQ(CString('a', 199), fits);
    ExpectLast(ERROR_SUCCESS, REG_SZ, 200);
    // A buffer read copies exactly the value's bytes, at most 256.
    ASSERT_EQ(1, m_reg.Write("Text", "abc"));
    char buffer[10];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(1, m_reg.Read("Text", buffer, sizeof(buffer)));
    EXPECT_EQ(std::string("abc\0xxxxxx", 10), std::string(buffer, 10));
    StoreRaw("Exact", REG_BINARY, std::string(256, '\x07'));
    std::string big(1000, 'x');
    EXPECT_EQ(1, m_reg.Read("Exact", &big[0], 1000));
    EXPECT_EQ(std::string(256, '\x07') + std::string(744, 'x'), big);
    // The default value is named by an empty or a null name.
    ASSERT_EQ(1, m_reg.Write("", "default"));
    CString back;
    EXPECT_EQ(1, m_reg.Read(NULL, back));
    EXPECT_EQ(CString("default"), back);
}

TEST_F(RegistryValuesTest, UnsignedWriteReturnsTheStatusAndRecordsNothing)
{
    EXPECT_EQ(0, m_reg.VerifyValue("Absent"));
    ExpectLast(ERROR_FILE_NOT_FOUND, 0, 0);
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
    sonvera_test::CFaultyRegistry registry;
    registry.Fail(sonvera_test::CFaultyRegistry::setValue, ERROR_ACCESS_DENIED);
    CRegistryOverride scope(registry);
    CStringArray strings;
    strings.Add("x");
    RECT rect = {1, 2, 3, 4};
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

// ---- value presence and deletion ---------------------------------------

TEST_F(RegistryValuesTest, VerifyAndDeleteValue)
{
    ASSERT_EQ(1, m_reg.Write("Gone", 1));
    EXPECT_EQ(1, m_reg.VerifyValue("Gone"));
    ExpectLast(ERROR_SUCCESS, 0, 0);
    EXPECT_EQ(1, m_reg.DeleteValue("Gone"));
    ExpectLast(ERROR_SUCCESS, 0, 0);
    EXPECT_EQ(0, m_reg.VerifyValue("Gone"));
    EXPECT_EQ(0, m_reg.DeleteValue("Gone"));
    ExpectLast(ERROR_FILE_NOT_FOUND, 0, 0);
}
} // namespace
