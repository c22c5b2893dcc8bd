// CFlatPopupMenu: a popup menu drawn by the library instead of the system's
// menu manager: flat colours, an optional 16 x 15 icon per item from one
// bitmap strip, bold default items, cascading sub-menus that open after a
// delay, and "&" mnemonics. Track either runs its own message loop and
// returns the chosen command (modal) or returns at once and later posts
// WM_COMMAND to the window to notify.
//
// The menu does not use the framework's window classes: it registers its own
// class "fpmMenuClass" and keeps itself in its window's user data. Every menu
// level is a window of that class; the level under the pointer holds the
// mouse capture, and every choice, outside click or Escape closes the whole
// chain from its top-level menu down.
#pragma once

#include <windows.h>

#include <vector>

#include "fw/Api.h"
#include "fw/Bitmap.h"
#include "fw/Brush.h"
#include "fw/Font.h"
#include "fw/Pen.h"
#include "fw/Point.h"
#include "fw/String.h"

class CDC;

class SONVERA_API CFlatPopupMenu {
public:
    // The colours of SetColor, in the order of m_colors.
    enum menuColor {
        colorBorder,            // frame of the menu and separator lines
        colorBackground,        // menu background
        colorText,              // item text
        colorGrayedText,        // text of grayed items
        colorHighlightText,     // text and sub-menu arrow of the selected item
        colorHighlight,         // background of the selected item
        colorIconTransparent,   // transparent key colour of the icon bitmap
        colorIconLight,         // light edge of the selected item's icon box
        colorIconDark,          // dark edge of the selected item's icon box
        colorCount
    };

    // Item flags (bits). Separators, disabled and grayed items take no mnemonic.
    enum itemFlag {
        itemSeparator = 1,
        itemDisabled = 2,   // can never be selected
        itemDefault = 4,    // drawn in the bold font
        itemGrayed = 8,     // drawn in the grayed-text colour
    };

    // Mouse capture of a menu level.
    enum captureState { captureNone, captureShown, captureHeld };

    // An icon bitmap identifier that names no bitmap.
    static const UINT noBitmap = static_cast<UINT>(-1);

    CFlatPopupMenu();
    // Copies the settings and the items; the copy has no window and its own
    // drawing objects. Sub-menus are shared, not copied: they must outlive the copy.
    CFlatPopupMenu(const CFlatPopupMenu& other);
    CFlatPopupMenu& operator=(const CFlatPopupMenu&) = delete;
    ~CFlatPopupMenu();

    // Registers the window class on first use (false when that fails),
    // removes every item and makes the drawing objects from the current
    // colours, font and size. The module holds the icon bitmap resource.
    bool Create(HINSTANCE hInstance, UINT nBitmapID = noBitmap);

    void SetColor(menuColor index, COLORREF colour);
    // At most 31 characters of the face name are used.
    void SetFont(const char* faceName);
    void SetFontSize(int points);
    void SetPopupDelay(int milliseconds);

    // Appends an item; the icon is the n-th 16-pixel cell of the bitmap (-1: none).
    bool AppendItem(DWORD dwFlags, const char* text, UINT nID, int nIcon = -1);
    // Appends an item that opens the sub-menu; false for the separator flag
    // (and for the menu itself). The sub-menu becomes a sub-menu of this menu
    // and must outlive its use.
    bool AppendPopup(DWORD dwFlags, const char* text, CFlatPopupMenu& popup, int nIcon = -1);

    // Shows the menu with its top-left corner at the screen point, moved
    // inside the work area. Modal: returns the chosen command once the menu
    // is closed (0 for none). Not modal: returns 0 at once, and the command
    // is posted as WM_COMMAND to hWndNotify when the menu closes with one.
    // Without capture the menu sees the mouse only while it is over it.
    // 0 as well when the window cannot be made.
    UINT Track(int x, int y, HWND hWndNotify, bool bModal, bool bNoCapture = false);

    // Items by command identifier (the first with it) or by position; each
    // returns false when there is no such item.
    bool SetMenuItemText(UINT nItem, const char* text, bool bByPosition = false);
    bool SetMenuItemFlags(UINT nItem, DWORD dwFlags, bool bByPosition = false);
    bool SetMenuItemIcon(UINT nItem, int nIcon, bool bByPosition = false);
    // Copies the item's text with its terminator; false when it does not fit.
    bool GetString(UINT nItem, char* buffer, int bufferSize, bool bByPosition = false) const;

