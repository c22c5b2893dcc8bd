// CSkinDlg: construction, initialisation, the window outline, painting and
// the control API. The skin loader is in SkinDlgLoad.cpp.
#include "skin/SkinDlg.h"

#include <algorithm>
#include <cmath>

#include "fw/ClientDC.h"
#include "fw/MemoryDC.h"
#include "fw/PaintDC.h"
#include "fw/Pen.h"
#include "fw/Brush.h"
#include "skin/BitmapRegion.h"
#include "skin/SkinButton.h"
#include "skin/SkinCombo.h"
#include "skin/SkinEdit.h"
#include "skin/SkinLabel.h"
#include "skin/SkinProgress.h"

namespace {

// The outline leaves out pure white only: white with a tolerance of 16 per
// channel is capped at 255.
const COLORREF kOutlineTransparent = RGB(255, 255, 255);
const COLORREF kOutlineTolerance = RGB(16, 16, 16);

// The dotted grid of the wave panel: horizontal lines at these fractions of
// the height, vertical lines at these fractions of the width; dashes of 2
// pixels every 4 pixels.
const double kGridRows[] = {0.25, 0.5, 0.75};
const double kGridColumns[] = {0.2, 0.8};
const int kDashLength = 2;
const int kDashPeriod = 4;

// The offsets of a dotted line's dashes (every kDashPeriod from 0, below
// `length`) that lie between `low` and `high`, for a line that starts at `start`.
// (Wide enough that stepping past the last one cannot overflow.)
struct DashRange {
    long long first;
    long long end;
};
DashRange DashesShown(int start, int length, long long low, long long high)
{
    return DashRange{std::max(0LL, (low - start) / kDashPeriod * kDashPeriod),
                     std::min(static_cast<long long>(length), high - start)};
}

// A line of the wave panel, across or down: its ends, the first the smaller.
struct PanelLine {
    long long x0, y0, x1, y1;
};

// How far the pixels of `box` lie from the line: the nearest and the farthest.
double NearestDistance(const PanelLine& line, const CRect& box)
{
    const double dx = static_cast<double>(std::max({0LL, line.x0 - (box.right - 1LL), box.left - line.x1}));
    const double dy = static_cast<double>(std::max({0LL, line.y0 - (box.bottom - 1LL), box.top - line.y1}));
    return std::hypot(dx, dy);
}
double FarthestDistance(const PanelLine& line, const CRect& box)
{
    double farthest = 0;
    for (long long x : {static_cast<long long>(box.left), box.right - 1LL}) {
        for (long long y : {static_cast<long long>(box.top), box.bottom - 1LL}) {
            const double dx = static_cast<double>(std::max({0LL, line.x0 - x, x - line.x1}));
            const double dy = static_cast<double>(std::max({0LL, line.y0 - y, y - line.y1}));
            farthest = std::max(farthest, std::hypot(dx, dy));
        }
    }
    return farthest;
}

// The frame's four sides and, when the grid is drawn, the lines its dashes lie on.
std::vector<PanelLine> WavePanelLines(const CRect& panel, bool grid)
{
    const long long left = std::min(panel.left, panel.right), right = std::max(panel.left, panel.right);
    const long long top = std::min(panel.top, panel.bottom), bottom = std::max(panel.top, panel.bottom);
    std::vector<PanelLine> lines = {{left, top, left, bottom},
                                    {left, bottom, right, bottom},
                                    {right, top, right, bottom},
                                    {left, top, right, top}};
    if (!grid)
        return lines;
    if (panel.Width() > 0) {
        for (double fraction : kGridRows) {
            const long long y = panel.top + static_cast<long long>(panel.Height() * fraction);
            lines.push_back({panel.left, y, panel.right + static_cast<long long>(kDashLength), y});
        }
    }
    if (panel.Height() > 0) {
        for (double fraction : kGridColumns) {
            const long long x = panel.left + static_cast<long long>(panel.Width() * fraction);
            lines.push_back({x, panel.top, x, panel.bottom + static_cast<long long>(kDashLength)});
        }
    }
    return lines;
}

// The bars that painting the dialog repaints; other bars keep their look.
bool IsVolumeBar(const CString& name)
{
    return name == "SPEAKER" || name == "MIC";
}

template <typename Control>
Control* FindByName(const std::vector<std::unique_ptr<Control>>& controls, const CString& name)
{
    for (const auto& control : controls) {
        if (control->GetName() == name)
            return control.get();
    }
    return nullptr;
}

} // namespace

