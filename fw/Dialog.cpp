#include "fw/Dialog.h"

#include <exception>

#include "fw/Module.h"

CDialog::CDialog() = default;

CDialog::CDialog(UINT templateId, CWnd* parent) : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::CDialog(const char* templateName, CWnd* parent) : m_strTemplateName(templateName), m_pParentWnd(parent)
{
    // A name given as MAKEINTRESOURCE is an identifier, not text.
    if (IS_INTRESOURCE(templateName)) {
        m_strTemplateName.Empty();
        m_nIDTemplate = static_cast<UINT>(reinterpret_cast<UINT_PTR>(templateName));
    }
}

INT_PTR CDialog::DoModal()
{
    HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    const bool disableOwner = owner != nullptr && ::IsWindowEnabled(owner);
    m_nModalResult = -1;
    m_bModalRunning = true;
    if (CreateFromTemplate(owner) != nullptr) {
        if (disableOwner)
            ::EnableWindow(owner, FALSE);
        if (m_bModalRunning)
            ShowWindow(SW_SHOWNORMAL);
        RunModalLoop();
        // The owner comes back before the dialog goes, so that it is the one
        // the system activates.
        if (disableOwner)
            ::EnableWindow(owner, TRUE);
    }
    m_bModalRunning = false;
    DestroyWindow();
    return m_nModalResult;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    m_nIDTemplate = templateId;
    m_strTemplateName.Empty();
    m_pParentWnd = parent;
    return CreateFromTemplate(parent != nullptr ? parent->m_hWnd : nullptr) != nullptr;
}

void CDialog::EndDialog(int result)
{
    m_nModalResult = result;
    if (m_bModalRunning) {
        m_bModalRunning = false;
        // Wakes the loop if it waits for a message.
        if (m_hWnd != nullptr)
            PostMessage(WM_NULL);
    } else if (m_hWnd != nullptr) {
        ShowWindow(SW_HIDE);
    }
}

BOOL CDialog::OnInitDialog()
{
    DoDataExchange();
    return TRUE;
}

void CDialog::OnOK()
{
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange() {}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        // From the keyboard (no control) or a button click.
        if (lParam == 0 || HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == IDOK) {
                OnOK();
                return 0;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();
                return 0;
            }
        }
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

HWND CDialog::CreateFromTemplate(HWND owner)
{
    const char* resource = m_strTemplateName.IsEmpty() ? MAKEINTRESOURCEA(m_nIDTemplate) : m_strTemplateName.GetString();
    return ::CreateDialogParamA(GetSonveraModule(), resource, owner, &CDialog::StaticDialogProc,
                                reinterpret_cast<LPARAM>(this));
}

void CDialog::RunModalLoop()
{
    MSG msg{};
    while (m_bModalRunning && m_hWnd != nullptr) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            // The host's own loop must still see the quit request.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (WalkPreTranslateTree(&msg) || ::IsDialogMessageA(m_hWnd, &msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND window, UINT message, WPARAM, LPARAM lParam)
{
    // Only the dialog's initialisation comes here; from then on the window's
    // messages reach the object through CWnd's window procedure, which hands
    // what it does not handle to the dialog manager.
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    if (dialog == nullptr || !dialog->SubclassWindow(window))
        return FALSE;
    try {
        return dialog->OnInitDialog();
    } catch (const std::exception& error) {
        OutputDebugStringA("Sonvera: a dialog's initialisation failed: ");
        OutputDebugStringA(error.what());
        OutputDebugStringA("\n");
    } catch (...) {
        OutputDebugStringA("Sonvera: a dialog's initialisation failed\n");
    }
    return FALSE;
}