    // The messages of the menu's window, which the window procedure routes here.
    void OnPaint(HWND hWnd);
    void OnLButtonDown(HWND hWnd, UINT nFlags, CPoint point);
    void OnRButtonDown(HWND hWnd, UINT nFlags, CPoint point);
    void OnLButtonUp(HWND hWnd, UINT nFlags, CPoint point);
    void OnRButtonUp(HWND hWnd, UINT nFlags, CPoint point);
    void OnMouseMove(HWND hWnd, UINT nFlags, CPoint point);
    void OnChar(HWND hWnd, UINT nChar, UINT nFlags);
    // Escape closes the chain with no choice, as a click outside does.
    void OnKeyDown(HWND hWnd, UINT nChar, UINT nRepCnt, UINT nFlags);
    // The mouse taken by a window outside the chain closes the chain with no
    // choice, as the application losing the foreground (Alt+Tab) does:
    // otherwise the menu would stay on top with nothing left to close it.
    void OnCaptureChanged(HWND hWnd, HWND hWndNewOwner);
    void OnTimer(HWND hWnd, UINT_PTR nIDEvent);
    void OnDestroy(HWND hWnd);
    BOOL OnEraseBkgnd(HWND hWnd, HDC hDC);

protected:
    struct ITEM {
        int nTop = 0;
        int nHeight = 0;
        DWORD dwFlags = 0;
        CString strText;
        UINT nID = 0;
        int nIcon = -1;
        CFlatPopupMenu* pPopup = nullptr;
    };

    // The window class on first use; true when it is (or already was) registered.
    bool RegisterClassA();
    // Deletes the old drawing objects and makes them anew.
    void CreateObjects();
    void Cleanup();
    // Closes the whole chain of menus this one belongs to.
    void DestroyAll();

    void DrawItem(CDC& dc, int nItem);
    void DrawSeparator(CDC& dc, int nTop);
    // Copies the cell of the bitmap to (x, y), leaving the pixels of the
    // transparent colour as they were.
    void DrawTransparentBitmap(CDC& dc, const CBitmap& bitmap, int x, int y, int xSource, int ySource, int width,
                               int height, COLORREF transparent);

    // The item under a client point (-1: none, or a disabled one).
    int GetItem(CPoint point) const;
    // The item by command identifier or position (-1: none).
    int GetItem(UINT nItem, bool bByPosition) const;

    void ButtonDown(HWND hWnd, CPoint point);
    void ButtonUp(HWND hWnd, CPoint point, bool& bIgnoreRelease);
    // Stores the command in the top-level menu and closes the chain.
    void SetReturn(UINT nCommand);
    // A point outside the menu (on or beyond its frame margin) clears the
    // selection and the choice and closes the chain; true when it did.
    bool CheckOutsideMenu(HWND hWnd, CPoint point);
    // Clears the selection and the choice and closes the chain.
    void Dismiss();

    // Lays the items out from the top and sets the menu's width; returns the height.
    int LayOut();
    void Select(HWND hWnd, int nItem);
    void RedrawItem(HWND hWnd, int nItem);
    // Shows the selected item's sub-menu beside it, modally without capture.
    void OpenSubMenu(HWND hWnd);
    CFlatPopupMenu* TopLevel();
    // Forgets a sub-menu that goes away before this menu does.
    void ForgetPopup(const CFlatPopupMenu* popup);

    static LRESULT CALLBACK MenuWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static CFlatPopupMenu* FromHandle(HWND hWnd);

    HINSTANCE m_hInstance = nullptr;
    UINT m_nBitmapID = noBitmap;
    std::vector<ITEM> m_Items;
    CString m_strFont;
    int m_nFontSize = 8;
    int m_nPopupDelay = 400;
    COLORREF m_colors[colorCount];

    int m_nCapture = captureNone;
    int m_nMenuWidth = 0;
    int m_nTextHeight = 0;
    int m_nBoldTextHeight = 0;
    HWND m_hWnd = nullptr;
    HWND m_hWndNotify = nullptr;
    int m_nSelected = -1;
    UINT m_nReturn = 0;
    bool m_bIgnoreRButtonUp = false;
    bool m_bIgnoreLButtonUp = false;
    bool m_bModal = false;
    bool m_bIsPopup = false;
    CFlatPopupMenu* m_pParent = nullptr;

    CFont m_fontNormal;
    CFont m_fontBold;
    CPen m_penBorder;
    CPen m_penIconLight;
    CPen m_penIconDark;
    CPen m_penBackground;
    CPen m_penHighlightText;
    CPen m_penText;
    CBrush m_brushBackground;
    CBrush m_brushHighlight;
    CBitmap m_bmpIcons;

    static bool m_bClassRegistered;
};
