// CRegistryEx keys: opening, creating and verifying keys, listing subkeys and
// value names (a failing enumeration step reaches ShowSysMsg), and the
// depth-first FindKey search.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "Setup/RegistryEx.h"
#include "tests/support/FaultyRegistry.h"
#include "tests/support/ScratchKey.h"
#include "tests/support/StringLists.h"

namespace
{
using sonvera_test::CFaultyRegistry;
using sonvera_test::CScratchKey;
using sonvera_test::Items;
using Names = std::vector<std::string>;

std::vector<std::pair<std::string, std::string>> g_shown;   // body, caption

void CaptureMessage(const char* body, const char* caption) { g_shown.emplace_back(body, caption); }

// The system's text for a code, as a message box caption shows it.
std::string SystemText(DWORD code)
{
    char* text = NULL;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        NULL, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<char*>(&text), 0, NULL);
    const std::string result(text != NULL ? text : "", length);
    LocalFree(text);
    return result;
}

void SetText(HKEY root, const std::string& path, const char* name = NULL, const char* value = "")
{
    HKEY key = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL));
    if (name != NULL) {
        EXPECT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                                static_cast<DWORD>(strlen(value) + 1)));
    }
    RegCloseKey(key);
}

bool HasValue(const std::string& path, const char* name)
{
    return RegGetValueA(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY, NULL, NULL, NULL) == ERROR_SUCCESS;
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
    CRegistryEx reg{HKEY_CURRENT_USER};
};

// A failed open or check records its status; a successful check leaves the
// fields alone. A fresh object acts on its root.
TEST_F(RegistryKeysTest, OpenCreateAndVerifyRecordTheirStatus)
{
    EXPECT_EQ(1, reg.VerifyKey(m_key.Path()));
    EXPECT_EQ(1, reg.Write("Marker", 3));
    reg.Close();
    EXPECT_TRUE(HasValue(m_key.Path(), "Marker"));
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
    // CreateKey makes the key, or opens it when it is there, and it becomes current.
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(1, reg.CreateKey(HKEY_CURRENT_USER, Sub("made\\deeper").c_str()));
        EXPECT_EQ(1, reg.Write("Inside", "yes"));
        reg.Close();
    }
    EXPECT_TRUE(HasValue(Sub("made\\deeper"), "Inside"));
    // DeleteValueKey removes a leaf key.
    EXPECT_EQ(1, reg.DeleteValueKey(HKEY_CURRENT_USER, Sub("made\\deeper").c_str()));
    EXPECT_EQ(ERROR_SUCCESS, reg.GetLastStatus());
    EXPECT_EQ(0, reg.VerifyKey(HKEY_CURRENT_USER, Sub("made\\deeper").c_str()));
    EXPECT_EQ(0, reg.DeleteValueKey(HKEY_CURRENT_USER, Sub("made\\deeper").c_str()));
    EXPECT_NE(ERROR_SUCCESS, reg.GetLastStatus());
}

