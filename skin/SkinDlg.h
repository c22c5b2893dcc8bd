// CSkinDlg: the base of skinned dialogs. Its face is a picture, its window
// has the outline of a mask picture, and its buttons, labels and percentage
// bars come from the skin's skin.ini instead of the dialog template. A
// derived dialog names its template, calls SetSkinFile before the base
// initialisation, drives the skin's controls by name, and hears of clicks and
// mouse moves through the four callbacks.
//
// The skin also places three controls of the derived dialog's own template
// (user-ID edit, word combo box, password edit); the derived dialog hands them
// over with SetPlacedControls. A dialog without them leaves "EDIT_ID" and
// "COMBO_WORD" out of its skin.
#pragma once

#include <memory>
#include <vector>

#include "fw/Api.h"
#include "fw/Bitmap.h"
#include "fw/Dialog.h"
#include "fw/Rgn.h"
#include "fw/String.h"

class CIniFile;
class CSkinButton;
class CSkinCombo;
class CSkinEdit;
class CSkinLabel;
class CSkinProgress;

class SONVERA_API CSkinDlg : public CDialog {
public:
    CSkinDlg();
    explicit CSkinDlg(UINT nIDTemplate, CWnd* pParent = nullptr);
    explicit CSkinDlg(const char* lpszTemplateName, CWnd* pParent = nullptr);
    ~CSkinDlg() override;

    // The callbacks; the defaults do nothing.
    // Never called by the toolkit: there for the derived dialog and the host.
    virtual void PressButtonName(CString strName);
    // A skin button or label was clicked (its identifier, 0 for an unknown name).
    virtual void PressButtonID(int nID);
    // A percentage bar was clicked.
    virtual void ProgressChanged(CString strName);
    // The pointer moved over the dialog's own surface (empty name, dialog
    // client coordinates) or over a bar (its name, the bar's coordinates).
    virtual void MouseMoved(CString strName, int x, int y);
    // Gives the window the outline of the mask picture's non-white pixels.
    virtual void Setup(CBitmap& bmpMask);
    // Reads the skin: 1, or 0 when it names no "MAIN" picture.
    virtual int LoadSkins();

    // Loads the skin; when that fails, says so and closes the dialog.
    BOOL OnInitDialog() override;

    // Fixes the skin file (application directory + "\skin\" + NAME +
    // "\skin.ini") and the wave folder; reads nothing. Returns 1.
    int SetSkinFile(CString strSkinName, CString strCaption, CString strAppDir);
    // The derived dialog's controls that the skin places; any may be null.
    void SetPlacedControls(CSkinEdit* pEditID, CSkinCombo* pComboWord, CSkinEdit* pEditPassword);
    void SetMenuID(UINT nID) { m_nMenuID = nID; }
    CRgn* GetRGN() { return m_pRgn; }

    // Controls by name (exact, case-sensitive; the first match counts). An
    // unknown name does nothing and reads as 0 or an empty string.
    void SetText(CString strName, CString strText);
    CString GetText(CString strName);
    void SetVisible(CString strName, int bShow);
    void SetEnable(CString strName, int bEnable);
    int IsEnabled(int nID);
    int GetButtonCheck(CString strName);
    void SetButtonCheck(CString strName, int bChecked);
    // Buttons first, then labels.
    void SetToolTip(CString strName, CString strText);
    void SetProgressPos(CString strName, int nPos);
    int GetProgressPos(CString strName);
    void SetProgressToolTip(CString strName, CString strText);
    // Reports the bar at the index of the bar list to ProgressChanged.
    void ChangeProgress(int nIndex);
    // Nonzero pauses the scrolling of every label, 0 resumes it.
    void StopTimer(int bStop);
    // Clears the wave panel now: filled, framed and gridded.
    void DrawWaveRect(int nUnused);

    // The skin dialog that is the parent of a skin control, if any.
    static CSkinDlg* FromChild(HWND child);

    // The value grammar of skin.ini. Each takes its fields from the front of
    // the value and leaves the rest there.
    // The text before the first separator, as written; the value becomes
    // what follows it, trimmed. Without a separator the whole value comes
    // back and stays.
    static CString GetFirstParam(CString& strValue, CString strSeparator);
    // x, y, width, height.
    static CRect StringToRect(CString& strValue);
    // red, green, blue; each channel's low 8 bits.
    static COLORREF StringToColor(CString& strValue);
    // A decimal integer: leading blanks, a sign, digits; no digits give 0.
    static int StringToNumber(const CString& strValue);
    // The identifier of a control name of the voice dialog, or 0.
    static int ControlNameToID(const CString& strName);

    // Deletes the pictures and every skin control.
    void Free();

    // Default processing of the press and nothing else; the dialog handles
    // the left button itself, the right one is there for derived dialogs.
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnRButtonDown(UINT nFlags, CPoint point);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnMouseMove(UINT nFlags, CPoint point);

    // The section readers, in the order LoadSkins runs them.
    void ReadButtonInfo(CIniFile ini);
    void ReadLabelInfo(CIniFile ini);
    void ReadEditInfo(CIniFile ini);
    void ReadComboInfo(CIniFile ini);
    void ReadProgressInfo(CIniFile ini);

    // Replaces the bitmap with the bitmap file at the path, as a device-independent section.
    BOOL LoadBitmapA(CString strPath, CBitmap* pBitmap);

    std::vector<std::unique_ptr<CSkinButton>> m_arrButtons;
    std::vector<std::unique_ptr<CSkinLabel>> m_arrLabels;
    std::vector<std::unique_ptr<CSkinProgress>> m_arrProgress;
    CRgn* m_pRgn = nullptr;
    CRect m_rcWave;
    COLORREF m_clrWaveBack = RGB(0, 0, 0);
    COLORREF m_clrWaveCenter = RGB(255, 255, 255);
    COLORREF m_clrWaveLine = RGB(0, 255, 0);
    int m_nWaveWidth = 1;
    int m_bWaveDraw = 1;
    int m_bWaveDotLine = 1;
    CString m_strWavePath;
    CString m_strCaption;
    int m_bHint = 1;
    int m_bLabelTip = 0;
    CString m_strSkinFile;
    CString m_strSkinName;
    CBitmap m_bmpMain;
    CBitmap m_bmpOver;
    CBitmap m_bmpDown;
    CBitmap m_bmpDisabled;
    UINT m_nMenuID = 0;

private:
    void PaintFace(HDC dc);
    // Fills (when asked), frames and grids the wave panel.
    void DrawWavePanel(HDC dc, bool fill);
    void CreateLabel(const CString& strName, CString strEntry, bool bStartEmpty);
    CString SkinFolder() const;
    CSkinButton* FindButton(const CString& strName) const;
    CSkinLabel* FindLabel(const CString& strName) const;
    CSkinProgress* FindProgress(const CString& strName) const;

    CSkinEdit* m_pEditID = nullptr;
    CSkinCombo* m_pComboWord = nullptr;
    CSkinEdit* m_pEditPassword = nullptr;
};
