// The skin dialog: its loader (the value grammar, the sections, pictures and
// outline, the failure messages), and at run time its controls by name, the
// callbacks and the painting.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>

#include "fw/ClientDC.h"
#include "skin/BitmapRegion.h"
#include "skin/PictureFile.h"
#include "skin/SkinButton.h"
#include "skin/SkinLabel.h"
#include "skin/SkinProgress.h"
#include "tests/skin/SkinTestSupport.h"
#include "tests/support/MessageBoxAnswer.h"

using namespace sonvera_test;

namespace
{
// A field is taken as written and the rest trimmed; numbers are leading
// decimal integers; colours keep the low eight bits of each channel, a lone
// field standing for all three; control names map to identifiers exactly
// (the identifiers a click reports: below).
TEST(SkinGrammar, FieldsNumbersColoursAndControlNames)
{
    const char* const fields[][3] = {{" a ,  b ,c ", " a ", "b ,c"}, {",x", "", "x"}, {"a,", "a", ""}};
    for (const auto& [text, field, rest] : fields) {
        CString value = text;
        EXPECT_EQ(CString(field), CSkinDlg::GetFirstParam(value, ",")) << text;
        EXPECT_EQ(CString(rest), value) << text;
    }
    const std::pair<const char*, int> cases[] = {{"  -7", -7}, {"12px", 12}, {"x12", 0},
                                                 {"99999999999", INT_MAX}, {"-99999999999", INT_MIN}};
    for (const auto& [text, number] : cases)
        EXPECT_EQ(number, CSkinDlg::StringToNumber(text)) << text;

    const std::pair<const char*, COLORREF> colours[] = {
        {"1,2,3", RGB(1, 2, 3)}, {"255", RGB(255, 255, 255)}, {"256,0,0", RGB(0, 0, 0)}};
    for (const auto& [text, colour] : colours) {
        CString value = text;
        EXPECT_EQ(colour, CSkinDlg::StringToColor(value)) << text;
    }
    EXPECT_EQ(0, CSkinDlg::ControlNameToID("button_exit"));
}

using SkinLoaderTest = SkinDialogTest;

TEST_F(SkinLoaderTest, OptionsAreOnOnlyForTheirExactWord)
{
    const auto hint = &CTestSkinDlg::m_bHint, labelTip = &CTestSkinDlg::m_bLabelTip;
    const auto draw = &CTestSkinDlg::m_bWaveDraw, dotLine = &CTestSkinDlg::m_bWaveDotLine;
    const struct {
        const char* screen;
        const char* wave;
        int CSkinDlg::*option;
        int expected;
    } cases[] = {
        {"HINT=true\r\n", "", hint, 0},
        {"LABELTIP=TRUE\r\n", "", labelTip, 1},
        {"LABELTIP=yes\r\n", "", labelTip, 0},
        {"", "DRAW=false\r\n", draw, 0},
        {"", "DOTLINE=FALSE\r\n", dotLine, 0},
        {"", "DOTLINE=false\r\n", dotLine, 1},   // anything but FALSE leaves the grid on
    };
    for (const auto& c : cases) {
        Load(c.screen, std::string("[WAVE]\r\n") + c.wave);
        EXPECT_EQ(c.expected, m_dialog.*c.option) << c.screen << c.wave;
    }

    // The prompts are played from the application folder's wave folder.
    EXPECT_EQ(m_skin.AppDir() + "\\wave", m_dialog.m_strWavePath);
}

int CountChildren(HWND parent)
{
    int count = 0;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        ++count;
    return count;
}

// The placed controls, the numbered sections and the labels of one skin,
// loaded twice: the second load leaves one set of controls. (Where and in
// which font they show is for the default skin's screenshots.)
TEST_F(SkinLoaderTest, ControlsOfASkinLoadedTwice)
{
    const std::string screen = "LABEL_ID=Arial,FALSE,FALSE,14,0,0,0,10,120,80,16,Your ID,id tip\r\n"
                               "EDIT_ID=20,30,120,18,Type your ID\r\nCOMBO_WORD=20,60,120,18,Pick a word\r\n";
    // [BUTTON] has two keys, so "1" and "2" are read: "2" is missing and "3"
    // is never seen. The quotes of a label keep the leading space.
    const std::string sections =
        "[BUTTON]\r\n1=BUTTON_RECORD,10,10,40,20,Record,TRUE\r\n3=BUTTON_EXIT,60,10,40,20,Exit\r\n"
        "[PROGRESSINFO]\r\nfirst=MIC,Mic,10,80,100,10,HIGH\r\nsecond=SPEAKER,Speaker,10,100,100,10,V\r\n"
        "1=SPEAKER,Speaker,10,100,100,10,Vertical\r\n2=MIC,Mic,10,80,100,10,Hx\r\n"
        "[LABEL]\r\n1=\" LABEL_HINT,Arial,TRUE,FALSE,12,1,2,3,10,40,100,16,Hello,tip\"\r\n"
        "2=LABEL_MODE,Arial,FALSE,TRUE,-12,255,0,0,10,60,100,16,Mode,tip\r\n";
    Load(screen, sections);
    const int children = CountChildren(m_dialog.m_hWnd);
    m_dialog.m_editPassword.ShowWindow(SW_HIDE);
    Load(screen, sections);
    EXPECT_EQ(children, CountChildren(m_dialog.m_hWnd));

    ASSERT_EQ(1u, m_dialog.m_arrButtons.size());
    EXPECT_EQ(CString("BUTTON_RECORD"), m_dialog.m_arrButtons[0]->GetName());

    // Three keys of which "1" and "2" count; only the first letter of the direction matters.
    ASSERT_EQ(2u, m_dialog.m_arrProgress.size());
    EXPECT_EQ(CString("SPEAKER"), m_dialog.m_arrProgress[0]->GetName());
    EXPECT_EQ(0, m_dialog.m_arrProgress[0]->FillsFromTop());
    EXPECT_EQ(CString("MIC"), m_dialog.m_arrProgress[1]->GetName());
    EXPECT_EQ(1, m_dialog.m_arrProgress[1]->FillsFromTop());

    ASSERT_EQ(3u, m_dialog.m_arrLabels.size());
    const CSkinLabel& hint = *m_dialog.m_arrLabels[0];
    EXPECT_EQ(CString(" LABEL_HINT"), hint.GetName());
    EXPECT_EQ(0, hint.GetID());
    EXPECT_EQ(CString("Hello"), hint.GetWindowText());
    // "LABEL_ID" follows the "LABEL" entries and starts empty.
    const CSkinLabel& id = *m_dialog.m_arrLabels[2];
    EXPECT_EQ(CString("LABEL_ID"), id.GetName());
    EXPECT_EQ(CString(), id.GetWindowText());

    EXPECT_TRUE(m_dialog.m_editID.IsWindowVisible());
    EXPECT_FALSE(m_dialog.m_comboWord.IsWindowVisible());
    EXPECT_FALSE(m_dialog.m_editPassword.IsWindowVisible());   // keeps its visibility
}

TEST_F(SkinLoaderTest, PicturesOfEveryKindAndNone)
{
    CreateDirectoryA(m_skin.File("pictures"), nullptr);
    ASSERT_TRUE(CopyFileA(SONVERA_TEST_DATA "/skin/halves.gif", m_skin.File("pictures\\halves.gif"), FALSE));
    ASSERT_TRUE(WriteRaw(m_skin.File("broken.jpg").GetString(), std::string("\xFF\xD8not a picture", 15)));
    Load("MASK=pictures\\halves.gif\r\nOVER=missing.bmp\r\nDOWN=broken.jpg\r\n"
         "DISALBED=pictures\\halves.gif\r\n",
         "[BUTTON]\r\n1=BUTTON_EXIT,0,0,8,8,Exit\r\n");

    // The mask sizes the window and its white half is cut away.
    EXPECT_EQ(CSize(16, 8), WindowArea(m_dialog.m_hWnd).Size());
    CRgn outline;
    outline.CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, GetWindowRgn(m_dialog.m_hWnd, outline));
    CRect box;
    outline.GetRgnBox(box);
    EXPECT_EQ(CRect(0, 0, 8, 8), box);

