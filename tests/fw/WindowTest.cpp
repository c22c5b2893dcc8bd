// The window layer: a failing handler never takes the window procedure down,
// and a modal dialog offers its messages to PreTranslateMessage until ended.
#include <gtest/gtest.h>

#include <stdexcept>

#include "fw/Dialog.h"
#include "fw/MemoryDC.h"
#include "fw/Pen.h"
#include "resources/resource.h"

namespace
{
const UINT kThrow = WM_APP + 1;

class CThrowingWnd : public CWnd
{
protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == kThrow)
            throw std::runtime_error("handler failed");
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

class CEndingDialog : public CDialog
{
public:
    CEndingDialog() : CDialog(IDD_VOICE_DIALOG) {}
    int m_nPreTranslated = 0;

    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        PostMessage(WM_APP);
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_APP)
            ++m_nPreTranslated;
        return CDialog::PreTranslateMessage(msg);
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_APP) {
            EndDialog(42);
            return 0;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

TEST(Window, HandlersFailInsideTheWindowProcedureAndAModalDialogRunsUntilEnded)
{
    CThrowingWnd window;
    ASSERT_TRUE(window.CreateEx(0, "STATIC", "text", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
    EXPECT_EQ(0, window.SendMessage(kThrow));
    EXPECT_EQ(CString("text"), window.GetWindowText());   // the window still answers
    EXPECT_TRUE(window.DestroyWindow());
    EXPECT_EQ(nullptr, window.m_hWnd);   // its last message let the object go

    CEndingDialog dialog;
    EXPECT_EQ(42, dialog.DoModal());
    EXPECT_EQ(1, dialog.m_nPreTranslated);
    EXPECT_EQ(nullptr, dialog.m_hWnd);

    CMemoryDC memory;
    HGDIOBJ original = GetCurrentObject(memory, OBJ_PEN);
    CPen red(PS_SOLID, 1, RGB(255, 0, 0));
    CPen blue(PS_SOLID, 1, RGB(0, 0, 255));
    {
        CDC scope(memory.GetSafeHdc());
        scope.SelectObject(red);
        scope.SelectObject(blue);
        EXPECT_EQ(blue.GetSafeHandle(), GetCurrentObject(memory, OBJ_PEN));
    }
    EXPECT_EQ(original, GetCurrentObject(memory, OBJ_PEN));
}
} // namespace
