// The bypass key's drive choice. A present drive's tests run in a Wine prefix
// where E: is removable (with-removable-drive); the others where none is.
#include "DialogTestSupport.h"

#include "resources/resource.h"
#include "voice/VoiceTexts.h"

namespace {

using namespace sonvera_test;

// The drive choice, once it is open on this thread, or null.
HWND DriveChoice()
{
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "#32770", nullptr)) != nullptr;) {
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() &&
            GetDlgItem(window, IDC_LIST_DRIVES) != nullptr && IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

// A key file that differs, or none, is refused with its message (the stored
// key is tests/host/e2e's); the dialog reads the stored key only for a key
// file, so none is told so even when the settings that hold it are damaged.
// The choice opens at the cursor, or centred when it is at 0, 0.
TEST(BypassKeyOnDrive, AnyButTheStoredKeyIsRefused)
{
    char letter[4] = {};
    if (!GetEnvironmentVariableA("SONVERA_REMOVABLE_DRIVE", letter, sizeof letter))
        GTEST_SKIP() << "runs only where with-removable-drive declares a removable drive";
    const std::string drive = std::string(1, letter[0]) + ":", keyFile = drive + "\\marzet.key";
    // Once in a CI run the drive read as fixed at the program's start,
    // most likely until Wine's mount manager, started with it, was up.
    UINT type = GetDriveTypeA((drive + "\\").c_str());
    for (int wait = 0; wait < 100 && type != DRIVE_REMOVABLE; ++wait) {
        Sleep(100);
        type = GetDriveTypeA((drive + "\\").c_str());
    }
    ASSERT_EQ(static_cast<UINT>(DRIVE_REMOVABLE), type);
    CInstalledApp app;
    CSetupSecure& secure = app.Setup().GetSetupSecure();
    secure.SetBackupBypassKey(secure.CreateBackupBypassKey());
    const struct {
        const char* keyFile;   // nullptr: none
        int x, y;
        std::string box;
    } cases[] = {
        {"another key", 0, 0, voice_text::kWrongBypassKey},
        {nullptr, 200, 200, voice_text::kNoBypassKey},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.box);
        DeleteFileA(keyFile.c_str());
        if (c.keyFile != nullptr) {
            ASSERT_TRUE(WriteRaw(keyFile, c.keyFile));
        }
        CMessageBoxAnswer boxes;
        CTestVoiceDlg dialog(app, CVoiceDlg::modeVerify, CVoiceDlg::purposeLogon);
        RECT placement{};
        const auto chooseTheDrive = [&] {
            // Damaged once the dialog has read its method from it.
            if (c.keyFile == nullptr) {
                ASSERT_TRUE(WriteRaw(app.File("marzet.dat").str(), "\xFF\xFF\xFF\x7F"));
            }
            HWND choice = DriveChoice();
            GetWindowRect(choice, &placement);
            // Its template's look, a pop-up without title bar, is for a person to see.
            EXPECT_TRUE(SaveScreenshot(choice, "voice-drive-choice.png"));
            // A double click on the drive's line, as the mouse gives it to the list box.
            const std::string line = "(" + drive + ") Removable Drive";
            HWND list = GetDlgItem(choice, IDC_LIST_DRIVES);
            const LRESULT index = SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                               reinterpret_cast<LPARAM>(line.c_str()));
            ASSERT_NE(LB_ERR, index);
            RECT item{};
            SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
            for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
                SendMessageA(list, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON,
                             MAKELPARAM(item.left + 4, (item.top + item.bottom) / 2));
        };
        EXPECT_EQ(IDCANCEL, CDialogDriver()
                                .WhenReady([&] {
                                    SetCursorPos(c.x, c.y);
                                    EXPECT_TRUE(dialog.Click("BUTTON_FLOPPY"));
                                })
                                .When([] { return DriveChoice() != nullptr; }, chooseTheDrive)
                                .When([] { return DriveChoice() == nullptr; },
                                      [&] { EXPECT_TRUE(dialog.Click("BUTTON_EXIT")); })
                                .Run(dialog));
        EXPECT_EQ(std::vector<std::string>{"Sonver: " + c.box}, boxes.m_boxes);
        const int width = placement.right - placement.left;
        EXPECT_EQ(c.x != 0 ? c.x : (GetSystemMetrics(SM_CXSCREEN) - width) / 2, placement.left);
        if (c.y != 0) {
            EXPECT_EQ(c.y, placement.top);
        }
    }
    DeleteFileA(keyFile.c_str());
}

// Where Wine has no removable drive: the choice warns and closes; for the
// purposes without a bypass the button does nothing.
TEST(BypassKeyWithoutDrive, WarnsOrDoesNothing)
{
    char letter[4] = {};
    if (GetEnvironmentVariableA("SONVERA_REMOVABLE_DRIVE", letter, sizeof letter))
        GTEST_SKIP() << "runs only where Wine has no removable drive";
    const std::vector<std::string> warning{"OpenMarzet: There is not removable drive for backup the key."};
    const struct {
        int purpose;
        std::vector<std::string> boxes;
    } cases[] = {{CVoiceDlg::purposeLogon, warning},
                 {CVoiceDlg::purposeSetting, warning},
                 {CVoiceDlg::purposeEncrypt, {}}};
    CInstalledApp app;
    for (const auto& c : cases) {
        CTestVoiceDlg dialog(app, CVoiceDlg::modeVerify, c.purpose);
        CMessageBoxAnswer boxes;
        EXPECT_EQ(IDCANCEL, CDialogDriver()
                                .WhenReady([&] { EXPECT_TRUE(dialog.Click("BUTTON_FLOPPY")); })
                                .Then([&] { EXPECT_TRUE(dialog.Click("BUTTON_EXIT")); })
                                .Run(dialog))
            << c.purpose;
        EXPECT_EQ(c.boxes, boxes.m_boxes) << c.purpose;
    }
}

}  // namespace
