// CVoiceDlg's verdicts on a take with speech: the take check, the enrolment's
// training, verification with its five attempts, the copy check and model
// updates, and the model test after an enrolment.
#include "voice/VoiceDlg.h"

#include "Setup/SetupFile.h"
#include "engine/VoiceEngine.h"
#include "fw/ClientDC.h"
#include "fw/File.h"
#include "fw/FileException.h"
#include "resources/resource.h"
#include "userdata/AppUserDic.h"
#include "userdata/AppUserVoiceDic.h"
#include "userdata/TrainedModels.h"
#include "voice/ModelFileHold.h"
#include "voice/WaveRecorder.h"

namespace {

const int kWaitMs = 500;

// The model test passes at this many accepted takes of kModelTestTakes.
const int kModelTestAccepts = 4;
// Two end-point warnings in an enrolment put the question before training.
const int kWarningsBeforeQuestion = 2;

const char kSoundAccepted[] = "\\sv_verifytrue.wav";
const char kSoundRejected[] = "\\sv_verifyfalse.wav";
const char kSoundModelPassed[] = "\\sv_modeltrue.wav";
const char kSoundModelFailed[] = "\\sv_modelfalse.wav";

}  // namespace

void CVoiceDlg::OnProcess()
{
    if (m_bExitRequested) {
        EndWithExit(IDCANCEL);
        return;
    }
    m_bRecording = 0;
    if (m_bBufferReady)
        ReleaseBuffer();

    const int index = m_nMode == modeEnrol ? m_nTake - 1 : 0;
    if (!VRE_CheckSexSpeech(m_pSamples.get(), m_nSamples, index)) {
        OnTakeRefused();
        return;
    }
    if (m_nMode == modeEnrol)
        OnEnrolmentTake();
    else
        OnVerificationTake();
}

// The same take again, with the engine's reason or the word it expected.
void CVoiceDlg::OnTakeRefused()
{
    const char* reason = VRE_GetLabelString();
    if (reason != nullptr && reason[0] != '\0')
        SetLabelPrint(CString(reason));
    else
        SetLabelPrint(IDS_HINT_WRONG_WORD, m_strWord);
    DrawMark(0);
    Wait(kWaitMs);
    m_bTakeOK = 0;
    OnRecord();
}

void CVoiceDlg::OnEnrolmentTake()
{
    SetLabelPrint(IDS_HINT_TAKE_DONE, m_nTake);
    DrawMark(1);
    if (m_nTake < m_nMaxRepeat) {
        Wait(kWaitMs);
        OnRecord();
        return;
    }
    m_nTick = 0;
    if (m_nEngineWarn >= kWarningsBeforeQuestion && !AskEnrolAnyway()) {
        EndWithExit(IDCANCEL);
        return;
    }
    SetLabelPrint(IDS_HINT_TRAINING);
    if (TrainModel()) {
        DrawMark(1);
        m_nRetry = 0;
        m_bTrained = 1;
        m_nTake = 1;
        // The model stays in the engine's file for the host to store.
        EndWithExit(IDOK);
        return;
    }
    m_nRetry = 0;
    m_bTrained = 0;
    Wait(kWaitMs);
    OnRecord();
}

// The engine writes the new model into the model file, where it stays for
// the host to store: never while another dialog has the file between a
// fetch and its end. Another enrolment of the word may replace it there
// before the host stores it, so a copy is kept for the host's store.
bool CVoiceDlg::TrainModel()
{
    CModelFileHold hold(m_strAppPath, m_strNick, false);
    if (VRE_Train() == 0)
        return false;
    KeepTrainedModel();
    return true;
}

// A model the engine did not write (none there) leaves the host's store to
// fail on the file as it would: a copy an earlier training of the user and
// word kept is forgotten, as the host would store that older model instead.
void CVoiceDlg::KeepTrainedModel()
{
    const CString modelFile = CModelFileHold::ModelPath(m_strAppPath, m_strNick);
    if (!CFile::Exists(modelFile)) {
        trained_models::Forget(modelFile, m_strUserID);
        return;
    }
    trained_models::Keep(modelFile, m_strUserID, CFile::ReadWhole(modelFile, CAppUserVoiceDic::kModelArea));
}

// Takes with end-point warnings may make a poor model: the user decides.
bool CVoiceDlg::AskEnrolAnyway()
{
    StopTimer(1);
    CString question;
    question.LoadString(IDS_ASK_ENROL_ANYWAY);
    if (MessageBox(question, m_strDlgName, MB_YESNO | MB_ICONEXCLAMATION) == IDNO)
        return false;
    StopTimer(0);
    return true;
}

