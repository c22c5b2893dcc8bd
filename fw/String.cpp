#include "fw/String.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "fw/Module.h"

namespace {

bool IsLead(char ch)
{
    return IsDBCSLeadByte(static_cast<BYTE>(ch)) != FALSE;
}

// Width of the character at `i`: a lead byte with a byte behind it makes a
// pair; a lead byte cut off at the end stands alone.
size_t CharWidth(const std::string& s, size_t i)
{
    if (i >= s.size())
        return 0;
    return (IsLead(s[i]) && i + 1 < s.size()) ? 2 : 1;
}

bool IsAsciiUpper(char ch) { return ch >= 'A' && ch <= 'Z'; }
bool IsAsciiLower(char ch) { return ch >= 'a' && ch <= 'z'; }

// Puts the character of `width` bytes at `ch` in the case `caseFlag` names
// (LCMAP_UPPERCASE or LCMAP_LOWERCASE), in place. A single byte changes only
// when it is an ASCII letter. A double-byte character goes through the
// platform, as a multibyte string's case mapping and case-blind comparison
// do in the C runtime: full-width Latin, Greek and Cyrillic letters form case
// pairs there, so a name typed by an IME in either case is the same name. A
// pair the code page does not define, or one whose mapping would not be a
// single double-byte character again, keeps its bytes: folding must never
// change a character into another one.
void MapCase(char* ch, size_t width, DWORD caseFlag)
{
    if (width == 1) {
        if (caseFlag == LCMAP_UPPERCASE && IsAsciiLower(*ch))
            *ch = static_cast<char>(*ch - 'a' + 'A');
        else if (caseFlag == LCMAP_LOWERCASE && IsAsciiUpper(*ch))
            *ch = static_cast<char>(*ch - 'A' + 'a');
        return;
    }
    WCHAR wide;
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ch, 2, &wide, 1) != 1)
        return;
    char mapped[2];
    if (LCMapStringA(LOCALE_SYSTEM_DEFAULT, caseFlag, ch, 2, mapped, 2) == 2 && IsLead(mapped[0])) {
        ch[0] = mapped[0];
        ch[1] = mapped[1];
    }
}

void MapCaseOfEach(std::string& s, DWORD caseFlag)
{
    for (size_t i = 0; i < s.size();) {
        const size_t w = CharWidth(s, i);
        MapCase(&s[i], w, caseFlag);
        i += w;
    }
}

bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

bool InSet(const char* set, char ch)
{
    return set != nullptr && ch != '\0' && std::strchr(set, ch) != nullptr;
}

template <typename Pred>
void TrimLeftIf(std::string& s, Pred trimmed)
{
    size_t i = 0;
    while (i < s.size() && CharWidth(s, i) == 1 && trimmed(s[i]))
        ++i;
    s.erase(0, i);
}

template <typename Pred>
void TrimRightIf(std::string& s, Pred trimmed)
{
    // Walk forwards so a trail byte is never taken for a character of its own.
    size_t runStart = s.size();
    for (size_t i = 0; i < s.size();) {
        const size_t w = CharWidth(s, i);
        if (w == 1 && trimmed(s[i])) {
            if (runStart == s.size())
                runStart = i;
        } else {
            runStart = s.size();
        }
        i += w;
    }
    s.erase(runStart);
}

size_t ClampIndex(int index, size_t size)
{
    if (index <= 0)
        return 0;
    return static_cast<size_t>(index) > size ? size : static_cast<size_t>(index);
}

} // namespace

CString::CString(const char* text)
{
    if (text != nullptr)
        m_str.assign(text);
}

CString::CString(const char* text, int length)
{
    if (text != nullptr && length > 0)
        m_str.assign(text, static_cast<size_t>(length));
}

CString::CString(char ch, int repeat)
{
    if (repeat > 0)
        m_str.assign(static_cast<size_t>(repeat), ch);
}

CString::CString(const std::string& bytes) : m_str(bytes) {}

CString& CString::operator=(const char* text)
{
    if (text == nullptr)
        m_str.clear();
    else
        m_str.assign(text);
    return *this;
}

CString& CString::operator=(char ch)
{
    m_str.assign(1, ch);
    return *this;
}

