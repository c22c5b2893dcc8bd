// A host links Sonvera.dll and includes only Sonvera.h: strings cross the
// boundary in both directions, the library's file exceptions reach the
// host's own catch blocks, and its popup menu opens for the host.
#include <gtest/gtest.h>

#include <string>

#include "Sonvera.h"

namespace {

CString TempPath(const char* name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return CString(folder) + name;
}

TEST(HostBoundary, FileExceptionsReachTheHost)
{
    CSetupSecure secure;
    const CString path = TempPath("sonvera-host-missing.dat");
    DeleteFileA(path);
    secure.SetSetupSecureFilePath(path);   // creates the store
    DeleteFileA(path);   // the store vanishes behind the object's back
    CSetupSecure::tagSecureSettings settings{};
    bool caught = false;
    try {
        secure.GetAppSettings(settings);
    } catch (const CFileException& error) {
        caught = true;
        EXPECT_EQ(error.m_cause, CFileException::fileNotFound) << error.what();
        EXPECT_NE(std::string(error.what()).find("sonvera-host-missing.dat"), std::string::npos);
    }
    EXPECT_TRUE(caught);
}

TEST(HostBoundary, StringsMadeInTheLibraryLiveInTheHost)
{
    CString key = CCrypto::GetProcessKey();
    ASSERT_EQ(key.GetLength(), 1003);
    CCrypto crypto;
    CString cipher = crypto.EncryptString("\x83\x65\x83\x58\x83\x67", key);   // テスト
    CString copy = cipher;
    cipher.Empty();
    EXPECT_EQ(crypto.DecryptString(copy, key), CString("\x83\x65\x83\x58\x83\x67"));
}

TEST(HostBoundary, SettingsRoundTripThroughTheLibrary)
{
    const CString path = TempPath("sonvera-host.ini");
    DeleteFileA(path);
    CIniFile ini(path);
    EXPECT_NE(ini.WriteString("WORD_LIST", "aaj", "\x82\xA0"), 0);   // あ
    EXPECT_EQ(ini.ReadString("WORD_LIST", "aaj", ""), CString("\x82\xA0"));
    CStringArray sections;
    EXPECT_EQ(ini.ReadSections(sections), 1);
    EXPECT_EQ(sections.GetSize(), 1);
    DeleteFileA(path);
}

TEST(HostBoundary, TheHostOpensAPopupMenu)
{
    // The class registers its window class for the host's module; texts go both ways.
    CFlatPopupMenu menu;
    ASSERT_TRUE(menu.Create(GetModuleHandleA(nullptr)));
    EXPECT_TRUE(menu.AppendItem(CFlatPopupMenu::itemDefault, "&Open", 1));
    char text[6] = {};
    EXPECT_TRUE(menu.GetString(1, text, sizeof text));
    EXPECT_STREQ("&Open", text);
    EXPECT_EQ(0u, menu.Track(10, 10, nullptr, false));
    HWND window = FindWindowA("fpmMenuClass", nullptr);
    ASSERT_NE(nullptr, window);
    DestroyWindow(window);
}

}  // namespace