CSkinDlg::CSkinDlg() = default;

CSkinDlg::CSkinDlg(UINT nIDTemplate, CWnd* pParent) : CDialog(nIDTemplate, pParent) {}

CSkinDlg::CSkinDlg(const char* lpszTemplateName, CWnd* pParent) : CDialog(lpszTemplateName, pParent) {}

CSkinDlg::~CSkinDlg()
{
    Free();
}

void CSkinDlg::PressButtonName(CString) {}

void CSkinDlg::PressButtonID(int) {}

void CSkinDlg::ProgressChanged(CString) {}

void CSkinDlg::MouseMoved(CString, int, int) {}

BOOL CSkinDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (LoadSkins())
        return TRUE;
    CString message;
    message.Format("%s Skin load failure!", m_strSkinName.GetString());
    MessageBox(message, m_strCaption, MB_OK | MB_ICONSTOP);
    SendMessage(WM_CLOSE);
    return FALSE;
}

int CSkinDlg::SetSkinFile(CString strSkinName, CString strCaption, CString strAppDir)
{
    m_strSkinName = strSkinName.MakeUpper();
    m_strCaption = strCaption;
    m_strSkinFile = strAppDir + "\\skin\\" + m_strSkinName + "\\skin.ini";
    m_strWavePath = strAppDir + "\\wave";
    return 1;
}

void CSkinDlg::SetPlacedControls(CSkinEdit* pEditID, CSkinCombo* pComboWord, CSkinEdit* pEditPassword)
{
    m_pEditID = pEditID;
    m_pComboWord = pComboWord;
    m_pEditPassword = pEditPassword;
}

void CSkinDlg::Setup(CBitmap& bmpMask)
{
    if (m_hWnd == nullptr)
        return;
    CRgn outline = BitmapToRegion(bmpMask, kOutlineTransparent, kOutlineTolerance);
    if (outline.IsNull()) {
        MessageBox("!BitmapToRegion", "Hata", MB_OK);
    } else if (!SetWindowRgn(outline, TRUE)) {
        MessageBox("!SetWindowRgn", "Hata", MB_OK);
    } else {
        outline.Detach();   // the window owns its region now
    }
    Invalidate(TRUE);
}

void CSkinDlg::Free()
{
    m_bmpMain.DeleteObject();
    m_bmpOver.DeleteObject();
    m_bmpDown.DeleteObject();
    m_bmpDisabled.DeleteObject();
    m_arrButtons.clear();
    m_arrLabels.clear();
    m_arrProgress.clear();
}

BOOL CSkinDlg::LoadBitmapA(CString strPath, CBitmap* pBitmap)
{
    if (pBitmap == nullptr)
        return FALSE;
    pBitmap->DeleteObject();
    return pBitmap->LoadFromFile(strPath);
}

CSkinDlg* CSkinDlg::FromChild(HWND child)
{
    return dynamic_cast<CSkinDlg*>(CWnd::FromHandlePermanent(::GetParent(child)));
}

LRESULT CSkinDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (AnswerPaintMessage(m_hWnd, message, wParam, [this](HDC dc) { PaintFace(dc); }))
        return 0;
    switch (message) {
    case WM_LBUTTONDOWN:
        OnLButtonDown(static_cast<UINT>(wParam), CPoint(lParam));
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), CPoint(lParam));
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CSkinDlg::OnLButtonDown(UINT nFlags, CPoint point)
{
    DefWindowProc(WM_LBUTTONDOWN, nFlags, point.ToLParam());
}

