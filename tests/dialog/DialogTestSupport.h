// What the voice dialog's tests share: an installed application in a scratch
// folder, the real dialog on recorded takes, and a driver acting on it.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "Setup/SetupFile.h"
#include "host/capture/WindowPicture.h"
#include "host/takes/TakeFileWaveIn.h"
#include "skin/SkinButton.h"
#include "skin/SkinLabel.h"
#include "tests/Setup/ProgramKeyGuard.h"
#include "tests/skin/SkinTestSupport.h"
#include "tests/support/MessageBoxAnswer.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"
#include "userdata/AppUserDic.h"
#include "userdata/AppUserVoiceDic.h"
#include "voice/MixerDevice.h"
#include "voice/VoiceDlg.h"

namespace sonvera_test {

// The product installed in a scratch folder, as the installer and a host
// leave it, for the time of one test.
class CInstalledApp {
public:
    CInstalledApp()
    {
        const CString app = m_folder.Path();
        for (const char* folder : {"\\work", "\\skin", "\\skin\\DEFAULT"})
            CreateDirectoryA(app + folder, nullptr);
        CopyDefaultSkin(app + "\\skin\\DEFAULT");
        // The six pass phrases, nick and word.
        EXPECT_TRUE(WriteRaw(File("marzet.ini").str(),
                             "[VOICE_RECOG_DLL]\r\nSkin=default\r\nNarration=0\r\n[WORD_LIST]\r\naaj=zero\r\n"
                             "abj=one\r\nacj=two\r\nadj=three\r\naej=four\r\nafj=five\r\n"));
        m_setup.SetAppPath(app);
        m_setup.Initialize();
        m_users.SetUserDicFilePath(app + "\\users.dat");
        m_voices.SetVoiceDicPath(app);
    }

    CString Path() const { return m_folder.Path(); }
    CString File(const char* name) const { return m_folder.File(name); }
    CSetupFile& Setup() { return m_setup; }
    CAppUserDic& Users() { return m_users; }
    CAppUserVoiceDic& Voices() { return m_voices; }

    // The fourth (log-on) and fifth (encrypt and decrypt) secure switches.
    void SetMethods(int nLogon, int nCrypt)
    {
        CSetupSecure::tagSecureSettings settings = m_setup.GetSecureAppSettings();
        settings.nLogonMethod = nLogon;
        settings.nCryptMethod = nCrypt;
        m_setup.SetSecureAppSettings(settings);
    }

    // A user of every purpose, with the password "secret".
    void AddUser(const char* id)
    {
        ASSERT_EQ(1, m_users.CreateUser("test user", id, "", "secret", 0, 1, 1, 1, ""));
    }

    std::string Log() const { return ReadRaw(File("result.log").str()); }

private:
    CTempFolder m_folder;
    CProgramKeyGuard m_programKey;
    CSetupFile m_setup;
    CAppUserDic m_users;
    CAppUserVoiceDic m_voices;
};

// The real voice dialog, with takes from recordings, its clocks at a
// twentieth of their length (the progress timer at the system's least, 10 ms),
// prompts noted instead of played, and its state open to the checks.
class CTestVoiceDlg : public CVoiceDlg {
public:
    // For the user (when given), with that many takes queued.
    explicit CTestVoiceDlg(CInstalledApp& app, int nMode = modeEnrol, int nPurpose = purposeLogon,
                           const char* user = nullptr, int takes = 0)
    {
        m_pSetupFile = &app.Setup();
        m_pUserDic = &app.Users();
        m_pVoiceDic = &app.Voices();
        m_nMode = nMode;
        m_nPurpose = nPurpose;
        m_nVerifyRepeat = 3;
        m_nTimeScale = 5;
        if (user != nullptr)
            m_strUserID = user;
        // Recordings of tests/data/fsdd; the scripted engine does not listen to them.
        for (int take = 0; take < takes; ++take)
            EXPECT_TRUE(m_takes.QueueFile(std::string(SONVERA_TEST_DATA) + "/fsdd/0_george_" +
                                          std::to_string(take % 10) + ".wav"));
    }
    size_t TakesLeft() const { return m_takes.QueuedTakes(); }
    int AttemptsLeft() const { return m_nAttemptsLeft; }

