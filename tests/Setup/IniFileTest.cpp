// CIniFile: values, the read buffer's limit, and the section and key lists in file order.
#include <gtest/gtest.h>

#include <string>

#include "Setup/IniFile.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/FaultyRegistry.h"
#include "tests/support/RawFile.h"
#include "tests/support/StringLists.h"
#include "tests/support/TempFolder.h"

namespace
{
using namespace sonvera_test;
class IniFileTest : public ::testing::Test
{
protected:
    CTempFolder m_folder;
    CIniFile ini{m_folder.File("marzet.ini")};
};

// Copies and assignments act on the same file; a read takes at most 2047 characters.
TEST_F(IniFileTest, ValuesRoundTripAndSectionAndKeyListsComeInFileOrder)
{
    CStringArray names;
    names.Add("stale");
    EXPECT_EQ(0, ini.ReadSections(names));
    EXPECT_EQ("", Bracketed(names));
    ASSERT_TRUE(WriteRaw(m_folder.File("marzet.ini"),
                                       "[Zeta]\r\na=1\r\n[WORD_LIST]\r\nafj=six\r\naaj=one\r\nacj=three\r\n[Mid]\r\n"));
    names.Add("stale");
    EXPECT_EQ(1, ini.ReadSections(names));
    EXPECT_EQ("[Zeta][WORD_LIST][Mid]", Bracketed(names));
    EXPECT_EQ(1, ini.ReadSection("WORD_LIST", names));
    EXPECT_EQ("[afj][aaj][acj]", Bracketed(names));
    EXPECT_EQ(0, ini.ReadSection("Absent", names));
    EXPECT_EQ("", Bracketed(names));
    // The name the list's 16384 bytes cut short is left out, as those past it are.
    std::string many = "[Many]\r\n";
    for (int i = 10000; i < 13000; ++i)
        many += "key" + std::to_string(i) + "=v\r\n";
    ASSERT_TRUE(WriteRaw(m_folder.File("many.ini"), many));
    EXPECT_EQ(1, CIniFile(m_folder.File("many.ini")).ReadSection("Many", names));
    EXPECT_EQ(16384 / 9, names.GetSize());
    EXPECT_EQ(CString("key11819"), names[names.GetSize() - 1]);

    EXPECT_EQ(CString("fallback"), ini.ReadString("S", "k", "fallback"));
    EXPECT_NE(0, ini.WriteString("DESK_WARDEN", "LastUser", "taro"));
    CIniFile copy(ini);
    CIniFile assigned(m_folder.File("other.ini"));
    assigned = ini;
    for (CIniFile* file : {&ini, &copy, &assigned})
        EXPECT_EQ(CString("taro"), file->ReadString("DESK_WARDEN", "LastUser", ""));
    EXPECT_EQ(0, CIniFile(m_folder.File("no-such-folder\\marzet.ini")).WriteString("S", "k", "v"));
    {
        // A full disk as the changed file is written, or an edit the system
        // refuses, leaves the file as it was: not cut off, not emptied.
        CFaultyFileSystem full;
        full.Watch(L"marzet.ini");
        full.FailCall(CFaultyFileSystem::write, 2, ERROR_DISK_FULL);   // the first is the copy's
        CFileSystemOverride scope(full);
        EXPECT_EQ(0, ini.WriteString("DESK_WARDEN", "LastUser", "jiro"));
        CFaultyPrivateProfile refusing;
        CPrivateProfileOverride refused(refusing);
        EXPECT_EQ(0, ini.WriteString("DESK_WARDEN", "LastUser", "jiro"));
    }
    EXPECT_EQ(CString("taro"), ini.ReadString("DESK_WARDEN", "LastUser", ""));
    ASSERT_NE(0, ini.WriteString("S", "long", CString('x', 2047) + "yyyy"));
    EXPECT_EQ(CString('x', 2047), ini.ReadString("S", "long", ""));
    // Cut inside a double-byte character (95 5C, 表), the value keeps none of
    // it: neither the lone lead byte nor a NUL where the system left it out.
    ASSERT_NE(0, ini.WriteString("S", "cut", CString('x', 2046) + "\x95\x5C" + "yyyy"));
    EXPECT_EQ(std::string(2046, 'x'), ini.ReadString("S", "cut", "").str());
}

// An entry that would write more than its own line, or another name, is refused whole.
TEST_F(IniFileTest, AnEntryTheFileCannotHoldAsOneLineIsNotWritten)
{
    ASSERT_NE(0, ini.WriteString("VOICE_RECOG_DLL", "Skin", "DEFAULT"));
    const struct {
        const char *section, *key, *value;
    } entries[] = {
        {"DESK_WARDEN", "LastUser", "taro\nSkin=Evil"},
        {"DESK_WARDEN", "Last\rUser", "taro"},
        {"VOICE_RECOG_DLL\r\n[X", "k", "v"},
        {"VOICE_RECOG_DLL", "Skin=Evil", "v"},
        {"VOICE_RECOG_DLL]", "Skin", "Evil"},
    };
    for (const auto& e : entries) {
        EXPECT_EQ(0, ini.WriteString(e.section, e.key, e.value)) << e.section << "/" << e.key << "/" << e.value;
        EXPECT_EQ(CString("DEFAULT"), ini.ReadString("VOICE_RECOG_DLL", "Skin", "")) << e.key << "/" << e.value;
        EXPECT_EQ(CString("none"), ini.ReadString("DESK_WARDEN", "LastUser", "none")) << e.value;
    }
}
} // namespace
