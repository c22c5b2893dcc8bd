// CSetupFile: the application folder in the fixed Program key, every INI
// setting with its default and its edge cases, the registry settings, the
// secure settings pass-through and the shared file test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Setup/SetupFile.h"
#include "fw/FileException.h"
#include "tests/Setup/ProgramKeyGuard.h"
#include "tests/Setup/SetupTestSupport.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/FaultyRegistry.h"

using sonvera_test::CProgramKeyGuard;
using sonvera_test::CRegistryValueGuard;
using sonvera_test::CTempFolder;
using sonvera_test::ReadRaw;
using sonvera_test::WriteRaw;

namespace
{
std::vector<std::string> Items(const CStringArray& array)
{
    std::vector<std::string> items;
    for (int i = 0; i < array.GetSize(); ++i)
        items.push_back(array[i].str());
    return items;
}

void ExpectRect(const RECT& rect, LONG left, LONG top, LONG right, LONG bottom)
{
    EXPECT_EQ(left, rect.left);
    EXPECT_EQ(top, rect.top);
    EXPECT_EQ(right, rect.right);
    EXPECT_EQ(bottom, rect.bottom);
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

    // The raw text of a key, read past the object under test.
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

    CProgramKeyGuard m_guard;
    CTempFolder m_folder;
    CSetupFile m_setup;
};

// ---- application folder and paths --------------------------------------

TEST_F(SetupFileTest, AppPathIsStoredInTheProgramKeyAsText)
{
    EXPECT_EQ(m_folder.Path(), m_setup.GetAppPath());
    char stored[300] = {};
    DWORD size = sizeof(stored);
    DWORD type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_LOCAL_MACHINE, CProgramKeyGuard::kProgramKey, "AppPath",
                                          RRF_RT_ANY, &type, stored, &size));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(m_folder.Path(), CString(stored));
}

TEST_F(SetupFileTest, MissingAppPathReadsAsEmpty)
{
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, CProgramKeyGuard::kProgramKey, "AppPath"));
    EXPECT_EQ(CString(), m_setup.GetAppPath());
    CSetupSecure secure;
    EXPECT_EQ(CString(), secure.GetAppPath());
}

TEST_F(SetupFileTest, SecureObjectReadsTheSameFixedKey)
{
    CSetupSecure secure;
    EXPECT_EQ(m_folder.Path(), secure.GetAppPath());
}

TEST_F(SetupFileTest, InitializeCreatesTheSecureFileWithDefaults)
{
    EXPECT_TRUE(CSetupFile::IsFileExist(m_folder.File("marzet.dat"), 0));
    CSetupSecure::tagSecureSettings settings = m_setup.GetSecureAppSettings();
    EXPECT_EQ(0, settings.nSwitch1);
    EXPECT_EQ(0, settings.nSwitch2);
    EXPECT_EQ(0, settings.nSwitch3);
    EXPECT_EQ(1, settings.nLogonMethod);
    EXPECT_EQ(1, settings.nCryptMethod);
    EXPECT_EQ(1, settings.nSwitch6);
}

TEST_F(SetupFileTest, SecureSettingsPassThroughTheOwnedObject)
{
    CSetupSecure::tagSecureSettings settings = {1, 0, 1, 0, 1, 0};
    m_setup.SetSecureAppSettings(settings);
    CSetupSecure::tagSecureSettings back = m_setup.GetSecureAppSettings();
    EXPECT_EQ(0, memcmp(&settings, &back, sizeof(settings)));
    // A second object on the same folder sees the change at once.
    CSetupFile other;
    other.Initialize();
    back = other.GetSecureAppSettings();
    EXPECT_EQ(0, memcmp(&settings, &back, sizeof(settings)));
}

TEST_F(SetupFileTest, InitializeKeepsAnExistingSecureFile)
{
    std::string before = ReadRaw(m_folder.File("marzet.dat"));
    ASSERT_FALSE(before.empty());
    CSetupFile again;
    again.Initialize();
    EXPECT_EQ(before, ReadRaw(m_folder.File("marzet.dat")));
}

