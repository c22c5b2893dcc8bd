// CSkinDlg: the skin loader. It reads skin.ini, loads the pictures, shapes
// the window and creates the skin's controls, and holds the grammar of the
// file's values.
#include <climits>
#include <cstdlib>

#include "Setup/IniFile.h"
#include "fw/ComScope.h"
#include "fw/Font.h"
#include "skin/PictureFile.h"
#include "skin/SkinButton.h"
#include "skin/SkinCombo.h"
#include "skin/SkinDlg.h"
#include "skin/SkinEdit.h"
#include "skin/SkinLabel.h"
#include "skin/SkinProgress.h"

namespace {

const char kFieldSeparator[] = ",";

// The control names of the voice dialog and the identifiers their clicks report.
struct NamedControl {
    const char* name;
    int id;
};

const NamedControl kControlIds[] = {
    {"BUTTON_RECORD", 5000}, {"BUTTON_EXIT", 5001},  {"BUTTON_FLOPPY", 5002}, {"LABEL_ID", 5003},
    {"LABEL_WORD", 5004},    {"LABEL_REPEAT", 5005}, {"LABEL_HINT", 5006},    {"LABEL_LANG", 5007},
    {"LABEL_MODE", 5008},    {"LABEL_GROUP", 5009},  {"LABEL_COMPANY", 5010},
};

// Skin controls are plain visible children without an identifier of their own.
const DWORD kSkinControlStyle = WS_CHILD | WS_VISIBLE;

// A flag field is on when its first character is the letter; an empty field never is.
bool StartsWith(const CString& field, char letter)
{
    return !field.IsEmpty() && field[0] == letter;
}

// The non-empty values of a numbered section: keys "1" to n, n being how many
// keys the section has, whatever their names.
CStringArray NumberedEntries(CIniFile& ini, const char* section)
{
    CStringArray keys;
    ini.ReadSection(section, keys);
    CStringArray entries;
    for (int number = 1; number <= keys.GetSize(); ++number) {
        CString key;
        key.Format("%d", number);
        const CString entry = ini.ReadString(section, key, "");
        if (!entry.IsEmpty())
            entries.Add(entry);
    }
    return entries;
}

// Whether a picture named in the skin, appended to the skin's folder, stays
// inside it: no part of the name may lead out of a folder. The system takes
// '/' as a separator too and drops the trailing dots and blanks of a name, so
// a part of only dots and blanks with two dots or more counts as "..". Parts
// are split by characters, so a 0x5C trail byte is no separator.
bool StaysInSkinFolder(const CString& name)
{
    const int length = name.GetLength();
    for (int start = 0; start <= length;) {
        int end = name.Find('\\', start);
        const int slash = name.Find('/', start);
        if (end < 0 || (slash >= 0 && slash < end))
            end = slash;
        if (end < 0)
            end = length;
        int dots = 0;
        bool onlyDotsAndBlanks = true;
        for (int i = start; i < end; ++i) {
            dots += name[i] == '.' ? 1 : 0;
            onlyDotsAndBlanks = onlyDotsAndBlanks && (name[i] == '.' || name[i] == ' ');
        }
        if (onlyDotsAndBlanks && dots >= 2)
            return false;
        start = end + 1;
    }
    return true;
}

// Loads the skin's picture; one named outside the skin's folder stays empty,
// as a missing one does.
void LoadSkinPicture(const CString& folder, const CString& name, CBitmap& picture)
{
    if (StaysInSkinFolder(name))
        LoadPictureFile(folder + name, picture);
    else
        picture.DeleteObject();
}

} // namespace

int CSkinDlg::LoadSkins()
{
    Free();
    CIniFile ini(m_strSkinFile);
    const CString folder = SkinFolder();

    const CString main = ini.ReadString("SCREEN", "MAIN", "");
    if (main.IsEmpty())
        return 0;
    const CString mask = ini.ReadString("SCREEN", "MASK", main);
    const CString over = ini.ReadString("SCREEN", "OVER", main);
    const CString down = ini.ReadString("SCREEN", "DOWN", main);
    const CString disabled = ini.ReadString("SCREEN", "DISALBED", main);
    m_bHint = ini.ReadString("SCREEN", "HINT", "TRUE") == "TRUE";
    m_bLabelTip = ini.ReadString("SCREEN", "LABELTIP", "FALSE") == "TRUE";

    CString value = ini.ReadString("WAVE", "RECT", "");
    m_rcWave = StringToRect(value);
    m_bWaveDraw = ini.ReadString("WAVE", "DRAW", "TRUE") == "TRUE";
    value = ini.ReadString("WAVE", "BACKGROUND", "0,0,0");
    m_clrWaveBack = StringToColor(value);
    value = ini.ReadString("WAVE", "LINE", "0,255,0");
    m_clrWaveLine = StringToColor(value);
    value = ini.ReadString("WAVE", "CENTER", "255,255,255");
    m_clrWaveCenter = StringToColor(value);
    m_nWaveWidth = StringToNumber(ini.ReadString("WAVE", "WIDTH", "1"));
    m_bWaveDotLine = ini.ReadString("WAVE", "DOTLINE", "TRUE") != "FALSE";

    CComScope pictureDecoders;
    LoadSkinPicture(folder, main, m_bmpMain);
    CBitmap bmpMask;
    LoadSkinPicture(folder, mask, bmpMask);
    // The window takes the size of the last picture that loaded: a mask that
    // cannot be read leaves the window the face's size (rectangular, as the
    // outline then is) instead of shrinking it to nothing.
    const CSize size = !bmpMask.IsNull() ? bmpMask.GetSize() : m_bmpMain.GetSize();
    // Loading does not activate the window: showing it does.
    SetWindowPos(HWND_TOP, 0, 0, size.cx, size.cy, SWP_NOOWNERZORDER | SWP_NOACTIVATE);

    LoadSkinPicture(folder, over, m_bmpOver);
    LoadSkinPicture(folder, down, m_bmpDown);
    LoadSkinPicture(folder, disabled, m_bmpDisabled);
    Setup(bmpMask);

    ReadButtonInfo(ini);
    ReadLabelInfo(ini);
    ReadEditInfo(ini);
    ReadComboInfo(ini);
    ReadProgressInfo(ini);
    if (m_hWnd != nullptr)
        Invalidate(TRUE);
    return 1;
}

