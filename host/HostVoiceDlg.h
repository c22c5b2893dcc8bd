// CHostVoiceDlg: the voice dialog as the sample host runs it.
//
// Without recorded takes it is CVoiceDlg itself: the microphone, the user at
// the keyboard. Given takes (WAV files) it plays the user's part: its takes
// come through the recorder seam from the files instead of the microphone,
// and once the dialog is ready it presses the record button, or the key
// button and then the removable drive in the drive choice. Either way it
// keeps every hint the dialog shows and, when asked, saves a picture of the
// dialog at each verdict and as it ends.
#pragma once

#include <string>
#include <vector>

#include "Sonvera.h"
#include "host/takes/TakeFileWaveIn.h"

class CHostVoiceDlg : public CVoiceDlg {
public:
    CHostVoiceDlg(CSetupFile& setup, CAppUserDic& users, CAppUserVoiceDic& voices);
    ~CHostVoiceDlg() override;
    CHostVoiceDlg(const CHostVoiceDlg&) = delete;
    CHostVoiceDlg& operator=(const CHostVoiceDlg&) = delete;

    // Takes from these files, in order, instead of the microphone, and the
    // record button pressed for the user. The file that cannot be read, or
    // an empty string when all can.
    std::string UseTakes(const std::vector<std::string>& files);
    // The key button pressed for the user, and the removable drive of the
    // letter chosen in the drive choice.
    void UseKeyDrive(char cDrive) { m_cKeyDrive = cDrive; }
    // The dialog's clocks at this percentage of their length (100).
    void SetClockPercent(int nPercent) { m_nTimeScale = nPercent; }
    // A picture of the dialog at each verdict and as it ends (with the key:
    // as the drive choice opens), the last one kept, to this path.
    void SetPicturePath(const std::string& path) { m_strPicturePath = path; }

    // Runs the dialog modally; its end code.
    INT_PTR Run();

    // The hints the dialog showed in its last run, in order.
    const std::vector<std::string>& Hints() const { return m_hints; }
    // True when the dialog showed this hint of the library's string table.
    bool ShowedHint(UINT nStringID) const;
    // True when the dialog wanted a take after the last file had been used.
    bool TakesRanOut() const { return m_bTakesRanOut; }
    // True when the dialog, after the host's press, came to wait for the
    // user (another press, a password, a key) and the host closed it.
    bool WaitedForUser() const { return m_bWaitedForUser; }
    bool PictureSaved() const { return m_bPictureSaved; }

protected:
    CWaveRecorder* CreateRecorder(int nTakeMs, int nTickMs) override;
    BOOL PlaySoundFile(const CString& strPath) override;
    void Wait(int nMs) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static CHostVoiceDlg*& Current();
    static LRESULT CALLBACK NoteText(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK RefuseActivation(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK ChooseDrive(HWND, UINT, UINT_PTR, DWORD);
    static void CALLBACK AnswerMessageBox(HWND, UINT, UINT_PTR, DWORD);

    bool IsHintLabel(HWND window, const char* text);
    void NoteHint(const char* text);
    void ActForUser();
    bool ChooseKeyDriveIn(HWND choice);
    void SavePicture();

    CTakeFileWaveIn m_takes;
    bool m_bTakesGiven = false;
    bool m_bTakesRanOut = false;
    char m_cKeyDrive = 0;
    bool m_bActed = false;
    bool m_bPressed = false;
    bool m_bWaitedForUser = false;
    std::string m_strPicturePath;
    bool m_bPictureSaved = false;
    HWND m_hHintLabel = nullptr;
    std::vector<std::string> m_hints;
    HHOOK m_hTextHook = nullptr;
};
