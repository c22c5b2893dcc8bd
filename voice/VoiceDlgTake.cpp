// CVoiceDlg's take cycle: the set-up timers, the password stage, the choice
// of the pass phrase, the start of each take, the progress timer, the end
// points found at the end of a take and the automatic retakes.
#include "voice/VoiceDlg.h"

#include <cstdlib>
#include <ctime>

#include "Setup/SetupFile.h"
#include "engine/DialogEngineSetup.h"
#include "engine/VoiceEngine.h"
#include "fw/ClientDC.h"
#include "fw/File.h"
#include "fw/StringArray.h"
#include "resources/resource.h"
#include "userdata/AppUserDic.h"
#include "userdata/AppUserVoiceDic.h"
#include "voice/ModelFileHold.h"
#include "voice/VoiceTexts.h"
#include "voice/WaveRecorder.h"

namespace {

using Setup = SDialogEngineSetup;

enum : UINT_PTR { kVoiceSetupTimer = 0, kTickTimer = 1, kPasswordSetupTimer = 3 };
const int kSetupTimerMs = 200;

// Waits: after a take without speech, between takes, after fetching a model.
const int kRetakeWaitMs = 500;
const int kModelWaitMs = 100;

// A user's voice list offers at most this many words.
const int kMaxWords = 6;

// Prompts of the wave folder.
const char kPromptEnrolSetup[] = "\\sv_wordrec.wav";
const char kPromptVerifySetup[] = "\\sv_rec.wav";
const char kPromptFirstTake[] = "\\sv_read.wav";
const char kPromptNextTake[] = "\\sv_readmore.wav";
const char kPromptTakeAgain[] = "\\sv_readagain.wav";

// Nicks whose words are short: the end-point search is told so.
bool IsShortWordNick(const CString& nick)
{
    return nick.CompareNoCase("acj") == 0 || nick.CompareNoCase("adj") == 0 || nick.CompareNoCase("aej") == 0;
}

}  // namespace

// --- set-up ---------------------------------------------------------------------------------

void CVoiceDlg::OnVoiceSetup()
{
    KillTimer(kVoiceSetupTimer);
    if (m_nMode == modeEnrol) {
        ShowUserID();
        m_comboWord.ResetContent();
        CStringArray words;
        if (!m_pSetupFile->GetAuthWordList(words))
            return;   // no word to enrol: the set-up stops here
        for (int i = 0; i < words.GetSize(); ++i)
            m_comboWord.AddString(words[i]);
        m_comboWord.SetCurSel(0);
        VRE_PutMaxRepeat(m_nMaxRepeat);
        ShowCounter();
        CString mode;
        mode.LoadString(IDS_MODE_ENROL);
        SetText("LABEL_MODE", mode);
        SetLabelPrint(IDS_HINT_CHOOSE_WORD);
        Prompt(kPromptEnrolSetup);
    } else {
        TakeLastUser();
        ShowUserID();
        ShowCounter();
        CString mode;
        mode.LoadString(IDS_MODE_VERIFY);
        SetText("LABEL_MODE", mode);
        m_comboWord.AddString(m_strWord);
        SetText("LABEL_WORD", m_strWord);
        SetLabelPrint(IDS_HINT_PRESS_RECORD);
        Prompt(kPromptVerifySetup);
    }
    m_nRetry = 0;
    m_bRecording = 0;
    m_nTake = 0;
    m_bTakeOK = 1;
    m_bFirstTake = 1;
    SetUpEngine(m_nMode == modeEnrol, true);
    if (m_nAuthMethod != methodPasswordThenVoice) {
        EnableButtons();
        ::SetFocus(m_editID);
    }
    m_bReady = 1;
}

void CVoiceDlg::OnPasswordSetup()
{
    KillTimer(kPasswordSetupTimer);
    TakeLastUser();
    ShowUserID();
    SetUpEngine(false, false);
    EnableButtons();
    ::SetFocus(m_editPassword);
    SetLabelPrint(CString(voice_text::kEnterIdAndPassword));
    m_bReady = 1;
    m_bPasswordPassed = 0;
}

void CVoiceDlg::TakeLastUser()
{
    if (!m_strUserID.IsEmpty())
        return;
    const CString last = m_pSetupFile->GetLastUserProgram();
    if (!last.IsEmpty())
        m_strUserID = last;
}

void CVoiceDlg::ShowUserID()
{
    SetText("LABEL_ID", m_strUserID);
    m_editID.SetText(m_strUserID);
}

