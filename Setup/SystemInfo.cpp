#include "Setup/SystemInfo.h"

#include <windows.h>

namespace
{
const int kOsWin32s = 0;
const int kOsWin95 = 1;
const int kOsWin98 = 2;
const int kOsWinMe = 3;
const int kOsNt4 = 4;
const int kOsWin2000 = 5;
const int kOsWinXp = 6;
const int kOsUnknown = 7;

// The plain version record (no service-pack extension) is what the product
// has always asked for; its size field tells the system which one it gets.
const DWORD kPlainVersionRecordSize = 148;
static_assert(sizeof(OSVERSIONINFOA) == kPlainVersionRecordSize, "OSVERSIONINFOA layout");

int Windows9xCode(unsigned long minor)
{
    switch (minor) {
    case 0: return kOsWin95;
    case 10: return kOsWin98;
    case 90: return kOsWinMe;
    default: return kOsUnknown;
    }
}

int WindowsNtCode(unsigned long major, unsigned long minor)
{
    if (major <= 4)
        return kOsNt4;
    if (major == 5 && minor == 0)
        return kOsWin2000;
    if (major == 5 && minor == 1)
        return kOsWinXp;
    return kOsUnknown;
}
} // namespace

CSystemInfo::CSystemInfo() {}
CSystemInfo::CSystemInfo(const CSystemInfo&) {}
CSystemInfo& CSystemInfo::operator=(const CSystemInfo&) { return *this; }
CSystemInfo::~CSystemInfo() {}

int CSystemInfo::GetBootMode()
{
    return GetSystemMetrics(SM_CLEANBOOT);
}

int CSystemInfo::VersionCode(unsigned long platformId, unsigned long major, unsigned long minor)
{
    switch (platformId) {
    case VER_PLATFORM_WIN32s: return kOsWin32s;
    case VER_PLATFORM_WIN32_WINDOWS: return Windows9xCode(minor);
    case VER_PLATFORM_WIN32_NT: return WindowsNtCode(major, minor);
    default: return kOsUnknown;
    }
}

int CSystemInfo::GetOSVersion()
{
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof(info));
    info.dwOSVersionInfoSize = kPlainVersionRecordSize;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    if (!GetVersionExA(&info))
        return kOsUnknown;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    return VersionCode(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

int CSystemInfo::IsOSNT()
{
    return GetOSVersion() == kOsWin2000 ? 1 : 0;
}

void CSystemInfo::SystemReboot()
{
    // The restart is requested even when the privilege could not be enabled:
    // the system then refuses it, which is the documented outcome.
    HANDLE token = NULL;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        TOKEN_PRIVILEGES privileges;
        ZeroMemory(&privileges, sizeof(privileges));
        if (LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
            privileges.PrivilegeCount = 1;
            privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
            AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
        }
        CloseHandle(token);
    }
    ExitWindowsEx(EWX_REBOOT, 0);
}
