// The voice dialog against the scripted engine double: the paths real takes
// cannot force (the real engine behind it is tests/host/e2e's), what it shows
// once it is set up, and its volume bars on a mixer of the test's own.
#include "DialogTestSupport.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "fw/FileLock.h"
#include "fw/FileSystem.h"
#include "resources/resource.h"
#include "skin/SkinProgress.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/voice/FakeMixer.h"
#include "userdata/AppUserVoiceDic.h"
#include "userdata/TrainedModels.h"
#include "voice/ModelFileHold.h"
#include "voice/VoiceTexts.h"

namespace {

using namespace sonvera_test;

// The test's hold on the scripted engine double (ScriptedEngine.cpp), loaded
// in place of MarzetPcJpn38.dll: its Script_ exports.
class CScriptedEngine {
public:
    // True when the engine this program runs with is the double.
    bool IsLoaded() const { return Export<void (*)()>("Script_Reset") != nullptr; }
    void Reset() { Export<void (*)()>("Script_Reset")(); }
    // Queues results of one function; false for a function the double does not script.
    bool Push(const char* function, const std::vector<int>& results)
    {
        const auto push = Export<int (*)(const char*, int)>("Script_Push");
        return std::all_of(results.begin(), results.end(), [&](int result) { return push(function, result) != 0; });
    }
    void SetLabel(const char* text) { Export<void (*)(const char*)>("Script_SetLabel")(text); }
    // Has the hook called (on the caller's thread) whenever the function is called.
    void OnCall(const char* function, void (*hook)())
    {
        Export<void (*)(const char*, void (*)())>("Script_OnCall")(function, hook);
    }
    int Count(const char* function) const { return static_cast<int>(CallsOf({function}).size()); }

    // The calls of the given functions (or of all others) so far, in order,
    // one "VRE_Name(arguments)" each.
    std::vector<std::string> CallsOf(std::initializer_list<const char*> functions, bool others = false) const
    {
        std::istringstream log(Export<const char* (*)()>("Script_Log")());
        std::vector<std::string> picked;
        for (std::string call; std::getline(log, call);)
            if ((std::find(functions.begin(), functions.end(), call.substr(0, call.find('('))) != functions.end()) !=
                others)
                picked.push_back(call);
        return picked;
    }

private:
    template <typename F>
    static F Export(const char* name)
    {
        HMODULE engine = GetModuleHandleA("MarzetPcJpn38.dll");
        return engine ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(engine, name))) : nullptr;
    }
};

// The engine's model file of "zero" (aaj), which the tests read and write.
CString s_modelFile;

class ScriptedDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_engine.IsLoaded()) << "this program must run beside the scripted engine";
        m_engine.Reset();
        s_modelFile = m_app.File("work\\aaj.bin");
        // george's "zero" is stored; taro enrols it.
        m_app.AddUser("george");
        ASSERT_EQ(1, m_app.Users().SetVoiceList("george", "aaj"));
        ASSERT_TRUE(WriteRaw(s_modelFile.str(), "george's model"));
        m_app.Voices().SetUserVoice("george", AddVoiceUser("george"), "aaj");
        m_app.AddUser("taro");
    }

    static INT_PTR RunFromRecord(CTestVoiceDlg& dialog)
    {
        return CDialogDriver().WhenReady([&] { EXPECT_TRUE(dialog.Click("BUTTON_RECORD")); }).Run(dialog);
    }

    static int Count(const std::vector<std::string>& hints, const std::string& hint)
    {
        return static_cast<int>(std::count(hints.begin(), hints.end(), hint));
    }
    static int Count(const std::vector<std::string>& hints, UINT id) { return Count(hints, Resource(id)); }

    // Gives the user a slot in the voice dictionary; the user's key.
    CString AddVoiceUser(const char* user)
    {
        const CString key = m_app.Users().GetCertiKey(user);
        m_app.Voices().AddUser(user, key);
        return key;
    }

    // The user's stored "zero", fetched into an emptied model file.
    std::string StoredModel(const char* user)
    {
        WriteRaw(s_modelFile.str(), "");
        m_app.Voices().GetUserVoice(user, m_app.Users().GetCertiKey(user), "aaj");
        return ReadRaw(s_modelFile.str());
    }

    CScriptedEngine m_engine;
    CInstalledApp m_app;
};