TEST_F(SetupFileTest, CopiesUseTheSameFiles)
{
    CSetupFile copy(m_setup);
    ASSERT_NE(0, m_setup.SetLastUserProgram("shared"));
    EXPECT_EQ(CString("shared"), copy.GetLastUserProgram());
    CSetupFile assigned;
    assigned = m_setup;
    EXPECT_EQ(CString("shared"), assigned.GetLastUserProgram());
    EXPECT_EQ(1, assigned.GetSecureAppSettings().nLogonMethod);
}

TEST_F(SetupFileTest, ExecutePathIsTheHostFolderWithItsBackslash)
{
    CString path = m_setup.GetAppExecutePath();
    ASSERT_GT(path.GetLength(), 0);
    EXPECT_EQ('\\', path[path.GetLength() - 1]);
    char module[MAX_PATH] = {};
    GetModuleFileNameA(NULL, module, MAX_PATH);
    CString modulePath(module);
    EXPECT_EQ(path, modulePath.Left(path.GetLength()));
    EXPECT_EQ(-1, modulePath.Mid(path.GetLength()).Find('\\'));   // only the file name is cut
    EXPECT_EQ(1, CSetupFile::IsFileExist(path, 1));
}

// ---- shared file test ---------------------------------------------------

TEST(SetupFileExist, FilesFoldersAndMissingPaths)
{
    CTempFolder folder;
    CString file = folder.File("present.txt");
    ASSERT_TRUE(WriteRaw(file, "x"));
    EXPECT_EQ(1, CSetupFile::IsFileExist(file, 0));
    EXPECT_EQ(0, CSetupFile::IsFileExist(file, 1));
    EXPECT_EQ(1, CSetupFile::IsFileExist(folder.Path(), 1));
    EXPECT_EQ(0, CSetupFile::IsFileExist(folder.Path(), 0));
    EXPECT_EQ(0, CSetupFile::IsFileExist(folder.File("absent.txt"), 0));
    EXPECT_EQ(0, CSetupFile::IsFileExist(folder.File("absent"), 1));
    EXPECT_EQ(0, CSetupFile::IsFileExist(NULL, 0));
    EXPECT_EQ(1, CSetupSecure::IsFileExist(file, 0));
    EXPECT_EQ(0, CSetupSecure::IsFileExist(folder.Path(), 0));
}

TEST(SetupFileExist, ShiftJisFileName)
{
    CTempFolder folder;
    CString file = folder.File("\x93\xfa\x96\x7b\x8c\xea.txt");   // a Japanese name
    ASSERT_TRUE(WriteRaw(file, "x"));
    EXPECT_EQ(1, CSetupFile::IsFileExist(file, 0));
}

// ---- defaults -----------------------------------------------------------

TEST_F(SetupFileTest, EveryIniSettingHasItsDefaultWhenTheFileIsMissing)
{
    ASSERT_FALSE(CSetupFile::IsFileExist(Ini(), 0));
    EXPECT_EQ(CString(), m_setup.GetLastUserProgram());
    ExpectRect(m_setup.GetAppLastPos(), 0, 0, 0, 0);
    EXPECT_EQ(CString(), m_setup.GetSkinCurrent());
    CStringArray skins;
    m_setup.GetSkinList(skins);
    EXPECT_EQ((std::vector<std::string>{""}), Items(skins));
    EXPECT_EQ(CString(), m_setup.GetAppSecureFolder());
    EXPECT_EQ(0u, m_setup.GetAppSecureMakeType());
    EXPECT_EQ(CString(), m_setup.GetAuthWord("aaj"));
    CStringArray words;
    EXPECT_EQ(0, m_setup.GetAuthWordList(words));
    EXPECT_EQ(0, words.GetSize());
    EXPECT_EQ(CString(), m_setup.GetAuthNick("anything"));
    EXPECT_EQ(CString(), m_setup.GetScrImageFile(1));
    CStringArray images;
    EXPECT_EQ(1, m_setup.GetScrImageFileList(images));
    EXPECT_EQ(0, images.GetSize());
    EXPECT_EQ(0u, m_setup.GetScrWaitTime());
    EXPECT_EQ(0, m_setup.GetScrAuto());
}

