// CRegistryEx keys: opening, creating and verifying keys, listing subkeys and
// value names (a failing enumeration step reaches ShowSysMsg), and the
// depth-first FindKey search.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Setup/RegistryEx.h"
#include "tests/support/ScratchKey.h"
#include "tests/support/FaultyRegistry.h"

#include <stdexcept>

namespace
{
using sonvera_test::CScratchKey;
struct ShownMessage
{
    std::string body;
    std::string caption;
};
std::vector<ShownMessage> g_shown;

void CaptureMessage(const char* body, const char* caption)
{
    g_shown.push_back({body, caption});
}

// The system's text for a code, as a message box caption shows it.
std::string SystemText(DWORD code)
{
    char* text = NULL;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  NULL, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<char*>(&text), 0, NULL);
    std::string result(text != NULL ? text : "", length);
    if (text != NULL)
        LocalFree(text);
    return result;
}

void MakeKey(HKEY root, const std::string& path)
{
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    RegCloseKey(key);
}

void SetText(HKEY root, const std::string& path, const char* name, const char* value)
{
    MakeKey(root, path);
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(root, path.c_str(), name, REG_SZ, value,
                                             static_cast<DWORD>(strlen(value) + 1)));
}

class RegistryKeysTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_shown.clear();
        m_previousSink = CRegistryEx::SetMessageSink(&CaptureMessage);
    }
    void TearDown() override { CRegistryEx::SetMessageSink(m_previousSink); }

    std::string Sub(const char* name) const { return std::string(m_key.Path()) + "\\" + name; }

    CScratchKey m_key{HKEY_CURRENT_USER, "keys"};
    CRegistryEx::PFN_SHOW_MESSAGE m_previousSink = NULL;
};

std::vector<std::string> Names(const CStringArray& array)
{
    std::vector<std::string> names;
    for (int i = 0; i < array.GetSize(); ++i)
        names.push_back(array[i].str());
    return names;
}

// ---- keys ---------------------------------------------------------------

TEST_F(RegistryKeysTest, FreshObjectActsOnItsRoot)
{
    CRegistryEx reg(HKEY_CURRENT_USER);
    EXPECT_EQ(1, reg.VerifyKey(m_key.Path()));
    EXPECT_EQ(1, reg.Write("Marker", 3));
    reg.Close();
    DWORD value = 0;
    DWORD size = sizeof(value);
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, m_key.Path(), "Marker", RRF_RT_REG_DWORD,
                                          NULL, &value, &size));
    EXPECT_EQ(3u, value);
}

// A failed open or check records its status; a successful check leaves the fields alone.
TEST_F(RegistryKeysTest, OpenAndVerifyOfAMissingKeyFailWithItsStatus)
{
    CRegistryEx reg(HKEY_CURRENT_USER);
    EXPECT_EQ(0, reg.Open(HKEY_CURRENT_USER, Sub("absent").c_str()));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg.GetLastStatus());
    EXPECT_EQ(1, reg.Open(HKEY_CURRENT_USER, m_key.Path()));
    EXPECT_EQ(ERROR_SUCCESS, reg.GetLastStatus());
    reg.Close();
    EXPECT_EQ(0, reg.VerifyKey(HKEY_CURRENT_USER, Sub("absent").c_str()));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg.GetLastStatus());
    EXPECT_EQ(1, reg.VerifyKey(HKEY_CURRENT_USER, m_key.Path()));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg.GetLastStatus());
    reg.Close();
}

TEST_F(RegistryKeysTest, CreateKeyCreatesOrOpensAndBecomesCurrent)
{
    CRegistryEx reg(HKEY_CURRENT_USER);
    EXPECT_EQ(1, reg.CreateKey(HKEY_CURRENT_USER, Sub("made\\deeper").c_str()));
    EXPECT_EQ(1, reg.Write("Inside", "yes"));
    reg.Close();
    EXPECT_EQ(1, reg.CreateKey(HKEY_CURRENT_USER, Sub("made\\deeper").c_str()));
    CString back;
    EXPECT_EQ(1, reg.Read("Inside", back));
    EXPECT_EQ(CString("yes"), back);
    reg.Close();
}

TEST_F(RegistryKeysTest, VerifyKeyOfASubkeyDescendsFromTheCurrentKey)
{
    MakeKey(HKEY_CURRENT_USER, Sub("child"));
    CRegistryEx reg(HKEY_CURRENT_USER);
    ASSERT_EQ(1, reg.Open(HKEY_CURRENT_USER, m_key.Path()));
    EXPECT_EQ(0, reg.VerifyKey("nochild"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg.GetLastStatus());
    EXPECT_EQ(1, reg.VerifyKey("child"));
    EXPECT_EQ(ERROR_SUCCESS, reg.GetLastStatus());
    EXPECT_EQ(1, reg.Write("InChild", 1));
    reg.Close();
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, Sub("child").c_str(), "InChild",
                                          RRF_RT_ANY, NULL, NULL, &size));
}

