// CStaticToolTip: a borderless, always-on-top popup that shows a text at a
// fixed offset from the client origin of the window it is attached to, and
// follows that window as it moves. Its window class is "StaticToolTip".
#pragma once

#include "fw/Api.h"
#include "fw/DC.h"
#include "fw/Wnd.h"

class SONVERA_API CStaticToolTip : public CWnd {
public:
    // Registers the window class on first use; raises CResourceException when
    // the class cannot be registered.
    CStaticToolTip();
    ~CStaticToolTip() override;

    // Creates the popup for the window, `x` and `y` pixels from its client
    // origin, and shows the current text. 0 when the popup cannot be made or
    // an earlier one cannot be destroyed.
    int Attach(CWnd* pWnd, int x, int y);
    // Hides and destroys the popup; 1 when there is none.
    int Detach();
    // Whether a window is attached (between a successful Attach and Detach).
    int IsAttached() const { return m_pAttached != nullptr; }

    CString GetText() const { return m_strText; }
    // Stores the text; a visible popup shows it from its next showing on.
    void SetText(CString strText);
    // With `use` set, the popup paints its own background colour and text colour.
    void SetBkgndColor(int use, COLORREF colour);
    void SetTextColor(COLORREF colour);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // 1 plus the number of line feeds in the text (the current text when null).
    int GetNumberOfLines(const char* text = nullptr) const;
    // The extent of the text's lines: the widest line, and the height of one
    // line times the number of lines.
    CSize GetMultiLineTextExtent(CDC* pDC, const CString& text) const;
    // Places the popup by the attached window and shows it (hides it for an empty text).
    void Show();

private:
    void Paint(HDC dc);

    CWnd* m_pAttached = nullptr;
    CString m_strText;
    CRect m_rcText;
    COLORREF m_clrText;
    COLORREF m_clrBackground;
    int m_bOwnColours = 0;
    int m_nOffsetX = 0;
    int m_nOffsetY = 0;
    // Kept for the popup's layout, which reads neither.
    int m_nDelay = 100;
    int m_nShowCount = 0;
};
