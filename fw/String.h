// CString: the byte string every exported operation takes and returns.
//
// It holds ANSI text, Shift-JIS under code page 932. Every operation that looks
// at characters steps through the text with the ANSI code page's lead-byte
// rules, so a double-byte character is never split, never matched by its trail
// byte and never changed by a case conversion. Positions and lengths are byte
// counts, as in the text's stored form.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>
#include <type_traits>

#include "fw/Api.h"

class SONVERA_API CString {
public:
    CString() = default;
    CString(const char* text);                     // nullptr gives an empty string
    CString(const char* text, int length);         // exactly `length` bytes (negative: none)
    CString(char ch, int repeat = 1);
    explicit CString(const std::string& bytes);
    CString(const CString&) = default;
    CString(CString&&) noexcept = default;
    ~CString() = default;

    CString& operator=(const CString&) = default;
    CString& operator=(CString&&) noexcept = default;
    CString& operator=(const char* text);
    CString& operator=(char ch);

    // The text with its terminating NUL; valid until the string changes.
    operator const char*() const { return m_str.c_str(); }
    const char* GetString() const { return m_str.c_str(); }
    const std::string& str() const { return m_str; }

    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }

    // Byte access; an index outside the string reads as 0 and is not written.
    char GetAt(int index) const;
    void SetAt(int index, char ch);
    template <typename Index, typename = std::enable_if_t<std::is_integral<Index>::value>>
    char operator[](Index index) const { return GetAt(static_cast<int>(index)); }

    CString& operator+=(const CString& text);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);

    // Byte-wise comparison (<0, 0, >0).
    int Compare(const char* text) const;
    // Comparison that folds single-byte letters only; double-byte characters
    // (full-width letters included) compare byte for byte.
    int CompareNoCase(const char* text) const;

    // Case changes of single-byte letters; double-byte characters stay as they are.
    CString& MakeUpper();
    CString& MakeLower();

    // Substrings by byte position, clamped to the string.
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Left(int count) const;
    // The longest start of at most `maxBytes` bytes that ends on a whole
    // character: a fixed-size field (a font's face name) never gets half of one.
    CString LeftWhole(int maxBytes) const;
    CString Right(int count) const;

    // Byte index of the first match at or after `start`, or -1. Matches start on
    // character boundaries only, so a trail byte equal to `ch` is never found.
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;

    // Trimming of blanks, tabs and line ends, or of the single-byte characters of a set.
    CString& TrimLeft();
    CString& TrimLeft(char ch);
    CString& TrimLeft(const char* set);
    CString& TrimRight();
    CString& TrimRight(char ch);
    CString& TrimRight(const char* set);
    CString& Trim();
    CString& Trim(char ch);
    CString& Trim(const char* set);

    // printf formatting of any length.
    void Format(const char* format, ...);
    void FormatV(const char* format, va_list args);
    void AppendFormat(const char* format, ...);

    // Direct access to the bytes. GetBuffer gives room for at least minLength
    // bytes plus a NUL; ReleaseBuffer sets the length (-1: up to the first NUL).
    char* GetBuffer(int minLength = 0);
    char* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

    // Loads a string-table entry of the module that holds this code (Sonvera.dll,
    // or the test program that links it statically). FALSE when there is none.
    BOOL LoadString(UINT id);

    // Conversions through the ANSI code page, for the W functions of the system.
    std::wstring ToWide() const;
    static CString FromWide(const wchar_t* text);
    static CString FromWide(const wchar_t* text, int length);

    // Length in bytes of the character starting at `index` (1 or 2; 0 at the end).
    int CharLengthAt(int index) const;

private:
    std::string m_str;
};

SONVERA_API CString operator+(const CString& a, const CString& b);
SONVERA_API CString operator+(const CString& a, const char* b);
SONVERA_API CString operator+(const char* a, const CString& b);
SONVERA_API CString operator+(const CString& a, char b);
SONVERA_API CString operator+(char a, const CString& b);

inline bool operator==(const CString& a, const CString& b) { return a.str() == b.str(); }
inline bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
inline bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
inline bool operator!=(const CString& a, const CString& b) { return !(a == b); }
inline bool operator!=(const CString& a, const char* b) { return !(a == b); }
inline bool operator!=(const char* a, const CString& b) { return !(a == b); }
inline bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
inline bool operator<(const CString& a, const char* b) { return a.Compare(b) < 0; }
inline bool operator<(const char* a, const CString& b) { return b.Compare(a) > 0; }
inline bool operator>(const CString& a, const CString& b) { return a.Compare(b) > 0; }
inline bool operator<=(const CString& a, const CString& b) { return a.Compare(b) <= 0; }
inline bool operator>=(const CString& a, const CString& b) { return a.Compare(b) >= 0; }