// The engine's set-up before recording, in the engine's calling order.
void CVoiceDlg::SetUpEngine(bool bMaxRepeat, bool bFinalMode)
{
    if (bMaxRepeat)
        VRE_PutMaxRepeat(m_nMaxRepeat);
    VRE_AnalParams(m_nSampleRate, m_nRecordMs, m_nFrameLength, m_nFrameShift);
    VRE_NoiseParams(Setup::kNoiseSubtraction, Setup::kFixedNoiseFloorDb, Setup::kNoiseFloorMarginDb,
                    m_bAdaptiveNoiseFloor);
    VRE_EngineParams(m_nCepstra, m_nMelChannels, m_nMinTrainTakes, m_nMaxTemplateFrames);
    VRE_CopyParams(Setup::kReplaySensitivity);
    VRE_SetbSpeech(m_bSpeech);
    VRE_SameWordDist(m_fSameWordDist);
    VRE_HMMParams(m_nModelKind, Setup::kSpreadFloor, Setup::kAdaptMargin, Setup::kAdaptRate, Setup::kMaxDrift);
    VRE_EPDParams(m_nEpdMarginMs, m_nEpdMaxGapMs, m_nEpdMinSpeechMs, m_nEpdQuietPower);
    VRE_Security(static_cast<float>(m_dSecurity));
    if (bFinalMode)
        VRE_PutMode(m_nMode);
}

// --- starting a take -----------------------------------------------------------------------

void CVoiceDlg::OnRecord()
{
    m_strUserID = EnteredUserID();
    m_strPassword = m_editPassword.GetWindowText();
    if (m_bExitRequested) {
        EndWithExit(IDCANCEL);
        return;
    }
    if (!PassPasswordStage())
        return;
    if (!IsEnabled(5000))
        return;   // a take is already on its way
    SetEnable("BUTTON_RECORD", 0);
    SetEnable("BUTTON_FLOPPY", 0);

    if (m_nRetry > m_nMaxRetry) {
        // Too many takes without speech: back to idle until the user presses again.
        m_nRetry = 0;
        DrawWaveRect(1);
        m_bRecording = 0;
        if (m_bBufferReady)
            ReleaseBuffer();
        EnableButtons();
        return;
    }
    if (m_bFirstTake && !ChoosePassPhrase())
        return;
    if (!m_bBufferReady) {
        m_pRecorder->SetDuration(m_nRecordMs / 1000);
        m_pRecorder->AllocBuffer();
        m_pRecorder->PrepareHeader();
        m_bBufferReady = 1;
    }
    DrawWaveRect(1);
    m_nTick = 0;
    PromptTake();
    ShowCounter();
    m_bRecording = 1;
    m_pRecorder->Start();
    SetTimer(kTickTimer, Scaled(m_nTickMs));
}

// The password stage, where the method asks for it. False when the take must
// not go on: the password was refused, or it was accepted and what follows
// is the voice set-up or the dialog's end.
bool CVoiceDlg::PassPasswordStage()
{
    const bool asked = m_nVerifyRepeat != kModelTestTakes &&
                       (m_nAuthMethod == methodPasswordOnly ||
                        (m_nAuthMethod == methodPasswordThenVoice && !m_bPasswordPassed));
    if (!asked)
        return true;
    if (!CheckAuthUser(m_strUserID)) {
        EnableButtons();
        return false;
    }
    if (!VerifySysUser()) {
        m_editPassword.SetText(CString());
        return false;
    }
    if (m_nAuthMethod == methodPasswordOnly) {
        EndWithExit(IDOK);
        return false;
    }
    m_bPasswordPassed = 1;
    m_nLayout = 0;
    ApplyLayout();
    EnableButtons();
    SetTimer(kVoiceSetupTimer, Scaled(kSetupTimerMs));
    return false;
}

// The first take after set-up fixes the user and the pass phrase. False
// (with a hint and the buttons back) when there is none to take.
bool CVoiceDlg::ChoosePassPhrase()
{
    const CString id = EnteredUserID();
    if (id.IsEmpty()) {
        SetLabelPrint(IDS_HINT_ENTER_ID);
        EnableButtons();
        return false;
    }
    m_strUserID = id;
    SetText("LABEL_ID", m_strUserID);
    const bool chosen = m_nMode == modeEnrol ? ChooseEnrolmentWord() : ChooseVerificationWord();
    if (!chosen)
        return false;
    m_bShortWord = IsShortWordNick(m_strNick) ? 1 : 0;
    m_nLayout = 0;
    ApplyLayout();
    m_bFirstTake = 0;
    return true;
}

