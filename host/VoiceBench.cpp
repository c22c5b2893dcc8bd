// Prints how fast the voice dialog answers: the time from DoModal to the
// dialog's first paint, and from the end of a take (the progress timer's last
// tick) to the verdict shown (its hint painted and its mark drawn, when the
// dialog turns to the verdict's sound or pause).
//
// It installs an application folder with the default skin, enrols a speaker
// through the dialog with five recorded takes, stores the model as a host
// does, then verifies fresh takes of the same speaker, one dialog each. The
// dialog's clocks run at a tenth of their length (takes of 0.3 s); neither
// measured span contains a timer period.
//
// Usage: sonvera-voice-bench <application folder> <source tree>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Sonvera.h"
#include "host/BenchClock.h"
#include "host/takes/TakeFileWaveIn.h"

namespace {

const char kUser[] = "george";
const char kNick[] = "aaj";
const int kFreshTakes = 5;
const UINT kIdleCheck = WM_APP + 1;
const char* const kSkinFiles[] = {"skin.ini", "main.bmp", "mask.bmp", "over.bmp", "down.bmp", "disabled.bmp"};

// The voice dialog with takes from recordings, that presses its own record
// button once it is ready and notes the moments measured.
class CBenchDlg : public CVoiceDlg {
public:
    CBenchDlg(CSetupFile& setup, CAppUserDic& users, CAppUserVoiceDic& voices, int mode)
    {
        m_pSetupFile = &setup;
        m_pUserDic = &users;
        m_pVoiceDic = &voices;
        m_nMode = mode;
        m_nPurpose = purposeLogon;
        m_nVerifyRepeat = 3;
        m_strUserID = kUser;
        m_nTimeScale = 10;
    }

    bool QueueTake(const std::string& path) { return m_takes.QueueFile(path); }

    INT_PTR Run()
    {
        m_startMs = NowMs();
        return DoModal();
    }

    double m_startMs = 0;
    double m_firstPaintMs = -1;
    std::vector<double> m_verdictMs;   // end of take to verdict, per take

protected:
    CWaveRecorder* CreateRecorder(int nTakeMs, int nTickMs) override
    {
        return new CTakeFileRecorder(nTakeMs, nTickMs, m_takes);
    }
    BOOL PlaySoundFile(const CString&) override
    {
        NoteVerdict();
        return TRUE;
    }
    void Wait(int nMs) override
    {
        NoteVerdict();
        CVoiceDlg::Wait(nMs);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        // The tick that ends the take.
        if (message == WM_TIMER && wParam == 1 && m_nTick + 1 >= m_nRecordMs / m_nTickMs)
            m_takeEndMs = NowMs();
        const LRESULT result = CVoiceDlg::WindowProc(message, wParam, lParam);
        if (message == WM_PAINT && m_firstPaintMs < 0)
            m_firstPaintMs = NowMs() - m_startMs;
        if (message == WM_TIMER && m_bReady && !m_bPressed) {
            m_bPressed = true;
            PostMessage(WM_APP);
        }
        if (message == WM_APP) {
            PressButtonID(5000);
            m_bPressDone = true;
        }
        // Once pressed, the dialog takes and judges on its own until it
        // ends; standing idle with the record button enabled, it waits for a
        // user who is not there (after takes without speech, or for a
        // password). Asked by a posted message, which a dialog that has
        // ended meanwhile never receives.
        if (m_bPressDone && (message == WM_APP || message == WM_TIMER))
            PostMessage(kIdleCheck);
        if (message == kIdleCheck && !m_bRecording && IsEnabled(5000))
            EndDialog(IDCANCEL);
        return result;
    }

private:
    void NoteVerdict()
    {
        if (m_takeEndMs < 0)
            return;
        m_verdictMs.push_back(NowMs() - m_takeEndMs);
        m_takeEndMs = -1;
    }

