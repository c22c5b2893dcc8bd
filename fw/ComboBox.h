// CComboBox: a combo box control. Indices are list positions from 0; CB_ERR
// (-1) stands for none.
#pragma once

#include "fw/Wnd.h"

class SONVERA_API CComboBox : public CWnd {
public:
    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCComboBox;

    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
    {
        return CreateEx(0, "COMBOBOX", "", style, rect, parent != nullptr ? parent->m_hWnd : nullptr, id);
    }

    int AddString(const char* text) { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    CString GetLBText(int index) const;
    // Selects the first item after `after` (-1: from the start) that begins
    // with the text, compared without regard to case; returns its index or CB_ERR.
    int SelectString(int after, const char* text)
    {
        return static_cast<int>(SendMessage(CB_SELECTSTRING, static_cast<WPARAM>(after), reinterpret_cast<LPARAM>(text)));
    }
    // The selection in the edit field: start in the low word, end in the high word.
    DWORD GetEditSel() const { return static_cast<DWORD>(SendMessage(CB_GETEDITSEL)); }
    BOOL SetEditSel(int start, int end)
    {
        return SendMessage(CB_SETEDITSEL, 0, MAKELPARAM(static_cast<WORD>(start), static_cast<WORD>(end))) == TRUE;
    }
};
