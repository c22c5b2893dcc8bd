// CVoiceDlg: construction, initialisation, the window's messages, layouts,
// hints, the mixer operations and the authentication checks. The take cycle
// is in VoiceDlgTake.cpp, the verdicts in VoiceDlgVerdict.cpp.
#include "voice/VoiceDlg.h"

#include <cstdlib>

#include "Setup/IniFile.h"
#include "Setup/SetupFile.h"
#include "engine/DialogEngineSetup.h"
#include "engine/VoiceEngine.h"
#include "fw/FileException.h"
#include "resources/resource.h"
#include "userdata/AccessLog.h"
#include "userdata/AppUserDic.h"
#include "userdata/AuthCheck.h"
#include "userdata/BypassKeyFile.h"
#include "voice/SelectDriveDlg.h"
#include "voice/VoiceTexts.h"
#include "voice/VolumeMixer.h"
#include "voice/WaveRecorder.h"
#include "voice/WinmmMixer.h"

namespace {

using Setup = SDialogEngineSetup;

const char kDialogName[] = "Sonver";
const char kDefaultSkin[] = "default";

// Timers on the dialog's window and the set-up timers' period.
enum : UINT_PTR { kVoiceSetupTimer = 0, kTickTimer = 1, kSpareTimer = 2, kPasswordSetupTimer = 3 };
const int kSetupTimerMs = 200;

const int kVerifyAttempts = 5;
const int kMaxRetries = 3;
const int kTickMs = 100;

// Which of the five controls each layout shows: "LABEL_ID", "LABEL_WORD",
// the ID edit, the word combo box, the password edit.
struct LayoutRow {
    bool labelId, labelWord, editId, comboWord, editPassword;
};
const LayoutRow kLayouts[] = {
    {true, true, false, false, false},    // 0: a voice take with ID and word fixed
    {false, true, true, false, false},    // 1: voice only, the user types the ID
    {true, false, false, true, false},    // 2: enrolment, the user picks the word
    {false, false, true, false, true},    // 3: ID and password
};

// The tooltip that repeats hints, when the skin asks for it.
const COLORREF kTipBackground = RGB(241, 245, 167);
const COLORREF kTipText = RGB(8, 64, 0);

void Show(CWnd& control, bool shown)
{
    if (control.m_hWnd != nullptr)
        control.ShowWindow(shown ? SW_SHOW : SW_HIDE);
}

}  // namespace

CVoiceDlg::CVoiceDlg(CWnd* pParent)
    : CSkinDlg(IDD_VOICE_DIALOG, pParent),
      m_nPurpose(purposeLogon),
      m_strSkin(kDefaultSkin),
      m_nMode(modeEnrol),
      m_nMaxRepeat(Setup::kEnrolTakes),
      m_nVerifyRepeat(0),
      m_strDlgName(kDialogName),
      m_nSampleRate(Setup::kSampleRate),
      m_nRecordMs(Setup::kTakeMs),
      m_nTickMs(kTickMs),
      m_nFrameLength(Setup::kFrameLength),
      m_nFrameShift(Setup::kFrameShift),
      m_nCepstra(Setup::kCepstra),
      m_nMelChannels(Setup::kMelChannels),
      m_nMinTrainTakes(Setup::kMinTrainTakes),
      m_nMaxTemplateFrames(Setup::kMaxTemplateFrames),
      m_nModelKind(Setup::kModelKind),
      m_bSpeech(Setup::kSpeechFlag),
      m_bAdaptiveNoiseFloor(Setup::kAdaptiveNoiseFloor),
      m_dSecurity(Setup::kSecurity),
      m_fSameWordDist(Setup::kSameWordRatio),
      m_nEpdMarginMs(Setup::kMarginMs),
      m_nEpdMaxGapMs(Setup::kMaxGapMs),
      m_nEpdMinSpeechMs(Setup::kMinSpeechMs),
      m_nEpdQuietPower(Setup::kQuietPower),
      m_bCopyCheck(1),
      m_bPasswordPassed(0),
      m_nAuthMethod(methodVoiceOnly),
      m_bDragMove(1),
      m_nVerifyOK(0),
      m_nEngineWarn(0),
      m_bShortWord(0),
      m_nLayout(0),
      m_pSetupFile(nullptr),
      m_pUserDic(nullptr),
      m_pVoiceDic(nullptr),
      m_bTrained(0),
      m_nTimeScale(100),
      m_bMixerReady(0),
      m_bBufferReady(0),
      m_bNarration(1),
      m_nRetry(0),
      m_nMaxRetry(kMaxRetries),
      m_bReady(0),
      m_bExitRequested(0),
      m_nTake(0),
      m_nTick(0),
      m_bRecording(0),
      m_bTakeOK(1),
      m_bFirstTake(1),
      m_nSamples(0),
      m_nAttemptsLeft(kVerifyAttempts)
{
    SetPlacedControls(&m_editID, &m_comboWord, &m_editPassword);
}

