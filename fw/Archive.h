// CArchive: the framework's binary serialisation over a CFile (a disk file or
// a CMemFile). Integers are little-endian. Counts and string lengths follow
// the classic archive layout:
//   count   WORD; a count of 0xFFFF or more is 0xFFFF then the DWORD count.
//   string  length as BYTE below 255; else 0xFF and a WORD below 0xFFFE; else
//           0xFF, 0xFFFF and a DWORD; then the bytes, no terminator. On load a
//           0xFF 0xFFFE prefix marks a UTF-16 string, converted to ANSI.
// A load never reads past the end of the data: running out raises
// CArchiveException (endOfFile), as does a length that the remaining bytes
// cannot hold, before anything is allocated for it.
#pragma once

#include <windows.h>

#include "fw/Api.h"
#include "fw/ArchiveException.h"
#include "fw/File.h"
#include "fw/String.h"

class SONVERA_API CArchive {
public:
    enum Mode : UINT { store = 0, load = 1 };

    CArchive(CFile* file, UINT mode);
    ~CArchive() = default;
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsStoring() const { return !m_bLoading; }
    void Close() {}

    // Raw bytes. Read returns what was available; EnsureRead raises on a short read.
    UINT Read(void* buffer, UINT count);
    void EnsureRead(void* buffer, UINT count);
    void Write(const void* buffer, UINT count);

    // Bytes left between the position and the end of a loading archive's data.
    ULONGLONG GetRemaining() const;
    // Raises CArchiveException (endOfFile) unless `count` elements of at least
    // `minBytesEach` bytes can still be read.
    void CheckCount(ULONGLONG count, ULONGLONG minBytesEach) const;

    void WriteCount(DWORD count);
    DWORD ReadCount();
    void WriteString(const CString& text);
    CString ReadString();

    CArchive& operator<<(BYTE value);
    CArchive& operator<<(WORD value);
    CArchive& operator<<(DWORD value);
    CArchive& operator<<(const CString& text) { WriteString(text); return *this; }

    CArchive& operator>>(BYTE& value);
    CArchive& operator>>(WORD& value);
    CArchive& operator>>(DWORD& value);
    CArchive& operator>>(CString& text) { text = ReadString(); return *this; }

private:
    void RequireLoading() const;
    void RequireStoring() const;
    template <typename T> void Put(T value);
    template <typename T> T Get();

    CFile* m_pFile;
    bool m_bLoading;
};
