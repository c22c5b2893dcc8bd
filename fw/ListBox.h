// CListBox: a list box control. Indices are line positions from 0; LB_ERR
// (-1) stands for none.
#pragma once

#include "fw/Wnd.h"

class SONVERA_API CListBox : public CWnd {
public:
    int AddString(const char* text) { return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
    int GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL)); }
    int SetCurSel(int index) { return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index))); }
    void ResetContent() { SendMessage(LB_RESETCONTENT); }
    // The line's text; empty for a line that does not exist.
    CString GetText(int index) const
    {
        const int length = static_cast<int>(SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index)));
        CString text;
        if (length > 0) {
            SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.GetBuffer(length)));
            text.ReleaseBuffer();
        }
        return text;
    }
};
