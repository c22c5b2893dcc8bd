// Verification through the real dialog and the real engine, against a model
// enrolled through the dialog: the genuine speaker let in and logged, another
// speaker denied after five attempts, the model test after an enrolment (its
// counting is the scripted engine's test), and the password-first and
// password-only methods.
#include "DialogTestSupport.h"

#include <algorithm>
#include <memory>

#include "resources/resource.h"
#include "voice/VoiceTexts.h"

namespace {

using namespace sonvera_test;

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class VerificationTest : public ::testing::Test {
protected:
    // One enrolment for the whole suite, stored as a host stores it. The
    // dialog object is kept for the model test, which a host runs on the
    // same object right after the enrolment.
    static void SetUpTestSuite()
    {
        s_app = new CInstalledApp;
        s_app->AddUser("george");
        s_enrolment = new CTestVoiceDlg(*s_app, CVoiceDlg::modeEnrol);
        s_enrolment->m_strUserID = "george";
        for (int take = 0; take < 5; ++take)
            s_enrolment->QueueTake("0_george_" + std::to_string(take));
        CDialogDriver driver;
        driver.When([] { return s_enrolment->m_bReady != 0; }, [] { s_enrolment->Click("BUTTON_RECORD"); });
        ASSERT_EQ(IDOK, driver.Run(*s_enrolment));
        s_app->StoreEnrolledModel("george", "aaj");
    }
    static void TearDownTestSuite()
    {
        delete s_enrolment;
        delete s_app;
    }

    void SetUp() override { s_app->SetMethods(1, 1); }

    // A verification dialog for a log-on.
    std::unique_ptr<CTestVoiceDlg> Verification(int purpose = CVoiceDlg::purposeLogon)
    {
        return std::make_unique<CTestVoiceDlg>(*s_app, CVoiceDlg::modeVerify, purpose);
    }

    static CInstalledApp* s_app;
    static CTestVoiceDlg* s_enrolment;
};

CInstalledApp* VerificationTest::s_app = nullptr;
CTestVoiceDlg* VerificationTest::s_enrolment = nullptr;

TEST_F(VerificationTest, GenuineTakeIsAcceptedLoggedAndRemembered)
{
    auto dialog = Verification();
    dialog->QueueTake("0_george_5");
    dialog->m_onWait = [&](int) {
        if (dialog->m_nVerifyOK == 1) {
            EXPECT_TRUE(SaveScreenshot(dialog->m_hWnd, "voice-verify-accepted.png"));
        }
    };
    CDialogDriver driver;
    driver.When([&] { return dialog->m_bReady != 0; },
                [&] {
                    // Voice only: the user types the ID.
                    EXPECT_TRUE(dialog->IsShown(dialog->m_editID));
                    EXPECT_FALSE(dialog->IsShown(dialog->m_editPassword));
                    EXPECT_EQ(Resource(IDS_HINT_PRESS_RECORD), dialog->Hint());
                    dialog->TypeID("George");
                    EXPECT_TRUE(dialog->Click("BUTTON_RECORD"));
                })
        .When([&] { return dialog->m_nTick > 0; },
              [&] {
                  EXPECT_EQ("1 / 3", dialog->Label("LABEL_REPEAT"));
                  EXPECT_EQ("zero", dialog->Label("LABEL_WORD"));
              });
    EXPECT_EQ(IDOK, driver.Run(*dialog));
    EXPECT_EQ(1, dialog->m_nVerifyOK);
    EXPECT_NE(dialog->m_hints.end(),
              std::find(dialog->m_hints.begin(), dialog->m_hints.end(), Resource(IDS_HINT_ACCEPTED)));
    const std::vector<std::string> log = s_app->LogLines();
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(EndsWith(log.back(), "] George : Logon : Accept")) << log.back();
    EXPECT_EQ("George", s_app->Setup().GetLastUserProgram().str());
}

TEST_F(VerificationTest, AnotherSpeakerIsDeniedAfterFiveAttempts)
{
    auto dialog = Verification(CVoiceDlg::purposeDecrypt);
    for (int take = 0; take < 5; ++take)
        dialog->QueueTake("0_jackson_" + std::to_string(take));
    dialog->m_strUserID = "george";
    std::vector<std::string> counters;
    dialog->m_onWait = [&](int ms) {
        if (ms == 500)   // the wait after each rejection
            counters.push_back(dialog->Label("LABEL_REPEAT"));
    };
    const size_t linesBefore = s_app->LogLines().size();
    CDialogDriver driver;
    driver.When([&] { return dialog->m_bReady != 0; }, [&] { EXPECT_TRUE(dialog->Click("BUTTON_RECORD")); });
    EXPECT_EQ(IDCANCEL, driver.Run(*dialog));
    EXPECT_EQ(0u, dialog->TakesLeft());
    EXPECT_EQ(0, dialog->m_nAttemptsLeft);
    EXPECT_EQ(5, std::count(dialog->m_hints.begin(), dialog->m_hints.end(), Resource(IDS_HINT_REJECTED)));
    // Every attempt is take 1 of the host's total: the pause after each of the
    // five verdicts (narration is off) and before each of the four new takes.
    EXPECT_EQ(std::vector<std::string>(9, "1 / 3"), counters);
    const std::vector<std::string> log = s_app->LogLines();
    ASSERT_EQ(linesBefore + 1, log.size());
    EXPECT_TRUE(EndsWith(log.back(), "] george : Decrypt : Denied")) << log.back();
}

TEST_F(VerificationTest, ModelTestRightAfterTheEnrolmentOnTheSameObjectPasses)
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
                    EXPECT_FALSE(dialog.IsShown(dialog.m_editPassword));
                    EXPECT_EQ("zero", dialog.Label("LABEL_WORD"));
                    EXPECT_TRUE(dialog.Click("BUTTON_RECORD"));
                });
    EXPECT_EQ(IDOK, driver.Run(dialog));
    EXPECT_GE(dialog.m_nVerifyOK, 4);
    EXPECT_EQ(linesBefore, s_app->LogLines().size());   // the model test logs nothing
}