TEST_F(SetupFileTest, RegistrySettingsHaveTheirDefaultsWhenMissing)
{
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, CProgramKeyGuard::kProgramKey, "ScrMent");
    EXPECT_EQ(CString(), m_setup.GetScrComment());
}

// ---- [DESK_WARDEN] ------------------------------------------------------

TEST_F(SetupFileTest, LastUserRoundTrips)
{
    EXPECT_NE(0, m_setup.SetLastUserProgram("\x93\xfa\x96\x7b user"));
    EXPECT_EQ("\x93\xfa\x96\x7b user", IniValue("DESK_WARDEN", "LastUser"));
    EXPECT_EQ(CString("\x93\xfa\x96\x7b user"), m_setup.GetLastUserProgram());
}

TEST_F(SetupFileTest, IniWritesReturnZeroWhenTheFileCannotBeWritten)
{
    CSetupFile elsewhere;
    elsewhere.SetAppPath(m_folder.File("missing-folder"));
    // Initialize would try to create marzet.dat there; only the INI path matters here.
    EXPECT_THROW(elsewhere.Initialize(), CFileException);
    EXPECT_EQ(0, elsewhere.SetLastUserProgram("x"));
    EXPECT_EQ(0, elsewhere.SetAppLastPos(1, 2, 3, 4));
    EXPECT_EQ(0, elsewhere.SetSkinChange("Blue"));
    EXPECT_EQ(1, elsewhere.SetAppSecureFolder("C:\\x"));   // returns 1 whatever the write did
}

TEST_F(SetupFileTest, RefusedIniWritesAreReportedOnlyWhereASetterReportsThem)
{
    sonvera_test::CFaultyPrivateProfile profile;
    profile.failWrites = true;
    CPrivateProfileOverride scope(profile);
    EXPECT_EQ(0, m_setup.SetLastUserProgram("x"));
    EXPECT_EQ(0, m_setup.SetAppLastPos(1, 2, 3, 4));
    EXPECT_EQ(0, m_setup.SetSkinChange("Blue"));
    EXPECT_EQ(1, m_setup.SetAppSecureFolder("C:\\x"));
    EXPECT_EQ(1, m_setup.SetAppSecureMakeType(2));
    EXPECT_EQ(1, m_setup.SetScrWaitTime(5));
    EXPECT_EQ(6, profile.writes);
    EXPECT_EQ("<missing>", IniValue("DESK_WARDEN", "LastUser"));
}

TEST_F(SetupFileTest, AnUnreadableRegistryReadsAsTheDefaultsAndARefusedWriteChangesNothing)
{
    ASSERT_EQ(1, m_setup.SetScrComment("kept"));
    {
        sonvera_test::CFaultyRegistry registry;
        registry.Fail(sonvera_test::CFaultyRegistry::openKey, ERROR_ACCESS_DENIED);
        CRegistryOverride scope(registry);
        EXPECT_EQ(CString(), m_setup.GetAppPath());
        EXPECT_EQ(CString(), m_setup.GetScrComment());
        EXPECT_EQ(CString(), m_setup.GetLastUserLogon());
    }
    sonvera_test::CFaultyRegistry registry;
    registry.Fail(sonvera_test::CFaultyRegistry::setValue, ERROR_ACCESS_DENIED);
    CRegistryOverride scope(registry);
    EXPECT_EQ(1, m_setup.SetScrComment("lost"));
    m_setup.SetAppPath("C:\\elsewhere");
    EXPECT_EQ(CString("kept"), m_setup.GetScrComment());
    EXPECT_EQ(m_folder.Path(), m_setup.GetAppPath());
}