CVoiceDlg::~CVoiceDlg() = default;

// --- the protected seams ---------------------------------------------------------

CWaveRecorder* CVoiceDlg::CreateRecorder(int nTakeMs, int nTickMs)
{
    return new CWaveRecorder(nTakeMs, nTickMs);
}

IMixerDevice& CVoiceDlg::MixerDevice()
{
    return CWinmmMixer::System();
}

BOOL CVoiceDlg::PlaySoundFile(const CString& strPath)
{
    return PlaySoundA(strPath, nullptr, SND_FILENAME | SND_SYNC | SND_NODEFAULT);
}

void CVoiceDlg::Wait(int nMs)
{
    Sleep(Scaled(nMs));
}

UINT CVoiceDlg::Scaled(int nMs) const
{
    return static_cast<UINT>(nMs * m_nTimeScale / 100);
}

void CVoiceDlg::DoDataExchange()
{
    m_editID.SubclassDlgItem(IDC_EDIT_ID, this);
    m_comboWord.SubclassDlgItem(IDC_COMBO_WORD, this);
    m_editPassword.SubclassDlgItem(IDC_EDIT_PASSWORD, this);
}

// --- initialisation -------------------------------------------------------------------

BOOL CVoiceDlg::OnInitDialog()
{
    // Without its settings and dictionaries the dialog can decide nothing;
    // with take values out of range it could record nothing it can judge.
    if (!HasHostObjects() || !HasUsableTakeValues()) {
        EndDialog(IDCANCEL);
        return FALSE;
    }
    try {
        m_strAppPath = m_pSetupFile->GetAppPath();
        m_strSkin = m_pSetupFile->GetSkinCurrent();
        m_strDlgName = kDialogName;
        ReadNarration();
        m_bTrained = 0;

        VRE_Initialize();
        VRE_SetbNetVersion(Setup::kNetVersion);
        VRE_PutDir(m_strAppPath);

        SetSkinFile(m_strSkin, m_strDlgName, m_strAppPath);
        // A dialog without its skin has no buttons to go on or leave with.
        if (!CSkinDlg::OnInitDialog()) {
            EndDialog(IDCANCEL);
            return FALSE;
        }
        CentreOnScreen();
        if (m_bLabelTip) {
            CRect window;
            GetWindowRect(&window);
            m_tooltip.Attach(this, 0, window.Height());
            m_tooltip.SetBkgndColor(1, kTipBackground);
            m_tooltip.SetTextColor(kTipText);
        }
        ChooseLayout();
        // An unknown method would pass for voice only: a setting this dialog
        // cannot read must not weaken how the user proves who they are.
        if (m_nAuthMethod < methodPasswordThenVoice || m_nAuthMethod > methodPasswordOnly) {
            EndDialog(IDCANCEL);
            return FALSE;
        }
        ApplyLayout();

        EnableButtons();
        m_pRecorder.reset(CreateRecorder(m_nRecordMs, m_nTickMs));
        if (m_pRecorder == nullptr) {
            EndDialog(IDCANCEL);
            return FALSE;
        }
        // A new recorder has no block yet. A run left during a take keeps the
        // flag of its own recorder's block, and this run would record into none.
        m_bBufferReady = 0;
        m_nSamples = static_cast<int>(m_nRecordMs * m_nSampleRate * 0.001);
        m_pSamples.reset(new short[static_cast<size_t>(m_nSamples)]());

        VRE_PutMode(m_nMode);
        MixerInit();
        m_bMixerReady = 1;
        m_bReady = 0;
        m_bExitRequested = 0;
        SetWindowText(m_strDlgName);
        m_nTick = 0;
        m_bPasswordPassed = 0;
        // This run has chosen no pass phrase: the engine has just been
        // started again and knows no user or word. The voice set-up says so
        // too, but a press may come before it, or instead of it when the
        // word list is unreadable; the last run's word must not be taken.
        m_bFirstTake = 1;

        const bool passwordFirst = m_nMode == modeVerify && m_nVerifyRepeat != kModelTestTakes &&
                                   (m_nAuthMethod == methodPasswordThenVoice || m_nAuthMethod == methodPasswordOnly);
        SetTimer(passwordFirst ? kPasswordSetupTimer : kVoiceSetupTimer, Scaled(kSetupTimerMs));
        m_nVerifyOK = 0;
        return TRUE;
    } catch (const CFileException& error) {
        // The secure settings decide how the user must prove who they are;
        // unreadable, they leave the dialog nothing safe to do.
        MessageBox(error.what(), m_strDlgName, MB_OK | MB_ICONSTOP);
        EndDialog(IDCANCEL);
        return FALSE;
    }
}

