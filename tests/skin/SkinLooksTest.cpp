// What the default skin's controls look like on the screen, state by state,
// saved as pictures for a person to look at; each state must change the
// control's look from its plain one.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/capture/WindowPicture.h"
#include "skin/SkinButton.h"
#include "skin/SkinLabel.h"
#include "skin/SkinProgress.h"
#include "skin/StaticToolTip.h"
#include "tests/skin/SkinTestSupport.h"

using namespace sonvera_test;

namespace
{
// Shift-JIS texts: 山田太郎; a hint longer than the hint label holds (マイクに向かって、...).
const char kUserID[] = "\x8E\x52\x93\x63\x91\xBE\x98\x59";
const char kLongHint[] = "\x83\x7D\x83\x43\x83\x4E\x82\xC9\x8C\xFC\x82\xA9\x82\xC1\x82\xC4\x81\x41\x83\x70\x83\x58"
                         "\x83\x8F\x81\x5B\x83\x68\x82\xF0\x82\xCD\x82\xC1\x82\xAB\x82\xE8\x82\xC6\x93\xC7\x82\xF1"
                         "\x82\xC5\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42\x98\x5E\x89\xB9\x82\xCD\x8E\x4F\x95\x62"
                         "\x82\xC5\x8F\x49\x82\xED\x82\xE8\x82\xDC\x82\xB7\x81\x42\x90\xBA\x82\xAA\x8F\xAC\x82\xB3"
                         "\x82\xA2\x82\xC6\x82\xAB\x82\xCD\x81\x41\x83\x7D\x83\x43\x83\x4E\x82\xF0\x8C\xFB\x82\xC9"
                         "\x8B\xDF\x82\xC3\x82\xAF\x82\xC4\x82\xE0\x82\xA4\x88\xEA\x93\x78\x98\x5E\x89\xB9\x82\xB5"
                         "\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81\x42";
// 録音ボタンを押してください; three words (さくら, もみじ, かよう).
const char kRecordHint[] = "\x98\x5E\x89\xB9\x83\x7B\x83\x5E\x83\x93\x82\xF0\x89\x9F\x82\xB5\x82\xC4\x82\xAD\x82\xBE"
                           "\x82\xB3\x82\xA2";
const char* const kWords[] = {"\x82\xB3\x82\xAD\x82\xE7", "\x82\xE0\x82\xDD\x82\xB6", "\x82\xA9\x82\xE6\x82\xA4"};
// The hint popup's colours in the voice dialog.
const COLORREF kTipBackground = RGB(241, 245, 167), kTipText = RGB(8, 64, 0);

// The part of the screen the dialog (at 0, 0) and its popups take.
const CRect kScreenArea(0, 0, 640, 560);

// A copy of kScreenArea as the screen shows it now.
struct CScreenShot {
    CScreenShot() : canvas(kScreenArea.Width(), kScreenArea.Height())
    {
        HDC screen = GetDC(nullptr);
        BitBlt(canvas.DC()->GetSafeHdc(), 0, 0, kScreenArea.Width(), kScreenArea.Height(), screen, 0, 0, SRCCOPY);
        ReleaseDC(nullptr, screen);
    }
    CCanvas canvas;
};

int DifferingPixels(CScreenShot& a, CScreenShot& b, const CRect& area)
{
    int differing = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            differing += a.canvas.At(x, y) != b.canvas.At(x, y) ? 1 : 0;
    return differing;
}

bool Save(CScreenShot& shot, const CRect& area, const std::string& name)
{
    return sonvera_capture::picture_detail::SaveArea(shot.canvas.DC()->GetSafeHdc(), area.TopLeft(), area.Width(),
                                                     area.Height(), std::string(SONVERA_SCREENSHOT_DIR) + "/" + name);
}

// The visible tooltip window of this program, if any.
HWND VisibleControlTip()
{
    for (HWND tip = FindWindowExA(nullptr, nullptr, TOOLTIPS_CLASSA, nullptr); tip != nullptr;
         tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(tip, &process);
        if (process == GetCurrentProcessId() && IsWindowVisible(tip))
            return tip;
    }
    return nullptr;
}

// Puts the pointer over the middle of the control and tells the control, as
// the system would; resting there, the move is also shown to its tooltip, as
// the host's message loop does, until the tooltip shows.
void PointAt(CWnd& control, bool rest = false)
{
    const CRect area = WindowArea(control.m_hWnd);
    const CPoint centre((area.left + area.right) / 2, (area.top + area.bottom) / 2);
    SetCursorPos(centre.x, centre.y);
    CPoint client = centre;
    control.ScreenToClient(&client);
    MSG move{control.m_hWnd, WM_MOUSEMOVE, 0, client.ToLParam(), GetTickCount(), centre};
    if (!rest) {
        control.SendMessage(WM_MOUSEMOVE, 0, client.ToLParam());
        return;
    }
    control.PreTranslateMessage(&move);
    for (int waited = 0; waited < 3000 && VisibleControlTip() == nullptr; waited += 50)
        PumpMessages(50);
}

class SkinLooksTest : public ::testing::Test
{
protected:
    void SetUp() override { CopyDefaultSkin(m_skin.Dir()); }