bool CVoiceDlg::ChooseEnrolmentWord()
{
    m_strWord = m_comboWord.GetWindowText();
    m_strNick = m_pSetupFile->GetAuthNick(m_strWord);
    // No word chosen (the word list was unreadable at set-up): there is no
    // pass phrase to enrol, and no model the store could keep.
    if (m_strNick.IsEmpty()) {
        SetLabelPrint(IDS_HINT_CHOOSE_WORD);
        EnableButtons();
        return false;
    }
    // The word list may name a key the voice dictionary has no model block
    // for: its model could be trained but never stored, and the key would
    // name the engine's model file. Refused as a verification refuses it.
    if (CAppUserVoiceDic::NickIndex(m_strNick) < 0) {
        SetLabelPrint(CString(voice_text::kNoVoiceEnrolled));
        EnableButtons();
        return false;
    }
    if (!VerifyCanRegisterVoicePassword()) {
        EnableButtons();
        return false;
    }
    VRE_PutID(m_strUserID);
    VRE_PutPW(m_strWord);
    VRE_PutNick(m_strNick);
    SetText("LABEL_WORD", m_strWord);
    return true;
}

bool CVoiceDlg::ChooseVerificationWord()
{
    std::srand(GetTickCount());
    m_comboWord.ResetContent();
    if (m_nVerifyRepeat == kModelTestTakes) {
        // The model test checks the model the host has just stored for the
        // enrolled word; each take fetches it.
        m_comboWord.AddString(m_strWord);
        SetText("LABEL_WORD", m_strWord);
    } else {
        if (!CheckAuthUser(m_strUserID)) {
            EnableButtons();
            return false;
        }
        const CString voiceList = m_pUserDic->GetVoiceList(m_strUserID);
        if (voiceList.IsEmpty()) {
            SetLabelPrint(CString(voice_text::kNoVoiceEnrolled));
            EnableButtons();
            return false;
        }
        CStringArray nicks;
        CAppUserDic::SplitList(voiceList, ',', nicks);
        for (int i = 0; i < kMaxWords && i < nicks.GetSize(); ++i) {
            const CString word = m_pSetupFile->GetAuthWord(nicks[i]);
            if (!word.IsEmpty())
                m_comboWord.AddString(word);
        }
        const int words = m_comboWord.GetCount();
        if (words <= 0) {
            SetLabelPrint(IDS_HINT_FIRST_ENROL, m_strUserID);
            EnableButtons();
            return false;
        }
        std::srand(static_cast<unsigned>(std::time(nullptr)));
        const int chosen = std::rand() % words;
        m_comboWord.SetCurSel(chosen);
        m_strWord = m_comboWord.GetLBText(chosen);
        m_strNick = m_pSetupFile->GetAuthNick(m_strWord);
        SetText("LABEL_WORD", m_strWord);
        // The take fetches the model again; this fetch only tells whether there is one.
        CModelFileHold hold(m_strAppPath, m_strNick, true);
        const bool fetched = FetchUserModel();
        if (fetched)
            Wait(kModelWaitMs);
        hold.PutBack();
        if (!fetched) {
            SetLabelPrint(CString(voice_text::kNoVoiceEnrolled));
            EnableButtons();
            return false;
        }
    }
    VRE_PutID(m_strUserID);
    VRE_PutPW(m_strWord);
    VRE_PutNick(m_strNick);
    VRE_Security(static_cast<float>(m_dSecurity));
    return true;
}

// Puts the user's model of m_strNick into the engine's model file. The
// engine judges a take against whatever that file holds, and the store
// leaves it alone for a user it has no model of; a model another user's
// verification left there must never stand in for this user's, so the file
// goes first and only the store's copy may come back. False when none did.
// A nick the store keeps no model under (the settings' word list names it)
// has none to fetch, and its file name is not ours to remove. The caller
// holds the file (CModelFileHold).
bool CVoiceDlg::FetchUserModel()
{
    if (CAppUserVoiceDic::NickIndex(m_strNick) < 0)
        return false;
    const CString modelFile = CModelFileHold::ModelPath(m_strAppPath, m_strNick);
    if (CFile::Exists(modelFile))
        CFile::Remove(modelFile);
    m_pVoiceDic->GetUserVoiceHeld(m_strUserID, m_pUserDic->GetCertiKey(m_strUserID), m_strNick);
    return CFile::Exists(modelFile) && CFile(modelFile, CFile::modeRead | CFile::shareDenyNone).GetLength() > 0;
}