char CString::GetAt(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_str.size())
        return '\0';
    return m_str[static_cast<size_t>(index)];
}

void CString::SetAt(int index, char ch)
{
    if (index >= 0 && static_cast<size_t>(index) < m_str.size())
        m_str[static_cast<size_t>(index)] = ch;
}

CString& CString::operator+=(const CString& text)
{
    m_str += text.m_str;
    return *this;
}

CString& CString::operator+=(const char* text)
{
    if (text != nullptr)
        m_str += text;
    return *this;
}

CString& CString::operator+=(char ch)
{
    m_str += ch;
    return *this;
}

int CString::Compare(const char* text) const
{
    return std::strcmp(m_str.c_str(), text != nullptr ? text : "");
}

int CString::CompareNoCase(const char* text) const
{
    const std::string other(text != nullptr ? text : "");
    size_t i = 0;
    size_t j = 0;
    while (i < m_str.size() && j < other.size()) {
        const size_t wa = CharWidth(m_str, i);
        const size_t wb = CharWidth(other, j);
        char a[2];
        char b[2];
        std::memcpy(a, m_str.data() + i, wa);
        std::memcpy(b, other.data() + j, wb);
        MapCase(a, wa, LCMAP_LOWERCASE);
        MapCase(b, wb, LCMAP_LOWERCASE);
        const int c = std::memcmp(a, b, wa < wb ? wa : wb);
        if (c != 0)
            return c < 0 ? -1 : 1;
        if (wa != wb)
            return wa < wb ? -1 : 1;
        i += wa;
        j += wb;
    }
    if (i < m_str.size())
        return 1;
    if (j < other.size())
        return -1;
    return 0;
}

CString& CString::MakeUpper()
{
    MapCaseOfEach(m_str, LCMAP_UPPERCASE);
    return *this;
}

CString& CString::MakeLower()
{
    MapCaseOfEach(m_str, LCMAP_LOWERCASE);
    return *this;
}

CString CString::Mid(int first) const
{
    return Mid(first, GetLength());
}

CString CString::Mid(int first, int count) const
{
    const size_t from = ClampIndex(first, m_str.size());
    if (count <= 0)
        return CString();
    return CString(m_str.substr(from, static_cast<size_t>(count)));
}

CString CString::Left(int count) const
{
    return CString(m_str.substr(0, ClampIndex(count, m_str.size())));
}

CString CString::Right(int count) const
{
    const size_t n = ClampIndex(count, m_str.size());
    return CString(m_str.substr(m_str.size() - n));
}

int CString::Find(char ch, int start) const
{
    const size_t from = ClampIndex(start, m_str.size());
    for (size_t i = 0; i < m_str.size();) {
        const size_t w = CharWidth(m_str, i);
        if (w == 1 && i >= from && m_str[i] == ch)
            return static_cast<int>(i);
        i += w;
    }
    return -1;
}

int CString::Find(const char* sub, int start) const
{
    if (sub == nullptr || (start > 0 && static_cast<size_t>(start) > m_str.size()))
        return -1;
    const size_t from = ClampIndex(start, m_str.size());
    const size_t n = std::strlen(sub);
    for (size_t i = 0; i + n <= m_str.size();) {
        if (i >= from && m_str.compare(i, n, sub) == 0)
            return static_cast<int>(i);
        if (i == m_str.size())
            break;
        i += CharWidth(m_str, i);
    }
    return -1;
}

int CString::ReverseFind(char ch) const
{
    int found = -1;
    for (size_t i = 0; i < m_str.size();) {
        const size_t w = CharWidth(m_str, i);
        if (w == 1 && m_str[i] == ch)
            found = static_cast<int>(i);
        i += w;
    }
    return found;
}

CString& CString::TrimLeft()
{
    TrimLeftIf(m_str, IsBlank);
    return *this;
}

CString& CString::TrimLeft(char ch)
{
    TrimLeftIf(m_str, [ch](char c) { return c == ch; });
    return *this;
}

CString& CString::TrimLeft(const char* set)
{
    TrimLeftIf(m_str, [set](char c) { return InSet(set, c); });
    return *this;
}

CString& CString::TrimRight()
{
    TrimRightIf(m_str, IsBlank);
    return *this;
}

