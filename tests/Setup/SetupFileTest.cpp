// CSetupFile: the Program key, every INI setting with its default, stored
// text and parsing, and the secure settings it passes through.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Setup/SetupFile.h"
#include "tests/Setup/ProgramKeyGuard.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/FaultyRegistry.h"
#include "tests/support/RawFile.h"
#include "tests/support/StringLists.h"
#include "tests/support/TempFolder.h"

namespace
{
using namespace sonvera_test;

// Windows keeps the last logon user in its own view of the registry, the
// 64-bit one on 64-bit Windows, where a 32-bit program must ask for it.
const char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

LONG SetLastLogonUser(const char* name)
{
    HKEY key = NULL;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kWinlogonKey, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key);
    if (status != ERROR_SUCCESS)
        return status;
    status = name != NULL ? RegSetValueExA(key, "AltDefaultUserName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                                           static_cast<DWORD>(strlen(name) + 1))
                          : RegDeleteValueA(key, "AltDefaultUserName");
    RegCloseKey(key);
    return status;
}

class SetupFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_setup.SetAppPath(m_folder.Path());
        m_setup.Initialize();
    }

    CString Ini() const { return m_folder.File("marzet.ini"); }

    // The raw text of a key, read and written past the object under test.
    std::string IniValue(const char* section, const char* key)
    {
        char buffer[256] = {};
        GetPrivateProfileStringA(section, key, "<missing>", buffer, sizeof(buffer), Ini());
        return buffer;
    }
    void SetIniValue(const char* section, const char* key, const char* value)
    {
        ASSERT_TRUE(WritePrivateProfileStringA(section, key, value, Ini()));
    }

    // Each setting read back as text.
    std::string Read(const std::string& key)
    {
        const std::map<std::string, std::function<std::string()>> getters = {
            {"LastUser", [this] { return m_setup.GetLastUserProgram().str(); }},
            {"LastExecutePos",
             [this] {
                 const RECT r = m_setup.GetAppLastPos();
                 return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
                        std::to_string(r.bottom);
             }},
            {"Skin", [this] { return m_setup.GetSkinCurrent().str(); }},
            {"SkinList",
             [this] {
                 CStringArray skins;
                 skins.Add("kept");
                 m_setup.GetSkinList(skins);
                 return Bracketed(skins);
             }},
            {"EncryptFileFolder", [this] { return m_setup.GetAppSecureFolder().str(); }},
            {"EncryptFileStyle", [this] { return std::to_string(m_setup.GetAppSecureMakeType()); }},
            {"WaitTime", [this] { return std::to_string(m_setup.GetScrWaitTime()); }},
            {"Auto", [this] { return std::to_string(m_setup.GetScrAuto()); }},
        };
        return getters.at(key)();
    }

    CProgramKeyGuard m_guard;
    CTempFolder m_folder;
    CSetupFile m_setup;
};

TEST_F(SetupFileTest, TheProgramKeyHoldsFolderAndCommentAndCopiesShareTheSecureFile)
{
    m_setup.SetSecureAppSettings({1, 0, 1, 0, 1, 0});
    CSetupFile other;
    other.Initialize();
    EXPECT_EQ(1, other.GetSecureAppSettings().nSwitch3);   // which field is which is CSetupSecure's
    CSetupFile assigned;
    assigned = m_setup;
    ASSERT_NE(0, m_setup.SetLastUserProgram("shared"));
    EXPECT_EQ(CString("shared"), CSetupFile(m_setup).GetLastUserProgram());
    EXPECT_EQ(CString("shared"), assigned.GetLastUserProgram());
    EXPECT_EQ(1, assigned.GetSecureAppSettings().nSwitch1);

    // Removing the value from the Program key takes it from both objects: that is
    // where they keep it.
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, CProgramKeyGuard::kProgramKey, "AppPath"));
    EXPECT_EQ(CString(), m_setup.GetAppPath());
    EXPECT_EQ(CString(), CSetupSecure().GetAppPath());
    // The host's folder, with its backslash.
    char module[MAX_PATH] = {};
    GetModuleFileNameA(NULL, module, MAX_PATH);
    const std::string modulePath(module);
    EXPECT_EQ(modulePath.substr(0, modulePath.rfind('\\') + 1), m_setup.GetAppExecutePath().str());

    RegDeleteTreeA(HKEY_LOCAL_MACHINE, CProgramKeyGuard::kProgramKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, CProgramKeyGuard::kProgramKey);
    EXPECT_EQ(CString(), m_setup.GetScrComment());
    EXPECT_EQ(1, m_setup.SetScrComment("screen comment"));
    EXPECT_EQ(CString("screen comment"), m_setup.GetScrComment());
    // The last logon user is the Winlogon key's, in the view Windows keeps it in.
    CRegistryValueGuard guard(HKEY_LOCAL_MACHINE, kWinlogonKey, "AltDefaultUserName", KEY_WOW64_64KEY);
    ASSERT_EQ(ERROR_SUCCESS, SetLastLogonUser("taro"));
    EXPECT_EQ(CString("taro"), m_setup.GetLastUserLogon());
    ASSERT_EQ(ERROR_SUCCESS, SetLastLogonUser(NULL));
    EXPECT_EQ(CString(), m_setup.GetLastUserLogon());
}