void CSkinDlg::OnRButtonDown(UINT nFlags, CPoint point)
{
    DefWindowProc(WM_RBUTTONDOWN, nFlags, point.ToLParam());
}

void CSkinDlg::OnMouseMove(UINT nFlags, CPoint point)
{
    DefWindowProc(WM_MOUSEMOVE, nFlags, point.ToLParam());
    MouseMoved(CString(), point.x, point.y);
}

void CSkinDlg::PaintFace(HDC target)
{
    CRect client;
    GetClientRect(&client);
    {
        CDC dc(target);
        CMemoryDC face(dc);
        face.SelectObject(m_bmpMain);
        dc.BitBlt(0, 0, client.Width(), client.Height(), face, 0, 0, SRCCOPY);
    }
    // The controls paint themselves over the new face.
    for (const auto& button : m_arrButtons)
        button->Invalidate(TRUE);
    for (const auto& label : m_arrLabels)
        label->Invalidate(TRUE);
    if (m_pEditID != nullptr && m_pEditID->m_hWnd != nullptr)
        m_pEditID->Invalidate(TRUE);
    if (m_pComboWord != nullptr && m_pComboWord->m_hWnd != nullptr)
        m_pComboWord->Invalidate(TRUE);
    for (const auto& bar : m_arrProgress) {
        if (IsVolumeBar(bar->GetName()))
            bar->Invalidate(TRUE);
    }
    DrawWavePanel(target, m_bWaveDraw != 0);
}

void CSkinDlg::DrawWaveRect(int)
{
    CClientDC dc(m_hWnd);
    DrawWavePanel(dc, true);
}

void CSkinDlg::DrawWavePanel(HDC target, bool fill)
{
    CRect shown;
    ::GetClipBox(target, &shown);
    const CRect& panel = m_rcWave;
    const int width = panel.Width();
    const int height = panel.Height();
    const std::vector<PanelLine> lines = WavePanelLines(panel, m_bWaveDotLine != 0);

    // A pen some millions wide takes the system minutes, or fails. Such a pen
    // covers what shows from a line whose every point lies within half its
    // width: then that is all there is to see. Otherwise a pen no wider than
    // twice the distance to the farthest point that shows, of each line that
    // reaches it, draws just what the skin's pen draws; dashes lie within
    // kDashPeriod of their line.
    const double radius = m_nWaveWidth / 2.0;
    double needed = 1;
    for (const PanelLine& line : lines) {
        if (radius >= FarthestDistance(line, shown) + kDashPeriod) {
            CDC(target).FillSolidRect(shown, m_clrWaveCenter);
            return;
        }
        if (NearestDistance(line, shown) <= radius + kDashPeriod)
            needed = std::max(needed, 2 * (FarthestDistance(line, shown) + kDashPeriod) + 2);
    }
    const int penWidth = m_nWaveWidth <= needed ? m_nWaveWidth : static_cast<int>(std::ceil(needed));

    CPen pen(PS_SOLID, penWidth, m_clrWaveCenter);
    CBrush brush(m_clrWaveBack);
    CDC dc(target);
    dc.SelectObject(pen);
    dc.SelectObject(brush);
    if (fill)
        dc.FillRect(panel, brush);
    dc.MoveTo(panel.left, panel.top);
    dc.LineTo(panel.left, panel.bottom);
    dc.LineTo(panel.right, panel.bottom);
    dc.LineTo(panel.right, panel.top);
    dc.LineTo(panel.left, panel.top);
    if (!m_bWaveDotLine)
        return;
    // Only the dashes that can show are drawn: a panel far larger than the
    // window would otherwise keep every paint busy for minutes. A dash shows
    // up to half the pen's width beyond its ends.
    const int reach = kDashPeriod + std::max(penWidth, 0) / 2 + 1;
    for (double fraction : kGridRows) {
        const int y = panel.top + static_cast<int>(height * fraction);
        const DashRange dashes = DashesShown(panel.left, width, shown.left - reach, shown.right + reach);
        for (long long x = dashes.first; x < dashes.end; x += kDashPeriod) {
            const int dashLeft = static_cast<int>(panel.left + x);
            dc.MoveTo(dashLeft, y);
            dc.LineTo(dashLeft + kDashLength, y);
        }
    }
    for (double fraction : kGridColumns) {
        const int x = panel.left + static_cast<int>(width * fraction);
        const DashRange dashes = DashesShown(panel.top, height, shown.top - reach, shown.bottom + reach);
        for (long long y = dashes.first; y < dashes.end; y += kDashPeriod) {
            const int dashTop = static_cast<int>(panel.top + y);
            dc.MoveTo(x, dashTop);
            dc.LineTo(x, dashTop + kDashLength);
        }
    }
}

