#include "voice/SelectDriveDlg.h"

#include "fw/StringArray.h"
#include "resources/resource.h"
#include "userdata/BypassKeyFile.h"
#include "voice/VoiceTexts.h"

CSelectDriveDlg::CSelectDriveDlg(CWnd* pParent) : CDialog(IDD_SELECT_DRIVE, pParent), m_ptOrigin{0, 0} {}

void CSelectDriveDlg::DoDataExchange()
{
    m_listDrives.SubclassDlgItem(IDC_LIST_DRIVES, this);
}

BOOL CSelectDriveDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    PlaceWindow();
    CStringArray drives;
    CBypassKeyFile::ListKeyDrives(drives);
    m_listDrives.ResetContent();
    for (int i = 0; i < drives.GetSize(); ++i)
        m_listDrives.AddString(drives[i]);
    if (drives.GetSize() == 0) {
        MessageBox(voice_text::kNoDrive, voice_text::kNoDriveCaption, MB_OK | MB_ICONEXCLAMATION);
        EndDialog(IDCANCEL);
        return TRUE;
    }
    SetWindowText(voice_text::kChooseDrive);
    return TRUE;
}

void CSelectDriveDlg::PlaceWindow()
{
    CRect window;
    GetWindowRect(&window);
    if (m_ptOrigin.x == 0 && m_ptOrigin.y == 0) {
        m_ptOrigin.x = (GetSystemMetrics(SM_CXSCREEN) - window.Width()) / 2;
        m_ptOrigin.y = (GetSystemMetrics(SM_CYSCREEN) - window.Height()) / 2;
    }
    MoveWindow(CRect(m_ptOrigin.x, m_ptOrigin.y, m_ptOrigin.x + window.Width(), m_ptOrigin.y + window.Height()));
}

LRESULT CSelectDriveDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        if (LOWORD(wParam) == IDC_LIST_DRIVES && HIWORD(wParam) == LBN_DBLCLK) {
            OnChoice();
            return 0;
        }
        if (LOWORD(wParam) == IDC_BUTTON_CANCEL && HIWORD(wParam) == BN_CLICKED) {
            EndDialog(IDCANCEL);
            return 0;
        }
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CSelectDriveDlg::OnChoice()
{
    const int selected = m_listDrives.GetCurSel();
    if (selected == LB_ERR)
        return;
    if (!CBypassKeyFile::KeyPathFromLine(m_listDrives.GetText(selected), m_strKeyPath)) {
        MessageBox(voice_text::kNoBypassKey, voice_text::kCaption, MB_OK | MB_ICONHAND);
        EndDialog(IDCANCEL);
        return;
    }
    EndDialog(IDOK);
}
