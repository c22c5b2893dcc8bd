// CDialog: a dialog made from a template in the library's own resources,
// run modal (DoModal, with a message loop that offers each message to the
// PreTranslateMessage of the windows it is for) or modeless (Create).
#pragma once

#include "fw/Wnd.h"

class SONVERA_API CDialog : public CWnd {
public:
    CDialog();
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    explicit CDialog(const char* templateName, CWnd* parent = nullptr);

    // Runs the dialog until EndDialog; returns its result, or -1 when the
    // dialog could not be made. The parent, if any, is disabled meanwhile.
    virtual INT_PTR DoModal();
    // Makes the dialog modeless from the template; TRUE when the window exists.
    BOOL Create(UINT templateId, CWnd* parent = nullptr);
    // Ends a modal run with the result; hides a modeless dialog.
    void EndDialog(int result);

    // After the template's controls exist: binds them (DoDataExchange).
    // TRUE lets the system give the focus to the first control.
    virtual BOOL OnInitDialog();
    // Enter and the OK button: ends with IDOK.
    virtual void OnOK();
    // Escape, the close box and a close request: ends with IDCANCEL.
    virtual void OnCancel();

protected:
    // Takes over the template's controls that have objects (SubclassDlgItem).
    virtual void DoDataExchange();
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND CreateFromTemplate(HWND owner);
    void RunModalLoop();

    UINT m_nIDTemplate = 0;
    CString m_strTemplateName;
    CWnd* m_pParentWnd = nullptr;
    bool m_bModalRunning = false;
    int m_nModalResult = -1;
};