bool CVoiceDlg::HasHostObjects() const
{
    return m_pSetupFile != nullptr && m_pUserDic != nullptr && m_pVoiceDic != nullptr;
}

// The take values the host may change: the recorder records whole seconds,
// the progress timer divides the take, and a take's samples are counted in
// an int. The engine analyses takes of up to 10 s (VRE_AnalParams); given a
// longer one it keeps the analysis it had and would judge only the take's
// first 3 s. The recorder records at 11025 Hz only: a take said to be at
// another rate would be analysed as that rate, and no stored model (made at
// 11025 Hz) would be taken for it. The engine keeps the takes of one
// enrolment and refuses every take beyond them, so more would never train;
// it trains a model from no fewer than 3 (VRE_PutMaxRepeat), so fewer would
// never train either, and the user would be asked for one more take for ever.
bool CVoiceDlg::HasUsableTakeValues() const
{
    const int kMaxTakeMs = 10000;
    const int kFewestEnrolTakes = 3;
    return (m_nMode == modeEnrol || m_nMode == modeVerify) && m_nRecordMs >= 1000 && m_nRecordMs <= kMaxTakeMs &&
           m_nTickMs > 0 && m_nTickMs <= m_nRecordMs && m_nSampleRate == Setup::kSampleRate &&
           m_nMaxRepeat >= kFewestEnrolTakes && m_nMaxRepeat <= Setup::kEnrolTakes;
}

void CVoiceDlg::ReadNarration()
{
    CIniFile ini(m_strAppPath + "\\marzet.ini");
    if (std::atoi(ini.ReadString("VOICE_RECOG_DLL", "Narration", "1")) == 0)
        m_bNarration = 0;
}

void CVoiceDlg::CentreOnScreen()
{
    CRect client;
    GetClientRect(&client);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - client.Width()) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - client.Height()) / 2;
    MoveWindow(CRect(x, y, x + client.Width(), y + client.Height()), TRUE);
}

void CVoiceDlg::ChooseLayout()
{
    if (m_nMode == modeEnrol) {
        // An enrolment asks for no password (its layout has no password
        // edit), whatever method a verification of this object chose before.
        m_nAuthMethod = methodVoiceOnly;
        m_nLayout = 2;
    } else {
        const CSetupSecure::tagSecureSettings secure = m_pSetupFile->GetSecureAppSettings();
        switch (m_nPurpose) {
        case purposeLogon:
            m_nAuthMethod = secure.nLogonMethod;
            break;
        case purposeSetting:
            m_nAuthMethod = methodPasswordThenVoice;
            break;
        case purposeUser:
            m_nAuthMethod = methodVoiceOnly;
            break;
        default:
            m_nAuthMethod = secure.nCryptMethod;
            break;
        }
        const bool password = m_nAuthMethod == methodPasswordThenVoice || m_nAuthMethod == methodPasswordOnly;
        m_nLayout = password ? 3 : 1;
        if (m_nPurpose == purposeUser)
            m_nLayout = 0;
    }
    if (m_nVerifyRepeat == kModelTestTakes)
        m_nLayout = 0;
}

