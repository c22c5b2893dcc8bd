#include "host/HostVoiceDlg.h"

#include <cstdio>

#include "host/capture/WindowPicture.h"

namespace {

// Skin buttons of the voice dialog and the drive choice's list box.
const int kRecordButton = 5000;
const int kKeyButton = 5002;
const int kDriveList = 5013;
// The hints of the library's string table that the dialog shows before any
// take: the first of them tells which of its labels is the hint label.
const UINT kFirstHintID = 3003;
const UINT kLastHintID = 3031;
// The hint that asks for the next take.
const UINT kTakePromptID = 3004;
// The user's part is played from the dialog's own loop.
const UINT kActForUser = WM_APP + 0x51;
// Asks whether the dialog stands idle after the host's press; posted, so
// that a dialog that has ended meanwhile never receives it.
const UINT kIdleCheck = WM_APP + 0x52;
const UINT kDriveChoiceCheckMs = 20;
// How often the host looks for a message box of the dialog to answer.
const UINT kMessageBoxCheckMs = 50;
// The control that holds a message box's text.
const int kMessageBoxText = 0xFFFF;

std::string LibraryString(UINT nID)
{
    char text[512] = {};
    LoadStringA(GetModuleHandleA("Sonvera.dll"), nID, text, sizeof text);
    return text;
}

// A message box of this thread: a dialog window with the message box's text control.
BOOL CALLBACK FindMessageBox(HWND window, LPARAM found)
{
    char className[16] = {};
    ::GetClassNameA(window, className, sizeof className);
    if (IsWindowVisible(window) && std::string(className) == "#32770" &&
        ::GetDlgItem(window, kMessageBoxText) != nullptr) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindDriveChoice(HWND window, LPARAM found)
{
    if (IsWindowVisible(window) && ::GetDlgItem(window, kDriveList) != nullptr) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

CHostVoiceDlg::CHostVoiceDlg(CSetupFile& setup, CAppUserDic& users, CAppUserVoiceDic& voices)
{
    m_pSetupFile = &setup;
    m_pUserDic = &users;
    m_pVoiceDic = &voices;
}

CHostVoiceDlg::~CHostVoiceDlg()
{
    if (Current() == this)
        Current() = nullptr;
}

std::string CHostVoiceDlg::UseTakes(const std::vector<std::string>& files)
{
    for (const std::string& file : files)
        if (!m_takes.QueueFile(file))
            return file;
    m_bTakesGiven = true;
    return std::string();
}

INT_PTR CHostVoiceDlg::Run()
{
    m_hints.clear();
    m_hHintLabel = nullptr;
    m_bActed = false;
    m_bPressed = false;
    m_bTakesRanOut = false;
    m_bWaitedForUser = false;
    Current() = this;
    m_hTextHook = SetWindowsHookExA(WH_CALLWNDPROC, &CHostVoiceDlg::NoteText, nullptr, GetCurrentThreadId());
    HHOOK activationHook = nullptr;
    if (m_bTakesGiven || m_cKeyDrive != 0)
        activationHook = SetWindowsHookExA(WH_CBT, &CHostVoiceDlg::RefuseActivation, nullptr, GetCurrentThreadId());
    // Playing the user, the host also answers the dialog's message boxes.
    const UINT_PTR answerTimer = activationHook != nullptr
                                     ? ::SetTimer(nullptr, 0, kMessageBoxCheckMs, &CHostVoiceDlg::AnswerMessageBox)
                                     : 0;
    const INT_PTR result = DoModal();
    if (answerTimer != 0)
        ::KillTimer(nullptr, answerTimer);
    if (activationHook != nullptr)
        UnhookWindowsHookEx(activationHook);
    UnhookWindowsHookEx(m_hTextHook);
    m_hTextHook = nullptr;
    Current() = nullptr;
    return result;
}

bool CHostVoiceDlg::ShowedHint(UINT nStringID) const
{
    const std::string text = LibraryString(nStringID);
    for (const std::string& hint : m_hints)
        if (hint == text)
            return true;
    return false;
}

CWaveRecorder* CHostVoiceDlg::CreateRecorder(int nTakeMs, int nTickMs)
{
    if (!m_bTakesGiven)
        return CVoiceDlg::CreateRecorder(nTakeMs, nTickMs);
    return new CTakeFileRecorder(nTakeMs, nTickMs, m_takes);
}

// The prompts and the waits follow a verdict shown: the moment for a picture.
BOOL CHostVoiceDlg::PlaySoundFile(const CString& strPath)
{
    SavePicture();
    return CVoiceDlg::PlaySoundFile(strPath);
}

void CHostVoiceDlg::Wait(int nMs)
{
    SavePicture();
    CVoiceDlg::Wait(nMs);
}

LRESULT CHostVoiceDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kActForUser) {
        if (m_cKeyDrive != 0) {
            ::SetTimer(nullptr, 0, kDriveChoiceCheckMs, &CHostVoiceDlg::ChooseDrive);
            PressButtonID(kKeyButton);
        } else {
            PressButtonID(kRecordButton);
        }
        m_bPressed = true;
        PostMessage(kIdleCheck);
        return 0;
    }
    // Once pressed, the dialog takes and judges on its own until it ends,
    // and the key button's check is over when the press returns; standing
    // idle with the record button enabled, the dialog waits for what the
    // host cannot give: another press after takes without speech, a
    // password, or a key on a drive that is not there (or a key button this
    // purpose does not have). Nobody is there to give it.
    if (message == kIdleCheck) {
        if (!m_bRecording && IsEnabled(kRecordButton) && !m_bWaitedForUser) {
            m_bWaitedForUser = true;
            EndDialog(IDCANCEL);
        }
        return 0;
    }
    // Played from recordings, the dialog is shown without taking the focus:
    // nobody types into it, and Wine without a window manager (Xvfb) waits
    // two seconds for a window that was ever active to go away.
    if (message == WM_WINDOWPOSCHANGING && (m_bTakesGiven || m_cKeyDrive != 0)) {
        auto* position = reinterpret_cast<WINDOWPOS*>(lParam);
        if (position->flags & SWP_SHOWWINDOW)
            position->flags |= SWP_NOACTIVATE;
    }
    // The dialog, as it is hidden at its end, shows the last verdict; with
    // the key, the picture of the drive choice says more.
    if (message == WM_WINDOWPOSCHANGING && m_cKeyDrive == 0 &&
        (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_HIDEWINDOW))
        SavePicture();
    const LRESULT result = CVoiceDlg::WindowProc(message, wParam, lParam);
    if (message == WM_TIMER) {
        ActForUser();
        if (m_bPressed)
            PostMessage(kIdleCheck);
    }
    // A take the files cannot give would be silence: the user has gone.
    if (m_takes.StartedWithoutTake() && !m_bTakesRanOut && m_hWnd != nullptr) {
        m_bTakesRanOut = true;
        EndDialog(IDCANCEL);
    }
    return result;
}

void CHostVoiceDlg::ActForUser()
{
    if (m_bActed || !m_bReady || (!m_bTakesGiven && m_cKeyDrive == 0))
        return;
    m_bActed = true;
    PostMessage(kActForUser);
}

CHostVoiceDlg*& CHostVoiceDlg::Current()
{
    static CHostVoiceDlg* current = nullptr;
    return current;
}

// Every text the dialog shows passes here as WM_SETTEXT to one of its labels.
LRESULT CALLBACK CHostVoiceDlg::NoteText(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    CHostVoiceDlg* dialog = Current();
    if (code == HC_ACTION && dialog != nullptr && message->message == WM_SETTEXT && message->lParam != 0) {
        const char* text = reinterpret_cast<const char*>(message->lParam);
        if (dialog->IsHintLabel(message->hwnd, text))
            dialog->NoteHint(text);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool CHostVoiceDlg::IsHintLabel(HWND window, const char* text)
{
    if (m_hHintLabel != nullptr)
        return window == m_hHintLabel;
    if (m_hWnd == nullptr || !::IsChild(m_hWnd, window))
        return false;
    for (UINT id = kFirstHintID; id <= kLastHintID; ++id) {
        const std::string hint = LibraryString(id);
        if (!hint.empty() && hint == text) {
            m_hHintLabel = window;
            return true;
        }
    }
    return false;
}

// Printed as they come, so that the console follows the dialog. A label may
// be given one text twice in a row; the dialog never repeats a hint without
// another between.
void CHostVoiceDlg::NoteHint(const char* text)
{
    if (!m_hints.empty() && m_hints.back() == text)
        return;
    m_hints.push_back(text);
    std::printf("  dialog: %s\n", text);
    std::fflush(stdout);
}

LRESULT CALLBACK CHostVoiceDlg::RefuseActivation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && Current() != nullptr && reinterpret_cast<HWND>(wParam) == Current()->m_hWnd)
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A message box (no drive, no key, a wrong key, enrol anyway?) waits for a
// click that nobody there would give: the host notes its text as a hint and
// answers as a careful user does, OK, or No where there is no OK.
void CALLBACK CHostVoiceDlg::AnswerMessageBox(HWND, UINT, UINT_PTR, DWORD)
{
    CHostVoiceDlg* dialog = Current();
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindMessageBox, reinterpret_cast<LPARAM>(&box));
    if (dialog == nullptr || box == nullptr)
        return;
    char text[512] = {};
    ::GetDlgItemTextA(box, kMessageBoxText, text, sizeof text);
    dialog->NoteHint(text);
    const int answer = ::GetDlgItem(box, IDOK) != nullptr ? IDOK : IDNO;
    ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, answer)));
}