// Progress ticks another program posts outside a take end no take. A wrong
// password is refused before any take; the right one sets the engine up
// again for the voice stage. An enrolment never asks for one.
TEST_F(ScriptedDialogTest, PasswordFirstSetsTheEngineUpTwicePasswordOnlyNotAtAllAndAnEnrolmentNever)
{
    m_app.SetMethods(0, 1);
    CTestVoiceDlg dialog(m_app, CVoiceDlg::modeVerify, CVoiceDlg::purposeLogon, nullptr, 1);
    CDialogDriver driver;
    driver
        .WhenReady([&] {
            for (int tick = 0; tick < 30; ++tick)
                ::SendMessageA(dialog.m_hWnd, WM_TIMER, 1, 0);
            dialog.m_editID.SetText("george");
            dialog.m_editPassword.SetText("Secret");
            EXPECT_TRUE(dialog.Click("BUTTON_RECORD"));
        })
        .Then([&] {
            EXPECT_EQ(voice_text::kWrongPassword, dialog.Label("LABEL_HINT"));
            EXPECT_EQ("", dialog.m_editPassword.GetWindowText().str());
            dialog.m_editPassword.SetText("secret");
            EXPECT_TRUE(dialog.Click("BUTTON_RECORD"));
        })
        .WhenReady([&] {
            EXPECT_FALSE(dialog.IsShown(dialog.m_editPassword));
            EXPECT_FALSE(dialog.IsShown(dialog.m_editID));
            EXPECT_TRUE(dialog.Click("BUTTON_RECORD"));
        });
    EXPECT_EQ(IDOK, driver.Run(dialog));
    // The start, the password set-up, the voice set-up, the verification.
    const std::vector<std::string> stages = {
        "VRE_PutMode(2)", "VRE_Security(0.3)", "VRE_Security(0.3)", "VRE_PutMode(2)",
        "VRE_PutID(\"george\")", "VRE_PutPW(\"zero\")", "VRE_PutNick(\"aaj\")", "VRE_Security(0.3)"};
    EXPECT_EQ(stages, m_engine.CallsOf({"VRE_PutMode", "VRE_PutMaxRepeat", "VRE_Security", "VRE_PutID",
                                        "VRE_PutPW", "VRE_PutNick"}));

    // The password-only method ends with 1 without a take.
    m_app.SetMethods(1, 2);
    CTestVoiceDlg passwordOnly(m_app, CVoiceDlg::modeVerify, CVoiceDlg::purposeEncrypt, nullptr, 1);
    EXPECT_EQ(IDOK, CDialogDriver()
                        .WhenReady([&] {
                            passwordOnly.m_editID.SetText("nobody");
                            passwordOnly.m_editPassword.SetText("secret");
                            EXPECT_TRUE(passwordOnly.Click("BUTTON_RECORD"));
                        })
                        .Then([&] {
                            EXPECT_EQ(Resource(IDS_HINT_NO_AUTHORITY), passwordOnly.Label("LABEL_HINT"));
                            passwordOnly.m_editID.SetText("GEORGE");
                            passwordOnly.PressEnter();
                        })
                        .Run(passwordOnly));
    EXPECT_EQ(1u, passwordOnly.TakesLeft());
    passwordOnly.m_nMode = CVoiceDlg::modeEnrol;
    passwordOnly.m_strUserID = "taro";
    passwordOnly.m_nMaxRepeat = 3;
    EXPECT_EQ(IDOK, RunFromRecord(passwordOnly));
}

// A take refused without a reason names the word and is no attempt; a
// replay is shown and still judged; four rejections then an acceptance end
// with 1; each attempt is take 1 of the host's total; verdicts are logged;
// the user the first take fixed is remembered, whatever the hidden ID edit says.
TEST_F(ScriptedDialogTest, RefusedTakesReplaysAndRejectionsUntilTheAttemptsAreUsed)
{
    ASSERT_TRUE(m_engine.Push("VRE_CheckSexSpeech", {0}));
    ASSERT_TRUE(m_engine.Push("VRE_VCopy", {0}));
    ASSERT_TRUE(m_engine.Push("VRE_Verify", {0, 0, 0, 0, 1, 0}));
    m_app.SetMethods(1, 1);
    CTestVoiceDlg dialog(m_app, CVoiceDlg::modeVerify, CVoiceDlg::purposeDecrypt, "george", 8);
    std::vector<std::string> counters;
    dialog.m_onWait = [&](int ms) {
        if (ms == 500) {
            counters.push_back(dialog.Label("LABEL_REPEAT"));
            dialog.m_editID.SetText("taro");
        }
    };
    EXPECT_EQ(IDOK, RunFromRecord(dialog));
    // The pauses after the refusal and the five verdicts, and before four takes.
    EXPECT_EQ(std::vector<std::string>(10, "1 / 3"), counters);
    const std::vector<std::string>& hints = dialog.m_hints;
    EXPECT_EQ(4, Count(hints, IDS_HINT_REJECTED));
    EXPECT_EQ(1, Count(hints, IDS_HINT_READ_ONCE_MORE));
    CString wrongWord;
    wrongWord.Format(Resource(IDS_HINT_WRONG_WORD).c_str(), "zero");
    EXPECT_EQ(1, Count(hints, wrongWord.str()));
    const auto replay = std::find(hints.begin(), hints.end(), Resource(IDS_HINT_REPLAYED));
    ASSERT_NE(hints.end(), replay);
    EXPECT_NE(hints.end(), std::find(replay, hints.end(), Resource(IDS_HINT_REJECTED)));
    EXPECT_EQ(5, m_engine.Count("VRE_VCopy"));
    EXPECT_EQ("george", m_app.Setup().GetLastUserProgram().str());
    // Only the constructor sets the attempts: the next rejection is the last.
    // Without the copy check no take is checked for a replay.
    dialog.m_bCopyCheck = 0;
    EXPECT_EQ(IDCANCEL, RunFromRecord(dialog));
    EXPECT_EQ(1u, dialog.TakesLeft());
    EXPECT_EQ(5, m_engine.Count("VRE_VCopy"));
    EXPECT_THAT(m_app.Log(), ::testing::MatchesRegex("\\[.*\\] george : Decrypt : Accept\r\n"
                                                     "\\[.*\\] george : Decrypt : Denied\r\n"));
}