// Opening over a key the object still holds would lose it: the caller must
// close first. The held key stays the current one.
TEST_F(RegistryKeysTest, OpeningOverAHeldKeyIsAMisuse)
{
    MakeKey(HKEY_CURRENT_USER, Sub("other"));
    CRegistryEx reg(HKEY_CURRENT_USER);
    ASSERT_EQ(1, reg.Open(HKEY_CURRENT_USER, m_key.Path()));
    EXPECT_THROW(reg.Open(HKEY_CURRENT_USER, Sub("other").c_str()), std::logic_error);
    EXPECT_THROW(reg.CreateKey(HKEY_CURRENT_USER, Sub("other").c_str()), std::logic_error);
    EXPECT_THROW(reg.VerifyKey(HKEY_CURRENT_USER, Sub("other").c_str()), std::logic_error);
    EXPECT_EQ(1, reg.Write("StillHere", 1));
    reg.Close();
    EXPECT_EQ(1, reg.Open(HKEY_CURRENT_USER, Sub("other").c_str()));
    reg.Close();
    DWORD size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, m_key.Path(), "StillHere", RRF_RT_ANY, NULL, NULL, &size));
}

TEST_F(RegistryKeysTest, DescendingClosesTheKeyDescendedFrom)
{
    MakeKey(HKEY_CURRENT_USER, Sub("child"));
    sonvera_test::CFaultyRegistry counting;
    CRegistryOverride scope(counting);
    CRegistryEx reg(HKEY_CURRENT_USER);
    ASSERT_EQ(1, reg.Open(HKEY_CURRENT_USER, m_key.Path()));
    ASSERT_EQ(1, reg.VerifyKey("child"));
    EXPECT_EQ(1, counting.Calls(sonvera_test::CFaultyRegistry::closeKey));
    reg.Close();
    EXPECT_EQ(2, counting.Calls(sonvera_test::CFaultyRegistry::closeKey));
}

TEST_F(RegistryKeysTest, DeleteValueKeyRemovesALeafKey)
{
    MakeKey(HKEY_CURRENT_USER, Sub("leaf"));
    CRegistryEx reg(HKEY_CURRENT_USER);
    EXPECT_EQ(1, reg.DeleteValueKey(HKEY_CURRENT_USER, Sub("leaf").c_str()));
    EXPECT_EQ(ERROR_SUCCESS, reg.GetLastStatus());
    EXPECT_EQ(0, reg.VerifyKey(HKEY_CURRENT_USER, Sub("leaf").c_str()));
    EXPECT_EQ(0, reg.DeleteValueKey(HKEY_CURRENT_USER, Sub("leaf").c_str()));
    EXPECT_NE(ERROR_SUCCESS, reg.GetLastStatus());
}

// ---- listing ------------------------------------------------------------

TEST_F(RegistryKeysTest, ListKeyEmptiesTheArrayAndNamesEverySubkey)
{
    const std::string longest(199, 'n');   // the longest name the buffer takes
    for (const char* name : {"Alpha", "Beta", longest.c_str()})
        MakeKey(HKEY_CURRENT_USER, Sub(name));
    SetText(HKEY_CURRENT_USER, m_key.Path(), "NotAKey", "x");
    CRegistryEx reg(HKEY_CURRENT_USER);
    CStringArray names;
    names.Add("stale");
    EXPECT_EQ(1, reg.ListKey(m_key.Path(), names));
    EXPECT_EQ(ERROR_SUCCESS, reg.GetLastStatus());
    EXPECT_EQ((std::vector<std::string>{"Alpha", "Beta", longest}), Names(names));
    EXPECT_TRUE(g_shown.empty());
}

// A key that cannot be opened or counted: the array is left as it was and
// nothing is shown; every key opened is closed.
TEST_F(RegistryKeysTest, AKeyThatCannotBeListedLeavesTheArray)
{
    for (LONG status : {static_cast<LONG>(ERROR_FILE_NOT_FOUND), static_cast<LONG>(ERROR_ACCESS_DENIED)}) {
        sonvera_test::CFaultyRegistry registry;
        if (status == ERROR_ACCESS_DENIED)
            registry.Fail(sonvera_test::CFaultyRegistry::queryCounts, status);
        CRegistryOverride scope(registry);
        CRegistryEx reg(HKEY_CURRENT_USER);
        CStringArray names;
        names.Add("stale");
        EXPECT_EQ(0, reg.ListKey(status == ERROR_ACCESS_DENIED ? m_key.Path() : Sub("absent").c_str(), names));
        EXPECT_EQ(status, reg.GetLastStatus());
        EXPECT_EQ((std::vector<std::string>{"stale"}), Names(names));
        EXPECT_TRUE(g_shown.empty());
        if (status == ERROR_ACCESS_DENIED) {
            EXPECT_EQ(registry.Calls(sonvera_test::CFaultyRegistry::openKey),
                      registry.Calls(sonvera_test::CFaultyRegistry::closeKey));
        }
    }
}