    CTestSkinFolder m_skin{"default"};
};

TEST_F(SkinLooksTest, EachStateChangesTheControlsLook)
{
    using Dialog = CTestSkinDlg;
    // The voice dialog's layouts: the word combo box, filled, in place of the
    // word label and the password edit; the ID edit, holding an ID and
    // without the focus the dialog gave it, in place of the ID label.
    const auto showCombo = [](Dialog& d) {
        d.SetVisible("LABEL_WORD", 0);
        d.m_editPassword.ShowWindow(SW_HIDE);
        for (const char* word : kWords)
            d.m_comboWord.AddString(word);
        d.m_comboWord.SetCurSel(0);
        d.m_comboWord.ShowWindow(SW_SHOW);
    };
    const auto typeID = [](Dialog& d) {
        d.SetVisible("LABEL_ID", 0);
        d.m_editID.SetText(kUserID);
        ::SetFocus(nullptr);
    };
    const auto record = [](Dialog& d) -> CWnd& { return Control(d.m_arrButtons, "BUTTON_RECORD"); };
    const auto speaker = [](Dialog& d) -> CWnd& { return Control(d.m_arrProgress, "SPEAKER"); };
    const auto hint = [](Dialog& d) -> CWnd& { return Control(d.m_arrLabels, "LABEL_HINT"); };
    const auto editID = [](Dialog& d) -> CWnd& { return d.m_editID; };
    const auto combo = [](Dialog& d) -> CWnd& { return d.m_comboWord; };
    const auto nothing = [](Dialog&) {};
    std::unique_ptr<CStaticToolTip> hintTip;   // the hint case's popup, on its dialog
    // Each control in each state, from a dialog of its own; the pictures are
    // skin-<control>-<state>.png, and skin-<control>-plain.png for the
    // control before its first state. (The dialog without the focus shows no
    // caret that blinks where pictures are compared.)
    const struct {
        const char* control;
        std::function<CWnd&(Dialog&)> window;
        std::function<void(Dialog&)> prepare;   // before the plain look is taken
        const char* state;
        std::function<void(Dialog&)> enter;
        std::function<HWND(Dialog&)> popup = nullptr;   // a window the state opens beside the control
    } cases[] = {
        {"button", record, nothing, "hover", [&](Dialog& d) { PointAt(record(d)); }},
        {"button", record, nothing, "pressed", [&](Dialog& d) { record(d).SendMessage(BM_SETSTATE, TRUE); }},
        {"button", record, nothing, "checked", [](Dialog& d) { d.SetButtonCheck("BUTTON_RECORD", 1); }},
        {"button", record, nothing, "disabled", [](Dialog& d) { d.SetEnable("BUTTON_RECORD", 0); }},
        {"button", record, nothing, "tip", [&](Dialog& d) { PointAt(record(d), true); },
         [](Dialog&) { return VisibleControlTip(); }},
        {"bar", speaker, nothing, "half", [](Dialog& d) { d.SetProgressPos("SPEAKER", 50); }},
        {"bar", speaker, nothing, "full", [](Dialog& d) { d.SetProgressPos("SPEAKER", 100); }},
        {"label", hint, [](Dialog& d) { d.SetText("LABEL_HINT", kLongHint); }, "wrapped",
         [&](Dialog& d) {
             d.StopTimer(1);
             auto& label = static_cast<CScrollLabel&>(hint(d));
             label.EnableScrolling(1);
             // On until the text's end and the separator are in view.
             while (label.GetScrollText().GetLength() - label.GetScrollPos() > 30)
                 label.SendMessage(WM_TIMER, 1);
             label.EnableScrolling(0);
         }},
        {"edit", editID, typeID, "focus",   // the caret after the second character
         [](Dialog& d) {
             ::SetFocus(d.m_editID.m_hWnd);
             d.m_editID.SendMessage(EM_SETSEL, 2, 2);
         }},
        {"edit", editID, typeID, "hover", [&](Dialog& d) { PointAt(d.m_editID); }},
        {"edit", editID, typeID, "disabled", [](Dialog& d) { d.m_editID.EnableWindow(FALSE); }},
        {"edit", editID, typeID, "tip", [](Dialog& d) { PointAt(d.m_editID, true); },
         [](Dialog&) { return VisibleControlTip(); }},
        {"combo", combo, showCombo, "hover", [&](Dialog& d) { PointAt(d.m_comboWord); }},
        {"combo", combo, showCombo, "focus", [](Dialog& d) { ::SetFocus(d.m_comboWord.m_hWnd); }},
        {"combo", combo, showCombo, "dropped", [](Dialog& d) { d.m_comboWord.SendMessage(CB_SHOWDROPDOWN, TRUE); },
         [](Dialog& d) {
             COMBOBOXINFO info{};
             info.cbSize = sizeof info;
             GetComboBoxInfo(d.m_comboWord.m_hWnd, &info);
             return info.hwndList;
         }},
        {"combo", combo, showCombo, "disabled", [](Dialog& d) { d.m_comboWord.EnableWindow(FALSE); }},
        {"hint-tip", [](Dialog& d) -> CWnd& { return d; }, [](Dialog&) { ::SetFocus(nullptr); }, "shown",
         [&](Dialog& d) {
             hintTip = std::make_unique<CStaticToolTip>();
             hintTip->Attach(&d, 0, WindowArea(d.m_hWnd).Height());
             hintTip->SetBkgndColor(1, kTipBackground);
             hintTip->SetTextColor(kTipText);
             hintTip->SetText(kRecordHint);
         },
         [&](Dialog&) { return hintTip->m_hWnd; }},
    };
    std::string plainSaved;
    for (const auto& c : cases) {
        const std::string name = std::string(c.control) + "-" + c.state;
        Dialog dialog;
        ASSERT_TRUE(dialog.Open(m_skin)) << name;
        c.prepare(dialog);
        PumpMessages(150);
        CScreenShot plain;
        c.enter(dialog);
        PumpMessages(150);
        CScreenShot entered;

        CRect area = WindowArea(c.window(dialog).m_hWnd);
        if (c.popup) {
            const HWND popup = c.popup(dialog);
            EXPECT_TRUE(popup != nullptr && IsWindowVisible(popup)) << name;
            if (popup != nullptr) {
                const CRect popupArea = WindowArea(popup);
                UnionRect(&area, &area, &popupArea);
            }
        }
        area.InflateRect(4, 4);
        IntersectRect(&area, &area, &kScreenArea);
        EXPECT_GT(DifferingPixels(plain, entered, area), 0) << name;
        EXPECT_TRUE(Save(entered, area, "skin-" + name + ".png")) << name;
        if (plainSaved != c.control) {
            EXPECT_TRUE(Save(plain, area, std::string("skin-") + c.control + "-plain.png")) << name;
            plainSaved = c.control;
        }
        hintTip.reset();
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
        dialog.DestroyWindow();
        PumpMessages();
    }
}
} // namespace
