// CRegistryEx: keys and their listings, then what each value family stores
// and reads back and the three "last" fields each operation leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Setup/RegistryEx.h"
#include "fw/ArchiveException.h"
#include "tests/support/Bytes.h"
#include "tests/support/FaultyRegistry.h"
#include "tests/support/ScratchKey.h"
#include "tests/support/StringLists.h"

namespace
{
using namespace sonvera_test;

std::vector<std::string> g_shown;   // the bodies of the message boxes shown

// Makes the key where it is missing, and sets the value (the default one when unnamed).
void SetText(HKEY root, const std::string& path, const char* name = NULL, const char* value = "")
{
    const DWORD size = static_cast<DWORD>(strlen(value) + 1);
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(root, path.c_str(), name, REG_SZ, value, size));
}

bool HasValue(const std::string& path, const char* name)
{
    return RegGetValueA(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY, NULL, NULL, NULL) == ERROR_SUCCESS;
}

// A scratch key below HKEY_CURRENT_USER, a registry object on that root, and
// the message boxes it shows captured.
class RegistryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_shown.clear();
        m_previousSink =
            CRegistryEx::SetMessageSink([](const char* body, const char*) { g_shown.emplace_back(body); });
    }
    void TearDown() override { CRegistryEx::SetMessageSink(m_previousSink); }

    std::string Sub(const char* name) const { return std::string(m_key.Path()) + "\\" + name; }

    // The value as the registry holds it, read past the object under test.
    std::string Stored(const char* name, DWORD* type = NULL)
    {
        char bytes[8192];
        DWORD size = sizeof bytes;
        if (RegGetValueA(HKEY_CURRENT_USER, m_key.Path(), name, RRF_RT_ANY | RRF_NOEXPAND, type, bytes, &size))
            return std::string();
        return std::string(bytes, size);
    }
    void StoreRaw(const char* name, DWORD type, const std::string& bytes)
    {
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_CURRENT_USER, m_key.Path(), name, type, bytes.data(),
                                                 static_cast<DWORD>(bytes.size())));
    }
    void ExpectLast(LONG status, DWORD type, DWORD size)
    {
        EXPECT_EQ(status, reg.GetLastStatus());
        EXPECT_EQ(type, reg.GetLastType());
        EXPECT_EQ(size, reg.GetLastSize());
    }

    CScratchKey m_key{HKEY_CURRENT_USER, "registry"};
    CRegistryEx::PFN_SHOW_MESSAGE m_previousSink = NULL;
    CRegistryEx reg{HKEY_CURRENT_USER};
};

// A failed open or check records its status, a successful check leaves it.
// Checking a subkey descends and closes the key left.
TEST_F(RegistryTest, KeysAreOpenedCreatedVerifiedAndDeleted)
{
    const auto expectResult = [this](int expected, int result, LONG status) {
        EXPECT_EQ(expected, result);
        EXPECT_EQ(status, reg.GetLastStatus());
    };
    EXPECT_EQ(1, reg.VerifyKey(m_key.Path()));
    EXPECT_EQ(1, reg.Write("Marker", 3));
    reg.Close();
    expectResult(0, reg.Open(HKEY_CURRENT_USER, Sub("absent").c_str()), ERROR_FILE_NOT_FOUND);
    expectResult(1, reg.Open(HKEY_CURRENT_USER, m_key.Path()), ERROR_SUCCESS);
    reg.Close();
    expectResult(0, reg.VerifyKey(HKEY_CURRENT_USER, Sub("absent").c_str()), ERROR_FILE_NOT_FOUND);
    expectResult(1, reg.VerifyKey(HKEY_CURRENT_USER, m_key.Path()), ERROR_FILE_NOT_FOUND);
    reg.Close();
    // The read-only check opens the same way, and the key then refuses changes.
    expectResult(1, reg.VerifyKeyReadOnly(HKEY_CURRENT_USER, m_key.Path()), ERROR_FILE_NOT_FOUND);
    int marker = 0;
    EXPECT_EQ(1, reg.Read("Marker", marker));
    EXPECT_EQ(3, marker);
    expectResult(0, reg.Write("Marker", 4), ERROR_ACCESS_DENIED);
    reg.Close();
    // CreateKey makes the key, or opens it when it is there, and it becomes current.
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(1, reg.CreateKey(HKEY_CURRENT_USER, Sub("made\\deeper").c_str()));
        EXPECT_EQ(1, reg.Write("Inside", "yes"));
        reg.Close();
    }
    EXPECT_TRUE(HasValue(Sub("made\\deeper"), "Inside"));
    expectResult(1, reg.DeleteValueKey(HKEY_CURRENT_USER, Sub("made\\deeper").c_str()), ERROR_SUCCESS);
    EXPECT_EQ(0, reg.VerifyKey(HKEY_CURRENT_USER, Sub("made\\deeper").c_str()));
    EXPECT_EQ(0, reg.DeleteValueKey(HKEY_CURRENT_USER, Sub("made\\deeper").c_str()));
    EXPECT_NE(ERROR_SUCCESS, reg.GetLastStatus());

    CFaultyRegistry counting;
    CRegistryOverride scope(counting);
    ASSERT_EQ(1, reg.Open(HKEY_CURRENT_USER, m_key.Path()));
    expectResult(0, reg.VerifyKey("nochild"), ERROR_FILE_NOT_FOUND);
    expectResult(1, reg.VerifyKey("made"), ERROR_SUCCESS);
    EXPECT_EQ(1, counting.Calls(CFaultyRegistry::closeKey));
    EXPECT_EQ(1, reg.Write("InChild", 1));
    reg.Close();
    EXPECT_EQ(2, counting.Calls(CFaultyRegistry::closeKey));
    EXPECT_TRUE(HasValue(Sub("made"), "InChild"));
}