// The layout is applied on the dialog's own thread: the result is the same
// as a worker's, without a second thread touching the dialog's windows.
void CVoiceDlg::ApplyLayout()
{
    if (m_nLayout < 0 || m_nLayout >= static_cast<int>(sizeof kLayouts / sizeof kLayouts[0]))
        return;
    const LayoutRow& row = kLayouts[m_nLayout];
    SetVisible("LABEL_ID", row.labelId);
    SetVisible("LABEL_WORD", row.labelWord);
    Show(m_editID, row.editId);
    Show(m_comboWord, row.comboWord);
    Show(m_editPassword, row.editPassword);
}

// The ID edit is input only while the layout shows it. Once it is hidden the
// user has been fixed (by the first take, the password or the host), and
// text the hidden edit is given then (another program can set it) names
// nobody: taking it would verify one user's voice and report another.
CString CVoiceDlg::EnteredUserID()
{
    const bool shown = m_nLayout >= 0 && m_nLayout < static_cast<int>(sizeof kLayouts / sizeof kLayouts[0]) &&
                       kLayouts[m_nLayout].editId;
    return shown ? m_editID.GetWindowText() : m_strUserID;
}

// --- the window's messages ---------------------------------------------------------

LRESULT CVoiceDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_LBUTTONDOWN:
        OnDragStart(static_cast<UINT>(wParam), CPoint(lParam));
        return 0;
    case WM_RBUTTONDOWN:
        CSkinDlg::OnLButtonDown(static_cast<UINT>(wParam), CPoint(lParam));
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return CSkinDlg::WindowProc(message, wParam, lParam);
    case WM_TIMER:
        OnTimer(wParam);
        return 0;
    case MM_MIXM_CONTROL_CHANGE:
        return OnMixerCtrlChange(wParam, lParam);
    }
    return CSkinDlg::WindowProc(message, wParam, lParam);
}

void CVoiceDlg::OnPaint()
{
    CSkinDlg::WindowProc(WM_PAINT, 0, 0);
    // A repaint during a take keeps the trace drawn so far.
    for (int tick = 1; tick <= m_nTick; ++tick)
        DrawLiveTick(tick);
}

LRESULT CVoiceDlg::OnMixerCtrlChange(WPARAM wParam, LPARAM lParam)
{
    if (m_pMixer != nullptr)
        m_pMixer->OnControlChange(reinterpret_cast<HMIXER>(wParam), static_cast<DWORD>(lParam));
    return 0;
}

void CVoiceDlg::OnDragStart(UINT nFlags, CPoint point)
{
    if (m_bDragMove)
        PostMessage(WM_NCLBUTTONDOWN, HTCAPTION, point.ToLParam());
    CSkinDlg::OnLButtonDown(nFlags, point);
}

void CVoiceDlg::OnDestroy()
{
    if (m_bLabelTip)
        m_tooltip.Detach();
    if (m_pRecorder != nullptr) {
        if (m_pRecorder->IsRecording())
            m_pRecorder->Stop();
        m_pRecorder.reset();
    }
    m_pSamples.reset();
    VRE_DestructMemories();
    VRE_Destruct();
    m_pMixer.reset();
}