TEST_F(SetupFileTest, LastPositionIsLeftTopRightBottom)
{
    EXPECT_NE(0, m_setup.SetAppLastPos(-5, 20, 300, 400));
    EXPECT_EQ("-5,20,300,400", IniValue("DESK_WARDEN", "LastExecutePos"));
    ExpectRect(m_setup.GetAppLastPos(), -5, 20, 300, 400);
}

TEST_F(SetupFileTest, ShortLastPositionLeavesTheMissingSidesZero)
{
    SetIniValue("DESK_WARDEN", "LastExecutePos", "10,20");
    ExpectRect(m_setup.GetAppLastPos(), 10, 20, 0, 0);
}

TEST_F(SetupFileTest, LastPositionPiecesAreReadLikeAtoi)
{
    SetIniValue("DESK_WARDEN", "LastExecutePos", " 7px,abc,+8,-9,99");
    ExpectRect(m_setup.GetAppLastPos(), 7, 0, 8, -9);
}

// ---- [VOICE_RECOG_DLL] --------------------------------------------------

TEST_F(SetupFileTest, SkinChangeRefusesAnEmptyName)
{
    EXPECT_NE(0, m_setup.SetSkinChange("Blue"));
    EXPECT_EQ(CString("Blue"), m_setup.GetSkinCurrent());
    EXPECT_EQ(0, m_setup.SetSkinChange(""));
    EXPECT_EQ(CString("Blue"), m_setup.GetSkinCurrent());
}

TEST_F(SetupFileTest, SkinListSplitsAtEveryCommaAndTrims)
{
    SetIniValue("VOICE_RECOG_DLL", "SkinList", "Blue, Green ,,Red");
    CStringArray skins;
    skins.Add("kept");
    m_setup.GetSkinList(skins);
    EXPECT_EQ((std::vector<std::string>{"kept", "Blue", "Green", "", "Red"}), Items(skins));
}

TEST_F(SetupFileTest, SkinListTrimsTabsAndKeepsInnerBlanks)
{
    SetIniValue("VOICE_RECOG_DLL", "SkinList", "\tDark Night\t,\x90\xc2,");   // Shift-JIS name, trailing comma
    CStringArray skins;
    m_setup.GetSkinList(skins);
    EXPECT_EQ((std::vector<std::string>{"Dark Night", "\x90\xc2", ""}), Items(skins));
}

TEST_F(SetupFileTest, SecureFolderRefusesAnEmptyFolder)
{
    EXPECT_EQ(1, m_setup.SetAppSecureFolder("D:\\Secret"));
    EXPECT_EQ(CString("D:\\Secret"), m_setup.GetAppSecureFolder());
    EXPECT_EQ(0, m_setup.SetAppSecureFolder(""));
    EXPECT_EQ(CString("D:\\Secret"), m_setup.GetAppSecureFolder());
}

TEST_F(SetupFileTest, SecureMakeTypeIsADecimal)
{
    EXPECT_EQ(1, m_setup.SetAppSecureMakeType(3));
    EXPECT_EQ("3", IniValue("VOICE_RECOG_DLL", "EncryptFileStyle"));
    EXPECT_EQ(3u, m_setup.GetAppSecureMakeType());
    SetIniValue("VOICE_RECOG_DLL", "EncryptFileStyle", "  12abc");
    EXPECT_EQ(12u, m_setup.GetAppSecureMakeType());
    SetIniValue("VOICE_RECOG_DLL", "EncryptFileStyle", "none");
    EXPECT_EQ(0u, m_setup.GetAppSecureMakeType());
}

// ---- [WORD_LIST] --------------------------------------------------------

class SetupFileWordsTest : public SetupFileTest
{
protected:
    void SetUp() override
    {
        SetupFileTest::SetUp();
        ASSERT_TRUE(WriteRaw(Ini(), "[WORD_LIST]\r\nacj=Sesame\r\naaj=\x83\x8a\x83\x93\x83\x53\r\n"
                                      "abj=apple pie\r\n[Other]\r\nadj=Elsewhere\r\n"));
    }
};