// A listing replaces the array's names; a key that cannot be opened or counted
// leaves it and shows nothing. A name of 200 or more characters fails its
// enumeration step (ERROR_MORE_DATA) after the shorter names, and is shown.
TEST_F(RegistryTest, ListingsAndTheDepthFirstSearchIgnoringCase)
{
    const std::string longest(199, 'n');   // the longest name the buffer takes
    const Strings keys = {"ok\\Alpha", "ok\\Beta", "ok\\" + longest, "a1\\a2", "a1\\" + std::string(210, 'z')};
    for (const std::string& name : keys)
        SetText(HKEY_CURRENT_USER, Sub(name.c_str()));
    SetText(HKEY_CURRENT_USER, Sub("ok"), "One", "1");
    SetText(HKEY_CURRENT_USER, Sub("ok"), "Two", "2");
    SetText(HKEY_CURRENT_USER, Sub("v"), "b1", "short name");
    SetText(HKEY_CURRENT_USER, Sub("v"), std::string(250, 'v').c_str(), "long name");
    const struct {
        const char* below;
        bool countRefused;
        int (CRegistryEx::*list)(const char*, CStringArray&);
        LONG status;
        Strings found;
        const char* shown;
    } cases[] = {
        {"ok", false, &CRegistryEx::ListKey, ERROR_SUCCESS, {"Alpha", "Beta", longest}, nullptr},
        {"ok", false, &CRegistryEx::ListValues, ERROR_SUCCESS, {"One", "Two"}, nullptr},
        {"absent", false, &CRegistryEx::ListKey, ERROR_FILE_NOT_FOUND, {"stale"}, nullptr},
        {"v", true, &CRegistryEx::ListValues, ERROR_ACCESS_DENIED, {"stale"}, nullptr},
        {"a1", false, &CRegistryEx::ListKey, ERROR_MORE_DATA, {"a2"}, "234 RegEnumKeyEx\nSetup\\RegistryEx.cpp "},
        {"v", false, &CRegistryEx::ListValues, ERROR_MORE_DATA, {"b1"}, "234 RegEnumValue\nSetup\\RegistryEx.cpp "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.below) + " " + std::to_string(c.status));
        g_shown.clear();
        CFaultyRegistry registry;
        if (c.countRefused)
            registry.Fail(CFaultyRegistry::queryCounts, c.status);
        CRegistryOverride scope(registry);
        CStringArray names;
        names.Add("stale");
        EXPECT_EQ(c.status == ERROR_SUCCESS ? 1 : 0, (reg.*c.list)(Sub(c.below).c_str(), names));
        EXPECT_EQ(c.status, reg.GetLastStatus());
        Strings listed = Items(names);
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(c.found, listed);
        if (c.status != ERROR_FILE_NOT_FOUND) {
            EXPECT_EQ(registry.Calls(CFaultyRegistry::openKey), registry.Calls(CFaultyRegistry::closeKey));
        }
        ASSERT_EQ(c.shown != nullptr ? 1u : 0u, g_shown.size());
        if (c.shown != nullptr) {
            EXPECT_EQ(0u, g_shown[0].find(c.shown)) << g_shown[0];
        }
    }

    // Each tree: the values below the scratch key (path, value of "Name"), the
    // text searched for, and the key expected (below the scratch key, "-" none);
    // searched by a user who may read the machine's keys but not change them.
    const struct
    {
        std::vector<std::pair<const char*, const char*>> tree;
        const char* wanted;
        const char* found;
        bool standardUser = false;
    } trees[] = {
        {{{"\\A\\A1", "other"}, {"\\A\\A1\\Deep", "wanted"}, {"\\B", "Wanted"}}, "WANTED", "\\A\\A1\\Deep"},
        {{{"", "Here"}, {"\\Child", "here"}}, "here", ""},
        {{{"\\A\\A1", "nope"}, {"\\C", "nope"}, {"\\C\\C2", "target"}}, "Target", "\\C\\C2"},
        {{{"\\A", "one"}}, "wanted", "-"},
        {{{"\\A", "nope"}, {"\\A\\A1", "target"}}, "target", "\\A\\A1", true},
    };
    for (const auto& c : trees) {
        CScratchKey tree{HKEY_LOCAL_MACHINE, "find"};
        const std::string root = tree.Path();
        for (const auto& value : c.tree)
            SetText(HKEY_LOCAL_MACHINE, root + value.first, "Name", value.second);
        CFaultyRegistry registry;
        if (c.standardUser)
            registry.RefuseChanges();
        CRegistryOverride scope(registry);
        CRegistryEx machine(HKEY_LOCAL_MACHINE);
        const std::string expected = std::string(c.found) == "-" ? "" : root + c.found;
        EXPECT_EQ(CString(expected.c_str()), machine.FindKey(root.c_str(), "Name", c.wanted)) << c.wanted;
        EXPECT_EQ(CString(), machine.FindKey((root + "\\Absent").c_str(), "Name", c.wanted));
    }
}

