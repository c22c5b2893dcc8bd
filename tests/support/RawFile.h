// Whole-file reads and writes straight through the system, for setting up and
// checking stored bytes without going through the file code under test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sonvera_test
{
// Replaces the file with exactly these bytes; false when that failed.
inline bool WriteRaw(const char* path, const std::string& bytes)
{
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
    return ok && done == bytes.size();
}

inline bool WriteRaw(const std::string& path, const std::string& bytes) { return WriteRaw(path.c_str(), bytes); }

// The file's bytes, or "<missing>" when it cannot be opened, so that a missing
// file never compares equal to an empty one.
inline std::string ReadRaw(const char* path)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes;
    std::vector<char> buffer(65536);
    DWORD done = 0;
    while (ReadFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &done, nullptr) && done > 0)
        bytes.append(buffer.data(), done);
    CloseHandle(h);
    return bytes;
}

inline std::string ReadRaw(const std::string& path) { return ReadRaw(path.c_str()); }

// `size` bytes from an offset of the file (fewer where it ends); 64-bit
// offsets, for files past 4 GiB.
inline std::string ReadRawAt(const char* path, ULONGLONG offset, size_t size)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    std::string bytes(size, '\0');
    DWORD done = 0;
    if (h == INVALID_HANDLE_VALUE || !SetFilePointerEx(h, at, nullptr, FILE_BEGIN) ||
        !ReadFile(h, &bytes[0], static_cast<DWORD>(size), &done, nullptr))
        done = 0;
    CloseHandle(h);
    bytes.resize(done);
    return bytes;
}

// True when anything (a file or a folder) is at the path.
inline bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }
} // namespace sonvera_test
