#include "skin/FlatPopupMenu.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>

#include "fw/ClientDC.h"
#include "fw/DC.h"
#include "fw/InfoDC.h"
#include "fw/MemoryDC.h"
#include "fw/PaintDC.h"
#include "fw/Rect.h"

namespace {

const char kClassName[] = "fpmMenuClass";
const char kDefaultFont[] = "MS Sans Serif";
const int kMaxFaceBytes = LF_FACESIZE - 1;

// Opens the selected item's sub-menu once the pointer has rested on it.
const UINT_PTR kOpenTimer = 1;
// Posted, not acted on at once: a window that is being destroyed (a choice
// made) loses the capture and the foreground too, and its posted messages
// are dropped with it, so a choice is never undone.
const UINT kDismissMessage = WM_USER + 1;

// Layout, in pixels.
const int kMargin = 3;             // frame and gap above the first item and left of every item
const int kBottomMargin = 2;       // below the last item
const int kItemHeight = 17;
const int kSeparatorHeight = 5;
const int kSeparatorLine = 2;      // the line's offset in its item
const int kWidthBeyondText = 42;   // icon box, text indent, arrow and frame
const int kTextLeft = 23;
const int kIconBoxLeft = 3;
const int kIconBoxRight = 20;
const int kIconBoxBottom = 16;     // from the item's top
const int kIconWidth = 16;
const int kIconHeight = 15;
const int kBackgroundLeftWithIcon = 21;
const int kBackgroundRightGap = 2; // background ends this far from the right edge
const int kBackgroundHeight = 18;  // the null pen leaves the last row out: one item high
const int kArrowTip = 7;           // the arrow's point, from the right edge
const int kArrowColumns = 4;
const int kArrowMiddle = 8;        // from the item's top
const int kSubMenuOverlapX = 5;    // a sub-menu overlaps its menu's right edge...
const int kSubMenuRiseY = 3;       // ...and starts above its item's top

bool IsButtonHeld(int virtualKey)
{
    // The asynchronous state is the physical button's: follow a swap of the buttons.
    if (::GetSystemMetrics(SM_SWAPBUTTON))
        virtualKey = virtualKey == VK_LBUTTON ? VK_RBUTTON : VK_LBUTTON;
    return (::GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

// Whether the icon's cell (n x 16 pixels from the strip's left) lies wholly
// inside the strip; without a bitmap the strip is 0 x 0. A blit from beyond a
// bitmap's edge reads black, so any other cell would show as a black square.
// Divides, so that no icon number the host passes overflows.
bool IconCellInStrip(int icon, CSize strip)
{
    return icon < strip.cx / kIconWidth && strip.cy >= kIconHeight;
}

unsigned char LowerAscii(unsigned char ch)
{
    return ch >= 'A' && ch <= 'Z' ? static_cast<unsigned char>(ch - 'A' + 'a') : ch;
}

int TextHeight(CDC& dc, const CFont& font)
{
    dc.SelectObject(font);
    TEXTMETRICA metrics{};
    dc.GetTextMetrics(metrics);
    dc.RestoreSelections();
    return metrics.tmHeight;
}

bool IsMenuWindowOfThisThread(HWND window)
{
    char className[sizeof kClassName + 1] = {};
    return window != nullptr && ::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId() &&
           ::GetClassNameA(window, className, sizeof className) > 0 && std::strcmp(className, kClassName) == 0;
}

} // namespace

bool CFlatPopupMenu::m_bClassRegistered = false;

CFlatPopupMenu::CFlatPopupMenu() : m_strFont(kDefaultFont)
{
    m_colors[colorBorder] = ::GetSysColor(COLOR_MENUTEXT);
    m_colors[colorBackground] = ::GetSysColor(COLOR_MENU);
    m_colors[colorText] = ::GetSysColor(COLOR_MENUTEXT);
    m_colors[colorGrayedText] = ::GetSysColor(COLOR_GRAYTEXT);
    m_colors[colorHighlightText] = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    m_colors[colorHighlight] = ::GetSysColor(COLOR_HIGHLIGHT);
    m_colors[colorIconTransparent] = RGB(255, 0, 255);
    m_colors[colorIconLight] = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    m_colors[colorIconDark] = ::GetSysColor(COLOR_BTNSHADOW);
}

CFlatPopupMenu::CFlatPopupMenu(const CFlatPopupMenu& other)
    : m_hInstance(other.m_hInstance), m_nBitmapID(other.m_nBitmapID), m_Items(other.m_Items),
      m_strFont(other.m_strFont), m_nFontSize(other.m_nFontSize), m_nPopupDelay(other.m_nPopupDelay)
{
    std::copy(std::begin(other.m_colors), std::end(other.m_colors), std::begin(m_colors));
    if (!other.m_fontNormal.IsNull())
        CreateObjects();
}

CFlatPopupMenu::~CFlatPopupMenu()
{
    if (m_nCapture == captureHeld && ::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
    // Neither side of a menu and its sub-menu may keep a pointer to the one that goes.
    if (m_pParent != nullptr)
        m_pParent->ForgetPopup(this);
    for (ITEM& item : m_Items) {
        if (item.pPopup != nullptr && item.pPopup->m_pParent == this)
            item.pPopup->m_pParent = nullptr;
    }
    Cleanup();
}

bool CFlatPopupMenu::Create(HINSTANCE hInstance, UINT nBitmapID)
{
    m_hInstance = hInstance;
    m_nBitmapID = nBitmapID;
    if (!RegisterClassA())
        return false;
    m_Items.clear();
    CreateObjects();
    return true;
}

void CFlatPopupMenu::SetColor(menuColor index, COLORREF colour)
{
    if (index >= 0 && index < colorCount)
        m_colors[index] = colour;
}

void CFlatPopupMenu::SetFont(const char* faceName)
{
    m_strFont = CString(faceName).LeftWhole(kMaxFaceBytes);
}

void CFlatPopupMenu::SetFontSize(int points)
{
    m_nFontSize = points;
}

void CFlatPopupMenu::SetPopupDelay(int milliseconds)
{
    m_nPopupDelay = milliseconds;
}

bool CFlatPopupMenu::AppendItem(DWORD dwFlags, const char* text, UINT nID, int nIcon)
{
    ITEM item;
    item.dwFlags = dwFlags;
    item.strText = text;
    item.nID = nID;
    item.nIcon = nIcon;
    m_Items.push_back(item);
    return true;
}

bool CFlatPopupMenu::AppendPopup(DWORD dwFlags, const char* text, CFlatPopupMenu& popup, int nIcon)
{
    // A menu that opened itself would never find its top level.
    if ((dwFlags & itemSeparator) || &popup == this)
        return false;
    AppendItem(dwFlags, text, 0, nIcon);
    m_Items.back().pPopup = &popup;
    popup.m_bIsPopup = true;
    popup.m_pParent = this;
    return true;
}

UINT CFlatPopupMenu::Track(int x, int y, HWND hWndNotify, bool bModal, bool bNoCapture)
{
    if (m_hWnd != nullptr)
        ::DestroyWindow(m_hWnd);
    const int height = LayOut();
    m_nSelected = -1;
    m_nReturn = 0;

    CRect workArea;
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    if (x + m_nMenuWidth > workArea.right)
        x = std::max(0, static_cast<int>(workArea.right) - m_nMenuWidth);
    if (y + height > workArea.bottom)
        y = std::max(0, static_cast<int>(workArea.bottom) - height);

    m_bModal = bModal;
    m_hWndNotify = hWndNotify;
    m_hWnd = ::CreateWindowExA(WS_EX_TOOLWINDOW, kClassName, "", WS_POPUP | WS_VISIBLE, x, y, m_nMenuWidth, height,
                               nullptr, nullptr, m_hInstance, this);
    if (m_hWnd == nullptr)
        return 0;

    if (bNoCapture) {
        m_nCapture = captureShown;
        m_bIgnoreLButtonUp = false;
        m_bIgnoreRButtonUp = false;
    } else {
        ::SetCapture(m_hWnd);
        m_nCapture = captureHeld;
        // A button held now was pressed to open the menu: its release is no choice.
        m_bIgnoreLButtonUp = IsButtonHeld(VK_LBUTTON);
        m_bIgnoreRButtonUp = IsButtonHeld(VK_RBUTTON);
    }

    if (!bModal)
        return 0;
    while (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        MSG msg;
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // The thread is ending: the menu goes, and the loops outside see the quit too.
            if (got == 0)
                ::PostQuitMessage(static_cast<int>(msg.wParam));
            DestroyAll();
            break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return m_nReturn;
}

bool CFlatPopupMenu::SetMenuItemText(UINT nItem, const char* text, bool bByPosition)
{
    const int index = GetItem(nItem, bByPosition);
    if (index < 0)
        return false;
    m_Items[index].strText = text;
    return true;
}

bool CFlatPopupMenu::SetMenuItemFlags(UINT nItem, DWORD dwFlags, bool bByPosition)
{
    const int index = GetItem(nItem, bByPosition);
    if (index < 0)
        return false;
    m_Items[index].dwFlags = dwFlags;
    return true;
}

bool CFlatPopupMenu::SetMenuItemIcon(UINT nItem, int nIcon, bool bByPosition)
{
    const int index = GetItem(nItem, bByPosition);
    if (index < 0)
        return false;
    m_Items[index].nIcon = nIcon;
    return true;
}

bool CFlatPopupMenu::GetString(UINT nItem, char* buffer, int bufferSize, bool bByPosition) const
{
    const int index = GetItem(nItem, bByPosition);
    if (index < 0 || buffer == nullptr)
        return false;
    const CString& text = m_Items[index].strText;
    if (text.GetLength() + 1 > bufferSize)
        return false;
    std::memcpy(buffer, text.GetString(), static_cast<size_t>(text.GetLength()) + 1);
    return true;
}

// ---------------------------------------------------------------- the window

LRESULT CALLBACK CFlatPopupMenu::MenuWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created = static_cast<CFlatPopupMenu*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        if (created != nullptr)
            created->m_hWnd = hWnd;
    }
    CFlatPopupMenu* menu = FromHandle(hWnd);
    if (menu == nullptr)
        return ::DefWindowProcA(hWnd, message, wParam, lParam);
    // No exception may unwind through the system's frames.
    try {
        const CPoint point(lParam);
        const UINT flags = static_cast<UINT>(wParam);
        switch (message) {
        case WM_DESTROY:
            menu->OnDestroy(hWnd);
            break;
        case WM_NCDESTROY:
            ::SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
            if (menu->m_hWnd == hWnd)
                menu->m_hWnd = nullptr;
            break;
        case WM_PAINT:
            menu->OnPaint(hWnd);
            break;
        case WM_ERASEBKGND:
            return menu->OnEraseBkgnd(hWnd, reinterpret_cast<HDC>(wParam));
        case WM_CHAR:
            menu->OnChar(hWnd, static_cast<UINT>(wParam), static_cast<UINT>(lParam));
            break;
        case WM_CAPTURECHANGED:
            menu->OnCaptureChanged(hWnd, reinterpret_cast<HWND>(lParam));
            break;
        case WM_ACTIVATEAPP:
            if (!wParam)
                ::PostMessageA(hWnd, kDismissMessage, 0, 0);
            break;
        case WM_CANCELMODE:
            ::PostMessageA(hWnd, kDismissMessage, 0, 0);
            break;
        case kDismissMessage:
            menu->Dismiss();
            return 0;
        case WM_KEYDOWN:
            menu->OnKeyDown(hWnd, static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
            break;
        case WM_TIMER:
            menu->OnTimer(hWnd, wParam);
            break;
        case WM_MOUSEMOVE:
            menu->OnMouseMove(hWnd, flags, point);
            break;
        case WM_LBUTTONDOWN:
            menu->OnLButtonDown(hWnd, flags, point);
            break;
        case WM_RBUTTONDOWN:
            menu->OnRButtonDown(hWnd, flags, point);
            break;
        case WM_LBUTTONUP:
            menu->OnLButtonUp(hWnd, flags, point);
            break;
        case WM_RBUTTONUP:
            menu->OnRButtonUp(hWnd, flags, point);
            break;
        }
    } catch (...) {
        ::OutputDebugStringA("Sonvera: a popup menu message handler failed\n");
        return 0;
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

CFlatPopupMenu* CFlatPopupMenu::FromHandle(HWND hWnd)
{
    return reinterpret_cast<CFlatPopupMenu*>(::GetWindowLongPtrA(hWnd, GWLP_USERDATA));
}

bool CFlatPopupMenu::RegisterClassA()
{
    WNDCLASSA existing{};
    if (::GetClassInfoA(m_hInstance, kClassName, &existing)) {
        m_bClassRegistered = true;
        return true;
    }
    WNDCLASSA menuClass{};
    menuClass.lpfnWndProc = &CFlatPopupMenu::MenuWindowProc;
    menuClass.hInstance = m_hInstance;
    menuClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    menuClass.lpszClassName = kClassName;
    if (!::RegisterClassA(&menuClass))
        return false;
    m_bClassRegistered = true;
    return true;
}

void CFlatPopupMenu::CreateObjects()
{
    Cleanup();
    {
        CInfoDC display("DISPLAY");
        LOGFONTA description{};
        description.lfHeight = -::MulDiv(m_nFontSize, display.GetDeviceCaps(LOGPIXELSY), 72);
        description.lfWeight = FW_NORMAL;
        description.lfCharSet = DEFAULT_CHARSET;
        ::lstrcpynA(description.lfFaceName, m_strFont, LF_FACESIZE);
        m_fontNormal.CreateFontIndirect(description);
        description.lfWeight = FW_BOLD;
        m_fontBold.CreateFontIndirect(description);
        m_nTextHeight = TextHeight(display, m_fontNormal);
        m_nBoldTextHeight = TextHeight(display, m_fontBold);
    }
    m_penBorder.CreatePen(PS_SOLID, 1, m_colors[colorBorder]);
    m_penIconLight.CreatePen(PS_SOLID, 1, m_colors[colorIconLight]);
    m_penIconDark.CreatePen(PS_SOLID, 1, m_colors[colorIconDark]);
    m_penBackground.CreatePen(PS_SOLID, 1, m_colors[colorBackground]);
    m_penHighlightText.CreatePen(PS_SOLID, 1, m_colors[colorHighlightText]);
    m_penText.CreatePen(PS_SOLID, 1, m_colors[colorText]);
    m_brushBackground.CreateSolidBrush(m_colors[colorBackground]);
    m_brushHighlight.CreateSolidBrush(m_colors[colorHighlight]);
    if (m_nBitmapID != noBitmap)
        m_bmpIcons.LoadBitmap(m_hInstance, m_nBitmapID);
}

void CFlatPopupMenu::Cleanup()
{
    for (CGdiObject* object : std::initializer_list<CGdiObject*>{
             &m_fontNormal, &m_fontBold, &m_penBorder, &m_penIconLight, &m_penIconDark, &m_penBackground,
             &m_penHighlightText, &m_penText, &m_brushBackground, &m_brushHighlight, &m_bmpIcons})
        object->DeleteObject();
}

CFlatPopupMenu* CFlatPopupMenu::TopLevel()
{
    // Up to the highest menu that is open: a sub-menu tracked on its own is its own top.
    CFlatPopupMenu* menu = this;
    while (menu->m_pParent != nullptr && menu->m_pParent->m_hWnd != nullptr)
        menu = menu->m_pParent;
    return menu;
}

void CFlatPopupMenu::DestroyAll()
{
    CFlatPopupMenu* top = TopLevel();
    if (top->m_hWnd != nullptr)
        ::DestroyWindow(top->m_hWnd);
}

void CFlatPopupMenu::SetReturn(UINT nCommand)
{
    CFlatPopupMenu* top = TopLevel();
    top->m_nReturn = nCommand;
    if (top->m_hWnd != nullptr)
        ::DestroyWindow(top->m_hWnd);
}

void CFlatPopupMenu::ForgetPopup(const CFlatPopupMenu* popup)
{
    for (ITEM& item : m_Items) {
        if (item.pPopup == popup)
            item.pPopup = nullptr;
    }
}

int CFlatPopupMenu::LayOut()
{
    CClientDC screen(nullptr);
    int y = kMargin;
    int widest = 0;
    for (ITEM& item : m_Items) {
        const bool separator = (item.dwFlags & itemSeparator) != 0;
        item.nTop = y;
        item.nHeight = separator ? kSeparatorHeight : kItemHeight;
        y += item.nHeight;
        if (separator)
            continue;
        // Measured as drawn: "&" marks the mnemonic and takes no room.
        screen.SelectObject((item.dwFlags & itemDefault) ? m_fontBold : m_fontNormal);
        CRect extent;
        screen.DrawText(item.strText, extent, DT_CALCRECT | DT_SINGLELINE | DT_LEFT | DT_TOP);
        widest = std::max(widest, extent.Width());
    }
    m_nMenuWidth = widest + kWidthBeyondText;
    return y + kBottomMargin;
}

int CFlatPopupMenu::GetItem(CPoint point) const
{
    CRect client;
    ::GetClientRect(m_hWnd, &client);
    if (point.x < kMargin || point.y < kMargin || !client.PtInRect(point))
        return -1;
    for (size_t i = 0; i < m_Items.size(); ++i) {
        const ITEM& item = m_Items[i];
        if (item.nTop < point.y && point.y < item.nTop + item.nHeight)
            return (item.dwFlags & itemDisabled) ? -1 : static_cast<int>(i);
    }
    return -1;
}

int CFlatPopupMenu::GetItem(UINT nItem, bool bByPosition) const
{
    if (bByPosition)
        return nItem < m_Items.size() ? static_cast<int>(nItem) : -1;
    for (size_t i = 0; i < m_Items.size(); ++i) {
        if (m_Items[i].nID == nItem)
            return static_cast<int>(i);
    }
    return -1;
}

// ---------------------------------------------------------------- input

void CFlatPopupMenu::OnMouseMove(HWND hWnd, UINT, CPoint point)
{
    CPoint screen = point;
    ::ClientToScreen(hWnd, &screen);
    HWND under = ::WindowFromPoint(screen);
    if (under != hWnd && IsMenuWindowOfThisThread(under)) {
        // The pointer entered another level of the chain: that level takes the mouse.
        if (CFlatPopupMenu* level = FromHandle(under)) {
            m_nCapture = captureShown;
            level->m_nCapture = captureHeld;
            ::SetCapture(under);
        }
        return;
    }
    Select(hWnd, GetItem(point));
}

void CFlatPopupMenu::Select(HWND hWnd, int nItem)
{
    if (nItem == m_nSelected)
        return;
    ::KillTimer(hWnd, kOpenTimer);
    const int previous = m_nSelected;
    m_nSelected = nItem;
    if (previous >= 0) {
        CFlatPopupMenu* popup = m_Items[previous].pPopup;
        if (popup != nullptr && popup->m_hWnd != nullptr)
            ::DestroyWindow(popup->m_hWnd);
        RedrawItem(hWnd, previous);
    }
    if (nItem >= 0) {
        RedrawItem(hWnd, nItem);
        if (m_Items[nItem].pPopup != nullptr)
            ::SetTimer(hWnd, kOpenTimer, static_cast<UINT>(std::max(0, m_nPopupDelay)), nullptr);
    }
}

void CFlatPopupMenu::OnTimer(HWND hWnd, UINT_PTR nIDEvent)
{
    if (nIDEvent != kOpenTimer)
        return;
    ::KillTimer(hWnd, kOpenTimer);
    OpenSubMenu(hWnd);
}

void CFlatPopupMenu::OpenSubMenu(HWND hWnd)
{
    if (m_nSelected < 0)
        return;
    const ITEM& item = m_Items[m_nSelected];
    CFlatPopupMenu* popup = item.pPopup;
    if (popup == nullptr || popup->m_hWnd != nullptr)
        return;
    CPoint at(m_nMenuWidth - kSubMenuOverlapX, item.nTop - kSubMenuRiseY);
    ::ClientToScreen(hWnd, &at);
    // While it is open, the sub-menu's parent is the menu that opened it: a
    // copy of its menu (which shares the sub-menus) then gets the choice.
    CFlatPopupMenu* const owner = popup->m_pParent;
    popup->m_pParent = this;
    // This menu keeps the capture until the pointer enters the sub-menu.
    const UINT chosen = popup->Track(at.x, at.y, m_hWndNotify, true, true);
    popup->m_pParent = owner;
    if (chosen != 0)
        DestroyAll();
}

void CFlatPopupMenu::OnLButtonDown(HWND hWnd, UINT, CPoint point)
{
    ButtonDown(hWnd, point);
}

void CFlatPopupMenu::OnRButtonDown(HWND hWnd, UINT, CPoint point)
{
    ButtonDown(hWnd, point);
}

void CFlatPopupMenu::ButtonDown(HWND hWnd, CPoint point)
{
    if (CheckOutsideMenu(hWnd, point))
        return;
    const int item = GetItem(point);
    if (item < 0 || m_Items[item].pPopup == nullptr || m_Items[item].pPopup->m_hWnd != nullptr)
        return;
    // A click does not wait for the open delay.
    Select(hWnd, item);
    ::KillTimer(hWnd, kOpenTimer);
    OpenSubMenu(hWnd);
}

void CFlatPopupMenu::OnLButtonUp(HWND hWnd, UINT, CPoint point)
{
    ButtonUp(hWnd, point, m_bIgnoreLButtonUp);
}

void CFlatPopupMenu::OnRButtonUp(HWND hWnd, UINT, CPoint point)
{
    ButtonUp(hWnd, point, m_bIgnoreRButtonUp);
}

void CFlatPopupMenu::ButtonUp(HWND hWnd, CPoint point, bool& bIgnoreRelease)
{
    if (bIgnoreRelease) {
        bIgnoreRelease = false;
        return;
    }
    if (CheckOutsideMenu(hWnd, point))
        return;
    const int item = GetItem(point);
    if (item >= 0 && item == m_nSelected && m_Items[item].nID != 0)
        SetReturn(m_Items[item].nID);
}

bool CFlatPopupMenu::CheckOutsideMenu(HWND hWnd, CPoint point)
{
    CRect client;
    ::GetClientRect(hWnd, &client);
    if (point.x >= kMargin && point.y >= kMargin && client.PtInRect(point))
        return false;
    Dismiss();
    return true;
}

void CFlatPopupMenu::Dismiss()
{
    m_nSelected = -1;
    TopLevel()->m_nReturn = 0;
    DestroyAll();
}

void CFlatPopupMenu::OnChar(HWND, UINT nChar, UINT)
{
    const unsigned char typed = LowerAscii(static_cast<unsigned char>(nChar));
    for (const ITEM& item : m_Items) {
        if (item.dwFlags & (itemSeparator | itemDisabled | itemGrayed))
            continue;
        const int ampersand = item.strText.Find('&');
        if (ampersand < 0 || ampersand + 1 >= item.strText.GetLength())
            continue;
        if (LowerAscii(static_cast<unsigned char>(item.strText[ampersand + 1])) == typed) {
            SetReturn(item.nID);
            return;
        }
    }
}

void CFlatPopupMenu::OnKeyDown(HWND, UINT nChar, UINT, UINT)
{
    // Without this a menu opened from the keyboard could only be left with the mouse.
    if (nChar == VK_ESCAPE)
        Dismiss();
}

void CFlatPopupMenu::OnCaptureChanged(HWND hWnd, HWND hWndNewOwner)
{
    // Handing the mouse to another level moves this one to captureShown first.
    if (m_nCapture == captureHeld && !IsMenuWindowOfThisThread(hWndNewOwner))
        ::PostMessageA(hWnd, kDismissMessage, 0, 0);
}

void CFlatPopupMenu::OnDestroy(HWND hWnd)
{
    ::KillTimer(hWnd, kOpenTimer);
    for (ITEM& item : m_Items) {
        if (item.pPopup != nullptr && item.pPopup->m_hWnd != nullptr)
            ::DestroyWindow(item.pPopup->m_hWnd);
    }
    if (m_nCapture == captureHeld && ::GetCapture() == hWnd)
        ::ReleaseCapture();
    m_nCapture = captureNone;
    m_hWnd = nullptr;
    if (!m_bModal && m_nReturn != 0 && TopLevel() == this)
        ::PostMessageA(m_hWndNotify, WM_COMMAND, MAKEWPARAM(m_nReturn, 0), 0);
}

// ---------------------------------------------------------------- drawing

void CFlatPopupMenu::OnPaint(HWND hWnd)
{
    CPaintDC dc(hWnd);
    for (size_t i = 0; i < m_Items.size(); ++i)
        DrawItem(dc, static_cast<int>(i));
}

BOOL CFlatPopupMenu::OnEraseBkgnd(HWND hWnd, HDC hDC)
{
    CRect client;
    ::GetClientRect(hWnd, &client);
    CDC dc(hDC);
    dc.SelectObject(m_penBorder);
    dc.SelectObject(m_brushBackground);
    dc.Rectangle(client.left, client.top, client.right, client.bottom);
    return TRUE;
}

void CFlatPopupMenu::RedrawItem(HWND hWnd, int nItem)
{
    CClientDC dc(hWnd);
    DrawItem(dc, nItem);
}

void CFlatPopupMenu::DrawItem(CDC& dc, int nItem)
{
    const ITEM& item = m_Items[nItem];
    const int top = item.nTop;
    if (item.dwFlags & itemSeparator) {
        DrawSeparator(dc, top);
        return;
    }
    const bool selected = nItem == m_nSelected;

    int backgroundLeft = kMargin;
    if (item.nIcon >= 0) {
        // A raised box around the icon while selected; flat (in the background colour) otherwise.
        dc.SelectObject(selected ? m_penIconLight : m_penBackground);
        dc.MoveTo(kIconBoxLeft, top + kIconBoxBottom);
        dc.LineTo(kIconBoxLeft, top);
        dc.LineTo(kIconBoxRight, top);
        dc.SelectObject(selected ? m_penIconDark : m_penBackground);
        dc.LineTo(kIconBoxRight, top + kIconBoxBottom);
        dc.LineTo(kIconBoxLeft - 1, top + kIconBoxBottom);
        // A cell past the strip's edge leaves the box empty; the box and the indent
        // stay, as the host asked for an icon.
        if (IconCellInStrip(item.nIcon, m_bmpIcons.GetSize()))
            DrawTransparentBitmap(dc, m_bmpIcons, kIconBoxLeft + 1, top + 1, item.nIcon * kIconWidth, 0, kIconWidth,
                                  kIconHeight, m_colors[colorIconTransparent]);
        backgroundLeft = kBackgroundLeftWithIcon;
    }

    dc.SelectStockObject(NULL_PEN);
    dc.SelectObject(selected ? m_brushHighlight : m_brushBackground);
    dc.Rectangle(backgroundLeft, top, m_nMenuWidth - kBackgroundRightGap, top + kBackgroundHeight);

    const bool bold = (item.dwFlags & itemDefault) != 0;
    dc.SelectObject(bold ? m_fontBold : m_fontNormal);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(selected                          ? m_colors[colorHighlightText]
                    : (item.dwFlags & itemGrayed) ? m_colors[colorGrayedText]
                                                      : m_colors[colorText]);
    const int textTop = top + (kItemHeight - (bold ? m_nBoldTextHeight : m_nTextHeight)) / 2;
    CRect textRect(kTextLeft, textTop, m_nMenuWidth, top + kItemHeight);
    dc.DrawText(item.strText, textRect, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP);

    if (item.pPopup != nullptr) {
        // A right-pointing triangle of four columns, one pixel at the tip.
        dc.SelectObject(selected ? m_penHighlightText : m_penText);
        for (int k = 0; k < kArrowColumns; ++k) {
            const int x = m_nMenuWidth - kArrowTip - k;
            dc.MoveTo(x, top + kArrowMiddle - k);
            dc.LineTo(x, top + kArrowMiddle + 1 + k);
        }
    }
}

void CFlatPopupMenu::DrawSeparator(CDC& dc, int nTop)
{
    dc.SelectObject(m_penBorder);
    dc.MoveTo(0, nTop + kSeparatorLine);
    dc.LineTo(m_nMenuWidth, nTop + kSeparatorLine);
}

void CFlatPopupMenu::DrawTransparentBitmap(CDC& dc, const CBitmap& bitmap, int x, int y, int xSource, int ySource,
                                           int width, int height, COLORREF transparent)
{
    CBitmap maskBitmap;
    if (!maskBitmap.CreateBitmap(width, height, 1, 1, nullptr))
        return;
    CMemoryDC image(dc);
    CMemoryDC mask(dc);
    image.SelectObject(bitmap);
    mask.SelectObject(maskBitmap);
    // Colour to monochrome: the pixels of the source's background colour become white.
    image.SetBkColor(transparent);
    mask.BitBlt(0, 0, width, height, image, xSource, ySource, SRCCOPY);

    // Monochrome to colour takes white as the target's background colour and black as
    // its text colour. Then target ^ image, & mask, ^ image leaves the target where the
    // mask is white and puts the image where it is black.
    const COLORREF background = dc.SetBkColor(RGB(255, 255, 255));
    const COLORREF text = dc.SetTextColor(RGB(0, 0, 0));
    dc.BitBlt(x, y, width, height, image, xSource, ySource, SRCINVERT);
    dc.BitBlt(x, y, width, height, mask, 0, 0, SRCAND);
    dc.BitBlt(x, y, width, height, image, xSource, ySource, SRCINVERT);
    dc.SetBkColor(background);
    dc.SetTextColor(text);
}