// The window at the moment the engine checks a take: the whole take and its end points.
HWND s_window = nullptr;

// The record button sleeps during a take; a failed training takes one more
// take and trains again; storing the model is left to the host.
TEST_F(ScriptedDialogTest, EnrolmentSetsTheEngineUpInItsOrderAndTakesARefusedTakeOrAFailedTrainingAgain)
{
    ASSERT_TRUE(m_engine.Push("VRE_CheckSexSpeech", {1, 1, 0, 1, 1, 1}));
    ASSERT_TRUE(m_engine.Push("VRE_Train", {0}));
    m_engine.SetLabel("\x95\xCA\x82\xCC\x90\x6C");   // 別の人, the engine's reason
    m_engine.OnCall("VRE_CheckSexSpeech",
                    [] { EXPECT_TRUE(SaveScreenshot(s_window, "voice-take-endpoints.png")); });
    CTestVoiceDlg dialog(m_app, CVoiceDlg::modeEnrol, CVoiceDlg::purposeLogon, "taro", 8);
    std::vector<std::string> counters;
    dialog.m_onWait = [&](int) { counters.push_back(dialog.Label("LABEL_REPEAT")); };
    CDialogDriver driver;
    driver
        .WhenReady([&] {
            s_window = dialog.m_hWnd;
            EXPECT_TRUE(dialog.Click("BUTTON_RECORD"));
        })
        .When([&] { return dialog.m_nTick >= 15; },
              [&] {
                  EXPECT_FALSE(dialog.IsButtonEnabled("BUTTON_RECORD"));
                  EXPECT_TRUE(SaveScreenshot(dialog.m_hWnd, "voice-enrol-live.png"));
              });
    EXPECT_EQ(IDOK, driver.Run(dialog));
    EXPECT_EQ(1, dialog.m_bTrained);
    EXPECT_EQ(2, m_engine.Count("VRE_Train"));
    EXPECT_EQ(Resource(IDS_HINT_TRAINING), dialog.m_hints.back());
    EXPECT_TRUE(dialog.m_prompts.empty());   // narration is off
    EXPECT_EQ("", m_app.Users().GetVoiceList("taro").str());
    // The refused third take is checked again as the third, the retake as the fifth.
    std::vector<std::string> indices;
    for (const std::string& call : m_engine.CallsOf({"VRE_CheckSexSpeech"}))
        indices.push_back(call.substr(call.rfind(',') + 1, 1));
    EXPECT_EQ((std::vector<std::string>{"0", "1", "2", "2", "3", "4", "4"}), indices);
    EXPECT_EQ((std::vector<std::string>{"1 / 5", "2 / 5", "3 / 5", "3 / 5", "4 / 5", "5 / 5"}), counters);
    EXPECT_EQ(1, Count(dialog.m_hints, "\x95\xCA\x82\xCC\x90\x6C"));
    const std::string dir = "VRE_PutDir(\"" + m_app.Path().str() + "\")";
    const std::vector<std::string> setUp = {
        "VRE_Initialize()", "VRE_SetbNetVersion(1)", dir, "VRE_PutMode(1)", "VRE_PutMaxRepeat(5)",
        "VRE_PutMaxRepeat(5)", "VRE_AnalParams(11025,3000,240,80)", "VRE_NoiseParams(0,0,0,1)",
        "VRE_EngineParams(16,19,5,128)", "VRE_CopyParams(2.4)", "VRE_SetbSpeech(0)", "VRE_SameWordDist(1.2)",
        "VRE_HMMParams(1,0.0005,0.8,0.1,0.1)", "VRE_EPDParams(60,250,200,100000)", "VRE_Security(0.3)",
        "VRE_PutMode(1)", "VRE_PutID(\"taro\")", "VRE_PutPW(\"zero\")", "VRE_PutNick(\"aaj\")",
        "VRE_DestructMemories()", "VRE_Destruct()"};
    // Every call but the takes' own.
    EXPECT_EQ(setUp, m_engine.CallsOf({"VRE_GetEndpointShort", "VRE_GetEndpointValue", "VRE_GetShiftValue",
                                       "VRE_CheckSexSpeech", "VRE_GetLabelString", "VRE_Train"},
                                      true));
}

