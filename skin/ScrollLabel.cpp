#include "skin/ScrollLabel.h"

#include "fw/ClientDC.h"
#include "fw/MemoryDC.h"
#include "fw/PaintDC.h"

namespace {
const UINT_PTR kScrollTimer = 1;
const UINT kScrollStepMs = 200;
// What follows the text's end while it scrolls, before the text starts again.
const char kWrapSeparator[] = " <-- ";
} // namespace

LRESULT CScrollLabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (AnswerPaintMessage(m_hWnd, message, wParam, [this](HDC dc) { Paint(dc); }))
        return 0;
    switch (message) {
    case WM_TIMER:
        ScrollStep();
        return 0;
    case WM_ERASEBKGND:
        return TRUE;   // the paint covers the whole label
    }
    return CHoverButton::WindowProc(message, wParam, lParam);
}

void CScrollLabel::SetText(const CString& text)
{
    SetWindowText(text);
    m_strText = text;
    Measure();
}

void CScrollLabel::SetFont(const CFont* font)
{
    LOGFONTA description{};
    if (font == nullptr || !font->GetLogFont(description))
        return;
    m_font.DeleteObject();
    m_font.CreateFontIndirect(description);
    Measure();
}

void CScrollLabel::Measure()
{
    if (m_bTimerRunning)
        KillTimer(kScrollTimer);
    // The reference width is taken in the window's DC as it comes, without the
    // label's font: that is how many characters the label is counted to hold.
    int referenceWidth = 0;
    {
        CClientDC dc(m_hWnd);
        referenceWidth = dc.GetTextExtent("W").cx;
    }
    CRect client;
    GetClientRect(&client);
    // In 64 bits: twice a skin's widest label does not fit an int.
    m_nVisibleLength =
        referenceWidth > 0 ? static_cast<int>(static_cast<long long>(client.Width()) * 2 / referenceWidth) : 0;
    m_bTimerRunning = referenceWidth > 0 && m_nVisibleLength < m_strText.GetLength();
    if (m_bTimerRunning)
        SetTimer(kScrollTimer, kScrollStepMs);
    m_nScrollPos = 0;
    Invalidate();
}

void CScrollLabel::ScrollStep()
{
    if (!m_bScrollEnabled)
        return;
    const int length = m_strText.GetLength();
    if (m_nScrollPos >= length)
        m_nScrollPos = length - 1;
    // Any byte but a space is taken for the lead byte of a double-byte character.
    m_nScrollPos += m_strText[m_nScrollPos] == ' ' ? 1 : 2;
    if (m_nScrollPos > length)
        m_nScrollPos = 0;
    Invalidate();
}

CString CScrollLabel::GetPaintText() const
{
    CString shown = m_strText.Mid(m_nScrollPos);
    if (m_nVisibleLength < m_strText.GetLength()) {
        while (shown.GetLength() < m_nVisibleLength)
            shown += kWrapSeparator + m_strText;
    }
    return shown;
}

void CScrollLabel::DrawItem(LPDRAWITEMSTRUCT item)
{
    Paint(item->hDC);
}

void CScrollLabel::Paint(HDC target)
{
    CDC dc(target);
    DrawPicture(dc, m_bmpBackground);
    CRect client;
    GetClientRect(&client);
    if (!m_font.IsNull())
        dc.SelectObject(m_font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(m_clrText);
    // Vertical centring is the only flag, as the product has always drawn it:
    // the system ignores it for text that is not single-line, so the text
    // starts at the top left.
    dc.DrawText(GetPaintText(), client, DT_VCENTER);
}
