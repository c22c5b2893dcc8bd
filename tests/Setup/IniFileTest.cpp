// CIniFile: values, the read buffer's limit, and the section and key lists in file order.
#include <gtest/gtest.h>

#include "Setup/IniFile.h"
#include "tests/Setup/SetupTestSupport.h"

using sonvera_test::CTempFolder;
using sonvera_test::WriteRaw;

namespace
{
class IniFileTest : public ::testing::Test
{
protected:
    CTempFolder m_folder;
    CString IniPath() const { return m_folder.File("marzet.ini"); }
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault)
{
    CIniFile ini(IniPath());
    EXPECT_EQ(CString("fallback"), ini.ReadString("S", "k", "fallback"));
    ASSERT_TRUE(WriteRaw(IniPath(), "[S]\r\nother=1\r\n"));
    EXPECT_EQ(CString("fallback"), ini.ReadString("S", "k", "fallback"));
    EXPECT_EQ(CString("dflt"), ini.ReadString("T", "other", "dflt"));
    EXPECT_EQ(CString("1"), ini.ReadString("S", "other", "dflt"));
}

TEST_F(IniFileTest, WriteCreatesFileAndSectionAndReadsBack)
{
    CIniFile ini(IniPath());
    EXPECT_NE(0, ini.WriteString("VOICE_RECOG_DLL", "Skin", "Blue"));
    EXPECT_NE(0, ini.WriteString("DESK_WARDEN", "LastUser", "\x93\xfa\x96\x7b"));   // Shift-JIS text
    EXPECT_EQ(CString("Blue"), ini.ReadString("VOICE_RECOG_DLL", "Skin", ""));
    EXPECT_EQ(CString("\x93\xfa\x96\x7b"), ini.ReadString("DESK_WARDEN", "LastUser", ""));
}

TEST_F(IniFileTest, WriteIntoAMissingFolderFails)
{
    CIniFile ini(m_folder.File("no-such-folder\\marzet.ini"));
    EXPECT_EQ(0, ini.WriteString("S", "k", "v"));
}

TEST_F(IniFileTest, ReadStringReturnsAtMost2047Characters)
{
    CIniFile ini(IniPath());
    CString longValue('x', 2047);
    longValue += "yyyy";
    ASSERT_NE(0, ini.WriteString("S", "long", longValue));
    CString read = ini.ReadString("S", "long", "");
    EXPECT_EQ(2047, read.GetLength());
    EXPECT_EQ(CString('x', 2047), read);

    CString fits('z', 2047);
    ASSERT_NE(0, ini.WriteString("S", "fits", fits));
    EXPECT_EQ(fits, ini.ReadString("S", "fits", ""));
}

TEST_F(IniFileTest, ReadSectionsEmptiesTheArrayAndKeepsFileOrder)
{
    ASSERT_TRUE(WriteRaw(IniPath(), "[Zeta]\r\na=1\r\n[Alpha]\r\nb=2\r\n[Mid]\r\n"));
    CIniFile ini(IniPath());
    CStringArray names;
    names.Add("stale");
    EXPECT_EQ(1, ini.ReadSections(names));
    ASSERT_EQ(3, names.GetSize());
    EXPECT_EQ(CString("Zeta"), names[0]);
    EXPECT_EQ(CString("Alpha"), names[1]);
    EXPECT_EQ(CString("Mid"), names[2]);
}

TEST_F(IniFileTest, ReadSectionsOfAMissingFileGivesZeroAndAnEmptyArray)
{
    CIniFile ini(IniPath());
    CStringArray names;
    names.Add("stale");
    EXPECT_EQ(0, ini.ReadSections(names));
    EXPECT_EQ(0, names.GetSize());
}

TEST_F(IniFileTest, ReadSectionListsKeyNamesNotValuesInFileOrder)
{
    ASSERT_TRUE(WriteRaw(IniPath(), "[WORD_LIST]\r\nafj=six\r\naaj=one\r\nacj=three\r\n[Other]\r\nx=y\r\n"));
    CIniFile ini(IniPath());
    CStringArray keys;
    keys.Add("stale");
    EXPECT_EQ(1, ini.ReadSection("WORD_LIST", keys));
    ASSERT_EQ(3, keys.GetSize());
    EXPECT_EQ(CString("afj"), keys[0]);
    EXPECT_EQ(CString("aaj"), keys[1]);
    EXPECT_EQ(CString("acj"), keys[2]);
}

TEST_F(IniFileTest, ReadSectionOfAMissingSectionGivesZeroAndAnEmptyArray)
{
    ASSERT_TRUE(WriteRaw(IniPath(), "[Present]\r\nk=v\r\n"));
    CIniFile ini(IniPath());
    CStringArray keys;
    keys.Add("stale");
    EXPECT_EQ(0, ini.ReadSection("Absent", keys));
    EXPECT_EQ(0, keys.GetSize());
}

TEST_F(IniFileTest, CopiesAndAssignmentsActOnTheSameFile)
{
    CIniFile original(IniPath());
    ASSERT_NE(0, original.WriteString("S", "k", "v1"));
    CIniFile copy(original);
    EXPECT_EQ(CString("v1"), copy.ReadString("S", "k", ""));
    CIniFile assigned(m_folder.File("other.ini"));
    assigned = original;
    EXPECT_EQ(CString("v1"), assigned.ReadString("S", "k", ""));
}
} // namespace