// ---- values ---------------------------------------------------------------

template <class Collection, class Element>
Collection Of(std::initializer_list<Element> elements)
{
    Collection c;
    for (const Element& e : elements)
        c.Add(e);
    return c;
}

// What a write leaves in the registry and the "last" fields (a shape's type is
// 1, rectangle, or 2, point), and a read into an object holding something else.
TEST_F(RegistryTest, EveryFamilyIsStoredAsItsLayoutAndReadsBack)
{
    ASSERT_EQ(1, reg.Open(HKEY_CURRENT_USER, m_key.Path()));
    const auto expectWritten = [this](int result, const std::string& bytes, DWORD type, DWORD lastType,
                                      DWORD lastSize) {
        EXPECT_EQ(1, result);
        DWORD storedType = 0;
        EXPECT_EQ(bytes, Stored("V", &storedType));
        EXPECT_EQ(type, storedType);
        ExpectLast(ERROR_SUCCESS, lastType, lastSize);
    };
    const auto expectRead = [this](int result, DWORD lastType, DWORD lastSize) {
        EXPECT_EQ(1, result);
        ExpectLast(ERROR_SUCCESS, lastType, lastSize);
    };
    RECT rect = {1, 2, 3, 4};
    expectWritten(reg.Write("V", &rect),
                  Bytes({5, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0}),
                  REG_BINARY, 1, 22);
    RECT rectBack = {9, 9, 9, 9};
    RECT* rectRead = &rectBack;
    expectRead(reg.Read("V", rectRead), 1, 16);
    EXPECT_EQ(0, std::memcmp(&rect, &rectBack, sizeof rect));

    POINT point = {7, -3};
    POINT* pointWritten = &point;
    expectWritten(reg.Write("V", pointWritten),
                  Bytes({5, 0, 7, 0, 0, 0, 0xFD, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
                  REG_BINARY, 2, 22);
    POINT pointBack = {9, 9};
    POINT* pointRead = &pointBack;
    expectRead(reg.Read("V", pointRead), 2, 8);
    EXPECT_TRUE(pointBack.x == 7 && pointBack.y == -3);

    CStringList list = ListOf({"ab", ""});
    expectWritten(reg.Write("V", list), Bytes({2, 0, 2, 'a', 'b', 0}), REG_BINARY, REG_BINARY, 6);
    CStringList listBack = ListOf({"old1", "old2", "old3"});
    expectRead(reg.Read("V", listBack), REG_BINARY, 6);
    EXPECT_EQ((Strings{"ab", ""}), Items(listBack));

    expectWritten(reg.Write("V", -2), Bytes({0xFE, 0xFF, 0xFF, 0xFF}), REG_DWORD, REG_DWORD, 4);
    int number = 0;
    expectRead(reg.Read("V", number), REG_DWORD, 4);
    EXPECT_EQ(-2, number);

    expectWritten(reg.Write("V", "abc"), std::string("abc", 4), REG_SZ, REG_SZ, 4);
    CString text;
    char buffer[10] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
    expectRead(reg.Read("V", buffer, sizeof(buffer)), REG_SZ, 4);
    EXPECT_EQ(std::string("abc\0xxxxxx", 10), std::string(buffer, 10));

    // A string read takes 199 characters; 200 are refused (below).
    expectWritten(reg.Write("V", CString('a', 199)), std::string(199, 'a') + '\0', REG_SZ, REG_SZ, 200);
    expectRead(reg.Read("V", text), REG_SZ, 200);
    EXPECT_EQ(CString('a', 199), text);
}

// A value a read cannot take (another type, or past the read's limit) leaves
// the object; only a too large one fails. A shape read records its own size.
TEST_F(RegistryTest, ReadsLeaveTheObjectWhenTheValueDoesNotFit)
{
    ASSERT_EQ(1, reg.Open(HKEY_CURRENT_USER, m_key.Path()));
    const auto expectLeft = [this](int expected, int result, LONG status, DWORD size) {
        EXPECT_EQ(expected, result);
        EXPECT_EQ(status, reg.GetLastStatus());
        EXPECT_EQ(size, reg.GetLastSize());
    };
    StoreRaw("Text", REG_SZ, std::string("plain text", 11));
    StoreRaw("Rect", REG_BINARY, Bytes({8, 0}) + std::string(32, '\x01'));
    StoreRaw("Blob", REG_BINARY, std::string(5000, '\x01'));
    StoreRaw("Long", REG_SZ, std::string(200, 'b') + '\0');
    StoreRaw("Abc", REG_SZ, std::string("abc", 4));
    StoreRaw("Binary", REG_BINARY, std::string(257, '\x07'));
    RECT rect = {5, 6, 7, 8};
    RECT* shape = &rect;
    auto array = Of<CStringArray, CString>({"keep"});
    auto bytes = Of<CByteArray, BYTE>({42});
    int number = 123;
    CString text = "keep";
    std::string buffer(1000, 'x');

    expectLeft(1, reg.Read("Text", shape), ERROR_SUCCESS, 16);
    expectLeft(0, reg.Read("Rect", shape), ERROR_MORE_DATA, 16);
    expectLeft(1, reg.Read("Text", array), ERROR_SUCCESS, 11);
    expectLeft(0, reg.Read("Blob", bytes), ERROR_MORE_DATA, 5000);
    expectLeft(0, reg.Read("Rect", number), ERROR_MORE_DATA, 34);
    expectLeft(0, reg.Read("Long", text), ERROR_MORE_DATA, 201);
    expectLeft(0, reg.Read("Abc", &buffer[0], 2), ERROR_MORE_DATA, 4);
    expectLeft(0, reg.Read("Binary", &buffer[0], 1000), ERROR_MORE_DATA, 257);
    expectLeft(0, reg.Read("Missing", text), ERROR_FILE_NOT_FOUND, 0);
    EXPECT_TRUE(rect.left == 5 && rect.top == 6 && rect.right == 7 && rect.bottom == 8);
    EXPECT_EQ(Strings{"keep"}, Items(array));
    EXPECT_TRUE(bytes.GetSize() == 1 && bytes[0] == 42);
    EXPECT_EQ(123, number);
    EXPECT_EQ(CString("keep"), text);
    EXPECT_EQ(std::string(1000, 'x'), buffer);
    // A buffer read copies exactly the value's bytes, 256 at most; the default
    // value is named by an empty or a null name.
    StoreRaw("Exact", REG_BINARY, std::string(256, '\x07'));
    std::string big(1000, 'x');
    EXPECT_EQ(1, reg.Read("Exact", &big[0], 1000));
    EXPECT_EQ(std::string(256, '\x07') + std::string(744, 'x'), big);
    ASSERT_EQ(1, reg.Write("", "default"));
    CString back;
    EXPECT_EQ(1, reg.Read(NULL, back));
    EXPECT_EQ(CString("default"), back);
}

// Arrays read back into their size on entry; a collection past the 4096 bytes
// a read takes is not stored; a malformed one raises and leaves the collection.
TEST_F(RegistryTest, CollectionsPresenceDeletionAndRefusedWrites)
{
    ASSERT_EQ(1, reg.Open(HKEY_CURRENT_USER, m_key.Path()));
    auto five = Of<CDWordArray, DWORD>({10, 20, 30, 40, 50});
    ASSERT_EQ(1, reg.Write("Five", five));
    for (int size : {3, 7}) {
        CDWordArray back;
        back.SetSize(size);
        for (int i = 0; i < size; ++i)
            back[i] = 99;
        EXPECT_EQ(1, reg.Read("Five", back));
        ASSERT_EQ(size, back.GetSize());
        for (int i = 0; i < size; ++i)
            EXPECT_EQ(i < 5 ? 10u * (i + 1) : 0u, back[i]) << size << " " << i;
    }
    CByteArray full;
    full.SetSize(4094);
    full[4093] = 0x5A;
    ASSERT_EQ(1, reg.Write("Blob", full));
    EXPECT_EQ(4096u, reg.GetLastSize());
    CByteArray back;
    back.SetSize(4094);
    ASSERT_EQ(1, reg.Read("Blob", back));
    EXPECT_EQ(0x5A, back[4093]);
    CByteArray big;
    big.SetSize(70000);   // also needs the 0xFFFF escaped count
    EXPECT_EQ(0, reg.Write("Blob", big));
    EXPECT_EQ(ERROR_MORE_DATA, reg.GetLastStatus());
    EXPECT_EQ(4096u, Stored("Blob").size());

    StoreRaw("Broken", REG_BINARY, Bytes({0x05, 0x00, 0x01, 0x00}));   // five DWORDs promised, 2 bytes given
    auto array = Of<CDWordArray, DWORD>({77, 0});
    EXPECT_THROW(reg.Read("Broken", array), CArchiveException);
    EXPECT_TRUE((array == Of<CDWordArray, DWORD>({77, 0})));

    // The unsigned write returns the status and leaves the fields alone; every
    // write reports a refusal (a read-only key, a full hive).
    ASSERT_EQ(1, reg.Write("Gone", 1));
    EXPECT_EQ(1, reg.VerifyValue("Gone"));
    ExpectLast(ERROR_SUCCESS, 0, 0);
    EXPECT_EQ(1, reg.DeleteValue("Gone"));
    EXPECT_EQ(0, reg.VerifyValue("Gone"));
    ExpectLast(ERROR_FILE_NOT_FOUND, 0, 0);
    EXPECT_EQ(0, reg.DeleteValue("Gone"));
    EXPECT_EQ(0, reg.Write("Unsigned", 0x80000001ul));
    ExpectLast(ERROR_FILE_NOT_FOUND, 0, 0);
    EXPECT_EQ(Bytes({0x01, 0x00, 0x00, 0x80}), Stored("Unsigned"));
    {
        CFaultyRegistry registry;
        registry.Fail(CFaultyRegistry::setValue, ERROR_ACCESS_DENIED);
        CRegistryOverride scope(registry);
        RECT rect = {1, 2, 3, 4};
        EXPECT_EQ(0, reg.Write("Int", 7));
        ExpectLast(ERROR_ACCESS_DENIED, REG_DWORD, 4);
        EXPECT_EQ(ERROR_ACCESS_DENIED, reg.Write("Refused", 7ul));
        EXPECT_EQ(0, reg.Write("Text", "abc"));
        EXPECT_EQ(0, reg.Write("Rect", &rect));
        ExpectLast(ERROR_ACCESS_DENIED, 1, 22);
    }
}
} // namespace
