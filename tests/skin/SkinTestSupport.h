// Helpers of the skin tests: pictures on disk and in memory, a scratch skin
// folder, a skinned dialog open to the checks, and timer-driven steps.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "fw/Bitmap.h"
#include "fw/ClientDC.h"
#include "fw/MemoryDC.h"
#include "resources/resource.h"
#include "skin/SkinCombo.h"
#include "skin/SkinDlg.h"
#include "skin/SkinEdit.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"

namespace sonvera_test
{
using ColourAt = std::function<COLORREF(int x, int y)>;

// A bitmap in memory with every pixel from the function.
inline void MakeBitmap(CBitmap& bitmap, int width, int height, const ColourAt& colourAt)
{
    bitmap.CreateCompatibleBitmap(CClientDC(nullptr), width, height);
    CMemoryDC dc;
    dc.SelectObject(bitmap);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            SetPixelV(dc, x, y, colourAt(x, y));
}

// A canvas in memory in the screen's format, filled with its paper colour.
class CCanvas
{
public:
    CCanvas(int width, int height, COLORREF paper = RGB(255, 255, 255)) : m_width(width), m_paper(paper)
    {
        CClientDC screen(nullptr);
        m_bitmap.CreateCompatibleBitmap(screen, width, height);
        m_dc.SelectObject(m_bitmap);
        m_dc.FillSolidRect(CRect(0, 0, width, height), paper);
    }

    CDC* DC() { return &m_dc; }
    COLORREF At(int x, int y) { return m_dc.GetPixel(x, y); }

    // Columns of a row that are not paper.
    std::vector<int> InkedColumns(int y)
    {
        std::vector<int> columns;
        for (int x = 0; x < m_width; ++x)
            if (At(x, y) != m_paper)
                columns.push_back(x);
        return columns;
    }

private:
    int m_width;
    COLORREF m_paper;
    CBitmap m_bitmap;
    CMemoryDC m_dc;
};

// The colour at a point of what `draw` puts into a canvas the size of the
// window's client area, its paper a colour no picture here uses.
inline COLORREF DrawnPixel(CWnd& window, CPoint point, const std::function<void(HDC, const CRect&)>& draw)
{
    CRect client;
    window.GetClientRect(&client);
    CCanvas canvas(client.Width(), client.Height(), RGB(1, 2, 3));
    draw(canvas.DC()->GetSafeHdc(), client);
    return canvas.At(point.x, point.y);
}

// Where the window lies on the screen.
inline CRect WindowArea(HWND window)
{
    CRect rect;
    GetWindowRect(window, &rect);
    return rect;
}

// An application folder holding one skin: <app>\skin\<NAME>\skin.ini and its pictures.
class CTestSkinFolder
{
public:
    explicit CTestSkinFolder(const char* name = "Test") : m_name(name)
    {
        CString upper = m_name;
        m_dir = m_app.File("skin\\") + upper.MakeUpper();
        CreateDirectoryA(m_app.File("skin"), nullptr);
        CreateDirectoryA(m_dir, nullptr);
    }

    CString AppDir() const { return m_app.Path(); }
    CString Name() const { return m_name; }
    CString Dir() const { return m_dir; }
    CString File(const char* name) const { return m_dir + "\\" + name; }

private:
    CTempFolder m_app;
    CString m_name;
    CString m_dir;
};

#ifdef SONVERA_SOURCE_DIR
// Copies the default skin's files from the source tree into the folder.
inline void CopyDefaultSkin(const CString& folder)
{
    for (const char* name : {"skin.ini", "main.bmp", "mask.bmp", "over.bmp", "down.bmp", "disabled.bmp"}) {
        const std::string source = std::string(SONVERA_SOURCE_DIR) + "/skin/DEFAULT/" + name;
        ASSERT_TRUE(CopyFileA(source.c_str(), folder + "\\" + name, FALSE)) << name;
    }
}
#endif

// The skin control of that name in m_arrButtons, m_arrLabels or m_arrProgress; null when there is none.
template <class T>
T* Named(const std::vector<std::unique_ptr<T>>& controls, const char* name)
{
    for (const auto& control : controls)
        if (control->GetName() == name)
            return control.get();
    return nullptr;
}

// The skin's control of that name: a skin without it fails the test by the
// name instead of ending the program.
template <class T>
CWnd& Control(const std::vector<std::unique_ptr<T>>& controls, const char* name)
{
    T* control = Named(controls, name);
    return control ? *control : throw std::runtime_error(std::string("the skin has no ") + name);
}

// Lets the thread's pending messages (paints, timers, posted commands) run.
inline void PumpMessages(DWORD forMs = 0)
{
    const DWORD until = GetTickCount() + forMs;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (forMs > 0)
            Sleep(5);
    } while (static_cast<LONG>(until - GetTickCount()) > 0);
}

// Steps played one per tick of a thread timer, so that they run inside
// whichever loop the thread is in (a menu's, a dialog's, a message box's). A
// step returns false to be tried again at the next tick; it counts as done
// before it runs, so that one that opens a loop of its own lets the next
// steps run inside that loop. Steps only post input where a sent message
// would open such a loop inside the step. Past the time limit the test fails
// and `onTimeout` closes whatever is open, so that no loop is left waiting.
class CTimerScript
{
public:
    using Step = std::function<bool()>;

