// CSystemInfo: the version code table and the boot mode.
#include <windows.h>

#include <gtest/gtest.h>

#include "Setup/SystemInfo.h"

namespace
{
// One row for each way through the table: a listed and an unlisted version of
// each platform, and an unknown platform.
TEST(SystemInfo, TheVersionCodeTableAndTheBootMode)
{
    const struct
    {
        unsigned long platform, major, minor;
        int code;
    } cases[] = {
        {VER_PLATFORM_WIN32s, 3, 10, 0},        // Win32s, whatever the numbers
        {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 1},  // 95
        {VER_PLATFORM_WIN32_WINDOWS, 4, 3, 7},  // a 9x minor not listed
        {VER_PLATFORM_WIN32_NT, 4, 0, 4},       // NT 4.0 and before
        {VER_PLATFORM_WIN32_NT, 5, 0, 5},       // 2000, the one IsOSNT answers 1 for
        {VER_PLATFORM_WIN32_NT, 5, 1, 6},       // XP
        {VER_PLATFORM_WIN32_NT, 5, 2, 7},       // Server 2003 and every later version
        {3, 5, 1, 7},                           // an unknown platform
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.code, CSystemInfo::VersionCode(c.platform, c.major, c.minor))
            << "platform " << c.platform << " version " << c.major << "." << c.minor;
    }

    // Wine and every Windows the tests run on is started normally.
    EXPECT_EQ(0, CSystemInfo().GetBootMode());
}
} // namespace