CString CSkinDlg::SkinFolder() const
{
    const int lastSeparator = m_strSkinFile.ReverseFind('\\');
    CString folder = lastSeparator >= 0 ? m_strSkinFile.Left(lastSeparator) : CString();
    folder.TrimRight('\\');
    return folder + "\\";
}

void CSkinDlg::ReadButtonInfo(CIniFile ini)
{
    const CStringArray entries = NumberedEntries(ini, "BUTTON");
    for (int i = 0; i < entries.GetSize(); ++i) {
        CString entry = entries[i];
        const CString name = GetFirstParam(entry, kFieldSeparator);
        const CRect rect = StringToRect(entry);
        const CString tooltip = GetFirstParam(entry, kFieldSeparator);
        const CString twoState = GetFirstParam(entry, kFieldSeparator);

        auto button = std::make_unique<CSkinButton>();
        if (!button->Create("", kSkinControlStyle, rect, this, 0))
            continue;
        const CBitmap* looks[CHoverButton::pictureCount] = {&m_bmpMain, &m_bmpOver, &m_bmpDown, &m_bmpDisabled};
        button->CutPictures(looks, rect);
        button->ModifyStyle(WS_BORDER | WS_TABSTOP, 0);
        button->SetName(name);
        button->SetID(ControlNameToID(name));
        button->SetTooltipText(&tooltip, TRUE);
        button->SetTwoState(StartsWith(twoState, 'T'));
        m_arrButtons.push_back(std::move(button));
    }
}

void CSkinDlg::ReadLabelInfo(CIniFile ini)
{
    const CStringArray entries = NumberedEntries(ini, "LABEL");
    for (int i = 0; i < entries.GetSize(); ++i) {
        CString entry = entries[i];
        const CString name = GetFirstParam(entry, kFieldSeparator);
        CreateLabel(name, entry, false);
    }
}

void CSkinDlg::ReadEditInfo(CIniFile ini)
{
    const CString label = ini.ReadString("SCREEN", "LABEL_ID", "");
    if (!label.IsEmpty())
        CreateLabel("LABEL_ID", label, true);

    CString placement = ini.ReadString("SCREEN", "EDIT_ID", "");
    if (placement.IsEmpty() || m_pEditID == nullptr || m_pEditID->m_hWnd == nullptr)
        return;
    const CRect rect = StringToRect(placement);
    const CString tooltip = GetFirstParam(placement, kFieldSeparator);
    m_pEditID->MoveWindow(rect, TRUE);
    m_pEditID->SetTooltipText(&tooltip, TRUE);
    m_pEditID->ShowWindow(SW_SHOW);
}

void CSkinDlg::ReadComboInfo(CIniFile ini)
{
    const CString label = ini.ReadString("SCREEN", "LABEL_WORD", "");
    if (!label.IsEmpty())
        CreateLabel("LABEL_WORD", label, true);

    CString placement = ini.ReadString("SCREEN", "COMBO_WORD", "");
    if (placement.IsEmpty())
        return;
    const CRect rect = StringToRect(placement);
    const CString tooltip = GetFirstParam(placement, kFieldSeparator);
    // The password edit shares the combo box's place; the derived dialog
    // shows one or the other, so the combo box starts hidden and the
    // password edit keeps its visibility.
    if (m_pEditPassword != nullptr && m_pEditPassword->m_hWnd != nullptr)
        m_pEditPassword->MoveWindow(rect, TRUE);
    if (m_pComboWord != nullptr && m_pComboWord->m_hWnd != nullptr) {
        m_pComboWord->MoveWindow(rect, TRUE);
        m_pComboWord->SetTooltipText(&tooltip, TRUE);
        m_pComboWord->ShowWindow(SW_SHOW);
        m_pComboWord->ShowWindow(SW_HIDE);
    }
}

