// A scratch folder for tests that work on real files: fresh and empty when the
// test starts, removed with everything in it when the test ends.
#pragma once

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
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
        m_path = std::filesystem::temp_directory_path() /
                 ("sonvera-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) +
                  "-" + std::to_string(++s_sequence));
        std::filesystem::create_directory(m_path);
    }
    ~CTempFolder()
    {
        std::error_code ignored;
        // Tests leave read-only files behind on purpose; they must go too.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path, ignored))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        std::filesystem::remove_all(m_path, ignored);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    // The folder, without a trailing backslash.
    CString Path() const { return CString::FromWide(m_path.c_str()); }
    CString File(const char* name) const { return Path() + "\\" + name; }

    // Names of everything in the folder, sub-folders included, in sorted order.
    std::vector<std::wstring> Entries() const
    {
        std::vector<std::wstring> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            names.push_back(entry.path().filename().wstring());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path m_path;
};
} // namespace sonvera_test
