// A tiny host that package-test builds against the unpacked package alone
// (its include folder and import library, no source tree) and runs beside
// the package's DLLs: the settings of an application folder made from the
// package's app folder, a user with a voice slot, a file error of the library
// caught by the host, and the voice dialog on the package's skin, left with
// its exit button once it has set itself up.
// Usage: PackageHost <application folder>
#include <cstdio>

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

bool FileErrorReachesHost(const CString& app)
{
    CAppUserDic users;
    try {
        users.SetUserDicFilePath(app + "\\no such folder\\users.dat");
    } catch (const CFileException&) {
        return true;
    }
    return false;
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
    int status = 1;
    try {
        setup.SetAppPath(app);
        setup.Initialize();
        CStringArray words;
        setup.GetAuthWordList(words);
        std::printf("settings: skin \"%s\", %d words\n", setup.GetSkinCurrent().str().c_str(),
                    static_cast<int>(words.GetSize()));

        CAppUserDic users;
        users.SetUserDicFilePath(app + "\\users.dat");
        CAppUserVoiceDic voices;
        voices.SetVoiceDicPath(app);
        const int added = users.CreateUser("Package Host", "tiny", "", "secret", 0, 1, 1, 1, "");
        voices.AddUser("tiny", users.GetCertiKey("tiny"));
        std::printf("user: %s, password %s\n", added ? "added" : "NOT added",
                    users.VerifyPassWord("tiny", "secret") != -1 ? "matches" : "DOES NOT MATCH");
        const bool caught = FileErrorReachesHost(app);
        std::printf("file error: %s\n", caught ? "caught by the host" : "NOT CAUGHT");

        CLeavingDlg dialog;
        dialog.m_pSetupFile = &setup;
        dialog.m_pUserDic = &users;
        dialog.m_pVoiceDic = &voices;
        dialog.m_nPurpose = CVoiceDlg::purposeLogon;
        dialog.m_nMode = CVoiceDlg::modeVerify;
        dialog.m_nVerifyRepeat = 5;
        dialog.m_strUserID = "tiny";
        const INT_PTR result = dialog.DoModal();
        std::printf("dialog: %s, end code %d\n", dialog.m_bWasReady ? "ready" : "NEVER READY",
                    static_cast<int>(result));
        status = added && caught && dialog.m_bWasReady && result == IDCANCEL ? 0 : 1;
    } catch (const CFileException& error) {
        std::printf("file error: %s\n", error.what());
    }
    if (!previousApp.IsEmpty())
        setup.SetAppPath(previousApp);
    return status;
}