TEST_F(SetupFileWordsTest, WordOfANick)
{
    EXPECT_EQ(CString("Sesame"), m_setup.GetAuthWord("acj"));
    EXPECT_EQ(CString("\x83\x8a\x83\x93\x83\x53"), m_setup.GetAuthWord("aaj"));
    EXPECT_EQ(CString(), m_setup.GetAuthWord("adj"));
}

TEST_F(SetupFileWordsTest, WordListAppendsTheWordsInFileOrder)
{
    CStringArray words;
    words.Add("kept");
    EXPECT_EQ(1, m_setup.GetAuthWordList(words));
    EXPECT_EQ((std::vector<std::string>{"kept", "Sesame", "\x83\x8a\x83\x93\x83\x53", "apple pie"}),
              Items(words));
}

TEST_F(SetupFileWordsTest, NickOfAWordIgnoresLetterCase)
{
    EXPECT_EQ(CString("acj"), m_setup.GetAuthNick("sesame"));
    EXPECT_EQ(CString("abj"), m_setup.GetAuthNick("APPLE PIE"));
    EXPECT_EQ(CString("aaj"), m_setup.GetAuthNick("\x83\x8a\x83\x93\x83\x53"));
    EXPECT_EQ(CString(), m_setup.GetAuthNick("Elsewhere"));
    EXPECT_EQ(CString(), m_setup.GetAuthNick("Sesam"));
}

// ---- [IMAGE_FILES] ------------------------------------------------------

TEST_F(SetupFileTest, ImageFileByNumber)
{
    SetIniValue("IMAGE_FILES", "1", "C:\\one.bmp");
    SetIniValue("IMAGE_FILES", "12", "C:\\twelve.bmp");
    EXPECT_EQ(CString("C:\\one.bmp"), m_setup.GetScrImageFile(1));
    EXPECT_EQ(CString("C:\\twelve.bmp"), m_setup.GetScrImageFile(12));
    EXPECT_EQ(CString(), m_setup.GetScrImageFile(2));
    SetIniValue("IMAGE_FILES", "0", "C:\\zero.bmp");
    SetIniValue("IMAGE_FILES", "-1", "C:\\minus.bmp");
    EXPECT_EQ(CString(), m_setup.GetScrImageFile(0));
    EXPECT_EQ(CString(), m_setup.GetScrImageFile(-1));
}

TEST_F(SetupFileTest, SettingImageFilesReplacesTheWholeSection)
{
    for (const char* key : {"1", "2", "3", "4", "5"})
        SetIniValue("IMAGE_FILES", key, "C:\\old.bmp");
    CStringArray files;
    files.Add("C:\\a.bmp");
    files.Add("C:\\b.bmp");
    EXPECT_EQ(1, m_setup.SetScrImageFile(files));

    char keys[256] = {};
    DWORD used = GetPrivateProfileStringA("IMAGE_FILES", NULL, "", keys, sizeof(keys), Ini());
    EXPECT_EQ(std::string("1\0002\000", 4), std::string(keys, used));
    EXPECT_EQ(CString("C:\\a.bmp"), m_setup.GetScrImageFile(1));
    EXPECT_EQ(CString("C:\\b.bmp"), m_setup.GetScrImageFile(2));
    EXPECT_EQ(CString(), m_setup.GetScrImageFile(3));
}

