// What the dialog shows once it is set up, by mode, purpose, method and the
// model test; and its volume bars on a mixer of the test's own.
#include "DialogTestSupport.h"

#include "resources/resource.h"
#include "skin/SkinLabel.h"
#include "skin/SkinProgress.h"
#include "tests/voice/FakeMixer.h"
#include "voice/VoiceTexts.h"

namespace {

using namespace sonvera_test;

using V = CVoiceDlg;

// Each layout is shown once it is set up, and the two a customer sees most
// are saved as screenshots for a person to look at, in the default skin.
TEST(DialogLayout, ShowsTheControlsOfItsMethod)
{
    const struct {
        const char* name;
        int mode, purpose, logonMethod, cryptMethod, verifyRepeat;
        // "LABEL_ID", "LABEL_WORD", ID edit, word combo box, password edit.
        bool labelId, labelWord, editId, comboWord, editPassword;
        UINT hint;   // 0: the password set-up's hint
        const char* screenshot;
    } cases[] = {
        {"enrolment", V::modeEnrol, V::purposeLogon, 0, 0, 3, true, false, false, true, false, IDS_HINT_CHOOSE_WORD,
         "voice-enrol.png"},
        {"log-on, voice only", V::modeVerify, V::purposeLogon, 1, 0, 3, false, true, true, false, false,
         IDS_HINT_PRESS_RECORD, nullptr},
        {"log-on, password first", V::modeVerify, V::purposeLogon, 0, 1, 3, false, false, true, false, true, 0,
         "voice-password.png"},
        {"log-on, password only", V::modeVerify, V::purposeLogon, 2, 1, 3, false, false, true, false, true, 0, nullptr},
        {"encrypt by the crypt method", V::modeVerify, V::purposeEncrypt, 1, 0, 3, false, false, true, false, true, 0,
         nullptr},
        {"decrypt, voice only", V::modeVerify, V::purposeDecrypt, 0, 1, 3, false, true, true, false, false,
         IDS_HINT_PRESS_RECORD, nullptr},
        {"unknown purpose by the crypt method", V::modeVerify, 9, 1, 2, 3, false, false, true, false, true, 0, nullptr},
        {"setting, always password first", V::modeVerify, V::purposeSetting, 1, 1, 3, false, false, true, false, true,
         0, nullptr},
        {"user, always voice only", V::modeVerify, V::purposeUser, 0, 0, 3, true, true, false, false, false,
         IDS_HINT_PRESS_RECORD, nullptr},
        {"the model test never asks the password", V::modeVerify, V::purposeLogon, 0, 0, 8, true, true, false, false,
         false, IDS_HINT_PRESS_RECORD, nullptr},
    };
    CInstalledApp app;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        app.SetMethods(c.logonMethod, c.cryptMethod);
        CTestVoiceDlg dialog(app, c.mode, c.purpose);
        dialog.m_nVerifyRepeat = c.verifyRepeat;
        auto labelShown = [&dialog](const char* name) {
            return IsWindowVisible(CTestVoiceDlg::Named(dialog.m_arrLabels, name)) != FALSE;
        };
        CDialogDriver driver;
        driver.When([&] { return dialog.m_bReady != 0; },
                    [&] {
                        EXPECT_EQ(c.labelId, labelShown("LABEL_ID"));
                        EXPECT_EQ(c.labelWord, labelShown("LABEL_WORD"));
                        EXPECT_EQ(c.editId, dialog.IsShown(dialog.m_editID));
                        EXPECT_EQ(c.comboWord, dialog.IsShown(dialog.m_comboWord));
                        EXPECT_EQ(c.editPassword, dialog.IsShown(dialog.m_editPassword));
                        EXPECT_EQ(c.hint != 0 ? Resource(c.hint) : std::string(voice_text::kEnterIdAndPassword),
                                  dialog.Label("LABEL_HINT"));
                        if (c.screenshot != nullptr) {
                            EXPECT_TRUE(SaveScreenshot(dialog.m_hWnd, c.screenshot));
                            // The default skin: nine labels, a 480 x 360 window with rounded corners.
                            EXPECT_EQ(9u, dialog.m_arrLabels.size());
                            CRect window;
                            dialog.GetWindowRect(&window);
                            EXPECT_EQ(CSize(480, 360), window.Size());
                            CRgn outline;
                            outline.CreateRectRgn(0, 0, 0, 0);
                            EXPECT_NE(ERROR, GetWindowRgn(dialog.m_hWnd, outline));
                            EXPECT_FALSE(outline.PtInRegion(0, 0));
                        }
                        EXPECT_TRUE(dialog.Click("BUTTON_EXIT"));
                    });
        EXPECT_EQ(IDCANCEL, driver.Run(dialog));
    }
}

TEST(DialogMixer, BarsFollowTheMixerAndAMovedBarIsWrittenBack)
{
    CInstalledApp app;
    CFakeMixer mixer = CFakeMixer::SoundCard();
    CTestVoiceDlg dialog(app, CVoiceDlg::modeEnrol);
    dialog.m_pTestMixer = &mixer;
    int position = -1;
    CDialogDriver driver;
    driver.When([&] { return dialog.m_bReady != 0; },
                [&] {
                    EXPECT_EQ(dialog.m_hWnd, mixer.notifyWindow);
                    // Another program turns the microphone up (from 25).
                    mixer.Control(CFakeMixer::kWaveInMicVolume)->values = {900};
                    dialog.PostMessage(MM_MIXM_CONTROL_CHANGE, reinterpret_cast<WPARAM>(mixer.Handle()),
                                       CFakeMixer::kWaveInMicVolume);
                })
        .When([&] { return dialog.GetProgressPos("MIC") == 90; },
              [&] {
                  // The user clicks the speaker bar near its end.
                  HWND bar = CTestVoiceDlg::Named(dialog.m_arrProgress, "SPEAKER");
                  RECT area{};
                  GetClientRect(bar, &area);
                  SendMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(area.right - 1, area.bottom / 2));
                  SendMessageA(bar, WM_LBUTTONUP, 0, MAKELPARAM(area.right - 1, area.bottom / 2));
                  position = dialog.GetProgressPos("SPEAKER");
                  EXPECT_TRUE(dialog.Click("BUTTON_EXIT"));
              });
    EXPECT_EQ(IDCANCEL, driver.Run(dialog));
    ASSERT_FALSE(mixer.writes.empty());
    EXPECT_EQ(static_cast<DWORD>(CFakeMixer::kSpeakersVolume), mixer.writes.back().first);
    EXPECT_GE(position, 95);
    EXPECT_EQ(std::vector<DWORD>{static_cast<DWORD>(65535 * position * 0.01)}, mixer.writes.back().second);
    EXPECT_EQ(mixer.opens, mixer.closes);
}

}  // namespace
