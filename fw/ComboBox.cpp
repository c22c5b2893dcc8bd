#include "fw/ComboBox.h"

const CRuntimeClass CComboBox::classCComboBox = {"CComboBox", static_cast<int>(sizeof(CComboBox)), 0xFFFF,
                                                 &CWnd::classCWnd};

const CRuntimeClass* CComboBox::GetRuntimeClass() const
{
    return &classCComboBox;
}

CString CComboBox::GetLBText(int index) const
{
    const int length = static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)));
    CString text;
    if (length > 0) {
        SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.GetBuffer(length)));
        text.ReleaseBuffer();
    }
    return text;
}