CString& CString::TrimRight(char ch)
{
    TrimRightIf(m_str, [ch](char c) { return c == ch; });
    return *this;
}

CString& CString::TrimRight(const char* set)
{
    TrimRightIf(m_str, [set](char c) { return InSet(set, c); });
    return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }
CString& CString::Trim(char ch) { return TrimRight(ch).TrimLeft(ch); }
CString& CString::Trim(const char* set) { return TrimRight(set).TrimLeft(set); }

void CString::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args)
{
    if (format == nullptr) {
        m_str.clear();
        return;
    }
    char small[256];
    va_list probe;
    va_copy(probe, args);
    const int needed = std::vsnprintf(small, sizeof small, format, probe);
    va_end(probe);
    if (needed < 0) {
        m_str.clear();
        return;
    }
    if (static_cast<size_t>(needed) < sizeof small) {
        m_str.assign(small, static_cast<size_t>(needed));
        return;
    }
    std::vector<char> big(static_cast<size_t>(needed) + 1);
    va_list again;
    va_copy(again, args);
    std::vsnprintf(big.data(), big.size(), format, again);
    va_end(again);
    m_str.assign(big.data(), static_cast<size_t>(needed));
}

void CString::AppendFormat(const char* format, ...)
{
    CString tail;
    va_list args;
    va_start(args, format);
    tail.FormatV(format, args);
    va_end(args);
    m_str += tail.m_str;
}

char* CString::GetBuffer(int minLength)
{
    if (minLength > 0 && static_cast<size_t>(minLength) > m_str.size())
        m_str.resize(static_cast<size_t>(minLength));
    return &m_str[0];
}

char* CString::GetBufferSetLength(int length)
{
    m_str.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return &m_str[0];
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0)
        newLength = static_cast<int>(strnlen(m_str.c_str(), m_str.size()));
    if (static_cast<size_t>(newLength) < m_str.size())
        m_str.resize(static_cast<size_t>(newLength));
}

BOOL CString::LoadString(UINT id)
{
    // String tables are stored in blocks of 16 counted UTF-16 entries; reading
    // the block directly takes texts of any length (the pass phrase is 1003).
    HMODULE module = GetSonveraModule();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW((id >> 4) + 1), MAKEINTRESOURCEW(6));
    if (found == nullptr)
        return FALSE;
    HGLOBAL loaded = LoadResource(module, found);
    const auto* p = static_cast<const WCHAR*>(LockResource(loaded));
    if (p == nullptr)
        return FALSE;
    const WCHAR* end = p + SizeofResource(module, found) / sizeof(WCHAR);
    for (UINT entry = 0; entry < (id & 15u); ++entry) {
        if (p >= end)
            return FALSE;
        p += 1 + *p;
    }
    if (p >= end || *p == 0 || p + 1 + *p > end)
        return FALSE;
    *this = FromWide(p + 1, *p);
    return TRUE;
}

std::wstring CString::ToWide() const
{
    if (m_str.empty())
        return std::wstring();
    const int n = static_cast<int>(m_str.size());
    const int wide = MultiByteToWideChar(CP_ACP, 0, m_str.data(), n, nullptr, 0);
    if (wide <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, m_str.data(), n, &out[0], wide);
    return out;
}

CString CString::FromWide(const wchar_t* text)
{
    if (text == nullptr)
        return CString();
    return FromWide(text, static_cast<int>(wcslen(text)));
}

CString CString::FromWide(const wchar_t* text, int length)
{
    if (text == nullptr || length <= 0)
        return CString();
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return CString();
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, &out[0], bytes, nullptr, nullptr);
    return CString(out);
}

int CString::CharLengthAt(int index) const
{
    if (index < 0)
        return 0;
    return static_cast<int>(CharWidth(m_str, static_cast<size_t>(index)));
}

CString CString::LeftWhole(int maxBytes) const
{
    int length = 0;
    while (length < GetLength() && length + CharLengthAt(length) <= maxBytes)
        length += CharLengthAt(length);
    return Left(length);
}

CString operator+(const CString& a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, const char* b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const char* a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(const CString& a, char b)
{
    CString r(a);
    r += b;
    return r;
}

CString operator+(char a, const CString& b)
{
    CString r(a);
    r += b;
    return r;
}
