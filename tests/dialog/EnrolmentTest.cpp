// Enrolment through the real dialog and the real engine, takes from the
// recordings: five takes of one word train a model, the take cycle's hints
// and counter, Enter before the set-up, and takes without speech.
#include "DialogTestSupport.h"

#include <algorithm>

#include "resources/resource.h"

namespace voicetest {
namespace {

class EnrolmentTest : public ::testing::Test {
protected:
    void SetUp() override { m_app.AddUser("george"); }

    CInstalledApp m_app;
};

TEST_F(EnrolmentTest, FiveTakesOfOneWordEndWith1AndLeaveAModel)
{
    CTestVoiceDlg dialog(m_app, CVoiceDlg::modeEnrol);
    dialog.m_strUserID = "george";
    for (int take = 0; take < 5; ++take)
        dialog.QueueTake("0_george_" + std::to_string(take));
    std::vector<std::string> counters;
    CDialogDriver driver;
    driver.When([&] { return dialog.m_bReady != 0; },
                [&] {
                    EXPECT_EQ("0 / 5", dialog.Label("LABEL_REPEAT"));
                    EXPECT_EQ(Resource(IDS_MODE_ENROL), dialog.Label("LABEL_MODE"));
                    EXPECT_EQ("zero", dialog.m_comboWord.GetWindowText().str());
                    EXPECT_TRUE(dialog.Click("BUTTON_RECORD"));
                })
        .When([&] { return dialog.m_nTick >= 15; },
              [&] {
                  EXPECT_FALSE(dialog.IsButtonEnabled("BUTTON_RECORD"));
                  EXPECT_TRUE(dialog.IsButtonEnabled("BUTTON_EXIT"));
                  EXPECT_TRUE(SaveScreenshot(dialog.m_hWnd, "voice-enrol-live.png"));
              });
    dialog.m_onWait = [&](int) { counters.push_back(dialog.Label("LABEL_REPEAT")); };

    EXPECT_EQ(IDOK, driver.Run(dialog));
    EXPECT_EQ(1, dialog.m_bTrained);
    EXPECT_EQ(0u, dialog.TakesLeft());
    EXPECT_EQ((std::vector<std::string>{"1 / 5", "2 / 5", "3 / 5", "4 / 5"}), counters);
    EXPECT_EQ(Resource(IDS_HINT_TRAINING), dialog.m_hints.back());
    EXPECT_GT(sonvera_test::ReadRaw(m_app.ModelFile("aaj").str()).size(), 100u);
    // The dialog leaves storing the model and the nick to the host.
    EXPECT_EQ("", m_app.Users().GetVoiceList("george").str());
}

TEST_F(EnrolmentTest, EnterDoesNothingBeforeTheSetUpAndStartsATakeAfterIt)
{
    CTestVoiceDlg dialog(m_app, CVoiceDlg::modeEnrol);
    dialog.m_strUserID = "george";
    dialog.m_nTimeScale = 100;   // the set-up timer at its full 200 ms, so that Enter comes first
    dialog.QueueTake("0_george_0");
    CDialogDriver driver;
    driver.When([&] { return dialog.m_hWnd != nullptr && !dialog.m_bReady; }, [&] { dialog.PressEnter(); })
        .When([&] { return dialog.m_bReady != 0; },
              [&] {
                  EXPECT_EQ(0, dialog.m_bRecording);   // the early Enter started nothing
                  EXPECT_EQ(1u, dialog.TakesLeft());
                  dialog.m_nTimeScale = 5;
                  dialog.PressEnter();
              })
        .When([&] { return dialog.m_bRecording != 0; },
              [&] {
                  EXPECT_EQ(1, dialog.m_nTake);
                  EXPECT_EQ(0u, dialog.TakesLeft());
                  EXPECT_TRUE(dialog.Click("BUTTON_EXIT"));
              });
    EXPECT_EQ(IDCANCEL, driver.Run(dialog));
}

TEST_F(EnrolmentTest, TakesWithoutSpeechAreRetakenAndStopAfterTheFourth)
{
    CTestVoiceDlg dialog(m_app, CVoiceDlg::modeEnrol);
    dialog.m_strUserID = "george";
    for (int take = 0; take < 5; ++take)
        dialog.QueueSilence();
    CDialogDriver driver;
    driver.When([&] { return dialog.m_bReady != 0; }, [&] { EXPECT_TRUE(dialog.Click("BUTTON_RECORD")); })
        .When([&] { return dialog.TakesLeft() == 1 && !dialog.m_bRecording; },
              [&] {
                  // Idle after four takes: every button back, the limit's count cleared.
                  EXPECT_TRUE(dialog.IsButtonEnabled("BUTTON_RECORD"));
                  EXPECT_TRUE(dialog.IsButtonEnabled("BUTTON_FLOPPY"));
                  EXPECT_EQ(0, dialog.m_nRetry);
                  EXPECT_EQ(1, dialog.m_nTake);   // a take without speech is not counted
                  EXPECT_TRUE(dialog.Click("BUTTON_EXIT"));
              });
    EXPECT_EQ(IDCANCEL, driver.Run(dialog));
    // Silence is too quiet or has no word of a plausible length.
    const std::vector<std::string> hints = {Resource(IDS_HINT_LENGTH_ABNORMAL), Resource(IDS_HINT_TOO_QUIET)};
    int noSpeech = 0;
    for (const std::string& hint : dialog.m_hints)
        noSpeech += std::find(hints.begin(), hints.end(), hint) != hints.end() ? 1 : 0;
    EXPECT_EQ(4, noSpeech);
    EXPECT_EQ(3, std::count(dialog.m_hints.begin(), dialog.m_hints.end(), Resource(IDS_HINT_READ_ONCE_MORE)));
}

TEST_F(EnrolmentTest, ExitDuringATakeEndsWith2WhenTheTakeIsDone)
{
    CTestVoiceDlg dialog(m_app, CVoiceDlg::modeEnrol);
    dialog.m_strUserID = "george";
    dialog.QueueTake("0_george_0");
    dialog.QueueTake("0_george_1");
    CDialogDriver driver;
    driver.When([&] { return dialog.m_bReady != 0; }, [&] { EXPECT_TRUE(dialog.Click("BUTTON_RECORD")); })
        .When([&] { return dialog.m_nTick >= 10; },
              [&] {
                  EXPECT_TRUE(dialog.Click("BUTTON_EXIT"));
                  EXPECT_EQ(1, dialog.m_bExitRequested);
              });
    EXPECT_EQ(IDCANCEL, driver.Run(dialog));
    EXPECT_EQ(30, dialog.m_nTick);             // the take ran to its end after the press
    EXPECT_EQ(1u, dialog.TakesLeft());         // and no further take began
    EXPECT_EQ(0, dialog.m_bTrained);
}

TEST_F(EnrolmentTest, NarrationOffSilencesThePromptsAndAMissingKeyLeavesThemOn)
{
    auto promptsOfOneTake = [&](CTestVoiceDlg& dialog) {
        dialog.m_strUserID = "george";
        dialog.QueueTake("0_george_0");
        CDialogDriver driver;
        driver.When([&] { return dialog.m_bReady != 0; }, [&] { EXPECT_TRUE(dialog.Click("BUTTON_RECORD")); })
            .When([&] { return dialog.m_nTick > 0; }, [&] { EXPECT_TRUE(dialog.Click("BUTTON_EXIT")); });
        EXPECT_EQ(IDCANCEL, driver.Run(dialog));
        return dialog.m_prompts;
    };
    CTestVoiceDlg silent(m_app, CVoiceDlg::modeEnrol);
    EXPECT_TRUE(promptsOfOneTake(silent).empty());

    WritePrivateProfileStringA("VOICE_RECOG_DLL", "Narration", nullptr, m_app.File("marzet.ini"));
    CTestVoiceDlg speaking(m_app, CVoiceDlg::modeEnrol);
    EXPECT_EQ((std::vector<std::string>{"sv_wordrec.wav", "sv_read.wav"}), promptsOfOneTake(speaking));
}

}  // namespace
}  // namespace voicetest