// Errors -1..-4, then idle; pressed again, -5 and two good takes. The
// warnings (-4, -5) ask before training: "no" ends, "yes" trains.
TEST_F(ScriptedDialogTest, EndPointErrorsShowTheirHintsAndTwoWarningsAskBeforeTraining)
{
    const struct {
        int answer;
        INT_PTR result;
        int trainings;
    } cases[] = {{IDNO, IDCANCEL, 0}, {IDYES, IDOK, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        m_engine.Reset();
        ASSERT_TRUE(m_engine.Push("VRE_GetEndpointShort", {0, 0, 0, 0, 0}));
        ASSERT_TRUE(m_engine.Push("VRE_GetErrorNumber", {-1, -2, -3, -4, -5}));
        CTestVoiceDlg dialog(m_app, CVoiceDlg::modeEnrol, CVoiceDlg::purposeLogon, "taro", 7);
        dialog.m_nMaxRepeat = 3;
        CMessageBoxAnswer answer(c.answer);
        CDialogDriver driver;
        driver.WhenReady([&] { EXPECT_TRUE(dialog.Click("BUTTON_RECORD")); })
            .When([&] { return dialog.TakesLeft() == 3 && dialog.IsButtonEnabled("BUTTON_RECORD"); },
                  [&] { EXPECT_TRUE(dialog.Click("BUTTON_RECORD")); });
        EXPECT_EQ(c.result, driver.Run(dialog));
        for (UINT hint : {IDS_HINT_LENGTH_ABNORMAL, IDS_HINT_TOO_QUIET, IDS_HINT_TOO_LOUD})
            EXPECT_EQ(1, Count(dialog.m_hints, hint)) << Resource(hint);
        EXPECT_EQ(std::vector<std::string>{"Sonver: " + Resource(IDS_ASK_ENROL_ANYWAY)}, answer.m_boxes);
        EXPECT_EQ(c.trainings, m_engine.Count("VRE_Train"));
    }
}

// Without a wave panel no verdict mark lands in the top-left corner instead
// (a square dialog here: its grey mask cuts no corners away).
TEST_F(ScriptedDialogTest, ASkinWithoutAWavePanelShowsNoMark)
{
    const CString skin = m_app.File("skin\\DEFAULT\\skin.ini");
    ASSERT_TRUE(CopyFileA(SONVERA_TEST_DATA "/skin/grey.gif", m_app.File("skin\\DEFAULT\\grey.gif"), FALSE));
    ASSERT_TRUE(WritePrivateProfileStringA("SCREEN", "MASK", "grey.gif", skin));
    ASSERT_TRUE(WritePrivateProfileStringA("WAVE", "RECT", nullptr, skin));
    CTestVoiceDlg dialog(m_app, CVoiceDlg::modeEnrol, CVoiceDlg::purposeLogon, "taro", 3);
    dialog.m_nMaxRepeat = 3;
    int markPixels = -1;
    dialog.m_onWait = [&](int) {
        if (markPixels >= 0)
            return;
        HDC dc = GetDC(dialog.m_hWnd);
        markPixels = 0;
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x)
                markPixels += GetPixel(dc, x, y) == RGB(0, 0, 255) ? 1 : 0;
        ReleaseDC(dialog.m_hWnd, dc);
    };
    EXPECT_EQ(IDOK, RunFromRecord(dialog));
    EXPECT_EQ(0, markPixels);   // -1: the pause after the first take never came
}

// The model test ends at the fourth acceptance or once four cannot come; it
// stores, logs and asks for nothing, even where the password alone logs on.
TEST_F(ScriptedDialogTest, TheModelTestEndsAsSoonAsItsOutcomeIsCertain)
{
    m_app.SetMethods(CVoiceDlg::methodPasswordOnly, CVoiceDlg::methodPasswordOnly);
    const struct {
        std::vector<int> verdicts;
        INT_PTR result;
        int takes;
    } cases[] = {{{0, 0, 0, 0, 0}, IDCANCEL, 5}, {{1, 1, 0, 1, 0, 0, 0, 1}, IDOK, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.verdicts));
        m_engine.Reset();
        ASSERT_TRUE(m_engine.Push("VRE_Verify", c.verdicts));
        CTestVoiceDlg dialog(m_app, CVoiceDlg::modeVerify, CVoiceDlg::purposeLogon, "george", 8);
        dialog.m_nVerifyRepeat = CVoiceDlg::kModelTestTakes;
        dialog.m_strWord = "zero";
        dialog.m_strNick = "aaj";
        EXPECT_EQ(c.result, RunFromRecord(dialog));
        EXPECT_EQ(c.takes, dialog.m_nTake);
        EXPECT_EQ(0, m_engine.Count("VRE_GetbUpdate"));
        EXPECT_EQ("<missing>", m_app.Log());
    }
}

// Locks held elsewhere are waited for 50 ms, for the test's time.
class CShortLockWait {
public:
    CShortLockWait() { CFileLock::SetDefaultWait(50); }
    ~CShortLockWait() { CFileLock::SetDefaultWait(m_wait); }

private:
    const DWORD m_wait = CFileLock::DefaultWait();
};

std::string s_judged;

std::function<void()> s_fault;
std::unique_ptr<CFileLock> s_dictionaryHeld;
std::unique_ptr<CFaultyFileSystem> s_faultyFiles;
std::unique_ptr<CFileSystemOverride> s_faultsOn;

// The disk fills as the model file is given back after the first verdict.
void FailFirstPutBack()
{
    if (s_faultsOn != nullptr)
        return;
    s_faultyFiles.reset(new CFaultyFileSystem);
    s_faultyFiles->Watch(L"aaj.bin");
    s_faultyFiles->FailCall(CFaultyFileSystem::move, 1, ERROR_DISK_FULL);
    s_faultsOn.reset(new CFileSystemOverride(*s_faultyFiles));
}