void CSkinDlg::ReadProgressInfo(CIniFile ini)
{
    const CStringArray entries = NumberedEntries(ini, "PROGRESSINFO");
    for (int i = 0; i < entries.GetSize(); ++i) {
        CString entry = entries[i];
        const CString name = GetFirstParam(entry, kFieldSeparator);
        const CString tooltip = GetFirstParam(entry, kFieldSeparator);
        const CRect rect = StringToRect(entry);
        const CString direction = GetFirstParam(entry, kFieldSeparator);

        auto bar = std::make_unique<CSkinProgress>();
        if (!bar->Create("", kSkinControlStyle, rect, this, 0))
            continue;
        // The base from the background, the filled part from the pressed picture.
        const CBitmap* looks[CHoverButton::pictureCount] = {&m_bmpMain, nullptr, &m_bmpDown, nullptr};
        bar->CutPictures(looks, rect);
        bar->ModifyStyle(WS_BORDER | WS_TABSTOP, 0);
        bar->SetIndex(static_cast<int>(m_arrProgress.size()));
        bar->SetName(name);
        bar->SetTooltipText(&tooltip, TRUE);
        bar->SetFillsFromTop(StartsWith(direction, 'H'));
        m_arrProgress.push_back(std::move(bar));
    }
}

void CSkinDlg::CreateLabel(const CString& strName, CString strEntry, bool bStartEmpty)
{
    const CString face = GetFirstParam(strEntry, kFieldSeparator);
    const CString bold = GetFirstParam(strEntry, kFieldSeparator);
    const CString italic = GetFirstParam(strEntry, kFieldSeparator);
    const int height = StringToNumber(GetFirstParam(strEntry, kFieldSeparator));
    const COLORREF colour = StringToColor(strEntry);
    const CRect rect = StringToRect(strEntry);
    const CString text = GetFirstParam(strEntry, kFieldSeparator);
    const CString tooltip = GetFirstParam(strEntry, kFieldSeparator);

    auto label = std::make_unique<CSkinLabel>();
    if (!label->Create(text, kSkinControlStyle, rect, this, 0))
        return;
    label->CutBackground(m_bmpMain, rect);
    label->SetName(strName);
    label->SetID(ControlNameToID(strName));
    // "LABEL_ID" and "LABEL_WORD" show their text only as the first caption.
    label->SetText(bStartEmpty ? CString() : text);
    label->SetTooltipText(&tooltip, TRUE);
    label->SetTextColor(colour);

    LOGFONTA description{};
    description.lfHeight = height;
    description.lfWeight = StartsWith(bold, 'T') ? FW_BOLD : FW_NORMAL;
    // Italic is asked for with 'F', as skins have always been written.
    description.lfItalic = StartsWith(italic, 'F') ? TRUE : FALSE;
    description.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(description.lfFaceName, face.LeftWhole(LF_FACESIZE - 1), LF_FACESIZE);
    CFont font;
    font.CreateFontIndirect(description);
    label->SetFont(&font);
    m_arrLabels.push_back(std::move(label));
}

CString CSkinDlg::GetFirstParam(CString& strValue, CString strSeparator)
{
    const int at = strValue.Find(strSeparator);
    if (at < 0 || strSeparator.IsEmpty())
        return strValue;
    const CString field = strValue.Left(at);
    strValue = strValue.Mid(at + strSeparator.GetLength());
    strValue.Trim();
    return field;
}

CRect CSkinDlg::StringToRect(CString& strValue)
{
    const long long x = StringToNumber(GetFirstParam(strValue, kFieldSeparator));
    const long long y = StringToNumber(GetFirstParam(strValue, kFieldSeparator));
    const long long width = StringToNumber(GetFirstParam(strValue, kFieldSeparator));
    const long long height = StringToNumber(GetFirstParam(strValue, kFieldSeparator));
    // Sums beyond the int range wrap instead of overflowing.
    return CRect(static_cast<int>(x), static_cast<int>(y), static_cast<int>(static_cast<unsigned>(x + width)),
                 static_cast<int>(static_cast<unsigned>(y + height)));
}

COLORREF CSkinDlg::StringToColor(CString& strValue)
{
    const int red = StringToNumber(GetFirstParam(strValue, kFieldSeparator));
    const int green = StringToNumber(GetFirstParam(strValue, kFieldSeparator));
    const int blue = StringToNumber(GetFirstParam(strValue, kFieldSeparator));
    return RGB(red & 0xFF, green & 0xFF, blue & 0xFF);
}

int CSkinDlg::StringToNumber(const CString& strValue)
{
    // strtoll's own rule (blanks, sign, digits), clamped to int; out-of-range
    // values must not overflow.
    const long long number = std::strtoll(strValue, nullptr, 10);
    if (number > INT_MAX)
        return INT_MAX;
    if (number < INT_MIN)
        return INT_MIN;
    return static_cast<int>(number);
}

int CSkinDlg::ControlNameToID(const CString& strName)
{
    for (const NamedControl& control : kControlIds) {
        if (strName == control.name)
            return control.id;
    }
    return 0;
}
