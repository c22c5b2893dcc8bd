// CSystemInfo: the version code table, the NT test and the boot mode.
#include <windows.h>

#include <gtest/gtest.h>

#include "Setup/SystemInfo.h"

namespace
{
struct VersionCase
{
    unsigned long platform;
    unsigned long major;
    unsigned long minor;
    int code;
};

TEST(SystemInfoVersion, EveryRowOfTheCodeTable)
{
    const VersionCase cases[] = {
        {VER_PLATFORM_WIN32s, 3, 10, 0},        // Win32s, whatever the numbers
        {VER_PLATFORM_WIN32s, 0, 0, 0},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 1},  // 95
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 2}, // 98
        {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 3}, // Me
        {VER_PLATFORM_WIN32_WINDOWS, 4, 3, 7},  // a 9x minor not listed
        {VER_PLATFORM_WIN32_NT, 3, 51, 4},      // NT 3.51
        {VER_PLATFORM_WIN32_NT, 4, 0, 4},       // NT 4.0
        {VER_PLATFORM_WIN32_NT, 5, 0, 5},       // 2000
        {VER_PLATFORM_WIN32_NT, 5, 1, 6},       // XP
        {VER_PLATFORM_WIN32_NT, 5, 2, 7},       // Server 2003
        {VER_PLATFORM_WIN32_NT, 6, 1, 7},       // 7
        {VER_PLATFORM_WIN32_NT, 10, 0, 7},      // 10
        {3, 5, 1, 7},                           // unknown platform
    };
    for (const VersionCase& c : cases) {
        EXPECT_EQ(c.code, CSystemInfo::VersionCode(c.platform, c.major, c.minor))
            << "platform " << c.platform << " version " << c.major << "." << c.minor;
    }
}

// The running system is what GetVersionExA reports for the plain record;
// Wine and every Windows the tests run on report NT 6 or later.
TEST(SystemInfoVersion, LiveSystemIsAModernNtAndNotWindows2000)
{
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(GetVersionExA(&info));
#pragma GCC diagnostic pop
    ASSERT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), info.dwPlatformId);
    ASSERT_GE(info.dwMajorVersion, 6u);
    CSystemInfo system;
    EXPECT_EQ(7, system.GetOSVersion());
    EXPECT_EQ(0, system.IsOSNT());
}

TEST(SystemInfoBoot, NormalStartGivesBootModeZero)
{
    CSystemInfo system;
    EXPECT_EQ(0, system.GetBootMode());
    CSystemInfo copy(system);
    CSystemInfo assigned;
    assigned = copy;
    EXPECT_EQ(system.GetOSVersion(), assigned.GetOSVersion());
}
} // namespace
