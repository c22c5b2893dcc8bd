// CSelectDriveDlg: the bypass key's drive choice (template 2035). It lists
// the removable and CD-ROM drives; a double click on a line ends it with OK
// and the path of "marzet.key" on that drive, the button under the list with
// Cancel. With no such drive it says so and ends with Cancel at once.
#pragma once

#include "fw/Dialog.h"
#include "fw/ListBox.h"
#include "fw/String.h"

class CSelectDriveDlg : public CDialog {
public:
    explicit CSelectDriveDlg(CWnd* pParent = nullptr);

    BOOL OnInitDialog() override;

    // The key file on the chosen drive, such as "E:\marzet.key"; empty until one is chosen.
    CString m_strKeyPath;
    // Screen position of the top-left corner; 0, 0 centres the dialog.
    POINT m_ptOrigin;

protected:
    void DoDataExchange() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void PlaceWindow();
    void OnChoice();

    CListBox m_listDrives;
};
