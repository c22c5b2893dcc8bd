// Scratch folders and raw file access for the file-layer tests. The raw
// helpers use the system directly, so they do not depend on the code tested.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fwtest {

// A fresh folder under the temporary folder, removed with its files at the end.
class TempFolder {
public:
    TempFolder()
    {
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        static int serial = 0;
        m_path = std::wstring(base) + L"fwtest_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(++serial);
        CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~TempFolder()
    {
        for (const std::wstring& name : List()) {
            const std::wstring full = m_path + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(full.c_str());
        }
        RemoveDirectoryW(m_path.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Full ANSI path of a file in the folder.
    std::string File(const std::string& name) const { return Ansi(m_path) + "\\" + name; }
    std::string Path() const { return Ansi(m_path); }

    // The names of the files in the folder.
    std::vector<std::wstring> List() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data = {};
        HANDLE find = FindFirstFileW((m_path + L"\\*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..")
                names.push_back(name);
        } while (FindNextFileW(find, &data));
        FindClose(find);
        return names;
    }

private:
    static std::string Ansi(const std::wstring& wide)
    {
        const int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
        if (n > 1)
            WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &out[0], n, nullptr, nullptr);
        return out;
    }

    std::wstring m_path;
};

inline bool WriteRaw(const std::string& path, const std::string& bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
    return ok && done == bytes.size();
}

// The file's bytes, or "<missing>" when it cannot be opened.
inline std::string ReadRaw(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes;
    char buffer[4096];
    DWORD done = 0;
    while (ReadFile(h, buffer, sizeof buffer, &done, nullptr) && done > 0)
        bytes.append(buffer, done);
    CloseHandle(h);
    return bytes;
}

} // namespace fwtest