// The machine's keys change only for an administrator; everybody reads them,
// and a change refused to the others is made nowhere else either. (The
// comment is read and written as the folder is.)
TEST_F(SetupFileTest, TheRegistrySettingsReadWithoutTheRightToChangeThem)
{
    CRegistryValueGuard rootPath(HKEY_LOCAL_MACHINE, "", "AppPath");
    CRegistryValueGuard guard(HKEY_LOCAL_MACHINE, kWinlogonKey, "AltDefaultUserName", KEY_WOW64_64KEY);
    ASSERT_EQ(ERROR_SUCCESS, SetLastLogonUser("taro"));
    CFaultyRegistry standardUser;
    standardUser.RefuseChanges();
    CRegistryOverride scope(standardUser);
    EXPECT_EQ(m_folder.Path(), m_setup.GetAppPath());
    EXPECT_EQ(m_folder.Path(), CSetupSecure().GetAppPath());
    EXPECT_EQ(CString("taro"), m_setup.GetLastUserLogon());

    m_setup.SetAppPath("C:\\Elsewhere");
    EXPECT_EQ(m_folder.Path(), m_setup.GetAppPath());
    EXPECT_NE(ERROR_SUCCESS, RegGetValueA(HKEY_LOCAL_MACHINE, NULL, "AppPath", RRF_RT_ANY, NULL, NULL, NULL));
}

TEST_F(SetupFileTest, IniSettingsHaveDefaultsParseHandWrittenTextAndStoreTheirOwn)
{
    // Without a file there are no words, and the enrolment set-up stops.
    CStringArray words;
    EXPECT_EQ(0, m_setup.GetAuthWordList(words));

    // What the getters make of text written by hand.
    const struct
    {
        const char* section;
        const char* key;
        const char* text;
        const char* read;
    } cases[] = {
        {"DESK_WARDEN", "LastExecutePos", "10,20", "10,20,0,0"},
        {"DESK_WARDEN", "LastExecutePos", " 7px,abc,+8,-9,99", "7,0,8,-9"},
        {"VOICE_RECOG_DLL", "EncryptFileStyle", "  12abc", "12"},
        {"SCREEN_SAVER", "Auto", "7", "1"},
        {"VOICE_RECOG_DLL", "SkinList", "Blue, Green ,,Red", "[kept][Blue][Green][][Red]"},
    };
    for (const auto& c : cases) {
        SetIniValue(c.section, c.key, c.text);
        EXPECT_EQ(c.read, Read(c.key)) << c.key << " = " << c.text;
    }

    // A setter: what it stores under its key (the key's text afterwards,
    // "<missing>" when refused), what the getter answers afterwards (when not
    // that text), and whether it accepts the value.
    const struct
    {
        const char* section;
        const char* key;
        std::function<int(CSetupFile&)> set;
        const char* stored;
        const char* readBack = nullptr;
        int result = 1;
    } writes[] = {
        {"DESK_WARDEN", "LastUser", [](CSetupFile& s) { return s.SetLastUserProgram("some user"); }, "some user"},
        {"DESK_WARDEN", "LastExecutePos", [](CSetupFile& s) { return s.SetAppLastPos(-5, 20, 300, 400); },
         "-5,20,300,400"},
        {"VOICE_RECOG_DLL", "Skin", [](CSetupFile& s) { return s.SetSkinChange("Blue"); }, "Blue"},
        {"VOICE_RECOG_DLL", "Skin", [](CSetupFile& s) { return s.SetSkinChange(""); }, "<missing>", "", 0},
        {"VOICE_RECOG_DLL", "EncryptFileFolder", [](CSetupFile& s) { return s.SetAppSecureFolder("D:\\Secret"); },
         "D:\\Secret"},
        {"VOICE_RECOG_DLL", "EncryptFileFolder", [](CSetupFile& s) { return s.SetAppSecureFolder(""); }, "<missing>",
         "", 0},
        {"VOICE_RECOG_DLL", "EncryptFileStyle", [](CSetupFile& s) { return s.SetAppSecureMakeType(3); }, "3"},
        {"SCREEN_SAVER", "WaitTime", [](CSetupFile& s) { return s.SetScrWaitTime(30); }, "30"},
        {"SCREEN_SAVER", "WaitTime", [](CSetupFile& s) { return s.SetScrWaitTime(0); }, "<missing>", "0", 0},
        {"SCREEN_SAVER", "Auto", [](CSetupFile& s) { s.SetScrAuto(5); return 1; }, "1"},
        {"SCREEN_SAVER", "Auto", [](CSetupFile& s) { s.SetScrAuto(0); return 1; }, "0"},
    };
    for (const auto& w : writes) {
        SCOPED_TRACE(std::string(w.key) + " := " + w.stored);
        DeleteFileW(Ini().ToWide().c_str());
        EXPECT_EQ(w.result, w.set(m_setup));
        EXPECT_EQ(w.stored, IniValue(w.section, w.key));
        EXPECT_EQ(w.readBack != nullptr ? w.readBack : w.stored, Read(w.key));
    }
    // Refused writes are reported only where a setter reports them.
    CFaultyPrivateProfile profile;
    CPrivateProfileOverride scope(profile);
    EXPECT_EQ(0, m_setup.SetLastUserProgram("x"));
    EXPECT_EQ(1, m_setup.SetAppSecureFolder("C:\\x"));
    EXPECT_EQ("<missing>", IniValue("DESK_WARDEN", "LastUser"));
}