// Another program can post WM_TIMER with any ID at any time. A set-up runs
// only while its one-shot timer is pending, and a tick counts only during a
// take: a tick outside one would end a take that never started and judge it,
// before any password or voice. A take started by a press before the voice
// set-up has run is still recording when the set-up clears m_bRecording.
void CVoiceDlg::OnTimer(UINT_PTR nIDEvent)
{
    switch (nIDEvent) {
    case kVoiceSetupTimer:
        if (KillTimer(kVoiceSetupTimer))
            Guarded([this] { OnVoiceSetup(); });
        break;
    case kPasswordSetupTimer:
        if (KillTimer(kPasswordSetupTimer))
            Guarded([this] { OnPasswordSetup(); });
        break;
    case kTickTimer:
        if (m_bRecording || (m_pRecorder != nullptr && m_pRecorder->IsRecording()))
            Guarded([this] { OnTick(); });
        break;
    case kSpareTimer:
        KillTimer(kSpareTimer);
        SetTimer(kTickTimer, Scaled(m_nTickMs));
        break;
    }
}

template <typename F>
void CVoiceDlg::Guarded(F handler)
{
    try {
        handler();
    } catch (const CFileException& error) {
        KillTimer(kTickTimer);
        m_bRecording = 0;
        // A store another dialog keeps past the wait is no fault the user
        // needs the details of: only that pressing again later will do.
        if (error.m_cause == CFileException::lockViolation)
            SetLabelPrint(CString(voice_text::kModelFileBusy));
        else
            SetLabelPrint(CString(error.what()));
        EnableButtons();
    }
}

void CVoiceDlg::OnOK()
{
    if (m_bReady)
        Guarded([this] { OnRecord(); });
}

void CVoiceDlg::OnCancel() {}

void CVoiceDlg::PressButtonID(int nID)
{
    switch (nID) {
    case 5000:   // "BUTTON_RECORD"
        Guarded([this] { OnRecord(); });
        break;
    case 5001:   // "BUTTON_EXIT": a running take is finished first
        if (m_bRecording)
            m_bExitRequested = 1;
        else
            EndWithExit(IDCANCEL);
        break;
    case 5002:   // "BUTTON_FLOPPY"
        if (m_nPurpose == purposeLogon || m_nPurpose == purposeSetting)
            Guarded([this] { SelectDrive(); });
        break;
    }
}

void CVoiceDlg::EnableButtons()
{
    SetEnable("BUTTON_RECORD", 1);
    SetEnable("BUTTON_EXIT", 1);
    SetEnable("BUTTON_FLOPPY", 1);
}

void CVoiceDlg::EndWithExit(int nResult)
{
    if (m_bLabelTip)
        m_tooltip.Detach();
    EndDialog(nResult);
}

// --- hints ------------------------------------------------------------------------------

void CVoiceDlg::SetLabelPrint(UINT nID)
{
    CString text;
    text.LoadString(nID);
    SetLabelPrint(text);
}

void CVoiceDlg::SetLabelPrint(UINT nID, CString s)
{
    CString format;
    format.LoadString(nID);
    CString text;
    text.Format(format, s.GetString());
    SetLabelPrint(text);
}

void CVoiceDlg::SetLabelPrint(UINT nID, int n)
{
    CString format;
    format.LoadString(nID);
    CString text;
    text.Format(format, n);
    SetLabelPrint(text);
}