    CTimerScript(std::vector<Step> steps, DWORD limitMs, std::function<void()> onTimeout)
        : m_steps(std::move(steps)), m_deadline(GetTickCount() + limitMs), m_onTimeout(std::move(onTimeout))
    {
        s_current = this;
        m_timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &CTimerScript::Tick);
    }
    ~CTimerScript()
    {
        KillTimer(nullptr, m_timer);
        s_current = nullptr;
    }
    CTimerScript(const CTimerScript&) = delete;
    CTimerScript& operator=(const CTimerScript&) = delete;

    bool Done() const { return m_next == m_steps.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        CTimerScript* script = s_current;
        if (script == nullptr || script->m_timedOut)
            return;
        if (static_cast<LONG>(GetTickCount() - script->m_deadline) > 0) {
            ADD_FAILURE() << "still running after the time limit, at script step " << script->m_next;
            script->m_timedOut = true;
            script->m_next = script->m_steps.size();
            script->m_onTimeout();
        } else if (!script->Done()) {
            const size_t step = script->m_next++;
            if (!script->m_steps[step]())
                script->m_next = step;
        }
    }

    static inline CTimerScript* s_current = nullptr;   // the script the timer plays
    std::vector<Step> m_steps;
    size_t m_next = 0;
    DWORD m_deadline;
    std::function<void()> m_onTimeout;
    bool m_timedOut = false;
    UINT_PTR m_timer = 0;
};

// A step that acts once its condition holds; and one that acts at once.
inline CTimerScript::Step When(std::function<bool()> condition, std::function<void()> action)
{
    return [condition, action] {
        if (!condition())
            return false;
        action();
        return true;
    };
}
inline CTimerScript::Step Do(std::function<void()> action)
{
    return When([] { return true; }, std::move(action));
}

// A skinned dialog on the voice dialog's template (3000) with its three
// placed controls, that records its callbacks and opens its fields.
class CTestSkinDlg : public CSkinDlg
{
public:
    CTestSkinDlg() : CSkinDlg(IDD_VOICE_DIALOG) { SetPlacedControls(&m_editID, &m_comboWord, &m_editPassword); }

    // Creates the dialog modeless with the skin, shown and active. It is shown
    // inactive and activated afterwards: Wine hands a window that is active
    // as it appears to the window manager, and without one (Xvfb) waits two
    // seconds for it to go away when it is destroyed.
    bool Open(const CTestSkinFolder& skin)
    {
        SetSkinFile(skin.Name(), "Sonver", skin.AppDir());
        // The display's pointer, left over the place where the dialog appears,
        // would send it a mouse move of its own among the tests' messages.
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
        if (!Create(IDD_VOICE_DIALOG))
            return false;
        SetActiveWindow(nullptr);
        ShowWindow(SW_SHOWNOACTIVATE);
        SetActiveWindow(m_hWnd);
        PumpMessages();
        return true;
    }

    void PressButtonID(int id) override { m_calls.push_back("PressButtonID " + std::to_string(id)); }
    void ProgressChanged(CString name) override { m_calls.push_back("ProgressChanged " + name.str()); }
    void MouseMoved(CString name, int x, int y) override
    {
        m_calls.push_back("MouseMoved " + name.str() + " " + std::to_string(x) + " " + std::to_string(y));
    }

    using CSkinDlg::m_arrButtons, CSkinDlg::m_arrLabels, CSkinDlg::m_arrProgress;
    using CSkinDlg::m_bHint, CSkinDlg::m_bLabelTip, CSkinDlg::m_bWaveDotLine, CSkinDlg::m_bWaveDraw;
    using CSkinDlg::m_bmpDisabled, CSkinDlg::m_bmpDown, CSkinDlg::m_bmpOver;
    using CSkinDlg::m_strWavePath;

    CSkinEdit m_editID;
    CSkinCombo m_comboWord;
    CSkinEdit m_editPassword;
    std::vector<std::string> m_calls;

protected:
    void DoDataExchange() override
    {
        m_editID.SubclassDlgItem(IDC_EDIT_ID, this);
        m_comboWord.SubclassDlgItem(IDC_COMBO_WORD, this);
        m_editPassword.SubclassDlgItem(IDC_EDIT_PASSWORD, this);
    }
};

// Tests on an open skinned dialog whose face is a plain grey picture.
class SkinDialogTest : public ::testing::Test
{
protected:
    static constexpr COLORREF kFace = RGB(128, 128, 128);

    void SetUp() override
    {
        ASSERT_TRUE(CopyFileA(SONVERA_TEST_DATA "/skin/grey.gif", m_skin.File("grey.gif"), FALSE));
    }

    // Writes skin.ini, its [SCREEN] section naming the face (300 x 260) first, and opens
    // the dialog with it, or loads it again when the dialog is open.
    void Load(const std::string& screenLines = "", const std::string& otherSections = "")
    {
        ASSERT_TRUE(WriteRaw(m_skin.File("skin.ini").GetString(),
                             "[SCREEN]\r\nMAIN=grey.gif\r\n" + screenLines + otherSections));
        if (m_dialog.m_hWnd == nullptr) {
            ASSERT_TRUE(m_dialog.Open(m_skin));
            return;
        }
        SetActiveWindow(nullptr);   // inactive for the same reason as in Open
        const int loaded = m_dialog.LoadSkins();
        SetActiveWindow(m_dialog.m_hWnd);
        PumpMessages();
        ASSERT_EQ(1, loaded);
    }

    CTestSkinFolder m_skin;
    CTestSkinDlg m_dialog;
};

} // namespace sonvera_test