    // Every kind goes through one decoder; a missing or undecodable picture
    // is left empty, and so are the button's pictures cut from it.
    EXPECT_EQ(CSize(16, 8), m_dialog.m_bmpDisabled.GetSize());
    EXPECT_TRUE(m_dialog.m_bmpOver.IsNull());
    EXPECT_TRUE(m_dialog.m_bmpDown.IsNull());
    ASSERT_EQ(1u, m_dialog.m_arrButtons.size());

    // A mask that cannot be read is reported and the dialog goes on, the size
    // of the face, the last picture that loaded.
    CMessageBoxAnswer boxes;
    Load("MASK=nothing.bmp\r\n");
    PumpMessages(50);
    EXPECT_EQ(std::vector<std::string>{"Hata: !BitmapToRegion"}, boxes.m_boxes);
    EXPECT_TRUE(m_dialog.IsWindowVisible());
    EXPECT_EQ(CSize(300, 260), WindowArea(m_dialog.m_hWnd).Size());
}

// A skin reads its pictures from its own folder and those below it, never
// from outside (a skin may come from anyone).
TEST_F(SkinLoaderTest, APictureNamedOutsideTheSkinFolderIsLeftEmpty)
{
    // The application folder, two levels above the skin's, holds a picture too.
    ASSERT_TRUE(CopyFileA(SONVERA_TEST_DATA "/skin/grey.gif", m_skin.AppDir() + "\\outside.gif", FALSE));
    CreateDirectoryA(m_skin.File("pictures"), nullptr);
    ASSERT_TRUE(CopyFileA(SONVERA_TEST_DATA "/skin/grey.gif", m_skin.File("pictures\\inside.gif"), FALSE));
    const std::pair<const char*, bool> cases[] = {
        {"pictures\\inside.gif", true}, {"pictures/inside.gif", true}, {"..\\..\\outside.gif", false},
        {"../../outside.gif", false},   {"pictures\\..\\..\\..\\outside.gif", false},
    };
    for (const auto& [down, loaded] : cases) {
        Load(std::string("DOWN=") + down + "\r\n");
        EXPECT_EQ(loaded, !m_dialog.m_bmpDown.IsNull()) << down;
    }
}

