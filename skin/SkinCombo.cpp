#include "skin/SkinCombo.h"

#include "fw/ClientDC.h"
#include "skin/ControlTip.h"

namespace {
// While the pointer is over the box, this timer watches for it to leave.
const UINT_PTR kHoverTimer = 1;
const UINT kHoverCheckMs = 10;
} // namespace

const CRuntimeClass CSkinCombo::classCSkinCombo = {"CSkinCombo", static_cast<int>(sizeof(CSkinCombo)), 0xFFFF,
                                                   &CComboBox::classCComboBox};

CSkinCombo::CSkinCombo()
    : m_pTooltip(std::make_unique<CControlTip>()), m_nDropButtonWidth(::GetSystemMetrics(SM_CXHTHUMB))
{
    ReadSystemColours();
}

CSkinCombo::~CSkinCombo() = default;

const CRuntimeClass* CSkinCombo::GetRuntimeClass() const
{
    return &classCSkinCombo;
}

void CSkinCombo::ReadSystemColours()
{
    m_clrHighlight = ::GetSysColor(COLOR_3DHIGHLIGHT);
    m_clrShadow = ::GetSysColor(COLOR_3DSHADOW);
    m_clrFace = ::GetSysColor(COLOR_3DFACE);
}

LRESULT CSkinCombo::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        return OnPaint();
    case WM_MOUSEMOVE:
        SetTimer(kHoverTimer, kHoverCheckMs);
        TimerStep();
        break;
    case WM_TIMER:
        if (wParam == kHoverTimer) {
            TimerStep();
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
        m_bLButtonDown = TRUE;
        break;
    case WM_LBUTTONUP:
        m_bLButtonDown = FALSE;
        Invalidate();
        break;
    case WM_SYSCOLORCHANGE:
        ReadSystemColours();
        break;
    }
    return CComboBox::WindowProc(message, wParam, lParam);
}

BOOL CSkinCombo::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message != WM_COMMAND)
        return CComboBox::OnChildNotify(message, wParam, lParam, result);
    switch (HIWORD(wParam)) {
    case CBN_SETFOCUS:
        m_bHasFocus = TRUE;
        DrawCombo(drawRaised, m_clrShadow, m_clrHighlight);
        break;
    case CBN_KILLFOCUS:
        m_bHasFocus = FALSE;
        DrawCombo(drawNormal, m_clrFace, m_clrFace);
        break;
    case CBN_EDITUPDATE:
        if (m_bAutoComplete)
            CompleteTypedText();
        break;
    default:
        return CComboBox::OnChildNotify(message, wParam, lParam, result);
    }
    *result = 0;
    return TRUE;
}

LRESULT CSkinCombo::OnPaint()
{
    // The flat look replaces the system's edges.
    ModifyStyleEx(WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME, 0, SWP_FRAMECHANGED);
    const LRESULT result = DefWindowProc(WM_PAINT, 0, 0);
    if (IsPointerOutside() && !m_bHasFocus)
        DrawCombo(drawNormal, m_clrFace, m_clrFace);
    else
        DrawCombo(drawRaised, m_clrShadow, m_clrHighlight);
    return result;
}

bool CSkinCombo::IsPointerOutside() const
{
    POINT cursor{};
    ::GetCursorPos(&cursor);
    CRect window;
    GetWindowRect(&window);
    return !window.PtInRect(cursor);
}

void CSkinCombo::TimerStep()
{
    if (m_bLButtonDown) {
        KillTimer(kHoverTimer);
        if (m_bDrawnHot) {
            DrawCombo(drawPressed, m_clrShadow, m_clrHighlight);
            m_bDrawnHot = FALSE;
        }
    } else if (IsPointerOutside() && !m_bHasFocus) {
        KillTimer(kHoverTimer);
        if (m_bDrawnHot) {
            DrawCombo(drawNormal, m_clrFace, m_clrFace);
            m_bDrawnHot = FALSE;
        }
    } else if (!m_bDrawnHot) {
        m_bDrawnHot = TRUE;
        DrawCombo(drawRaised, m_clrShadow, m_clrHighlight);
        DefWindowProc(WM_TIMER, kHoverTimer, 0);
    }
}

void CSkinCombo::DrawCombo(STATE state, COLORREF topLeft, COLORREF bottomRight)
{
    CRect rect;
    GetClientRect(&rect);
    CClientDC dc(m_hWnd);
    const bool enabled = IsWindowEnabled() != FALSE;
    dc.Draw3dRect(rect, topLeft, bottomRight);
    rect.DeflateRect(1, 1);
    const COLORREF inner = enabled ? m_clrFace : m_clrHighlight;
    dc.Draw3dRect(rect, inner, inner);
    rect.DeflateRect(1, 1);

    // The drop button.
    rect.left = rect.right - m_nDropButtonWidth;
    dc.Draw3dRect(rect, m_clrFace, m_clrFace);
    rect.DeflateRect(1, 1);
    dc.Draw3dRect(rect, m_clrFace, m_clrFace);
    if (!enabled)
        return;
    switch (state) {
    case drawNormal:
        rect.InflateRect(0, 1);
        dc.Draw3dRect(rect, m_clrHighlight, m_clrHighlight);
        rect.left -= 1;
        dc.Draw3dRect(rect, m_clrHighlight, m_clrHighlight);
        break;
    case drawRaised:
        rect.InflateRect(0, 1);
        dc.Draw3dRect(rect, m_clrHighlight, m_clrShadow);
        break;
    case drawPressed:
        rect.InflateRect(0, 1);
        rect.OffsetRect(1, 1);
        dc.Draw3dRect(rect, m_clrShadow, m_clrHighlight);
        break;
    }
}

void CSkinCombo::CompleteTypedText()
{
    if (m_bCompleting)
        return;
    struct Guard {
        bool& flag;
        explicit Guard(bool& f) : flag(f) { flag = true; }
        ~Guard() { flag = false; }
    } guard(m_bCompleting);

    const CString typed = GetWindowText();
    const DWORD selection = GetEditSel();
    const bool selectionRead = selection != static_cast<DWORD>(CB_ERR);
    const int selStart = LOWORD(selection);
    const int selEnd = HIWORD(selection);
    // The typed text's length as the edit counts its selection: in bytes on
    // some systems, in characters on others, which differ for Japanese. The
    // end of the whole text selected tells. (Every path below sets the
    // selection again.)
    int typedLength = typed.GetLength();
    if (selectionRead) {
        SetEditSel(0, -1);
        typedLength = HIWORD(GetEditSel());
    }

    if (SelectString(-1, typed) == CB_ERR) {
        // Nothing begins so: the typed text and the caret stay.
        SetWindowText(typed);
        if (selectionRead)
            SetEditSel(selStart, selEnd);
    }
    if (selectionRead && selEnd < typedLength)
        SetEditSel(selStart, selEnd);
    else
        SetEditSel(typedLength, -1);
}

void CSkinCombo::InitToolTip()
{
    m_pTooltip->Init(*this);
}

void CSkinCombo::SetTooltipText(const CString* text, int activate)
{
    m_pTooltip->SetText(*this, text, activate);
}

void CSkinCombo::ActivateTooltip(int activate)
{
    m_pTooltip->ActivateTool(activate);
}

BOOL CSkinCombo::PreTranslateMessage(MSG* msg)
{
    m_pTooltip->Relay(*this, msg);
    return CComboBox::PreTranslateMessage(msg);
}