void CVoiceDlg::SetLabelPrint(CString text)
{
    if (m_bHint)
        SetText("LABEL_HINT", text);
    if (m_bLabelTip)
        m_tooltip.SetText(text);
    // Painted now: the take cycle goes on without the message loop (prompts,
    // waits, the engine), and a verdict's hint must be seen before the
    // dialog ends.
    if (m_hWnd != nullptr)
        RedrawWindow(RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// --- the mixer ----------------------------------------------------------------------------

void CVoiceDlg::MixerInit()
{
    IVolumeBars& bars = *this;
    m_pMixer = std::make_unique<CVolumeMixer>(MixerDevice(), bars);
    m_pMixer->Init(m_hWnd);
}

HMIXER CVoiceDlg::MixDevice(HMIXER, UINT nDevice)
{
    return m_pMixer != nullptr ? m_pMixer->OpenDevice(nDevice, m_hWnd) : nullptr;
}

void CVoiceDlg::GetDevice()
{
    if (m_pMixer != nullptr)
        m_pMixer->FindLines();
}

void CVoiceDlg::GetDeviceCtrl(MixerControlStruct& line)
{
    if (m_pMixer != nullptr)
        m_pMixer->ReadControls(line);
}

void CVoiceDlg::GetMicDevice()
{
    if (m_pMixer != nullptr)
        m_pMixer->FindSpeakersMicrophone();
}

void CVoiceDlg::GetWavDevice()
{
    if (m_pMixer != nullptr)
        m_pMixer->FindWaveInMicrophone();
}

void CVoiceDlg::MixerCtrl()
{
    if (m_pMixer != nullptr)
        m_pMixer->ShowVolumes();
}

void CVoiceDlg::VolDevice(MixerControlStruct& line, CString strName)
{
    if (m_pMixer != nullptr)
        m_pMixer->ShowVolume(line, strName);
}

void CVoiceDlg::SetDeviceCtrl(MixerControlStruct& line, CString strName)
{
    if (m_pMixer != nullptr)
        m_pMixer->WriteVolume(line, strName, m_bMixerReady != 0);
}

void CVoiceDlg::CheckMute(MixerControlStruct& line, int bMute)
{
    if (m_pMixer != nullptr)
        m_pMixer->WriteMute(line, bMute);
}

void CVoiceDlg::ProgressChanged(CString strName)
{
    if (m_pMixer != nullptr)
        m_pMixer->OnBarChanged(strName, m_bMixerReady != 0);
}

void CVoiceDlg::SetBarPos(const CString& strName, int nPos)
{
    SetProgressPos(strName, nPos);
}

int CVoiceDlg::GetBarPos(const CString& strName)
{
    return GetProgressPos(strName);
}

// --- authentication checks and the access log ----------------------------------------------

int CVoiceDlg::CheckAuthUser(CString strUserID)
{
    if (CAuthCheck::IsUserAllowed(*m_pUserDic, strUserID, m_nPurpose))
        return 1;
    SetLabelPrint(IDS_HINT_NO_AUTHORITY);
    return 0;
}

int CVoiceDlg::VerifySysUser()
{
    m_strUserID = m_editID.GetWindowText();
    m_strPassword = m_editPassword.GetWindowText();
    switch (CAuthCheck::CheckPassword(*m_pUserDic, m_strUserID, m_strPassword)) {
    case CAuthCheck::passwordNoSuchUser:
        SetLabelPrint(CString(voice_text::kNoSuchUser));
        m_bReady = 1;
        return 0;
    case CAuthCheck::passwordDiffers:
        SetLabelPrint(CString(voice_text::kWrongPassword));
        m_bReady = 1;
        return 0;
    case CAuthCheck::passwordMatches:
        break;
    }
    m_bReady = 0;
    return 1;
}

int CVoiceDlg::SelectDrive()
{
    CSelectDriveDlg drives(this);
    POINT cursor = {};
    GetCursorPos(&cursor);
    drives.m_ptOrigin = cursor;
    if (drives.DoModal() != IDOK || drives.m_strKeyPath.IsEmpty())
        return 0;
    const auto storedKey = [this] { return m_pSetupFile->GetSetupSecure().GetBackupBypassKey(); };
    switch (CBypassKeyFile::CheckKeyFile(drives.m_strKeyPath, storedKey)) {
    case CBypassKeyFile::keyMissing:
        MessageBox(voice_text::kNoBypassKey, voice_text::kCaption, MB_OK | MB_ICONHAND);
        return 0;
    case CBypassKeyFile::keyDiffers:
        MessageBox(voice_text::kWrongBypassKey, voice_text::kCaption, MB_OK | MB_ICONHAND);
        return 0;
    case CBypassKeyFile::keyMatches:
        break;
    }
    EndWithExit(IDOK);
    return 1;
}

void CVoiceDlg::DeleteFileTemp(CString strPath)
{
    DeleteFileA(strPath);
}

void CVoiceDlg::WriteLogFile(int bAccepted)
{
    CAccessLog(m_strAppPath + "\\result.log").Append(m_strUserID, m_nPurpose, bAccepted);
}
