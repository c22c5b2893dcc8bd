// CScrollLabel: a text on a picture background. A text longer than the label
// holds scrolls: every 200 ms it moves on by one character (two bytes, or
// one at a space), and once its end comes into view it is followed by
// " <-- " and the text again, as on a ticker.
#pragma once

#include "fw/Font.h"
#include "skin/HoverButton.h"

class CScrollLabel : public CHoverButton {
public:
    // Sets the window text and the scrolling text, then measures again.
    void SetText(const CString& text);
    // Takes its own copy of the font, then measures again.
    void SetFont(const CFont* font);
    void SetTextColor(COLORREF colour) { m_clrText = colour; }
    // Off pauses the scrolling; the timer keeps running.
    void EnableScrolling(int enable) { m_bScrollEnabled = enable; }
    void CutBackground(const CBitmap& source, const CRect& rect) { CopyBitmapRect(m_bmpBackground, source, rect); }

    const CString& GetScrollText() const { return m_strText; }
    const CFont& GetTextFont() const { return m_font; }
    // The byte of the text that the label shows first.
    int GetScrollPos() const { return m_nScrollPos; }
    // How many bytes of text the label is taken to hold.
    int GetVisibleLength() const { return m_nVisibleLength; }
    int IsTimerRunning() const { return m_bTimerRunning; }
    // The string a paint draws now: the text from the scroll position on, and,
    // when the text scrolls and its end is in view, " <-- " and the text again
    // until the label is full.
    CString GetPaintText() const;

    // The button's own redraws (as it is pressed or loses the focus) paint the label.
    void DrawItem(LPDRAWITEMSTRUCT item) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Measure();
    void ScrollStep();
    void Paint(HDC dc);

    int m_nScrollPos = 0;
    int m_nVisibleLength = 0;
    CString m_strText;
    int m_bScrollEnabled = 1;
    COLORREF m_clrText = 0;
    CBitmap m_bmpBackground;
    int m_bTimerRunning = 0;
    CFont m_font;
};
