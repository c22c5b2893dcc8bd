// A scratch folder for tests that work on real files: fresh and empty when the
// test starts, removed with everything in it when the test ends.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "fw/String.h"

namespace sonvera_test
{
class CTempFolder
{
public:
    CTempFolder()
    {
        // Process, time and a sequence number: test programs running side by
        // side, or one after the other, never share a folder.
        static unsigned int s_sequence = 0;
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        wchar_t name[MAX_PATH] = {};
        swprintf(name, MAX_PATH, L"%lssonvera-test-%lu-%lu-%u", base, GetCurrentProcessId(),
                 GetTickCount(), ++s_sequence);
        m_path = name;
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~CTempFolder() { RemoveTree(m_path); }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    // The folder, without a trailing backslash.
    CString Path() const { return CString::FromWide(m_path.c_str()); }
    CString File(const char* name) const { return Path() + "\\" + name; }

    // Names of everything in the folder, sub-folders included, in sorted order.
    std::vector<std::wstring> Entries() const
    {
        std::vector<std::wstring> names = List(m_path);
        std::sort(names.begin(), names.end());
        return names;
    }

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
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                RemoveTree(full);
            } else {
                // Tests leave read-only files behind on purpose; they must go too.
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::wstring m_path;
};
} // namespace sonvera_test
