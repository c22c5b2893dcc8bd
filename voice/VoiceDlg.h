// CVoiceDlg: the skinned, modal dialog through which the host enrols a spoken
// pass phrase for a user, or verifies a user by voice, by password or both.
//
// The host constructs it, sets m_pSetupFile, m_pUserDic, m_pVoiceDic,
// m_nPurpose, m_nMode, m_nVerifyRepeat and, as needed, m_strUserID (and
// m_strWord, m_strNick for the model test), runs it with DoModal and reads the
// end code (1 success, 2 failure or abandon) and m_bTrained.
//
// After initialisation the dialog is driven by its timers and skin buttons:
// set-up timer 0 (voice) or 3 (password first), then per take the progress
// timer 1, which draws the live trace and ends the take after m_nRecordMs;
// a take with speech is judged by OnProcess. Everything runs on the thread of
// the dialog's message loop; prompts and the short waits between takes block it.
//
// Derived dialogs (tests, the sample host) may supply the recorder, the mixer
// and the prompt player through the protected virtual operations; the library
// itself records only from the microphone.
#pragma once

#include <memory>

#include "fw/Api.h"
#include "fw/String.h"
#include "skin/SkinCombo.h"
#include "skin/SkinDlg.h"
#include "skin/SkinEdit.h"
#include "skin/StaticToolTip.h"
#include "voice/MixerControlStruct.h"
#include "voice/VolumeBars.h"

class CAppUserDic;
class CAppUserVoiceDic;
class CSetupFile;
class CVolumeMixer;
class CWaveRecorder;
class IMixerDevice;

class SONVERA_API CVoiceDlg : public CSkinDlg, private IVolumeBars {
public:
    // Why authentication is asked, and what the dialog does.
    enum Purpose { purposeLogon, purposeEncrypt, purposeDecrypt, purposeSetting, purposeUser };
    enum Mode { modeEnrol = 1, modeVerify = 2 };
    // m_nAuthMethod: password then voice, voice only, password only.
    enum AuthMethod { methodPasswordThenVoice, methodVoiceOnly, methodPasswordOnly };
    // m_nVerifyRepeat of the model test that follows an enrolment.
    static const int kModelTestTakes = 8;

    explicit CVoiceDlg(CWnd* pParent = nullptr);
    ~CVoiceDlg() override;

    BOOL OnInitDialog() override;
    // Enter: a press of the record button once the set-up has run.
    void OnOK() override;
    // Escape never closes the dialog.
    void OnCancel() override;
    void PressButtonID(int nID) override;
    void ProgressChanged(CString strName) override;

    // Shows a hint in "LABEL_HINT" (and the tooltip when the skin asks for
    // it): a string resource, one used as a format with a text or a number, or
    // the text itself. Every hint passes through the last, which a derived
    // dialog may follow.
    void SetLabelPrint(UINT nID);
    void SetLabelPrint(UINT nID, CString s);
    void SetLabelPrint(UINT nID, int n);
    virtual void SetLabelPrint(CString text);

    // 1 when the chosen pass phrase is not yet in the user's voice list.
    int VerifyCanRegisterVoicePassword();
    // Starts a take (record button, Enter, automatic retakes).
    void OnRecord();
    // Judges a take with speech: take check, training, verification, model test.
    void OnProcess();

    // The volume bars' mixer.
    void MixerInit();
    HMIXER MixDevice(HMIXER hMixer, UINT nDevice);
    void GetDevice();
    void GetDeviceCtrl(MixerControlStruct& line);
    void GetMicDevice();
    void GetWavDevice();
    void MixerCtrl();
    void VolDevice(MixerControlStruct& line, CString strName);
    void SetDeviceCtrl(MixerControlStruct& line, CString strName);
    void CheckMute(MixerControlStruct& line, int bMute);

    // Authentication checks and the access log.
    int CheckAuthUser(CString strUserID);
    int VerifySysUser();
    int SelectDrive();
    void WriteLogFile(int bAccepted);

    // Set by the host.
    int m_nPurpose;
    CString m_strAppPath;
    CString m_strUserID;
    CString m_strWord;
    CString m_strNick;
    CString m_strSkin;
    int m_nMode;
    int m_nMaxRepeat;
    int m_nVerifyRepeat;
    CString m_strDlgName;
    int m_nSampleRate;
    int m_nRecordMs;
    int m_nTickMs;

