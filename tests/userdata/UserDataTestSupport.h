// Helpers shared by the user-data tests: little-endian words, repeatable
// filler bytes, and a file system that fails one chosen call. The scratch
// folder and raw file access are those of all the file tests.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "fw/FileSystem.h"
#include "fw/String.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"

namespace udtest {

inline bool Exists(const CString& path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

inline unsigned long Word(const std::string& bytes, size_t offset)
{
    if (offset + 4 > bytes.size())
        return 0xFFFFFFFFul;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<unsigned long>(p[3]) << 24);
}

inline std::string WordBytes(unsigned long value)
{
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

inline void PutWord(std::string& bytes, size_t offset, unsigned long value) { bytes.replace(offset, 4, WordBytes(value)); }

// Bytes that look like nothing in particular, but the same on every run.
inline std::string PatternBytes(size_t size, unsigned int seed)
{
    std::string out(size, '\0');
    unsigned int state = seed * 2654435761u + 1u;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        out[i] = static_cast<char>((state >> 16) & 0xFF);
    }
    return out;
}

// The system's file functions, except one chosen failure on calls that touch
// a path containing `pathPart` (or its handle).
class FaultyFileSystem : public CWin32FileSystem {
public:
    enum Fault { none, failOpen, shortWriteThenError, shortWriteOnly, diskFull, failFlush, failMove, failSecondRead };

    FaultyFileSystem(Fault fault, const wchar_t* pathPart) : m_fault(fault), m_pathPart(pathPart) {}

    int Triggered() const { return m_triggered; }

    HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition) override
    {
        if (m_fault == failOpen && Watched(path)) {
            ++m_triggered;
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        HANDLE h = CWin32FileSystem::Open(path, access, share, disposition);
        if (h != INVALID_HANDLE_VALUE && Watched(path))
            m_watched = h;
        return h;
    }

    BOOL Write(HANDLE file, const void* buffer, DWORD count, DWORD* done) override
    {
        if (file != m_watched || m_fault == none)
            return CWin32FileSystem::Write(file, buffer, count, done);
        switch (m_fault) {
        case shortWriteOnly:
        case shortWriteThenError:
            if (m_writes++ == 0 && count > 1) {
                ++m_triggered;
                return CWin32FileSystem::Write(file, buffer, count / 2, done);
            }
            if (m_fault == shortWriteThenError) {
                SetLastError(ERROR_WRITE_FAULT);
                return FALSE;
            }
            break;
        case diskFull:
            ++m_triggered;
            SetLastError(ERROR_DISK_FULL);
            return FALSE;
        default:
            break;
        }
        return CWin32FileSystem::Write(file, buffer, count, done);
    }

    BOOL Read(HANDLE file, void* buffer, DWORD count, DWORD* done) override
    {
        if (m_fault == failSecondRead && file == m_watched && ++m_reads == 2) {
            ++m_triggered;
            SetLastError(ERROR_READ_FAULT);
            return FALSE;
        }
        return CWin32FileSystem::Read(file, buffer, count, done);
    }

    BOOL Flush(HANDLE file) override
    {
        if (m_fault == failFlush && file == m_watched) {
            ++m_triggered;
            SetLastError(ERROR_IO_DEVICE);
            return FALSE;
        }
        return CWin32FileSystem::Flush(file);
    }

    BOOL Close(HANDLE file) override
    {
        if (file == m_watched)
            m_watched = INVALID_HANDLE_VALUE;
        return CWin32FileSystem::Close(file);
    }

    BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) override
    {
        if (m_fault == failMove && Watched(from)) {
            ++m_triggered;
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        return CWin32FileSystem::Move(from, to, flags);
    }

private:
    bool Watched(const wchar_t* path) const { return path != nullptr && std::wcsstr(path, m_pathPart.c_str()) != nullptr; }

    Fault m_fault;
    std::wstring m_pathPart;
    HANDLE m_watched = INVALID_HANDLE_VALUE;
    int m_writes = 0;
    int m_reads = 0;
    int m_triggered = 0;
};

} // namespace udtest