// A nick is found by its word whatever the letter case of single-byte
// letters; image files replace the whole section.
TEST_F(SetupFileTest, WordsNicksAndImageFilesComeFromTheirSections)
{
    ASSERT_TRUE(WriteRaw(Ini(), "[WORD_LIST]\r\nacj=Sesame\r\naaj=\x83\x8a\x83\x93\x83\x53\r\n"
                                "abj=apple pie\r\n[Other]\r\nadj=Elsewhere\r\n"));
    EXPECT_EQ(CString("Sesame"), m_setup.GetAuthWord("acj"));
    EXPECT_EQ(CString(), m_setup.GetAuthWord("adj"));
    CStringArray words;
    words.Add("kept");
    EXPECT_EQ(1, m_setup.GetAuthWordList(words));
    EXPECT_EQ("[kept][Sesame][\x83\x8a\x83\x93\x83\x53][apple pie]", Bracketed(words));
    const std::pair<const char*, const char*> nicks[] = {
        {"sesame", "acj"}, {"\x83\x8a\x83\x93\x83\x53", "aaj"}, {"Elsewhere", ""}, {"Sesam", ""}};
    for (const auto& n : nicks)
        EXPECT_EQ(CString(n.second), m_setup.GetAuthNick(n.first)) << n.first;

    for (const char* key : {"0", "1", "2", "3", "4", "5"})
        SetIniValue("IMAGE_FILES", key, "C:\\old.bmp");
    EXPECT_EQ(CString(), m_setup.GetScrImageFile(0));
    CStringArray files;
    for (const char* name : {"first.bmp", "gone.bmp", "last.bmp"}) {
        files.Add(m_folder.File(name));
        ASSERT_TRUE(WriteRaw(m_folder.File(name), "BM"));
    }
    EXPECT_EQ(1, m_setup.SetScrImageFile(files));
    char keys[256] = {};
    const DWORD used = GetPrivateProfileStringA("IMAGE_FILES", NULL, "", keys, sizeof(keys), Ini());
    EXPECT_EQ(std::string("1\0002\0003\000", 6), std::string(keys, used));
    EXPECT_EQ(m_folder.File("gone.bmp"), m_setup.GetScrImageFile(2));
    ASSERT_TRUE(DeleteFileW(m_folder.File("gone.bmp").ToWide().c_str()));
    CStringArray existing;
    existing.Add("kept");
    EXPECT_EQ(1, m_setup.GetScrImageFileList(existing));
    EXPECT_EQ("[kept][" + m_folder.File("first.bmp").str() + "][" + m_folder.File("last.bmp").str() + "]",
              Bracketed(existing));
    // A picture whose share cannot be reached is left out like a missing one.
    CFaultyFileSystem away;
    away.Watch(L"last.bmp");
    away.Fail(CFaultyFileSystem::attributes, ERROR_BAD_NETPATH);
    CFileSystemOverride scope(away);
    CStringArray reachable;
    EXPECT_EQ(1, m_setup.GetScrImageFileList(reachable));
    EXPECT_EQ("[" + m_folder.File("first.bmp").str() + "]", Bracketed(reachable));
}
} // namespace
