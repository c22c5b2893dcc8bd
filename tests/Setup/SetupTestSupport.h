// Helpers shared by the settings tests: a fresh temporary folder per test,
// whole-file reads and writes for checking stored bytes, and a registry key
// that is removed again when the test ends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "fw/String.h"

namespace sonvera_test
{
// A new, empty folder below the user's temporary folder; removed with its
// contents when the object goes.
class CTempFolder
{
public:
    CTempFolder()
    {
        static unsigned int s_sequence = 0;
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        wchar_t name[MAX_PATH] = {};
        swprintf(name, MAX_PATH, L"%lssonvera-setup-%lu-%lu-%u", base, GetCurrentProcessId(),
                 GetTickCount(), ++s_sequence);
        m_path = name;
        CreateDirectoryW(m_path.c_str(), NULL);
    }
    ~CTempFolder() { RemoveTree(m_path); }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    // The folder, without a trailing backslash.
    CString Path() const { return CString::FromWide(m_path.c_str()); }
    CString File(const char* name) const { return Path() + "\\" + name; }

    // Names of everything in the folder.
    std::vector<std::wstring> Entries() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((m_path + L"\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do {
            std::wstring name = data.cFileName;
            if (name != L"." && name != L"..")
                names.push_back(name);
        } while (FindNextFileW(find, &data));
        FindClose(find);
        return names;
    }

private:
    static void RemoveTree(const std::wstring& folder)
    {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = data.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                std::wstring full = folder + L"\\" + name;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(full);
                else
                    DeleteFileW(full.c_str());
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring m_path;
};

inline std::string ReadBytes(const CString& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.ToWide().c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD done = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &done, NULL) && done > 0)
        bytes.append(buffer, done);
    CloseHandle(file);
    return bytes;
}

inline bool WriteBytes(const CString& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.ToWide().c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, NULL);
    CloseHandle(file);
    return ok && done == bytes.size();
}

// Bytes from a list of values, for writing the expected layouts out in full.
inline std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

// A registry key made for one test and deleted with everything below it.
class CScratchKey
{
public:
    CScratchKey(HKEY root, const char* label) : m_root(root)
    {
        static unsigned int s_sequence = 0;
        char name[128] = {};
        snprintf(name, sizeof(name), "Software\\SonveraSetupTest\\%s-%lu-%u", label,
                 GetCurrentProcessId(), ++s_sequence);
        m_path = name;
        HKEY key = NULL;
        RegCreateKeyExA(m_root, m_path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
        if (key != NULL)
            RegCloseKey(key);
    }
    ~CScratchKey()
    {
        RegDeleteTreeA(m_root, m_path.c_str());
        RegDeleteKeyA(m_root, m_path.c_str());
        RegDeleteKeyA(m_root, "Software\\SonveraSetupTest");   // only when nothing else is left in it
    }
    CScratchKey(const CScratchKey&) = delete;
    CScratchKey& operator=(const CScratchKey&) = delete;

    HKEY Root() const { return m_root; }
    const char* Path() const { return m_path.c_str(); }

private:
    HKEY m_root;
    std::string m_path;
};
} // namespace sonvera_test