TEST_F(RegistryKeysTest, ListValuesNamesEveryValue)
{
    SetText(HKEY_CURRENT_USER, m_key.Path(), "One", "1");
    SetText(HKEY_CURRENT_USER, m_key.Path(), "Two", "2");
    MakeKey(HKEY_CURRENT_USER, Sub("NotAValue"));
    CRegistryEx reg(HKEY_CURRENT_USER);
    CStringArray names;
    names.Add("stale");
    EXPECT_EQ(1, reg.ListValues(m_key.Path(), names));
    std::vector<std::string> got = Names(names);
    std::sort(got.begin(), got.end());
    EXPECT_EQ((std::vector<std::string>{"One", "Two"}), got);
}

// A name of 200 or more characters does not fit the name buffer, so its
// enumeration step fails with ERROR_MORE_DATA after the shorter names, and
// the failing call is shown.
TEST_F(RegistryKeysTest, FailedEnumerationStepIsShownAndKeepsTheNamesFound)
{
    MakeKey(HKEY_CURRENT_USER, Sub("a1\\a2"));
    MakeKey(HKEY_CURRENT_USER, Sub(("a1\\" + std::string(210, 'z')).c_str()));
    SetText(HKEY_CURRENT_USER, Sub("v"), "b1", "short name");
    SetText(HKEY_CURRENT_USER, Sub("v"), std::string(250, 'v').c_str(), "long name");
    const struct
    {
        const char* below;
        int (CRegistryEx::*list)(const char*, CStringArray&);
        std::vector<std::string> found;
        const char* shown;
    } cases[] = {
        {"a1", &CRegistryEx::ListKey, {"a2"}, "234 RegEnumKeyEx\nSetup\\RegistryEx.cpp "},
        {"v", &CRegistryEx::ListValues, {"b1"}, "234 RegEnumValue\nSetup\\RegistryEx.cpp "},
    };
    for (const auto& c : cases) {
        g_shown.clear();
        CRegistryEx reg(HKEY_CURRENT_USER);
        CStringArray names;
        EXPECT_EQ(0, (reg.*c.list)(Sub(c.below).c_str(), names));
        EXPECT_EQ(ERROR_MORE_DATA, reg.GetLastStatus());
        EXPECT_EQ(c.found, Names(names));
        ASSERT_EQ(1u, g_shown.size());
        EXPECT_EQ(0u, g_shown[0].body.find(c.shown)) << g_shown[0].body;
        EXPECT_EQ(SystemText(ERROR_MORE_DATA), g_shown[0].caption);
        EXPECT_FALSE(g_shown[0].caption.empty());
    }
}

TEST_F(RegistryKeysTest, ShowSysMsgFormatsCodeTextFileAndLine)
{
    CRegistryEx reg;
    reg.ShowSysMsg(ERROR_ACCESS_DENIED, "RegSomething", "Some\\File.cpp", 42);
    ASSERT_EQ(1u, g_shown.size());
    EXPECT_EQ("5 RegSomething\nSome\\File.cpp 42", g_shown[0].body);
    EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED), g_shown[0].caption);
}

// ---- FindKey: searched below HKEY_LOCAL_MACHINE ---------------------------

// Each tree: the values below the scratch key (path, value of "Name"), the
// text searched for, and the key expected (below the scratch key, "-" none).
TEST_F(RegistryKeysTest, FindKeySearchesDepthFirstIgnoringCase)
{
    const struct
    {
        std::vector<std::pair<const char*, const char*>> tree;
        const char* wanted;
        const char* found;
    } cases[] = {
        {{{"\\A\\A1", "other"}, {"\\A\\A1\\Deep", "wanted"}, {"\\B", "Wanted"}}, "WANTED", "\\A\\A1\\Deep"},
        {{{"", "Here"}, {"\\Child", "here"}}, "here", ""},
        {{{"\\A\\A1", "nope"}, {"\\C", "nope"}, {"\\C\\C2", "target"}}, "Target", "\\C\\C2"},
        {{{"\\A", "one"}}, "wanted", "-"},
    };
    for (const auto& c : cases) {
        CScratchKey tree{HKEY_LOCAL_MACHINE, "find"};
        const std::string root = tree.Path();
        for (const auto& value : c.tree)
            SetText(HKEY_LOCAL_MACHINE, root + value.first, "Name", value.second);
        CRegistryEx reg(HKEY_LOCAL_MACHINE);
        const std::string expected = std::string(c.found) == "-" ? "" : root + c.found;
        EXPECT_EQ(CString(expected.c_str()), reg.FindKey(root.c_str(), "Name", c.wanted)) << c.wanted;
        EXPECT_EQ(CString(), reg.FindKey((root + "\\Absent").c_str(), "Name", c.wanted));
    }
}
} // namespace