// What follows a verdict is no part of it: george, accepted, is let through
// and logged when another host keeps the voice dictionary past the lock's
// wait as his adapted model is to be stored (his stored model stays as it
// was), or when the disk fills as the model file is given back; rejected so,
// the attempt is used and the next take goes on. The next holder puts back
// what the file held before.
TEST_F(ScriptedDialogTest, AVerdictStandsThoughWhatFollowsItFails)
{
    const struct {
        const char* name;
        std::function<void()> fault;
        std::vector<int> verdicts;
        int attemptsLeft;
        const char* stored;
    } cases[] = {
        {"dictionary-busy", [&] { s_dictionaryHeld.reset(new CFileLock(m_app.File("marzetuvd.dat"), 0)); }, {1},
         5, "george's model"},
        {"put-back-fails", FailFirstPutBack, {1}, 5, "george's model, adapted"},
        {"rejected, put-back-fails", FailFirstPutBack, {0, 1}, 4, "george's model, adapted"},
    };
    m_engine.OnCall("VRE_Verify", [] {
        WriteRaw(s_modelFile.str(), "george's model, adapted");
        s_fault();
    });
    const CShortLockWait lockWait;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        s_fault = c.fault;
        ASSERT_TRUE(m_engine.Push("VRE_Verify", c.verdicts));
        ASSERT_TRUE(m_engine.Push("VRE_GetbUpdate", {1}));
        ASSERT_TRUE(WriteRaw(s_modelFile.str(), "taro's new model"));
        DeleteFileA(m_app.File("result.log"));
        CTestVoiceDlg dialog(m_app, CVoiceDlg::modeVerify, CVoiceDlg::purposeLogon, "george", 2);
        const INT_PTR result = RunFromRecord(dialog);
        s_faultsOn.reset();
        s_dictionaryHeld.reset();
        EXPECT_EQ(IDOK, result);
        EXPECT_EQ(c.attemptsLeft, dialog.AttemptsLeft());
        EXPECT_THAT(m_app.Log(), ::testing::MatchesRegex("\\[.*\\] george : .* : Accept\r\n"));
        { CModelFileHold next(m_app.Path(), "aaj", false); }
        EXPECT_EQ("taro's new model", ReadRaw(s_modelFile.str()));
        EXPECT_EQ(c.stored, StoredModel("george"));
    }
}

// taro trains holding the model file (another dialog's verification there
// would judge against, and put back over, his new model). Another
// enrolment of the word replaces his model in the file before his host
// stores it: the host still stores taro's, and his model test judges
// taro's, leaving the other.
TEST_F(ScriptedDialogTest, AnEnrolmentsHostStoresItsOwnModelThoughAnotherEnrolmentOfTheWordEndedFirst)
{
    const CString taroKey = AddVoiceUser("taro");
    m_engine.OnCall("VRE_Train", [] {
        EXPECT_THROW(CFileLock(s_modelFile, 0), CFileException);   // another dialog would wait for it
        WriteRaw(s_modelFile.str(), "taro's new model");
    });
    m_engine.OnCall("VRE_Verify", [] { s_judged += ReadRaw(s_modelFile.str()) + "; "; });
    CTestVoiceDlg taro(m_app, CVoiceDlg::modeEnrol, CVoiceDlg::purposeLogon, "taro", 9);
    EXPECT_EQ(IDOK, RunFromRecord(taro));
    ASSERT_EQ(1, taro.m_bTrained);
    EXPECT_EQ("taro's new model", ReadRaw(s_modelFile.str()));
    ASSERT_TRUE(WriteRaw(s_modelFile.str(), "hanako's new model"));
    m_app.Voices().SetUserVoice("taro", taroKey, taro.m_strNick);
    s_judged.clear();
    taro.m_nMode = CVoiceDlg::modeVerify;
    taro.m_nVerifyRepeat = CVoiceDlg::kModelTestTakes;
    EXPECT_EQ(IDOK, RunFromRecord(taro));
    EXPECT_EQ("taro's new model; taro's new model; taro's new model; taro's new model; ", s_judged);
    EXPECT_EQ("hanako's new model", ReadRaw(s_modelFile.str()));
    EXPECT_EQ("taro's new model", StoredModel("taro"));
}