    bool IsButtonEnabled(const char* name) const
    {
        const CSkinButton* button = Named(m_arrButtons, name);
        return button != nullptr && ::IsWindowEnabled(button->m_hWnd);
    }
    // Clicks the button as the mouse would; false when it is disabled (the
    // system would not hand it the click) or missing.
    bool Click(const char* name)
    {
        if (!IsButtonEnabled(name))
            return false;
        ::SendMessageA(Named(m_arrButtons, name)->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
        ::SendMessageA(Named(m_arrButtons, name)->m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
        return true;
    }
    // Enter, as the keyboard gives it to the dialog.
    void PressEnter() { ::PostMessageA(m_hWnd, WM_KEYDOWN, VK_RETURN, 0); }

    std::string Label(const char* name) { return GetText(name).str(); }
    bool IsShown(CWnd& control) const { return control.m_hWnd != nullptr && control.IsWindowVisible(); }

    using CSkinDlg::m_arrLabels, CSkinDlg::m_arrProgress;
    using CVoiceDlg::m_bReady, CVoiceDlg::m_nTake, CVoiceDlg::m_nTick;
    using CVoiceDlg::m_comboWord, CVoiceDlg::m_editID, CVoiceDlg::m_editPassword, CVoiceDlg::m_nTimeScale;

    std::vector<std::string> m_prompts;   // prompt files asked for, by name
    std::vector<std::string> m_hints;     // hints as they were shown, in order
    // Runs at each of the dialog's waits, before it: the window shows what the wait follows.
    std::function<void(int)> m_onWait;
    IMixerDevice* m_pTestMixer = nullptr;   // instead of the system's mixer

protected:
    CWaveRecorder* CreateRecorder(int nTakeMs, int nTickMs) override
    {
        return new CTakeFileRecorder(nTakeMs, nTickMs, m_takes);
    }
    IMixerDevice& MixerDevice() override { return m_pTestMixer != nullptr ? *m_pTestMixer : CVoiceDlg::MixerDevice(); }
    BOOL PlaySoundFile(const CString& strPath) override
    {
        m_prompts.push_back(strPath.Mid(strPath.ReverseFind('\\') + 1).str());
        return TRUE;
    }
    void SetLabelPrint(CString text) override
    {
        m_hints.push_back(text.str());
        CVoiceDlg::SetLabelPrint(text);
    }
    void Wait(int nMs) override
    {
        if (m_onWait)
            m_onWait(nMs);
        CVoiceDlg::Wait(nMs);
    }
    // The dialog is shown and kept inactive: Wine hands a window that is
    // ever active to the window manager, and without one (Xvfb) waits two
    // seconds for it to go away when it is hidden. Keys reach it all the same,
    // posted to its window.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_WINDOWPOSCHANGING) {
            auto* position = reinterpret_cast<WINDOWPOS*>(lParam);
            if (position->flags & SWP_SHOWWINDOW)
                position->flags |= SWP_NOACTIVATE;
        }
        return CVoiceDlg::WindowProc(message, wParam, lParam);
    }

private:
    CTakeFileWaveIn m_takes;
};

// Acts on a running dialog from its own thread, as a CTimerScript: each step
// waits for the dialog's window and its condition, then acts, while the
// dialog (or a message box, or a dialog of its own) runs its message loop.
class CDialogDriver {
public:
    CDialogDriver& When(std::function<bool()> condition, std::function<void()> action)
    {
        auto open = [this, condition] { return m_dialog->m_hWnd != nullptr && condition(); };
        m_steps.push_back(sonvera_test::When(open, std::move(action)));
        return *this;
    }
    CDialogDriver& Then(std::function<void()> action) { return When([] { return true; }, std::move(action)); }
    // Once the dialog is set up and waits for the user.
    CDialogDriver& WhenReady(std::function<void()> action)
    {
        return When([this] { return m_dialog->m_bReady != 0; }, std::move(action));
    }

    // Runs the dialog modally with the steps; a dialog still open after 30
    // seconds is ended with -2, whatever it opened cancelled first so that
    // its loop ends too.
    INT_PTR Run(CTestVoiceDlg& dialog)
    {
        m_dialog = &dialog;
        const CTimerScript script(m_steps, 30000, [&dialog] {
            EnumThreadWindows(GetCurrentThreadId(), &CancelOther, reinterpret_cast<LPARAM>(dialog.m_hWnd));
            dialog.EndDialog(-2);
        });
        const INT_PTR result = dialog.DoModal();
        EXPECT_TRUE(script.Done()) << "the dialog ended before every step had run";
        return result;
    }

private:
    static BOOL CALLBACK CancelOther(HWND window, LPARAM dialog)
    {
        if (window != reinterpret_cast<HWND>(dialog) && IsWindowVisible(window))
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }

    std::vector<CTimerScript::Step> m_steps;
    CTestVoiceDlg* m_dialog = nullptr;
};

// Saves what the window's own surface holds (controls and drawing included)
// as build/<tree>/screenshots/<name>; false when that failed.
inline bool SaveScreenshot(HWND window, const char* name)
{
    return sonvera_capture::SaveWindowSurface(window, std::string(SONVERA_SCREENSHOT_DIR) + "/" + name);
}

// Texts of the string table, as the dialog shows them.
inline std::string Resource(UINT id)
{
    CString text;
    text.LoadString(id);
    return text.str();
}

}  // namespace sonvera_test
