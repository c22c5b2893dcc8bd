// The dialog with the real engine, takes from the recordings: five takes of
// one word train a model, which the host stores; the genuine speaker is then
// let in and logged, and the model test right after the enrolment passes.
// Also Enter before the set-up, exit during a take, and the password-only
// method. What only scripted engine results can force (refused takes,
// end-point errors, retakes) is ScriptedDialogTest's.
#include "DialogTestSupport.h"

#include <algorithm>

#include "resources/resource.h"

namespace {

using namespace sonvera_test;

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class RealEngineTest : public ::testing::Test {
protected:
    // One enrolment for the whole suite, checked here and stored as a host
    // stores it. The dialog object is kept for the model test, which a host
    // runs on the same object right after the enrolment.
    static void SetUpTestSuite()
    {
        s_app = new CInstalledApp;
        s_app->AddUser("george");
        s_enrolment = new CTestVoiceDlg(*s_app, CVoiceDlg::modeEnrol);
        CTestVoiceDlg& dialog = *s_enrolment;
        dialog.m_strUserID = "george";
        for (int take = 0; take < 5; ++take)
            dialog.QueueTake("0_george_" + std::to_string(take));
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
        ASSERT_EQ(IDOK, driver.Run(dialog));
        EXPECT_EQ(1, dialog.m_bTrained);
        EXPECT_EQ(0u, dialog.TakesLeft());
        EXPECT_EQ(Resource(IDS_HINT_TRAINING), dialog.m_hints.back());
        EXPECT_TRUE(dialog.m_prompts.empty());   // narration is off
        EXPECT_GT(ReadRaw(s_app->ModelFile("aaj").str()).size(), 100u);
        // The dialog leaves storing the model and the nick to the host.
        EXPECT_EQ("", s_app->Users().GetVoiceList("george").str());
        s_app->StoreEnrolledModel("george", "aaj");
    }
    static void TearDownTestSuite()
    {
        delete s_enrolment;
        delete s_app;
    }

    void SetUp() override { s_app->SetMethods(1, 1); }

    static CInstalledApp* s_app;
    static CTestVoiceDlg* s_enrolment;
};

CInstalledApp* RealEngineTest::s_app = nullptr;
CTestVoiceDlg* RealEngineTest::s_enrolment = nullptr;

TEST_F(RealEngineTest, GenuineTakeIsAcceptedLoggedAndRemembered)
{
    CTestVoiceDlg dialog(*s_app, CVoiceDlg::modeVerify, CVoiceDlg::purposeDecrypt);
    dialog.QueueTake("0_george_5");
    dialog.m_onWait = [&](int) {
        if (dialog.m_nVerifyOK == 1) {
            EXPECT_TRUE(SaveScreenshot(dialog.m_hWnd, "voice-verify-accepted.png"));
        }
    };
    CDialogDriver driver;
    driver.When([&] { return dialog.m_bReady != 0; },
                [&] {
                    dialog.TypeID("George");   // voice only: the user types the ID
                    EXPECT_TRUE(dialog.Click("BUTTON_RECORD"));
                })
        .When([&] { return dialog.m_nTick > 0; },
              [&] {
                  EXPECT_EQ("1 / 3", dialog.Label("LABEL_REPEAT"));
                  EXPECT_EQ("zero", dialog.Label("LABEL_WORD"));
              });
    EXPECT_EQ(IDOK, driver.Run(dialog));
    EXPECT_EQ(1, dialog.m_nVerifyOK);
    const std::vector<std::string>& hints = dialog.m_hints;
    EXPECT_NE(hints.end(), std::find(hints.begin(), hints.end(), Resource(IDS_HINT_ACCEPTED)));
    const std::vector<std::string> log = s_app->LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(EndsWith(log.back(), "] George : Decrypt : Accept")) << log.back();
    EXPECT_EQ("George", s_app->Setup().GetLastUserProgram().str());
}

TEST_F(RealEngineTest, ModelTestRightAfterTheEnrolmentOnTheSameObjectPasses)
{
    // The host runs the object again with mode 2 and 8 takes; the word just
    // enrolled stays, and the model is the one the enrolment left.
    CTestVoiceDlg& dialog = *s_enrolment;
    dialog.m_nMode = CVoiceDlg::modeVerify;
    dialog.m_nVerifyRepeat = CVoiceDlg::kModelTestTakes;
    for (int take = 5; take < 10; ++take)
        dialog.QueueTake("0_george_" + std::to_string(take));
    const size_t linesBefore = s_app->LogLines().size();
    CDialogDriver driver;
    driver.When([&] { return dialog.m_bReady != 0; },
                [&] {
                    EXPECT_EQ("zero", dialog.Label("LABEL_WORD"));
                    EXPECT_TRUE(dialog.Click("BUTTON_RECORD"));
                });
    EXPECT_EQ(IDOK, driver.Run(dialog));
    EXPECT_GE(dialog.m_nVerifyOK, 4);
    EXPECT_EQ(linesBefore, s_app->LogLines().size());   // the model test logs nothing
}

TEST_F(RealEngineTest, PasswordOnlyEndsWith1WithoutATake)
{
    s_app->SetMethods(1, 2);
    CTestVoiceDlg dialog(*s_app, CVoiceDlg::modeVerify, CVoiceDlg::purposeEncrypt);
    dialog.QueueTake("0_george_7");
    CDialogDriver driver;
    driver.When([&] { return dialog.m_bReady != 0; },
                [&] {
                    dialog.TypeID("nobody");
                    dialog.TypePassword("secret");
                    EXPECT_TRUE(dialog.Click("BUTTON_RECORD"));
                })
        .Then([&] {
            EXPECT_EQ(Resource(IDS_HINT_NO_AUTHORITY), dialog.Hint());
            dialog.TypeID("GEORGE");
            dialog.PressEnter();
        });
    EXPECT_EQ(IDOK, driver.Run(dialog));
    EXPECT_EQ(1u, dialog.TakesLeft());
}

// Enter before the set-up does nothing, after it starts a take; exit during
// the take ends the dialog with 2 once the take is done. Without the
// narration key the prompts are played.
TEST(RealEngineEnrolment, EnterBeforeTheSetUpThenExitDuringATake)
{
    CInstalledApp app;
    app.AddUser("george");
    WritePrivateProfileStringA("VOICE_RECOG_DLL", "Narration", nullptr, app.File("marzet.ini"));
    CTestVoiceDlg dialog(app, CVoiceDlg::modeEnrol);
    dialog.m_strUserID = "george";
    dialog.m_nTimeScale = 100;   // the set-up timer at its full 200 ms, so that Enter comes first
    dialog.QueueTake("0_george_0");
    dialog.QueueTake("0_george_1");
    CDialogDriver driver;
    driver.When([&] { return dialog.m_hWnd != nullptr && !dialog.m_bReady; }, [&] { dialog.PressEnter(); })
        .When([&] { return dialog.m_bReady != 0; },
              [&] {
                  EXPECT_EQ(0, dialog.m_bRecording);   // the early Enter started nothing
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

}  // namespace