    CTakeFileWaveIn m_takes;
    double m_takeEndMs = -1;
    bool m_bPressed = false;
    bool m_bPressDone = false;
};

// Puts the product's application folder back as it was, whichever way the
// bench ends: the bench's own folder is no installation.
class CAppPathRestorer {
public:
    explicit CAppPathRestorer(CSetupFile& setup) : m_setup(setup), m_strPrevious(setup.GetAppPath()) {}
    ~CAppPathRestorer() { m_setup.SetAppPath(m_strPrevious); }
    CAppPathRestorer(const CAppPathRestorer&) = delete;
    CAppPathRestorer& operator=(const CAppPathRestorer&) = delete;

private:
    CSetupFile& m_setup;
    const CString m_strPrevious;
};

void CopySkin(const std::string& source, const CString& app)
{
    CreateDirectoryA(app + "\\skin", nullptr);
    CreateDirectoryA(app + "\\skin\\DEFAULT", nullptr);
    for (const char* name : kSkinFiles)
        CopyFileA((source + "\\skin\\DEFAULT\\" + name).c_str(), app + "\\skin\\DEFAULT\\" + name, FALSE);
}

void Install(CSetupFile& setup, const CString& app, const std::string& source)
{
    CreateDirectoryA(app, nullptr);
    CreateDirectoryA(app + "\\work", nullptr);
    CopySkin(source, app);
    CIniFile ini(app + "\\marzet.ini");
    ini.WriteString("VOICE_RECOG_DLL", "Skin", "default");
    ini.WriteString("VOICE_RECOG_DLL", "Narration", "0");
    ini.WriteString("WORD_LIST", kNick, "zero");
    setup.SetAppPath(app);
    setup.Initialize();
}

std::string Recording(const std::string& source, int take)
{
    return source + "\\tests\\data\\fsdd\\0_george_" + std::to_string(take) + ".wav";
}

// The file of the source tree the bench cannot use, or an empty string when
// it can use all. Without a skin file the dialog says so in a message box,
// and without a take it waits for one; on a display nobody watches either
// waits for good, so everything is looked for before anything is installed.
std::string UnusableSourceFile(const std::string& source)
{
    for (const char* name : kSkinFiles) {
        const std::string file = source + "\\skin\\DEFAULT\\" + name;
        if (!CSetupFile::IsFileExist(file.c_str(), 0))
            return file;
    }
    for (int take = 0; take < 5 + kFreshTakes; ++take) {
        std::vector<short> samples;
        unsigned rate = 0;
        if (!ReadMonoWave(Recording(source, take), samples, rate))
            return Recording(source, take);
    }
    return std::string();
}

void Print(const char* what, std::vector<double> values, double target)
{
    if (values.empty()) {
        std::printf("%-36s no measurement\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%-36s median %6.1f ms  min %6.1f  max %6.1f  (%d runs; target <= %.0f ms)\n", what,
                values[values.size() / 2], values.front(), values.back(), static_cast<int>(values.size()), target);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: sonvera-voice-bench <application folder> <source tree>\n");
        return 2;
    }
    const CString app = argv[1];
    const std::string source = argv[2];
    const std::string unusable = UnusableSourceFile(source);
    if (!unusable.empty()) {
        std::fprintf(stderr, "sonvera-voice-bench: %s is missing or not what the bench needs\n", unusable.c_str());
        return 2;
    }
    CSetupFile setup;
    const CAppPathRestorer restorer(setup);
    try {
        Install(setup, app, source);
        CAppUserDic users;
        users.SetUserDicFilePath(app + "\\users.dat");
        if (users.VerifyUserInfo(kUser) == -1)
            users.CreateUser("bench", kUser, "", "secret", 0, 1, 1, 1, "");
        users.SetVoiceList(kUser, "");
        CAppUserVoiceDic voices;
        voices.SetVoiceDicPath(app);

        std::vector<double> firstPaint;
        CBenchDlg enrolment(setup, users, voices, CVoiceDlg::modeEnrol);
        for (int take = 0; take < 5; ++take)
            enrolment.QueueTake(Recording(source, take));
        if (enrolment.Run() != IDOK) {
            std::printf("the enrolment did not end with a model\n");
            return 1;
        }
        firstPaint.push_back(enrolment.m_firstPaintMs);
        voices.AddUser(kUser, users.GetCertiKey(kUser));
        voices.SetUserVoice(kUser, users.GetCertiKey(kUser), kNick);
        users.SetVoiceList(kUser, kNick);

        std::vector<double> verdict = enrolment.m_verdictMs;
        std::vector<double> verifyVerdict;
        int accepted = 0;
        for (int take = 5; take < 5 + kFreshTakes; ++take) {
            CBenchDlg verification(setup, users, voices, CVoiceDlg::modeVerify);
            verification.QueueTake(Recording(source, take));
            accepted += verification.Run() == IDOK ? 1 : 0;
            firstPaint.push_back(verification.m_firstPaintMs);
            if (!verification.m_verdictMs.empty())
                verifyVerdict.push_back(verification.m_verdictMs.front());
        }
        std::printf("voice dialog, default skin, %d of %d fresh takes accepted\n", accepted, kFreshTakes);
        Print("DoModal to first paint", firstPaint, 300);
        Print("end of take to verdict, verification", verifyVerdict, 100);
        Print("end of take to verdict, enrolment", verdict, 100);
    } catch (const CFileException& error) {
        std::printf("file error: %s\n", error.what());
        return 1;
    }
    return 0;
}
