// The skin dialog at run time: controls by name, callbacks and painting.
#include <gtest/gtest.h>

#include "fw/ClientDC.h"
#include "skin/SkinButton.h"
#include "skin/SkinLabel.h"
#include "skin/SkinProgress.h"
#include "tests/skin/SkinTestSupport.h"

using namespace sonvera_test;

namespace
{
const COLORREF kPanel = RGB(0, 0, 128);
const COLORREF kGrid = RGB(255, 255, 0);

// Controls below the dialog template's own: mouse tests ask which window is
// under the pointer.
const char kControls[] =
    "[BUTTON]\r\n1=BUTTON_EXIT,10,150,40,20,Exit\r\n2=SHARED,60,150,40,20,Button tip\r\n"
    "[LABEL]\r\n1=LABEL_HINT,Arial,FALSE,FALSE,12,0,0,0,110,150,100,16,Hello,tip\r\n"
    "2=SHARED,Arial,FALSE,FALSE,12,0,0,0,110,170,100,16,Shared,tip\r\n"
    "[PROGRESSINFO]\r\n1=SPEAKER,Speaker,10,200,100,10,V\r\n2=MIC,Mic,10,220,100,10,V\r\n";

class SkinDlgTest : public SkinDialogTest
{
protected:
    void Open(const std::string& wave) { Load("", kControls + ("[WAVE]\r\n" + wave)); }

    CSkinButton& Button(size_t i) { return *m_dialog.m_arrButtons.at(i); }
    CSkinLabel& Label(size_t i) { return *m_dialog.m_arrLabels.at(i); }
    CSkinProgress& Bar(size_t i) { return *m_dialog.m_arrProgress.at(i); }

    static void Click(CWnd& control, int x, int y)
    {
        control.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        control.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        control.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
};

// The text of the control's tooltip (its tool 1), once the control has seen
// the mouse; empty when it has none. Only this thread's tooltips are asked.
CString ToolTipTextOf(CWnd& control)
{
    MSG move{};
    move.hwnd = control.m_hWnd;
    move.message = WM_MOUSEMOVE;
    control.PreTranslateMessage(&move);
    char text[80] = {};
    TTTOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.hwnd = control.m_hWnd;
    info.uId = 1;
    info.lpszText = text;
    HWND tip = nullptr;
    while (text[0] == '\0' && (tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr)) != nullptr) {
        if (GetWindowThreadProcessId(tip, nullptr) == GetCurrentThreadId())
            SendMessageA(tip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
    }
    return text;
}

using Calls = std::vector<std::string>;

TEST_F(SkinDlgTest, ControlsByNameTheirToolTipsAndTheCallbacks)
{
    Open("");
    m_dialog.SetText("LABEL_HINT", "Say the word");
    EXPECT_EQ(CString("Say the word"), m_dialog.GetText("LABEL_HINT"));
    m_dialog.SetText("BUTTON_EXIT", "not a label");   // buttons are not searched
    EXPECT_EQ(CString(), Button(0).GetWindowText());
    EXPECT_EQ(CString(), m_dialog.GetText("label_hint"));

    m_dialog.SetVisible("LABEL_HINT", 0);
    EXPECT_FALSE(Label(0).IsWindowVisible());
    m_dialog.SetEnable("LABEL_HINT", 0);   // labels are not searched
    EXPECT_TRUE(Label(0).IsWindowEnabled());
    m_dialog.SetEnable("BUTTON_EXIT", 0);
    EXPECT_EQ(0, m_dialog.IsEnabled(5001));
    EXPECT_EQ(0, m_dialog.IsEnabled(4999));

    m_dialog.SetButtonCheck("BUTTON_EXIT", 1);
    EXPECT_EQ(1, m_dialog.GetButtonCheck("BUTTON_EXIT"));
    EXPECT_EQ(0, m_dialog.GetButtonCheck("NO_SUCH"));

    m_dialog.SetProgressPos("MIC", 40);
    EXPECT_EQ(40, m_dialog.GetProgressPos("MIC"));
    EXPECT_EQ(0, m_dialog.GetProgressPos("SPEAKER"));
    EXPECT_EQ(0, m_dialog.GetProgressPos("NO_SUCH"));

    EXPECT_EQ(CString("Button tip"), ToolTipTextOf(Button(1)));
    m_dialog.SetToolTip("SHARED", "new tip");
    EXPECT_EQ(CString("new tip"), ToolTipTextOf(Button(1)));
    EXPECT_EQ(CString("tip"), ToolTipTextOf(Label(1)));
    m_dialog.SetProgressToolTip("MIC", "Microphone");
    EXPECT_EQ(CString("Microphone"), ToolTipTextOf(Bar(1)));

    m_dialog.SetEnable("BUTTON_EXIT", 1);
    m_dialog.m_calls.clear();
    Click(Button(0), 5, 5);
    Click(Label(0), 5, 5);
    Button(0).SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(60, 5));   // released outside: no click
    EXPECT_EQ(Calls({"PressButtonID 5001", "PressButtonID 5006"}), m_dialog.m_calls);

    m_dialog.m_calls.clear();
    Button(0).SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(6, 6));   // buttons report no moves
    m_dialog.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(250, 20));
    Click(Bar(1), 30, 5);
    EXPECT_EQ(Calls({"MouseMoved  250 20", "MouseMoved MIC 30 5", "ProgressChanged MIC"}), m_dialog.m_calls);
    EXPECT_EQ(30, m_dialog.GetProgressPos("MIC"));
}

TEST_F(SkinDlgTest, PaintingDrawsTheFaceAndTheWavePanelAsAskedFor)
{
    Open("RECT=20,20,100,80\r\nBACKGROUND=0,0,128\r\nCENTER=255,255,0\r\n");
    const struct {
        CPoint point;
        COLORREF colour;
    } cases[] = {
        {CPoint(5, 5), kFace},       {CPoint(20, 20), kGrid},   {CPoint(20, 99), kGrid},
        {CPoint(119, 20), kGrid},    {CPoint(50, 50), kPanel},  {CPoint(200, 10), kFace},
        {CPoint(24, 40), kGrid},     {CPoint(25, 40), kGrid},   {CPoint(26, 40), kPanel},  // dashes at 1/4 height
        {CPoint(28, 60), kGrid},     {CPoint(28, 80), kGrid},   {CPoint(30, 80), kPanel},
        {CPoint(40, 24), kGrid},     {CPoint(40, 26), kPanel},  {CPoint(100, 28), kGrid},  // at 1/5 and 4/5 width
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.colour, PaintedPixel(m_dialog, c.point.x, c.point.y)) << c.point.x << "," << c.point.y;

    // A panel that is not drawn is still cleared on request.
    Open("RECT=20,20,100,80\r\nBACKGROUND=0,0,128\r\nDRAW=FALSE\r\nDOTLINE=FALSE\r\n");
    EXPECT_EQ(kFace, PaintedPixel(m_dialog, 50, 50));
    EXPECT_EQ(kFace, PaintedPixel(m_dialog, 40, 24));   // no grid
    m_dialog.UpdateWindow();
    m_dialog.DrawWaveRect(0);
    CClientDC dc(m_dialog.m_hWnd);
    EXPECT_EQ(kPanel, dc.GetPixel(50, 50));
}
} // namespace
