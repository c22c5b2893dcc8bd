// A tiny host that package-test builds against the unpacked package alone
// (its include folder and import library, no source tree) and runs beside
// the package's DLLs: what a host sees of the library across its boundary.
// Usage: PackageHost <application folder>
#include <cstdio>
#include <cstring>
#include <string>

#include "Sonvera.h"

namespace {

const int kExitButton = 5001;
const int kTicksBeforeLeaving = 50;   // set-up timer periods, when the dialog never gets ready

// The voice dialog, left by its exit button as soon as it is ready.
class CLeavingDlg : public CVoiceDlg {
public:
    bool m_bWasReady = false;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        const LRESULT result = CVoiceDlg::WindowProc(message, wParam, lParam);
        if (message == WM_TIMER && !m_bLeft && (m_bReady || ++m_nTicks > kTicksBeforeLeaving)) {
            m_bLeft = true;
            m_bWasReady = m_bReady != 0;
            PressButtonID(kExitButton);
        }
        return result;
    }

private:
    bool m_bLeft = false;
    int m_nTicks = 0;
};

// The library's exception reaches the host's catch block with its message.
bool FileErrorReachesHost(const CString& app)
{
    CAppUserDic users;
    try {
        users.SetUserDicFilePath(app + "\\no such folder\\users.dat");
    } catch (const CFileException& error) {
        return std::string(error.what()).find("users.dat") != std::string::npos;
    }
    return false;
}

// A Shift-JIS text through the cipher and back, the cipher text made in the
// library and copied and emptied in the host.
bool TextsCrossTheBoundary()
{
    const CString text = "\x83\x65\x83\x58\x83\x67";   // テスト
    CCrypto crypto;
    CString cipher = crypto.EncryptString(text, CCrypto::GetProcessKey());
    const CString copy = cipher;
    cipher.Empty();
    return crypto.DecryptString(copy, CCrypto::GetProcessKey()) == text;
}

// The menu registers its window class for the host's module.
bool MenuOpensForTheHost()
{
    CFlatPopupMenu menu;
    char text[6] = {};
    if (!menu.Create(GetModuleHandleA(nullptr)) || !menu.AppendItem(CFlatPopupMenu::itemDefault, "&Open", 1) ||
        !menu.GetString(1, text, sizeof text) || std::strcmp(text, "&Open") != 0)
        return false;
    menu.Track(10, 10, nullptr, false);
    HWND window = FindWindowA("fpmMenuClass", nullptr);
    DestroyWindow(window);
    return window != nullptr;
}

// One line a check, for the package test's log.
bool Report(const char* what, bool passed)
{
    std::printf("%s: %s\n", what, passed ? "ok" : "FAILED");
    return passed;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: PackageHost <application folder>\n");
        return 2;
    }
    const CString app = argv[1];
    CSetupFile setup;
    const CString previousApp = setup.GetAppPath();
    bool passed = false;
    try {
        setup.SetAppPath(app);
        setup.Initialize();
        CAppUserDic users;
        users.SetUserDicFilePath(app + "\\users.dat");
        CAppUserVoiceDic voices;
        voices.SetVoiceDicPath(app);
        const int added = users.CreateUser("Package Host", "tiny", "", "secret", 0, 1, 1, 1, "");
        voices.AddUser("tiny", users.GetCertiKey("tiny"));
        const bool matches = users.VerifyPassWord("tiny", "secret") != -1;
        passed = Report("user added, password matches", added && matches);
        passed = Report("file error caught with its file", FileErrorReachesHost(app)) && passed;
        passed = Report("texts cross the boundary", TextsCrossTheBoundary()) && passed;
        passed = Report("menu opens", MenuOpensForTheHost()) && passed;

        CLeavingDlg dialog;
        dialog.m_pSetupFile = &setup;
        dialog.m_pUserDic = &users;
        dialog.m_pVoiceDic = &voices;
        dialog.m_nPurpose = CVoiceDlg::purposeLogon;
        dialog.m_nMode = CVoiceDlg::modeVerify;
        dialog.m_nVerifyRepeat = 5;
        dialog.m_strUserID = "tiny";
        const INT_PTR result = dialog.DoModal();
        passed = Report("dialog ready, then left", dialog.m_bWasReady && result == IDCANCEL) && passed;
    } catch (const CFileException& error) {
        std::printf("file error: %s\n", error.what());
    }
    if (!previousApp.IsEmpty())
        setup.SetAppPath(previousApp);
    return passed ? 0 : 1;
}
