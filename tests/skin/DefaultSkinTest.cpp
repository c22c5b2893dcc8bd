// The default skin as a customer sees it: the voice dialog's template with
// skin\DEFAULT, in the enrolment layout and in the password layout, saved as
// screenshots under the build tree's screenshots folder for a person to look at.
#include <gtest/gtest.h>

#include "tests/skin/SkinTestSupport.h"
#include "host/capture/WindowPicture.h"

using namespace sonvera_test;

namespace
{
// Sample pass-phrase words, Shift-JIS: ひらけごま, たけのこ, さくらんぼ.
const char* const kWords[] = {"\x82\xD0\x82\xE7\x82\xAF\x82\xB2\x82\xDC", "\x82\xBD\x82\xAF\x82\xCC\x82\xB1",
                              "\x82\xB3\x82\xAD\x82\xE7\x82\xF1\x82\xDA"};

class DefaultSkinTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The source tree stands in for the application folder: it holds skin\DEFAULT.
        m_dialog.SetSkinFile("default", "Sonver", SONVERA_APP_FOLDER);
        ASSERT_TRUE(m_dialog.Create(IDD_VOICE_DIALOG));
        for (const char* word : kWords)
            m_dialog.m_comboWord.AddString(word);
        m_dialog.m_comboWord.SetCurSel(0);
        m_dialog.SetText("LABEL_MODE", Resource(IDS_MODE_ENROL));
        m_dialog.SetText("LABEL_REPEAT", "1 / 5");
        m_dialog.SetText("LABEL_ID", "yamada");
        m_dialog.SetProgressPos("SPEAKER", 70);
        m_dialog.SetProgressPos("MIC", 45);
    }

    static CString Resource(UINT id)
    {
        CString text;
        text.LoadString(id);
        return text;
    }

    // Shows the dialog in the middle of the screen and saves what it looks like.
    void Capture(const char* name)
    {
        m_dialog.SetWindowPos(nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SetActiveWindow(nullptr);
        m_dialog.ShowWindow(SW_SHOWNOACTIVATE);
        m_dialog.RedrawWindow(RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        PumpMessages(300);
        const std::string path = std::string(SONVERA_SCREENSHOT_DIR) + "/" + name;
        EXPECT_TRUE(sonvera_capture::SaveScreenArea(m_dialog.m_hWnd, path)) << path;
    }

    static void Show(CWnd& control, bool shown) { control.ShowWindow(shown ? SW_SHOW : SW_HIDE); }

    CTestSkinDlg m_dialog;
};

TEST_F(DefaultSkinTest, LoadsEveryControlTheVoiceDialogNames)
{
    EXPECT_EQ(3u, m_dialog.m_arrButtons.size());
    EXPECT_EQ(9u, m_dialog.m_arrLabels.size());
    EXPECT_EQ(2u, m_dialog.m_arrProgress.size());
    for (int id = 5000; id <= 5002; ++id)
        EXPECT_EQ(1, m_dialog.IsEnabled(id)) << id;
    CRect window;
    m_dialog.GetWindowRect(&window);
    EXPECT_EQ(CSize(480, 360), window.Size());
    // Rounded: the corner pixel is outside the window's outline, the middle inside.
    CRgn outline;
    outline.CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, GetWindowRgn(m_dialog.m_hWnd, outline));
    EXPECT_FALSE(outline.PtInRegion(0, 0));
    EXPECT_TRUE(outline.PtInRegion(240, 180));
}

TEST_F(DefaultSkinTest, ScreenshotsOfTheEnrolmentAndPasswordLayouts)
{
    m_dialog.SetText("LABEL_HINT", Resource(IDS_HINT_CHOOSE_WORD));
    m_dialog.SetVisible("LABEL_ID", 1);
    m_dialog.SetVisible("LABEL_WORD", 0);
    Show(m_dialog.m_editID, false);
    Show(m_dialog.m_comboWord, true);
    Show(m_dialog.m_editPassword, false);
    Capture("default-skin-enrol.png");

    m_dialog.SetText("LABEL_MODE", Resource(IDS_MODE_VERIFY));
    m_dialog.SetText("LABEL_HINT", Resource(IDS_HINT_ENTER_ID));
    m_dialog.SetVisible("LABEL_ID", 0);
    m_dialog.SetVisible("LABEL_WORD", 0);
    Show(m_dialog.m_editID, true);
    m_dialog.m_editID.SetText("yamada");
    Show(m_dialog.m_comboWord, false);
    Show(m_dialog.m_editPassword, true);
    m_dialog.m_editPassword.SetText("secret");
    m_dialog.SetButtonCheck("BUTTON_FLOPPY", 1);
    Capture("default-skin-password.png");
}
} // namespace