void CVoiceDlg::OnVerificationTake()
{
    SetLabelPrint(IDS_HINT_PLEASE_WAIT);
    const bool modelTest = m_nVerifyRepeat == kModelTestTakes;
    if (JudgeVerificationTake(modelTest)) {
        SetLabelPrint(IDS_HINT_ACCEPTED);
        DrawMark(1);
        ++m_nVerifyOK;
        m_nRetry = 0;
        if (modelTest) {
            OnModelTestVerdict();
            return;
        }
        VerdictSound(kSoundAccepted);
        m_pSetupFile->SetLastUserProgram(m_strUserID);
        WriteLogFile(1);
        EndWithExit(IDOK);
        return;
    }
    SetLabelPrint(IDS_HINT_REJECTED);
    DrawMark(0);
    m_nRetry = 0;
    if (modelTest) {
        OnModelTestVerdict();
        return;
    }
    VerdictSound(kSoundRejected);
    if (--m_nAttemptsLeft <= 0) {
        WriteLogFile(0);
        EndWithExit(IDCANCEL);
        return;
    }
    Wait(kWaitMs);
    OnRecord();
}

// The engine reads the model file when it judges the take and leaves its
// update there; the file is held from the fetch to the store, so that
// neither is another dialog's user's model, and then given back what it
// held before. The user's model is fetched again for every take: since the
// first take's fetch another dialog may have put its own there. So too for
// the model test, which runs after the host has stored the enrolled model:
// another enrolment of the word that ended since may have left its own
// model in the file, for its own host. The model test stores nothing.
bool CVoiceDlg::JudgeVerificationTake(bool bModelTest)
{
    CModelFileHold hold(m_strAppPath, m_strNick, true);
    FetchUserModel();
    if (m_bCopyCheck && !VRE_VCopy()) {
        // A replayed recording is shown, and the verdict follows all the same.
        SetLabelPrint(IDS_HINT_REPLAYED);
        DrawMark(0);
    }
    const bool accepted = VRE_Verify() != 0;
    if (accepted && !bModelTest && VRE_GetbUpdate())
        StoreAdaptedModel();
    // Nor is giving the file back part of the verdict, either way: an
    // accepted user goes through, a rejection uses its attempt. One that
    // fails loses nothing: the record of what the file held stays beside it,
    // and the next holder (the next take's, too) puts that back before
    // anything reads the file.
    try {
        hold.PutBack();
    } catch (const CFileException&) {
    }
    return accepted;
}

// The engine's adaptation improves later verdicts but is no part of this
// one: a store that fails (another host keeps the dictionary past the lock's
// wait) leaves the user's stored model as it was, as the dictionary changes
// all or nothing, and the accepted user goes on. The next acceptance adapts
// the stored model again.
void CVoiceDlg::StoreAdaptedModel()
{
    try {
        m_pVoiceDic->SetUserVoiceHeld(m_strUserID, m_pUserDic->GetCertiKey(m_strUserID), m_strNick);
    } catch (const CFileException&) {
    }
}

void CVoiceDlg::OnModelTestVerdict()
{
    if (m_nVerifyOK >= kModelTestAccepts) {
        VerdictSound(kSoundModelPassed);
        EndWithExit(IDOK);
        return;
    }
    const int takesLeft = kModelTestTakes - m_nTake;
    if (m_nTake >= kModelTestTakes || takesLeft < kModelTestAccepts - m_nVerifyOK) {
        SetLabelPrint(IDS_HINT_ENROL_FAILED);
        VerdictSound(kSoundModelFailed);
        EndWithExit(IDCANCEL);
        return;
    }
    Wait(kWaitMs);
    OnRecord();
}

// A verdict's sound, or the same pause without one.
void CVoiceDlg::VerdictSound(const char* pszFile)
{
    if (!m_bNarration || !PlaySoundFile(m_strWavePath + pszFile))
        Wait(kWaitMs);
}

void CVoiceDlg::DrawMark(int bGood)
{
    // A skin without a wave panel has nowhere to stamp the verdict: the
    // mark's box, worked out from an empty rectangle, would land in the
    // dialog's top-left corner.
    if (m_pRecorder == nullptr || m_rcWave.Width() <= 0 || m_rcWave.Height() <= 0)
        return;
    CClientDC dc(m_hWnd);
    m_pRecorder->DrawMark(&dc, m_rcWave, bGood);
}