// A bitmap file of `rows` rows of `width` pixels (negative: top-down) at
// `bitsPerPixel`, its pixel data cut to `pixelBytes`.
std::string BitmapFile(int width, int rows, WORD bitsPerPixel, size_t pixelBytes)
{
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    const DWORD palette = bitsPerPixel <= 8 ? (4u << bitsPerPixel) : 0;
    file.bfType = 0x4D42;   // "BM"
    file.bfOffBits = sizeof file + sizeof info + palette;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixelBytes);
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = rows;
    info.biPlanes = 1;
    info.biBitCount = bitsPerPixel;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    bytes.append(palette + pixelBytes, '\x55');
    return bytes;
}

// The system's decoder trusts a bitmap's header: a file cut short is no
// picture (a 32-bit one used to take the program down).
TEST(SkinPictures, ABitmapCutShortIsLeftEmpty)
{
    const struct {
        const char* name;
        std::string file;
        CSize size;   // 0 x 0: left empty
    } cases[] = {
        {"whole", BitmapFile(400, 300, 32, 400 * 300 * 4), CSize(400, 300)},
        {"one byte short", BitmapFile(400, 300, 32, 400 * 300 * 4 - 1), CSize()},
        {"32-bit top-down cut short", BitmapFile(400, -300, 32, 100), CSize()},
        {"1-bit cut short", BitmapFile(400, 300, 1, 100), CSize()},
        {"header cut short", BitmapFile(400, 300, 32, 0).substr(0, 20), CSize()},
    };
    CTempFolder folder;
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteRaw(folder.File("picture.bmp").GetString(), c.file)) << c.name;
        CBitmap picture;
        EXPECT_EQ(c.size.cx != 0, LoadPictureFile(folder.File("picture.bmp"), picture) != FALSE) << c.name;
        EXPECT_EQ(c.size, picture.GetSize()) << c.name;
    }
}

// BitmapToRegion: the window outline from a mask picture, in which pure white
// is outside and every other pixel inside.
TEST(BitmapToRegion, OpaquePixelsMakeTheRegion)
{
    const COLORREF kWhite = RGB(255, 255, 255);
    const struct {
        const char* name;
        int width, height;
        ColourAt colourAt;
    } cases[] = {
        {"all white", 40, 30, [=](int, int) { return kWhite; }},
        {"near white", 40, 30, [](int, int) { return RGB(250, 255, 255); }},
        {"rounded corner", 4, 2, [=](int x, int y) { return (x == 0 && y == 0) ? kWhite : RGB(1, 1, 1); }},
        // 50 runs a row, 3000 in all: joined in batches.
        {"more than 2000 runs", 100, 60, [=](int x, int) { return x % 2 ? kWhite : RGB(0, 0, 255); }},
    };
    for (const auto& c : cases) {
        CBitmap mask;
        MakeBitmap(mask, c.width, c.height, c.colourAt);
        CRgn region = BitmapToRegion(mask, kWhite, RGB(16, 16, 16));
        ASSERT_FALSE(region.IsNull()) << c.name;
        int wrong = 0;   // pixels on the wrong side, a frame around the picture included
        for (int y = -1; y <= c.height; ++y) {
            for (int x = -1; x <= c.width; ++x) {
                const bool inPicture = x >= 0 && y >= 0 && x < c.width && y < c.height;
                wrong += region.PtInRegion(x, y) != (inPicture && c.colourAt(x, y) != kWhite);
            }
        }
        EXPECT_EQ(0, wrong) << c.name;
    }
    CBitmap none;
    EXPECT_TRUE(BitmapToRegion(none, kWhite, RGB(16, 16, 16)).IsNull()) << "no picture";
}

