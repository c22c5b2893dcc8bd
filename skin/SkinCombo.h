// CSkinCombo: a combo box drawn flat, raised while the pointer is over it or
// it has the focus, pressed while its button is held; with a tooltip and
// auto-completion of typed text from the list.
#pragma once

#include <memory>

#include "fw/Api.h"
#include "fw/ComboBox.h"

class CControlTip;

class SONVERA_API CSkinCombo : public CComboBox {
public:
    // The looks DrawCombo draws.
    enum STATE { drawNormal = 1, drawRaised = 2, drawPressed = 3 };

    CSkinCombo();
    ~CSkinCombo() override;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCSkinCombo;

    // Switches auto-completion (on at construction).
    void EnableAutoCompletion(int enable) { m_bAutoComplete = enable; }
    void InitToolTip();
    void SetTooltipText(const CString* text, int activate);
    void ActivateTooltip(int activate);

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    void DrawCombo(STATE state, COLORREF topLeft, COLORREF bottomRight);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    LRESULT OnPaint();
    void TimerStep();
    bool IsPointerOutside() const;
    // Completes the typed text with the first list item it begins.
    void CompleteTypedText();
    void ReadSystemColours();

    std::unique_ptr<CControlTip> m_pTooltip;
    int m_nDropButtonWidth = 0;
    int m_bLButtonDown = 0;
    int m_bDrawnHot = 0;
    int m_bHasFocus = 0;
    int m_bAutoComplete = 1;
    COLORREF m_clrHighlight = 0;
    COLORREF m_clrShadow = 0;
    COLORREF m_clrFace = 0;
    // Set while the completion changes the text, whose notification comes back.
    bool m_bCompleting = false;
};