// A verification's put-back that fails (disk full after the judgement)
// leaves no file: an enrolment's host would store george's model left there
// as its own user's. One whose record cannot be removed (another program has
// it open) succeeds, as the next holder only puts back the same contents:
// what the file held, or no file when it held none, whether or not the fetch
// found george's model. With no file, the work folder the engine makes at
// its first training need not be there yet: the hold makes it.
TEST(DialogModelFile, AFailedPutBackLeavesNoFetchedModelAndAStuckRecordNoFailure)
{
    const struct {
        const char* found;
        const char* fetched;
        const wchar_t* watched;
        CFaultyFileSystem::Step step;
        DWORD error;
        bool fails;
        const char* left;
    } cases[] = {
        {"taro's new model", "george's model", L"aaj.bin", CFaultyFileSystem::move, ERROR_DISK_FULL, true,
         "<missing>"},
        {"taro's new model", "george's model", L".~putback", CFaultyFileSystem::remove, ERROR_SHARING_VIOLATION,
         false, "taro's new model"},
        {nullptr, "george's model", L".~putback", CFaultyFileSystem::remove, ERROR_SHARING_VIOLATION, false,
         "<missing>"},
        {nullptr, nullptr, L".~putback", CFaultyFileSystem::remove, ERROR_SHARING_VIOLATION, false, "<missing>"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        CTempFolder app;
        const std::string model = app.File("work\\aaj.bin").str();
        if (c.found != nullptr) {
            ASSERT_TRUE(CreateDirectoryA(app.File("work"), nullptr));
            ASSERT_TRUE(WriteRaw(model, c.found));
        }
        CModelFileHold verification(app.Path(), "aaj", true);
        if (c.fetched != nullptr) {
            ASSERT_TRUE(WriteRaw(model, c.fetched));
        }
        CFaultyFileSystem files;
        files.Watch(c.watched);
        files.Fail(c.step, c.error);
        const CFileSystemOverride faults(files);
        bool failed = false;
        try {
            verification.PutBack();
        } catch (const CFileException&) {
            failed = true;
        }
        EXPECT_EQ(c.fails, failed);
        EXPECT_EQ(c.left, ReadRaw(model));
    }
}

// A model file longer than any model is not read into memory to be put
// back: the hold is refused and the file left whole.
TEST(DialogModelFile, AModelFileLongerThanAnyModelIsRefusedAndLeftWhole)
{
    CTempFolder app;
    ASSERT_TRUE(CreateDirectoryA(app.File("work"), nullptr));
    const std::string model = app.File("work\\aaj.bin").str();
    const std::string tooLong(CAppUserVoiceDic::kModelArea + 1, 'm');
    ASSERT_TRUE(WriteRaw(model, tooLong));
    EXPECT_THROW(CModelFileHold(app.Path(), "aaj", true), CFileException);
    EXPECT_EQ(tooLong, ReadRaw(model));
}

// taro enrols again, and his new model's file is removed from outside before
// the host stores it: the host's store fails on the missing file instead of
// storing the model his first enrolment kept.
TEST_F(ScriptedDialogTest, ATrainingThatLeftNoModelFileLeavesNoEarlierModelToStore)
{
    const CString taroKey = AddVoiceUser("taro");
    const std::string first = "taro's first model";
    trained_models::Keep(s_modelFile, "taro", std::vector<BYTE>(first.begin(), first.end()));
    m_engine.OnCall("VRE_Train", [] { DeleteFileA(s_modelFile); });
    CTestVoiceDlg second(m_app, CVoiceDlg::modeEnrol, CVoiceDlg::purposeLogon, "taro", 5);
    EXPECT_EQ(IDOK, RunFromRecord(second));
    EXPECT_THROW(m_app.Voices().SetUserVoice("taro", taroKey, "aaj"), CFileException);
}

// Enter before the set-up does nothing, after it starts a take; exit during
// the take ends the dialog once the take is done, unjudged. Without the
// narration key prompts play. A second run records whole takes of its own;
// a third that finds no word list takes no word from the second.
TEST_F(ScriptedDialogTest, EnterBeforeTheSetUpThenExitDuringATakeAndLaterRuns)
{
    WritePrivateProfileStringA("VOICE_RECOG_DLL", "Narration", nullptr, m_app.File("marzet.ini"));
    CTestVoiceDlg dialog(m_app, CVoiceDlg::modeEnrol, CVoiceDlg::purposeLogon, "taro", 2);
    dialog.m_nTimeScale = 100;   // the set-up timer at its full 200 ms, so that Enter comes first
    CDialogDriver driver;
    driver.When([&] { return !dialog.m_bReady; }, [&] { dialog.PressEnter(); })
        .WhenReady([&] {
            // The early Enter did nothing: the set-up's hint is the only one.
            EXPECT_EQ(std::vector<std::string>{Resource(IDS_HINT_CHOOSE_WORD)}, dialog.m_hints);
            dialog.m_nTimeScale = 5;
            dialog.PressEnter();
        })
        .When([&] { return dialog.m_nTick >= 10; }, [&] { EXPECT_TRUE(dialog.Click("BUTTON_EXIT")); });
    EXPECT_EQ(IDCANCEL, driver.Run(dialog));
    EXPECT_EQ(30, dialog.m_nTick);       // the take ran to its end after the press
    EXPECT_EQ(1u, dialog.TakesLeft());   // and no further take began
    EXPECT_EQ(0, m_engine.Count("VRE_CheckSexSpeech"));   // nor was it judged
    EXPECT_EQ((std::vector<std::string>{"sv_wordrec.wav", "sv_read.wav"}), dialog.m_prompts);

    dialog.m_nMaxRepeat = 3;
    EXPECT_EQ(IDOK, RunFromRecord(dialog));
    EXPECT_EQ((std::vector<std::string>{"VRE_GetEndpointShort(33075,peak=9115,0)",
                                        "VRE_GetEndpointShort(33075,peak=7979,0)",
                                        "VRE_GetEndpointShort(33075,peak=0,0)",
                                        "VRE_GetEndpointShort(33075,peak=0,0)"}),
              m_engine.CallsOf({"VRE_GetEndpointShort"}));

    // A third run whose set-up finds no word list records nothing: not the
    // word the run before chose, which this run's engine was never given.
    WritePrivateProfileStringA("WORD_LIST", nullptr, nullptr, m_app.File("marzet.ini"));
    CDialogDriver third;
    third.When([&] { return dialog.Label("LABEL_ID") == "taro"; },
               [&] { EXPECT_TRUE(dialog.Click("BUTTON_RECORD")); })
        .Then([&] {
            EXPECT_EQ(Resource(IDS_HINT_CHOOSE_WORD), dialog.Label("LABEL_HINT"));
            EXPECT_TRUE(SaveScreenshot(dialog.m_hWnd, "voice-no-word-list.png"));
            EXPECT_TRUE(dialog.Click("BUTTON_EXIT"));
        });
    EXPECT_EQ(IDCANCEL, third.Run(dialog));
    EXPECT_EQ(4, m_engine.Count("VRE_GetEndpointShort"));
}

// The record button records nothing but says why: no stored model (never
// judged against another user's left in the file), a key the store keeps no
// model under, or a model file held elsewhere too long; no attempt is used.
TEST_F(ScriptedDialogTest, TheRecordButtonRecordsNothingWithoutAStoredModel)
{
    const CString certiKey = m_app.Users().GetCertiKey("george");
    std::unique_ptr<CFileLock> heldElsewhere;
    const CShortLockWait lockWait;
    const struct {
        const char* name;
        int mode;
        const char* user;
        std::function<void()> takeAway;
        std::string hint;
    } cases[] = {
        {"model-file-busy", CVoiceDlg::modeVerify, "george",
         [&] { heldElsewhere.reset(new CFileLock(s_modelFile, 0)); }, voice_text::kModelFileBusy},
        {"no-stored-model", CVoiceDlg::modeVerify, "george",
         [&] { m_app.Voices().DelUserVoice("george", certiKey, "aaj"); }, voice_text::kNoVoiceEnrolled},
        {"no-voice-slot", CVoiceDlg::modeVerify, "george", [&] { m_app.Voices().DelUser("george", certiKey); },
         voice_text::kNoVoiceEnrolled},
        // A key climbing out of the work folder: nothing fetched, nothing outside removed.
        {"no-known-nick", CVoiceDlg::modeVerify, "george",
         [&] {
             ASSERT_TRUE(WriteRaw(m_app.File("outside.bin").str(), "not the engine's"));
             WritePrivateProfileSectionA("WORD_LIST", "..\\outside=zero\0aaj=zero\0", m_app.File("marzet.ini"));
         },
         voice_text::kNoVoiceEnrolled},
        // Nor is a model trained for it, which the store could never keep.
        {"enrol-no-known-nick", CVoiceDlg::modeEnrol, "taro", [] {}, voice_text::kNoVoiceEnrolled},
    };
    m_app.SetMethods(1, 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.takeAway();
        ASSERT_TRUE(WriteRaw(s_modelFile.str(), "someone else's"));
        CTestVoiceDlg dialog(m_app, c.mode, CVoiceDlg::purposeLogon, c.user, 1);
        CDialogDriver driver;
        driver.When([&] { return dialog.m_bReady != 0 || dialog.Label("LABEL_ID") == c.user; },
                    [&] { EXPECT_TRUE(dialog.Click("BUTTON_RECORD")); })
            .When([&] { return dialog.IsButtonEnabled("BUTTON_RECORD"); },
                  [&] {
                      EXPECT_EQ(c.hint, dialog.Label("LABEL_HINT"));
                      EXPECT_TRUE(SaveScreenshot(dialog.m_hWnd, ("voice-" + std::string(c.name) + ".png").c_str()));
                      EXPECT_TRUE(dialog.Click("BUTTON_EXIT"));
                  });
        EXPECT_EQ(IDCANCEL, driver.Run(dialog));
        heldElsewhere.reset();
        EXPECT_EQ(1u, dialog.TakesLeft());
        EXPECT_EQ("<missing>", m_app.Log());
        EXPECT_EQ(5, dialog.AttemptsLeft());
    }
    EXPECT_EQ("not the engine's", ReadRaw(m_app.File("outside.bin").str()));
}

// Take values out of range, or an unknown log-on method, are refused before
// any set-up (never divided by or allocated from).
TEST_F(ScriptedDialogTest, TakeValuesOutOfRangeAreRefused)
{
    const struct {
        const char* name;
        std::function<void(CVoiceDlg&)> set;
    } cases[] = {
        {"no tick", [](CVoiceDlg& d) { d.m_nTickMs = 0; }},
        {"tick longer than the take", [](CVoiceDlg& d) { d.m_nTickMs = 4000; }},
        {"take shorter than the recorder's second", [](CVoiceDlg& d) { d.m_nRecordMs = 999; }},
        {"take longer than the engine analyses", [](CVoiceDlg& d) { d.m_nRecordMs = 11000; }},
        {"a rate the recorder does not record at", [](CVoiceDlg& d) { d.m_nSampleRate = 22050; }},
        {"unknown mode", [](CVoiceDlg& d) { d.m_nMode = 3; }},
        {"fewer enrolment takes than the engine trains on", [](CVoiceDlg& d) { d.m_nMaxRepeat = 2; }},
        {"more enrolment takes than the engine keeps", [](CVoiceDlg& d) { d.m_nMaxRepeat = 6; }},
        {"negative take", [](CVoiceDlg& d) { d.m_nRecordMs = -3000; }},
        {"unknown log-on method", [&](CVoiceDlg& d) {
             d.m_nMode = CVoiceDlg::modeVerify;
             m_app.SetMethods(3, 1);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_engine.Reset();
        CTestVoiceDlg dialog(m_app, CVoiceDlg::modeEnrol, CVoiceDlg::purposeLogon, "taro");
        c.set(dialog);
        EXPECT_EQ(IDCANCEL, CDialogDriver().Run(dialog));
        EXPECT_EQ(0, m_engine.Count("VRE_PutMode"));
    }
}

using V = CVoiceDlg;

// Each method's layout once set up; the two seen most saved as screenshots.
// Other purposes than log-on take the crypt method.
TEST(DialogLayout, ShowsTheControlsOfItsMethod)
{
    const struct {
        const char* name;
        int mode, purpose, logonMethod, cryptMethod;
        const char* shown;   // "LABEL_ID", "LABEL_WORD", ID edit, word combo box, password edit: 1 shown
        UINT hint;           // 0: the password set-up's hint
        const char* screenshot = nullptr;
        int verifyRepeat = 3;
    } cases[] = {
        {"enrolment", V::modeEnrol, V::purposeLogon, 0, 0, "10010", IDS_HINT_CHOOSE_WORD, "voice-enrol.png"},
        {"log-on, voice only", V::modeVerify, V::purposeLogon, 1, 0, "01100", IDS_HINT_PRESS_RECORD},
        {"log-on, password first", V::modeVerify, V::purposeLogon, 0, 1, "00101", 0, "voice-password.png"},
        {"decrypt by the crypt method", V::modeVerify, V::purposeDecrypt, 1, 0, "00101", 0},
        {"setting, always password first", V::modeVerify, V::purposeSetting, 1, 1, "00101", 0},
        {"user, always voice only", V::modeVerify, V::purposeUser, 0, 0, "11000", IDS_HINT_PRESS_RECORD},
        {"the model test never asks the password", V::modeVerify, V::purposeLogon, 0, 0, "11000",
         IDS_HINT_PRESS_RECORD, nullptr, CVoiceDlg::kModelTestTakes},
    };
    CInstalledApp app;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        app.SetMethods(c.logonMethod, c.cryptMethod);
        CTestVoiceDlg dialog(app, c.mode, c.purpose);
        dialog.m_nVerifyRepeat = c.verifyRepeat;
        const auto checkLayout = [&] {
            std::string shown;
            for (CWnd* control : {&Control(dialog.m_arrLabels, "LABEL_ID"), &Control(dialog.m_arrLabels, "LABEL_WORD"),
                                  static_cast<CWnd*>(&dialog.m_editID), static_cast<CWnd*>(&dialog.m_comboWord),
                                  static_cast<CWnd*>(&dialog.m_editPassword)})
                shown += dialog.IsShown(*control) ? '1' : '0';
            EXPECT_EQ(c.shown, shown);
            EXPECT_EQ(c.hint != 0 ? Resource(c.hint) : std::string(voice_text::kEnterIdAndPassword),
                      dialog.Label("LABEL_HINT"));
            EXPECT_TRUE(c.screenshot == nullptr || SaveScreenshot(dialog.m_hWnd, c.screenshot));
            EXPECT_TRUE(dialog.Click("BUTTON_EXIT"));
        };
        EXPECT_EQ(IDCANCEL, CDialogDriver().WhenReady(checkLayout).Run(dialog));
    }
}

TEST(DialogMixer, BarsFollowTheMixerAndAMovedBarIsWrittenBack)
{
    CInstalledApp app;
    CFakeMixer mixer = CFakeMixer::SoundCard();
    CTestVoiceDlg dialog(app, CVoiceDlg::modeEnrol);
    dialog.m_pTestMixer = &mixer;
    CDialogDriver driver;
    driver
        .WhenReady([&] {
            EXPECT_EQ(dialog.m_hWnd, mixer.notifyWindow);
            // Another program turns the microphone up (from 25).
            mixer.Control(CFakeMixer::kWaveInMicVolume)->values = {900};
            dialog.PostMessage(MM_MIXM_CONTROL_CHANGE, reinterpret_cast<WPARAM>(mixer.Handle()),
                               CFakeMixer::kWaveInMicVolume);
        })
        .When([&] { return dialog.GetProgressPos("MIC") == 90; },
              [&] {
                  // The user clicks the speaker bar (the value written is the mixer's test).
                  HWND bar = Control(dialog.m_arrProgress, "SPEAKER").m_hWnd;
                  RECT area{};
                  GetClientRect(bar, &area);
                  const LPARAM at = MAKELPARAM(area.right - 1, area.bottom / 2);
                  SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
                  SendMessageA(bar, WM_LBUTTONUP, 0, at);
                  EXPECT_TRUE(dialog.Click("BUTTON_EXIT"));
              });
    EXPECT_EQ(IDCANCEL, driver.Run(dialog));
    ASSERT_FALSE(mixer.writes.empty());
    EXPECT_EQ(static_cast<DWORD>(CFakeMixer::kSpeakersVolume), mixer.writes.back().first);
    EXPECT_EQ(mixer.opens, mixer.closes);
}

}  // namespace
