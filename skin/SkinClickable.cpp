#include "skin/SkinClickable.h"

#include "skin/SkinDlg.h"

void ReportSkinClick(HWND child, int nID)
{
    if (CSkinDlg* dialog = CSkinDlg::FromChild(child))
        dialog->PressButtonID(nID);
}
