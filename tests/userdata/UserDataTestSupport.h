// Helpers shared by the user-data tests: a scratch folder per test, raw file
// access that does not go through the code under test, little-endian words,
// and a file system that fails one chosen call.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "fw/FileSystem.h"
#include "fw/String.h"

namespace udtest {

// A fresh folder under the temporary folder, removed with its contents at the end.
class TempFolder {
public:
    TempFolder()
    {
        static unsigned int s_serial = 0;
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        wchar_t name[MAX_PATH] = {};
        swprintf(name, MAX_PATH, L"%lsudtest-%lu-%lu-%u", base, GetCurrentProcessId(), GetTickCount(), ++s_serial);
        m_path = name;
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~TempFolder() { RemoveTree(m_path); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    CString Path() const { return CString::FromWide(m_path.c_str()); }
    CString File(const char* name) const { return Path() + "\\" + name; }

    // Names of everything in the folder (sub-folders included).
    std::vector<std::wstring> Entries() const { return List(m_path); }

private:
    static std::vector<std::wstring> List(const std::wstring& folder)
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        ZeroMemory(&data, sizeof data);
        HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do {
            const std::wstring entry = data.cFileName;
            if (entry != L"." && entry != L"..")
                names.push_back(entry);
        } while (FindNextFileW(find, &data));
        FindClose(find);
        return names;
    }

    static void RemoveTree(const std::wstring& folder)
    {
        for (const std::wstring& entry : List(folder)) {
            const std::wstring full = folder + L"\\" + entry;
            const DWORD attributes = GetFileAttributesW(full.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                RemoveTree(full);
            else
                DeleteFileW(full.c_str());
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring m_path;
};

inline bool WriteRaw(const CString& path, const std::string& bytes)
{
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
    return ok && done == bytes.size();
}

// The file's bytes, or "<missing>" when it cannot be opened.
inline std::string ReadRaw(const CString& path)
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