CSkinButton* CSkinDlg::FindButton(const CString& strName) const
{
    return FindByName(m_arrButtons, strName);
}

CSkinLabel* CSkinDlg::FindLabel(const CString& strName) const
{
    return FindByName(m_arrLabels, strName);
}

CSkinProgress* CSkinDlg::FindProgress(const CString& strName) const
{
    return FindByName(m_arrProgress, strName);
}

void CSkinDlg::SetText(CString strName, CString strText)
{
    if (CSkinLabel* label = FindLabel(strName))
        label->SetText(strText);
}

CString CSkinDlg::GetText(CString strName)
{
    CSkinLabel* label = FindLabel(strName);
    return label != nullptr ? label->GetWindowText() : CString();
}

void CSkinDlg::SetVisible(CString strName, int bShow)
{
    if (CSkinLabel* label = FindLabel(strName))
        label->ShowWindow(bShow ? SW_SHOW : SW_HIDE);
}

void CSkinDlg::SetEnable(CString strName, int bEnable)
{
    if (CSkinButton* button = FindButton(strName))
        button->EnableWindow(bEnable != 0);
}

int CSkinDlg::IsEnabled(int nID)
{
    for (const auto& button : m_arrButtons) {
        if (button->GetID() == nID)
            return button->IsWindowEnabled() ? 1 : 0;
    }
    return 0;
}

int CSkinDlg::GetButtonCheck(CString strName)
{
    CSkinButton* button = FindButton(strName);
    return button != nullptr ? button->GetChecked() : 0;
}

void CSkinDlg::SetButtonCheck(CString strName, int bChecked)
{
    if (CSkinButton* button = FindButton(strName))
        button->SetChecked(bChecked);
}

void CSkinDlg::SetToolTip(CString strName, CString strText)
{
    if (CSkinButton* button = FindButton(strName))
        button->SetTooltipText(&strText, TRUE);
    else if (CSkinLabel* label = FindLabel(strName))
        label->SetTooltipText(&strText, TRUE);
}

void CSkinDlg::SetProgressPos(CString strName, int nPos)
{
    if (CSkinProgress* bar = FindProgress(strName))
        bar->SetPos(nPos);
}

int CSkinDlg::GetProgressPos(CString strName)
{
    CSkinProgress* bar = FindProgress(strName);
    return bar != nullptr ? bar->GetPos() : 0;
}

void CSkinDlg::SetProgressToolTip(CString strName, CString strText)
{
    if (CSkinProgress* bar = FindProgress(strName))
        bar->SetTooltipText(&strText, TRUE);
}

void CSkinDlg::ChangeProgress(int nIndex)
{
    if (nIndex >= 0 && nIndex < static_cast<int>(m_arrProgress.size()))
        ProgressChanged(m_arrProgress[static_cast<size_t>(nIndex)]->GetName());
}

void CSkinDlg::StopTimer(int bStop)
{
    for (const auto& label : m_arrLabels)
        label->EnableScrolling(bStop ? 0 : 1);
}