TEST_F(VerificationTest, PasswordFirstThenVoice)
{
    s_app->SetMethods(0, 1);
    auto dialog = Verification();
    dialog->QueueTake("0_george_6");
    CDialogDriver driver;
    driver.When([&] { return dialog->m_bReady != 0; },
                [&] {
                    EXPECT_EQ(voice_text::kEnterIdAndPassword, dialog->Hint());
                    EXPECT_TRUE(dialog->IsShown(dialog->m_editID));
                    EXPECT_TRUE(dialog->IsShown(dialog->m_editPassword));
                    EXPECT_FALSE(dialog->IsShown(dialog->m_comboWord));
                    dialog->TypeID("george");
                    dialog->TypePassword("Secret");
                    EXPECT_TRUE(dialog->Click("BUTTON_RECORD"));
                })
        .Then([&] {
            EXPECT_EQ(voice_text::kWrongPassword, dialog->Hint());
            EXPECT_EQ("", dialog->m_editPassword.GetWindowText().str());
            EXPECT_EQ(1u, dialog->TakesLeft());
            dialog->TypePassword("secret");
            EXPECT_TRUE(dialog->Click("BUTTON_RECORD"));
        })
        .When([&] { return dialog->m_bReady != 0; },
              [&] {
                  // The voice stage: the ID and word fixed, the record button starts a take.
                  EXPECT_FALSE(dialog->IsShown(dialog->m_editPassword));
                  EXPECT_FALSE(dialog->IsShown(dialog->m_editID));
                  EXPECT_EQ(Resource(IDS_HINT_PRESS_RECORD), dialog->Hint());
                  EXPECT_TRUE(dialog->Click("BUTTON_RECORD"));
              });
    EXPECT_EQ(IDOK, driver.Run(*dialog));
    EXPECT_EQ(0u, dialog->TakesLeft());
}

TEST_F(VerificationTest, PasswordOnlyEndsWith1WithoutATake)
{
    s_app->SetMethods(1, 2);
    auto dialog = Verification(CVoiceDlg::purposeEncrypt);
    dialog->QueueTake("0_george_7");
    CDialogDriver driver;
    driver.When([&] { return dialog->m_bReady != 0; },
                [&] {
                    dialog->TypeID("nobody");
                    dialog->TypePassword("secret");
                    EXPECT_TRUE(dialog->Click("BUTTON_RECORD"));
                })
        .Then([&] {
            EXPECT_EQ(Resource(IDS_HINT_NO_AUTHORITY), dialog->Hint());
            dialog->TypeID("GEORGE");
            dialog->PressEnter();
        });
    EXPECT_EQ(IDOK, driver.Run(*dialog));
    EXPECT_EQ(1u, dialog->TakesLeft());
}

}  // namespace