int CVoiceDlg::VerifyCanRegisterVoicePassword()
{
    if (m_pUserDic->VerifyNick(m_strUserID, m_strNick) == -1)
        return 1;
    SetLabelPrint(IDS_HINT_WORD_TAKEN);
    return 0;
}

// The hint, the prompt and the take number of the take about to start.
void CVoiceDlg::PromptTake()
{
    const bool counting = m_nMode == modeEnrol || m_nVerifyRepeat == kModelTestTakes;
    if (!m_bTakeOK) {
        SetLabelPrint(IDS_HINT_READ_ONCE_MORE);
        Prompt(kPromptTakeAgain);
        if (!counting)
            m_nTake = 1;
        return;
    }
    if (!counting) {
        m_nTake = 1;
        SetLabelPrint(IDS_HINT_RECORD_VOICE);
        Prompt(kPromptFirstTake);
    } else if (m_nTake == 0) {
        m_nTake = 1;
        SetLabelPrint(IDS_HINT_RECORD_VOICE);
        Prompt(kPromptFirstTake);
    } else {
        const int last = m_nMode == modeEnrol ? m_nMaxRepeat : kModelTestTakes;
        if (m_nTake < last)
            ++m_nTake;
        SetLabelPrint(IDS_HINT_READ_AGAIN);
        Prompt(kPromptNextTake);
    }
}

void CVoiceDlg::ShowCounter()
{
    const int total = m_nMode == modeEnrol ? m_nMaxRepeat : m_nVerifyRepeat;
    CString counter;
    counter.Format("%d / %d", m_nTake, total);
    SetText("LABEL_REPEAT", counter);
}

void CVoiceDlg::Prompt(const char* pszFile)
{
    if (m_bNarration)
        PlaySoundFile(m_strWavePath + pszFile);
}

// --- the running take --------------------------------------------------------------------------

void CVoiceDlg::OnTick()
{
    ++m_nTick;
    DrawLiveTick(m_nTick);
    if (m_nTick < m_nRecordMs / m_nTickMs)
        return;
    EndTake();
}

void CVoiceDlg::DrawLiveTick(int nTick)
{
    if (m_pRecorder == nullptr)
        return;
    CClientDC dc(m_hWnd);
    m_pRecorder->DrawLive(&dc, m_rcWave, m_clrWaveLine, 1, nTick);
}

void CVoiceDlg::EndTake()
{
    KillTimer(kTickTimer);
    m_pRecorder->Stop();
    m_bRecording = 0;
    EnableButtons();
    DrawWaveRect(1);
    {
        CClientDC dc(m_hWnd);
        m_pRecorder->DrawTake(&dc, m_rcWave, m_clrWaveLine, 1);
    }
    for (int i = 0; i < m_nSamples; ++i)
        m_pSamples[static_cast<size_t>(i)] = m_pRecorder->GetSample(i);

    if (!VRE_GetEndpointShort(m_pSamples.get(), m_nSamples, m_bShortWord)) {
        OnNoSpeech();
        return;
    }
    // Low 32 bits the first, high 32 bits the last frame of the speech.
    const unsigned long long frames = static_cast<unsigned long long>(VRE_GetEndpointValue());
    const int first = static_cast<int>(frames & 0xFFFFFFFFu);
    const int last = static_cast<int>(frames >> 32);
    const int shift = VRE_GetShiftValue();
    {
        CClientDC dc(m_hWnd);
        m_pRecorder->DrawEndpoints(&dc, m_rcWave, m_clrWaveLine, first * shift, last * shift);
    }
    m_bTakeOK = 1;
    OnProcess();
}

void CVoiceDlg::OnNoSpeech()
{
    switch (VRE_GetErrorNumber()) {
    case -1:
        SetLabelPrint(IDS_HINT_LENGTH_ABNORMAL);
        break;
    case -2:
        SetLabelPrint(IDS_HINT_TOO_QUIET);
        break;
    case -3:
        SetLabelPrint(IDS_HINT_TOO_LOUD);
        break;
    case -4:
    case -5:
        if (m_nMode == modeEnrol)
            ++m_nEngineWarn;
        break;
    }
    Wait(kRetakeWaitMs);
    ++m_nRetry;
    m_bTakeOK = 0;
    OnRecord();
}

// Gives the recorder an empty block; the next take sizes it again.
void CVoiceDlg::ReleaseBuffer()
{
    m_pRecorder->FreeBuffer();
    m_pRecorder->SetDuration(0);
    m_pRecorder->AllocBuffer();
    m_bBufferReady = 0;
}
