// Enrolment through the real dialog and the real engine, takes from the
// recordings: five takes of one word train a model, the take cycle's hints,
// counter and prompts, Enter before the set-up, exit during a take, and
// takes without speech.
#include "DialogTestSupport.h"

#include <algorithm>

#include "resources/resource.h"

namespace {

using namespace sonvera_test;

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
    EXPECT_TRUE(dialog.m_prompts.empty());   // narration is off
    EXPECT_GT(ReadRaw(m_app.ModelFile("aaj").str()).size(), 100u);
    // The dialog leaves storing the model and the nick to the host.
    EXPECT_EQ("", m_app.Users().GetVoiceList("george").str());
}

// Enter before the set-up does nothing, after it starts a take; exit during
// the take ends the dialog with 2 once the take is done. Without the
// narration key the prompts are played.
TEST_F(EnrolmentTest, EnterBeforeTheSetUpThenExitDuringATake)
{
    WritePrivateProfileStringA("VOICE_RECOG_DLL", "Narration", nullptr, m_app.File("marzet.ini"));
    CTestVoiceDlg dialog(m_app, CVoiceDlg::modeEnrol);
    dialog.m_strUserID = "george";
    dialog.m_nTimeScale = 100;   // the set-up timer at its full 200 ms, so that Enter comes first
    dialog.QueueTake("0_george_0");
    dialog.QueueTake("0_george_1");
    CDialogDriver driver;
    driver.When([&] { return dialog.m_hWnd != nullptr && !dialog.m_bReady; }, [&] { dialog.PressEnter(); })
        .When([&] { return dialog.m_bReady != 0; },
              [&] {
                  EXPECT_EQ(0, dialog.m_bRecording);   // the early Enter started nothing
                  EXPECT_EQ(2u, dialog.TakesLeft());
                  dialog.m_nTimeScale = 5;
                  dialog.PressEnter();
              })
        .When([&] { return dialog.m_nTick >= 10; },
              [&] {
                  EXPECT_EQ(1, dialog.m_nTake);
                  EXPECT_TRUE(dialog.Click("BUTTON_EXIT"));
                  EXPECT_EQ(1, dialog.m_bExitRequested);
              });
    EXPECT_EQ(IDCANCEL, driver.Run(dialog));
    EXPECT_EQ(30, dialog.m_nTick);       // the take ran to its end after the press
    EXPECT_EQ(1u, dialog.TakesLeft());   // and no further take began
    EXPECT_EQ(0, dialog.m_bTrained);
    EXPECT_EQ((std::vector<std::string>{"sv_wordrec.wav", "sv_read.wav"}), dialog.m_prompts);
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
    EXPECT_EQ(4, std::count_if(dialog.m_hints.begin(), dialog.m_hints.end(), [&](const std::string& hint) {
                  return std::find(hints.begin(), hints.end(), hint) != hints.end();
              }));
    EXPECT_EQ(3, std::count(dialog.m_hints.begin(), dialog.m_hints.end(), Resource(IDS_HINT_READ_ONCE_MORE)));
}

}  // namespace