void CALLBACK CHostVoiceDlg::ChooseDrive(HWND, UINT, UINT_PTR timer, DWORD)
{
    CHostVoiceDlg* dialog = Current();
    HWND choice = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindDriveChoice, reinterpret_cast<LPARAM>(&choice));
    if (dialog == nullptr || choice == nullptr) {
        // The choice closes itself when there is no removable drive.
        if (dialog == nullptr || dialog->m_hWnd == nullptr)
            ::KillTimer(nullptr, timer);
        return;
    }
    ::KillTimer(nullptr, timer);
    if (!dialog->m_strPicturePath.empty())
        dialog->m_bPictureSaved = sonvera_capture::SaveScreenArea(dialog->m_hWnd, dialog->m_strPicturePath);
    if (!dialog->ChooseKeyDriveIn(choice))
        ::PostMessageA(choice, WM_COMMAND, IDCANCEL, 0);
}

// Chooses the line of the drive, as a double click does; false without it.
bool CHostVoiceDlg::ChooseKeyDriveIn(HWND choice)
{
    HWND list = ::GetDlgItem(choice, kDriveList);
    const std::string root = std::string("(") + m_cKeyDrive + ":)";
    const int count = static_cast<int>(::SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int line = 0; line < count; ++line) {
        char text[256] = {};
        if (::SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(line), 0) >= static_cast<LRESULT>(sizeof text))
            continue;
        ::SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(text));
        if (CharUpperA(text) != nullptr && std::string(text).compare(0, root.size(), root) == 0) {
            ::SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(line), 0);
            ::PostMessageA(choice, WM_COMMAND, MAKEWPARAM(kDriveList, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
            return true;
        }
    }
    return false;
}

void CHostVoiceDlg::SavePicture()
{
    // Once the last file is used, a prompt for another take is the dialog
    // waiting for a user who has gone: the picture of the verdict before it
    // stays.
    const bool waitingForGoneUser = m_bTakesGiven && m_takes.QueuedTakes() == 0 && !m_hints.empty() &&
                                    m_hints.back() == LibraryString(kTakePromptID);
    if (!m_strPicturePath.empty() && m_hWnd != nullptr && !waitingForGoneUser)
        m_bPictureSaved = sonvera_capture::SaveWindowSurface(m_hWnd, m_strPicturePath);
}
