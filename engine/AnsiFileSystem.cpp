#include "AnsiFileSystem.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdio>
#include <sys/stat.h>
#endif

namespace {

#ifdef _WIN32
// The ANSI code page's text as UTF-16; false for a byte sequence the code
// page does not hold (such a name cannot be the dialog's).
bool ToWide(const std::string& narrow, std::wstring& wide)
{
    wide.clear();
    if (narrow.empty()) return false;
    const int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(), static_cast<int>(narrow.size()),
                                      nullptr, 0);
    if (n <= 0) return false;
    wide.resize(static_cast<size_t>(n));
    return MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, narrow.data(), static_cast<int>(narrow.size()),
                               &wide[0], n) == n;
}
#endif

} // namespace

bool CAnsiFileSystem::IsDoubleByte(unsigned char c, unsigned char next)
{
    if (next == 0) return false;
#ifdef _WIN32
    return IsDBCSLeadByte(c) != FALSE;
#else
    // Shift-JIS: lead bytes 0x81-0x9F and 0xE0-0xFC, trail bytes 0x40-0x7E and 0x80-0xFC.
    const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    const bool trail = (next >= 0x40 && next <= 0x7E) || (next >= 0x80 && next <= 0xFC);
    return lead && trail;
#endif
}

bool CAnsiFileSystem::EndsWithSeparator(const std::string& path)
{
    bool separator = false;
    for (size_t i = 0; i < path.size(); ++i) {
        const unsigned char next = i + 1 < path.size() ? static_cast<unsigned char>(path[i + 1]) : 0;
        if (IsDoubleByte(static_cast<unsigned char>(path[i]), next)) {
            separator = false;
            ++i;   // the trail byte belongs to this character, whatever its value
        } else {
            separator = path[i] == '\\' || path[i] == '/';
        }
    }
    return separator;
}

std::string CAnsiFileSystem::Join(const std::string& dir, const std::string& name)
{
    if (dir.empty() || EndsWithSeparator(dir)) return dir + name;
    return dir + kSeparator + name;
}

#ifdef _WIN32

bool CAnsiFileSystem::MakeFolder(const std::string& path)
{
    std::wstring wide;
    if (!ToWide(path, wide)) return false;
    if (CreateDirectoryW(wide.c_str(), nullptr)) return true;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CAnsiFileSystem::Replace(const std::string& from, const std::string& to)
{
    std::wstring wideFrom, wideTo;
    if (!ToWide(from, wideFrom) || !ToWide(to, wideTo)) return false;
    return MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

#else

bool CAnsiFileSystem::MakeFolder(const std::string& path)
{
    if (path.empty()) return false;
    if (mkdir(path.c_str(), 0777) == 0) return true;
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CAnsiFileSystem::Replace(const std::string& from, const std::string& to)
{
    // rename(2) replaces an existing file in one step.
    return !from.empty() && !to.empty() && std::rename(from.c_str(), to.c_str()) == 0;
}

#endif
