// CRegistryEx values: the stored bytes of every family, the archive layouts of
// collections and shapes, the buffer limits of the reads and the three "last"
// fields each operation leaves behind.
#include <gtest/gtest.h>

#include <string>

#include "Setup/RegistryEx.h"
#include "fw/ArchiveException.h"
#include "tests/Setup/SetupTestSupport.h"
#include "tests/support/FaultyRegistry.h"

using sonvera_test::Bytes;
using sonvera_test::CScratchKey;

namespace
{
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

// ---- shapes -------------------------------------------------------------

TEST_F(RegistryValuesTest, RectIsStoredTopBottomLeftRightAsFiveElements)
{
    RECT rect = {1, 2, 3, 4};
    EXPECT_EQ(1, m_reg.Write("Rect", &rect));
    ExpectLast(ERROR_SUCCESS, 1, 22);
    DWORD type = 0;
    EXPECT_EQ(Bytes({0x05, 0x00, 0x02, 0, 0, 0, 0x04, 0, 0, 0, 0x01, 0, 0, 0, 0x03, 0, 0, 0, 0, 0, 0, 0}),
              Stored("Rect", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);

    RECT back = {9, 9, 9, 9};
    RECT* pBack = &back;
    EXPECT_EQ(1, m_reg.Read("Rect", pBack));
    ExpectLast(ERROR_SUCCESS, 1, 16);
    EXPECT_EQ(1, back.left);
    EXPECT_EQ(2, back.top);
    EXPECT_EQ(3, back.right);
    EXPECT_EQ(4, back.bottom);
}

TEST_F(RegistryValuesTest, NegativeRectRoundTrips)
{
    RECT rect = {-100, -20, 640, 480};
    ASSERT_EQ(1, m_reg.Write("Rect", &rect));
    RECT back = {0, 0, 0, 0};
    RECT* pBack = &back;
    ASSERT_EQ(1, m_reg.Read("Rect", pBack));
    EXPECT_TRUE(EqualRect(&rect, &back));
}

TEST_F(RegistryValuesTest, PointIsStoredXYThenThreeZeros)
{
    POINT point = {7, -3};
    POINT* pPoint = &point;
    EXPECT_EQ(1, m_reg.Write("Point", pPoint));
    ExpectLast(ERROR_SUCCESS, 2, 22);
    EXPECT_EQ(Bytes({0x05, 0x00, 0x07, 0, 0, 0, 0xFD, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
              Stored("Point"));

    POINT back = {0, 0};
    POINT* pBack = &back;
    EXPECT_EQ(1, m_reg.Read("Point", pBack));
    ExpectLast(ERROR_SUCCESS, 2, 8);
    EXPECT_EQ(7, back.x);
    EXPECT_EQ(-3, back.y);
}

TEST_F(RegistryValuesTest, ShapeReadOfANonBinaryValueSucceedsAndLeavesTheShape)
{
    ASSERT_EQ(1, m_reg.Write("Text", "abc"));
    RECT rect = {5, 6, 7, 8};
    RECT* pRect = &rect;
    EXPECT_EQ(1, m_reg.Read("Text", pRect));
    EXPECT_EQ(5, rect.left);
    EXPECT_EQ(8, rect.bottom);
    POINT point = {1, 2};
    POINT* pPoint = &point;
    EXPECT_EQ(1, m_reg.Read("Text", pPoint));
    EXPECT_EQ(1, point.x);
    EXPECT_EQ(2, point.y);
}

TEST_F(RegistryValuesTest, RectReadFailsOnAValueLargerThan30Bytes)
{
    CDWordArray eight;
    eight.SetSize(8);   // 2 + 32 bytes
    eight[0] = 11;
    ASSERT_EQ(1, m_reg.Write("Big", eight));
    RECT rect = {5, 6, 7, 8};
    RECT* pRect = &rect;
    EXPECT_EQ(0, m_reg.Read("Big", pRect));
    EXPECT_EQ(ERROR_MORE_DATA, m_reg.GetLastStatus());
    EXPECT_EQ(5, rect.left);
    EXPECT_EQ(6, rect.top);
}

// ---- collections --------------------------------------------------------

TEST_F(RegistryValuesTest, StringArrayLayoutIsCountThenLengthPrefixedStrings)
{
    CStringArray array;
    array.Add("ab");
    array.Add("");
    EXPECT_EQ(1, m_reg.Write("Strings", array));
    ExpectLast(ERROR_SUCCESS, REG_BINARY, 6);
    EXPECT_EQ(Bytes({0x02, 0x00, 0x02, 0x61, 0x62, 0x00}), Stored("Strings"));
}

TEST_F(RegistryValuesTest, StringOf300BytesGetsTheLongLengthPrefix)
{
    CStringArray array;
    array.Add(CString('q', 300));
    ASSERT_EQ(1, m_reg.Write("Long", array));
    std::string stored = Stored("Long");
    ASSERT_EQ(2u + 3u + 300u, stored.size());
    EXPECT_EQ(Bytes({0x01, 0x00, 0xFF, 0x2C, 0x01}), stored.substr(0, 5));

    CStringArray back;
    back.SetSize(1);
    ASSERT_EQ(1, m_reg.Read("Long", back));
    EXPECT_EQ(CString('q', 300), back[0]);
}

TEST_F(RegistryValuesTest, StringListSharesTheArrayLayoutAndReplacesTheListOnRead)
{
    CStringList list;
    list.AddTail("ab");
    list.AddTail("");
    ASSERT_EQ(1, m_reg.Write("List", list));
    EXPECT_EQ(Bytes({0x02, 0x00, 0x02, 0x61, 0x62, 0x00}), Stored("List"));

    CStringList back;
    back.AddTail("old1");
    back.AddTail("old2");
    back.AddTail("old3");
    EXPECT_EQ(1, m_reg.Read("List", back));
    ExpectLast(ERROR_SUCCESS, REG_BINARY, 6);
    ASSERT_EQ(2, back.GetCount());
    EXPECT_EQ(CString("ab"), back.GetHead());
    EXPECT_EQ(CString(""), back.GetTail());
}

TEST_F(RegistryValuesTest, StringValueReadIntoAStringListLeavesTheListUnchanged)
{
    ASSERT_EQ(1, m_reg.Write("Text", "plain text"));
    CStringList list;
    list.AddTail("keep");
    EXPECT_EQ(1, m_reg.Read("Text", list));
    ExpectLast(ERROR_SUCCESS, REG_SZ, 11);
    ASSERT_EQ(1, list.GetCount());
    EXPECT_EQ(CString("keep"), list.GetHead());
}

TEST_F(RegistryValuesTest, ByteAndWordArraysStoreCountThenElements)
{
    CByteArray bytes;
    bytes.Add(1);
    bytes.Add(0xFE);
    bytes.Add(3);
    ASSERT_EQ(1, m_reg.Write("Bytes", bytes));
    EXPECT_EQ(Bytes({0x03, 0x00, 0x01, 0xFE, 0x03}), Stored("Bytes"));

    CWordArray words;
    words.Add(0x1234);
    words.Add(0xBEEF);
    ASSERT_EQ(1, m_reg.Write("Words", words));
    ExpectLast(ERROR_SUCCESS, REG_BINARY, 6);
    EXPECT_EQ(Bytes({0x02, 0x00, 0x34, 0x12, 0xEF, 0xBE}), Stored("Words"));

    CWordArray back;
    back.SetSize(2);
    ASSERT_EQ(1, m_reg.Read("Words", back));
    EXPECT_EQ(0x1234, back[0]);
    EXPECT_EQ(0xBEEF, back[1]);
}

TEST_F(RegistryValuesTest, ArrayReadKeepsTheSizeTheArrayHadOnEntry)
{
    CDWordArray five;
    for (DWORD value : {10u, 20u, 30u, 40u, 50u})
        five.Add(value);
    ASSERT_EQ(1, m_reg.Write("Five", five));
    EXPECT_EQ(Bytes({5, 0, 10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0, 40, 0, 0, 0, 50, 0, 0, 0}), Stored("Five"));

    CDWordArray empty;
    EXPECT_EQ(1, m_reg.Read("Five", empty));
    EXPECT_EQ(0, empty.GetSize());

    CDWordArray three;
    three.SetSize(3);
    EXPECT_EQ(1, m_reg.Read("Five", three));
    ASSERT_EQ(3, three.GetSize());
    EXPECT_EQ(10u, three[0]);
    EXPECT_EQ(20u, three[1]);
    EXPECT_EQ(30u, three[2]);

    CDWordArray seven;
    seven.SetSize(7);
    seven[5] = 99;
    seven[6] = 99;
    EXPECT_EQ(1, m_reg.Read("Five", seven));
    ASSERT_EQ(7, seven.GetSize());
    EXPECT_EQ(50u, seven[4]);
    EXPECT_EQ(0u, seven[5]);
    EXPECT_EQ(0u, seven[6]);
}

TEST_F(RegistryValuesTest, StringArrayReadPadsWithEmptyStrings)
{
    CStringArray one;
    one.Add("only");
    ASSERT_EQ(1, m_reg.Write("One", one));
    CStringArray three;
    three.Add("x");
    three.Add("y");
    three.Add("z");
    ASSERT_EQ(1, m_reg.Read("One", three));
    ASSERT_EQ(3, three.GetSize());
    EXPECT_EQ(CString("only"), three[0]);
    EXPECT_EQ(CString(""), three[1]);
    EXPECT_EQ(CString(""), three[2]);
}

TEST_F(RegistryValuesTest, ArrayReadOfANonBinaryValueSucceedsAndLeavesTheArray)
{
    ASSERT_EQ(1, m_reg.Write("Number", 17));
    CDWordArray array;
    array.Add(5);
    EXPECT_EQ(1, m_reg.Read("Number", array));
    ExpectLast(ERROR_SUCCESS, REG_DWORD, 4);
    ASSERT_EQ(1, array.GetSize());
    EXPECT_EQ(5u, array[0]);
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

TEST_F(RegistryValuesTest, CollectionReadFailsOnAValueLargerThan4096Bytes)
{
    StoreRaw("Huge", REG_BINARY, std::string(5000, '\x01'));
    CByteArray array;
    array.Add(42);
    EXPECT_EQ(0, m_reg.Read("Huge", array));
    EXPECT_EQ(ERROR_MORE_DATA, m_reg.GetLastStatus());
    EXPECT_EQ(5000u, m_reg.GetLastSize());
    ASSERT_EQ(1, array.GetSize());
    EXPECT_EQ(42, array[0]);
}

TEST_F(RegistryValuesTest, CollectionThatNoReadCouldTakeBackIsNotStored)
{
    CByteArray small;
    small.Add(1);
    ASSERT_EQ(1, m_reg.Write("Blob", small));
    CByteArray big;
    big.SetSize(70000);   // also needs the 0xFFFF escaped count
    EXPECT_EQ(0, m_reg.Write("Blob", big));
    EXPECT_EQ(ERROR_MORE_DATA, m_reg.GetLastStatus());
    EXPECT_EQ(Bytes({0x01, 0x00, 0x01}), Stored("Blob"));
}

TEST_F(RegistryValuesTest, CollectionOfExactly4096BytesRoundTrips)
{
    CByteArray array;
    array.SetSize(4094);
    array[4093] = 0x5A;
    ASSERT_EQ(1, m_reg.Write("Full", array));
    EXPECT_EQ(4096u, m_reg.GetLastSize());
    CByteArray back;
    back.SetSize(4094);
    ASSERT_EQ(1, m_reg.Read("Full", back));
    EXPECT_EQ(0x5A, back[4093]);
}

// ---- scalars and strings ------------------------------------------------

TEST_F(RegistryValuesTest, IntIsADwordAndReadsBackAsIntOrUnsigned)
{
    EXPECT_EQ(1, m_reg.Write("Int", -2));
    ExpectLast(ERROR_SUCCESS, REG_DWORD, 4);
    DWORD type = 0;
    EXPECT_EQ(Bytes({0xFE, 0xFF, 0xFF, 0xFF}), Stored("Int", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);

    int n = 0;
    EXPECT_EQ(1, m_reg.Read("Int", n));
    EXPECT_EQ(-2, n);
    ExpectLast(ERROR_SUCCESS, REG_DWORD, 4);
    unsigned long u = 0;
    EXPECT_EQ(1, m_reg.Read("Int", u));
    EXPECT_EQ(0xFFFFFFFEul, u);
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

TEST_F(RegistryValuesTest, NumberReadFailsOnAValueLongerThan4Bytes)
{
    StoreRaw("Wide", REG_BINARY, std::string(8, '\x01'));
    int n = 123;
    EXPECT_EQ(0, m_reg.Read("Wide", n));
    EXPECT_EQ(123, n);
    ExpectLast(ERROR_MORE_DATA, REG_BINARY, 8);
}

TEST_F(RegistryValuesTest, TextIsStoredWithItsTerminator)
{
    EXPECT_EQ(1, m_reg.Write("Text", "\x93\xfa\x96\x7b"));
    ExpectLast(ERROR_SUCCESS, REG_SZ, 5);
    DWORD type = 0;
    EXPECT_EQ(std::string("\x93\xfa\x96\x7b", 5), Stored("Text", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    CString back;
    EXPECT_EQ(1, m_reg.Read("Text", back));
    EXPECT_EQ(CString("\x93\xfa\x96\x7b"), back);
}

TEST_F(RegistryValuesTest, StringReadTakes199CharactersButNot200)
{
    ASSERT_EQ(1, m_reg.Write("Fits", CString('a', 199)));
    CString fits;
    EXPECT_EQ(1, m_reg.Read("Fits", fits));
    EXPECT_EQ(CString('a', 199), fits);
    ExpectLast(ERROR_SUCCESS, REG_SZ, 200);

    ASSERT_EQ(1, m_reg.Write("TooLong", CString('b', 200)));
    CString tooLong("unchanged");
    EXPECT_EQ(0, m_reg.Read("TooLong", tooLong));
    EXPECT_EQ(CString("unchanged"), tooLong);
    ExpectLast(ERROR_MORE_DATA, REG_SZ, 201);
}

TEST_F(RegistryValuesTest, BufferReadCopiesExactlyTheValueBytes)
{
    ASSERT_EQ(1, m_reg.Write("Text", "abc"));
    char buffer[10];
    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(1, m_reg.Read("Text", buffer, sizeof(buffer)));
    EXPECT_EQ(std::string("abc\0xxxxxx", 10), std::string(buffer, 10));

    memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(0, m_reg.Read("Text", buffer, 2));
    EXPECT_EQ(ERROR_MORE_DATA, m_reg.GetLastStatus());
    EXPECT_EQ(std::string(10, 'x'), std::string(buffer, 10));
}

TEST_F(RegistryValuesTest, BufferReadNeverTakesMoreThan256Bytes)
{
    StoreRaw("Exact", REG_BINARY, std::string(256, '\x07'));
    StoreRaw("Over", REG_BINARY, std::string(257, '\x07'));
    std::string buffer(1000, 'x');
    EXPECT_EQ(1, m_reg.Read("Exact", &buffer[0], 1000));
    EXPECT_EQ(std::string(256, '\x07') + std::string(744, 'x'), buffer);
    EXPECT_EQ(0, m_reg.Read("Over", &buffer[0], 1000));
}

TEST_F(RegistryValuesTest, MissingValueFailsAndRecordsTheStatus)
{
    CString text("keep");
    EXPECT_EQ(0, m_reg.Read("Absent", text));
    EXPECT_EQ(CString("keep"), text);
    ExpectLast(ERROR_FILE_NOT_FOUND, 0, 0);
}

TEST_F(RegistryValuesTest, DefaultValueIsNamedByAnEmptyOrNullName)
{
    ASSERT_EQ(1, m_reg.Write("", "default"));
    CString back;
    EXPECT_EQ(1, m_reg.Read(NULL, back));
    EXPECT_EQ(CString("default"), back);
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