TEST(SkinLoadFailure, AMissingSkinIsReportedAndClosesTheDialog)
{
    CTestSkinFolder skin("nosuch");
    CMessageBoxAnswer boxes;
    CTestSkinDlg dialog;
    dialog.SetSkinFile(skin.Name(), "Sonvera log-on", skin.AppDir());
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(std::vector<std::string>{"Sonvera log-on: NOSUCH Skin load failure!"}, boxes.m_boxes);
}

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

    m_dialog.SetVisible("LABEL_HINT", 0);
    EXPECT_FALSE(Label(0).IsWindowVisible());
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
}

// A skin's slips among them: a pen far wider than the window covers all of
// it, and the paint ends (the system takes minutes over such a pen, or
// fails); a panel fifty million pixels wide and high is drawn only where it
// can be seen, with its dashes where they belong (its left edge lies so far
// off that its grid line at 1/5 of the width is at x 40; its line at 1/4 of
// the height is at y 40).
TEST_F(SkinDlgTest, PaintingDrawsTheFaceAndTheWavePanelAsAskedFor)
{
    const struct {
        const char* wave;
        std::vector<std::pair<CPoint, COLORREF>> pixels;
    } cases[] = {
        // The grid's lines at 1/4 of the height and 1/5 of the width.
        {"RECT=20,20,100,80\r\nBACKGROUND=0,0,128\r\nCENTER=255,255,0\r\n",
         {{CPoint(5, 5), kFace}, {CPoint(119, 20), kGrid}, {CPoint(50, 50), kPanel}, {CPoint(25, 40), kGrid},
          {CPoint(40, 24), kGrid}}},
        {"RECT=20,20,100,80\r\nCENTER=255,255,0\r\nWIDTH=1000000\r\n",
         {{CPoint(5, 5), kGrid}, {CPoint(50, 50), kGrid}, {CPoint(299, 259), kGrid}}},
        {"RECT=-9999960,20,50000000,80\r\nBACKGROUND=0,0,128\r\nCENTER=255,255,0\r\n",
         {{CPoint(40, 24), kGrid}, {CPoint(40, 22), kPanel},     // a dash of the vertical line, a gap
          {CPoint(41, 40), kGrid}, {CPoint(42, 40), kPanel},     // of the horizontal line
          {CPoint(200, 40), kGrid}, {CPoint(202, 40), kPanel}}},
        {"RECT=20,20,100,80\r\nBACKGROUND=0,0,128\r\nDRAW=FALSE\r\nDOTLINE=FALSE\r\n",
         {{CPoint(50, 50), kFace}, {CPoint(40, 24), kFace}}},
    };
    const auto print = [this](HDC dc, const CRect&) {
        m_dialog.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    };
    for (const auto& c : cases) {
        Open(c.wave);
        for (const auto& [point, colour] : c.pixels)
            EXPECT_EQ(colour, DrawnPixel(m_dialog, point, print)) << c.wave << point.x << "," << point.y;
    }
    // A panel that is not drawn is still cleared on request.
    m_dialog.UpdateWindow();
    m_dialog.DrawWaveRect(0);
    EXPECT_EQ(kPanel, CClientDC(m_dialog.m_hWnd).GetPixel(50, 50));

    // A paint of one pixel near a frame line 20 pixels wide shows the line there,
    // as a paint of the whole window does.
    Open("RECT=20,20,100,80\r\nBACKGROUND=0,0,128\r\nCENTER=255,255,0\r\nWIDTH=20\r\nDOTLINE=FALSE\r\n");
    EXPECT_EQ(kGrid, DrawnPixel(m_dialog, CPoint(28, 60), [&print](HDC dc, const CRect& client) {
                  IntersectClipRect(dc, 28, 60, 29, 61);
                  print(dc, client);
              }));
}
} // namespace