// Checking a subkey descends from the current key and closes the key it
// descended from; opening over a held key would lose it, so it is a misuse
// that leaves the held key current.
TEST_F(RegistryKeysTest, DescendingClosesTheKeyLeftAndOpeningOverAHeldKeyIsAMisuse)
{
    SetText(HKEY_CURRENT_USER, Sub("child"));
    CFaultyRegistry counting;
    CRegistryOverride scope(counting);
    ASSERT_EQ(1, reg.Open(HKEY_CURRENT_USER, m_key.Path()));
    EXPECT_EQ(0, reg.VerifyKey("nochild"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, reg.GetLastStatus());
    EXPECT_EQ(1, reg.VerifyKey("child"));
    EXPECT_EQ(ERROR_SUCCESS, reg.GetLastStatus());
    EXPECT_EQ(1, counting.Calls(CFaultyRegistry::closeKey));
    EXPECT_THROW(reg.Open(HKEY_CURRENT_USER, m_key.Path()), std::logic_error);
    EXPECT_THROW(reg.CreateKey(HKEY_CURRENT_USER, m_key.Path()), std::logic_error);
    EXPECT_THROW(reg.VerifyKey(HKEY_CURRENT_USER, m_key.Path()), std::logic_error);
    EXPECT_EQ(1, reg.Write("InChild", 1));
    reg.Close();
    EXPECT_EQ(2, counting.Calls(CFaultyRegistry::closeKey));
    EXPECT_TRUE(HasValue(Sub("child"), "InChild"));
}

TEST_F(RegistryKeysTest, ListsEmptyTheArrayAndNameEverySubkeyOrValue)
{
    const std::string longest(199, 'n');   // the longest name the buffer takes
    for (const char* name : {"Alpha", "Beta", longest.c_str()})
        SetText(HKEY_CURRENT_USER, Sub(name));
    SetText(HKEY_CURRENT_USER, m_key.Path(), "One", "1");
    SetText(HKEY_CURRENT_USER, m_key.Path(), "Two", "2");
    CStringArray names;
    names.Add("stale");
    EXPECT_EQ(1, reg.ListKey(m_key.Path(), names));
    EXPECT_EQ(ERROR_SUCCESS, reg.GetLastStatus());
    EXPECT_EQ((Names{"Alpha", "Beta", longest}), Items(names));
    EXPECT_EQ(1, reg.ListValues(m_key.Path(), names));
    Names values = Items(names);
    std::sort(values.begin(), values.end());
    EXPECT_EQ((Names{"One", "Two"}), values);
    EXPECT_TRUE(g_shown.empty());
}

// A key that cannot be opened or counted leaves the array as it was and shows
// nothing. A name of 200 or more characters does not fit the name buffer, so
// its enumeration step fails with ERROR_MORE_DATA after the shorter names, and
// the failing call is shown: code and call, file and line, the system's text.
TEST_F(RegistryKeysTest, AFailedListingKeepsWhatItFoundAndShowsOnlyAFailedStep)
{
    SetText(HKEY_CURRENT_USER, Sub("a1\\a2"));
    SetText(HKEY_CURRENT_USER, Sub(("a1\\" + std::string(210, 'z')).c_str()));
    SetText(HKEY_CURRENT_USER, Sub("v"), "b1", "short name");
    SetText(HKEY_CURRENT_USER, Sub("v"), std::string(250, 'v').c_str(), "long name");
    const struct {
        const char* below;
        bool countRefused;
        int (CRegistryEx::*list)(const char*, CStringArray&);
        LONG status;
        const char* found;
        const char* shown;
    } cases[] = {
        {"absent", false, &CRegistryEx::ListKey, ERROR_FILE_NOT_FOUND, "stale", nullptr},
        {"v", true, &CRegistryEx::ListValues, ERROR_ACCESS_DENIED, "stale", nullptr},
        {"a1", false, &CRegistryEx::ListKey, ERROR_MORE_DATA, "a2",
         "234 RegEnumKeyEx\nSetup\\RegistryEx.cpp "},
        {"v", false, &CRegistryEx::ListValues, ERROR_MORE_DATA, "b1",
         "234 RegEnumValue\nSetup\\RegistryEx.cpp "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        g_shown.clear();
        CFaultyRegistry registry;
        if (c.countRefused)
            registry.Fail(CFaultyRegistry::queryCounts, c.status);
        CRegistryOverride scope(registry);
        CStringArray names;
        names.Add("stale");
        EXPECT_EQ(0, (reg.*c.list)(Sub(c.below).c_str(), names));
        EXPECT_EQ(c.status, reg.GetLastStatus());
        EXPECT_EQ(Names{c.found}, Items(names));
        if (c.status != ERROR_FILE_NOT_FOUND) {
            EXPECT_EQ(registry.Calls(CFaultyRegistry::openKey), registry.Calls(CFaultyRegistry::closeKey));
        }
        if (c.shown == nullptr) {
            EXPECT_TRUE(g_shown.empty());
            continue;
        }
        ASSERT_EQ(1u, g_shown.size());
        EXPECT_EQ(0u, g_shown[0].first.find(c.shown)) << g_shown[0].first;
        EXPECT_EQ(SystemText(ERROR_MORE_DATA), g_shown[0].second);
    }
    g_shown.clear();
    reg.ShowSysMsg(ERROR_ACCESS_DENIED, "RegSomething", "Some\\File.cpp", 42);
    ASSERT_EQ(1u, g_shown.size());
    EXPECT_EQ("5 RegSomething\nSome\\File.cpp 42", g_shown[0].first);
    EXPECT_EQ(SystemText(ERROR_ACCESS_DENIED), g_shown[0].second);
}

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
        CRegistryEx machine(HKEY_LOCAL_MACHINE);
        const std::string expected = std::string(c.found) == "-" ? "" : root + c.found;
        EXPECT_EQ(CString(expected.c_str()), machine.FindKey(root.c_str(), "Name", c.wanted)) << c.wanted;
        EXPECT_EQ(CString(), machine.FindKey((root + "\\Absent").c_str(), "Name", c.wanted));
    }
}
} // namespace