TEST_F(SetupFileTest, ImageFileListSkipsDeletedFilesAndFolders)
{
    CString first = m_folder.File("first.bmp");
    CString gone = m_folder.File("gone.bmp");
    CString last = m_folder.File("last.bmp");
    ASSERT_TRUE(WriteRaw(first, "BM"));
    ASSERT_TRUE(WriteRaw(gone, "BM"));
    ASSERT_TRUE(WriteRaw(last, "BM"));
    CStringArray files;
    files.Add(first);
    files.Add(gone);
    files.Add(m_folder.Path());
    files.Add(last);
    ASSERT_EQ(1, m_setup.SetScrImageFile(files));
    ASSERT_TRUE(DeleteFileW(gone.ToWide().c_str()));

    CStringArray existing;
    existing.Add("kept");
    EXPECT_EQ(1, m_setup.GetScrImageFileList(existing));
    EXPECT_EQ((std::vector<std::string>{"kept", first.str(), last.str()}), Items(existing));

    // A picture whose share cannot be reached is left out like a missing one.
    sonvera_test::CFaultyFileSystem away;
    away.Watch(L"last.bmp");
    away.Fail(sonvera_test::CFaultyFileSystem::attributes, ERROR_BAD_NETPATH);
    CFileSystemOverride scope(away);
    CStringArray reachable;
    EXPECT_EQ(1, m_setup.GetScrImageFileList(reachable));
    EXPECT_EQ((std::vector<std::string>{first.str()}), Items(reachable));
}

// ---- [SCREEN_SAVER] -----------------------------------------------------

TEST_F(SetupFileTest, WaitTimeRefusesZero)
{
    EXPECT_EQ(1, m_setup.SetScrWaitTime(30));
    EXPECT_EQ("30", IniValue("SCREEN_SAVER", "WaitTime"));
    EXPECT_EQ(30u, m_setup.GetScrWaitTime());
    EXPECT_EQ(0, m_setup.SetScrWaitTime(0));
    EXPECT_EQ(30u, m_setup.GetScrWaitTime());
}

TEST_F(SetupFileTest, AutoIsOneForAnyNonzeroValue)
{
    SetIniValue("SCREEN_SAVER", "Auto", "7");
    EXPECT_EQ(1, m_setup.GetScrAuto());
    SetIniValue("SCREEN_SAVER", "Auto", "0");
    EXPECT_EQ(0, m_setup.GetScrAuto());
    m_setup.SetScrAuto(5);
    EXPECT_EQ("1", IniValue("SCREEN_SAVER", "Auto"));
    EXPECT_EQ(1, m_setup.GetScrAuto());
    m_setup.SetScrAuto(0);
    EXPECT_EQ("0", IniValue("SCREEN_SAVER", "Auto"));
    EXPECT_EQ(0, m_setup.GetScrAuto());
}

// ---- registry settings --------------------------------------------------

TEST_F(SetupFileTest, CommentRoundTripsThroughTheProgramKey)
{
    EXPECT_EQ(1, m_setup.SetScrComment("\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd"));
    EXPECT_EQ(CString("\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd"), m_setup.GetScrComment());
}

TEST_F(SetupFileTest, SettersCreateTheProgramKeyWhenItIsMissing)
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, CProgramKeyGuard::kProgramKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, CProgramKeyGuard::kProgramKey);
    ASSERT_FALSE(CProgramKeyGuard::KeyExists(CProgramKeyGuard::kProgramKey));
    EXPECT_EQ(CString(), m_setup.GetScrComment());
    EXPECT_EQ(1, m_setup.SetScrComment("back"));
    EXPECT_TRUE(CProgramKeyGuard::KeyExists(CProgramKeyGuard::kProgramKey));
    m_setup.SetAppPath(m_folder.Path());
    EXPECT_EQ(CString("back"), m_setup.GetScrComment());
    EXPECT_EQ(m_folder.Path(), m_setup.GetAppPath());
}

TEST_F(SetupFileTest, LastLogonUserComesFromTheWinlogonKey)
{
    const char* winlogon = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    CRegistryValueGuard guard(HKEY_LOCAL_MACHINE, winlogon, "AltDefaultUserName");
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueA(HKEY_LOCAL_MACHINE, winlogon, "AltDefaultUserName", REG_SZ,
                                             "taro", 5));
    EXPECT_EQ(CString("taro"), m_setup.GetLastUserLogon());
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, winlogon, "AltDefaultUserName"));
    EXPECT_EQ(CString(), m_setup.GetLastUserLogon());
}
} // namespace