    // The engine's set-up values.
    int m_nFrameLength;
    int m_nFrameShift;
    int m_nCepstra;
    int m_nMelChannels;
    int m_nMinTrainTakes;
    int m_nMaxTemplateFrames;
    int m_nModelKind;
    int m_bSpeech;
    int m_bAdaptiveNoiseFloor;
    double m_dSecurity;
    float m_fSameWordDist;
    int m_nEpdMarginMs;
    int m_nEpdMaxGapMs;
    int m_nEpdMinSpeechMs;
    int m_nEpdQuietPower;
    int m_bCopyCheck;   // verification asks VRE_VCopy first

    CString m_strPassword;
    int m_bPasswordPassed;
    int m_nAuthMethod;
    int m_bDragMove;
    int m_nVerifyOK;
    int m_nEngineWarn;
    int m_bShortWord;
    int m_nLayout;

    CSetupFile* m_pSetupFile;
    CAppUserDic* m_pUserDic;
    CAppUserVoiceDic* m_pVoiceDic;

    // Result for the host: 1 once an enrolment model has been built.
    int m_bTrained;

protected:
    // The recorder of the takes, which the dialog owns from then on; the
    // library's records from the microphone. Null ends the dialog with 2.
    virtual CWaveRecorder* CreateRecorder(int nTakeMs, int nTickMs);
    // The mixer behind the volume bars: the system's first mixer.
    virtual IMixerDevice& MixerDevice();
    // Plays a prompt file synchronously, without a default sound; FALSE when
    // it could not be played.
    virtual BOOL PlaySoundFile(const CString& strPath);
    // The short waits between takes.
    virtual void Wait(int nMs);

    void DoDataExchange() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Timer periods and waits run at this percentage of their length (100);
    // tests shorten them.
    int m_nTimeScale;

    // Controls of template 3000 and the hint tooltip.
    CSkinEdit m_editID;
    CSkinCombo m_comboWord;
    CSkinEdit m_editPassword;
    CStaticToolTip m_tooltip;

    int m_bMixerReady;
    std::unique_ptr<CVolumeMixer> m_pMixer;
    std::unique_ptr<CWaveRecorder> m_pRecorder;
    int m_bBufferReady;
    int m_bNarration;
    int m_nRetry;
    int m_nMaxRetry;
    int m_bReady;
    int m_bExitRequested;
    int m_nTake;
    int m_nTick;
    int m_bRecording;
    int m_bTakeOK;
    int m_bFirstTake;
    int m_nSamples;
    std::unique_ptr<short[]> m_pSamples;
    int m_nAttemptsLeft;

private:
    // IVolumeBars: the skin's "SPEAKER" and "MIC" bars.
    void SetBarPos(const CString& strName, int nPos) override;
    int GetBarPos(const CString& strName) override;

    void DeleteFileTemp(CString strPath);

    // Message handlers.
    void OnPaint();
    void OnDragStart(UINT nFlags, CPoint point);
    void OnDestroy();
    void OnTimer(UINT_PTR nIDEvent);
    // MM_MIXM_CONTROL_CHANGE: the notifying mixer and the changed control.
    LRESULT OnMixerCtrlChange(WPARAM wParam, LPARAM lParam);
    // Runs a handler; a store's file error shows its text as a hint (a lock
    // wait that ran out, a Japanese "busy, press again later") and gives the
    // buttons back, so that the user can leave or try again.
    template <typename F>
    void Guarded(F handler);

    // Initialisation and set-up.
    bool HasHostObjects() const;
    bool HasUsableTakeValues() const;
    void ReadNarration();
    void CentreOnScreen();
    void ChooseLayout();
    void ApplyLayout();
    CString EnteredUserID();
    void OnVoiceSetup();
    void OnPasswordSetup();
    void SetUpEngine(bool bMaxRepeat, bool bFinalMode);
    void TakeLastUser();
    void ShowUserID();

    // The take cycle.
    bool PassPasswordStage();
    bool ChoosePassPhrase();
    bool ChooseEnrolmentWord();
    bool ChooseVerificationWord();
    bool FetchUserModel();
    void PromptTake();
    void ShowCounter();
    void OnTick();
    void EndTake();
    void OnNoSpeech();
    void ReleaseBuffer();

    // Verdicts.
    void OnTakeRefused();
    void OnEnrolmentTake();
    void OnVerificationTake();
    // True when the take is accepted.
    bool JudgeVerificationTake(bool bModelTest);
    void StoreAdaptedModel();
    void OnModelTestVerdict();
    bool AskEnrolAnyway();
    bool TrainModel();
    void KeepTrainedModel();

    // Buttons, prompts, drawing.
    void EnableButtons();
    void EndWithExit(int nResult);
    void Prompt(const char* pszFile);
    void VerdictSound(const char* pszFile);
    void DrawLiveTick(int nTick);
    void DrawMark(int bGood);
    UINT Scaled(int nMs) const;
};
