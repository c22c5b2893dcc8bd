// Questions about the running Windows system, and the restart the host may ask for.
#pragma once

#include "fw/Api.h"

class SONVERA_API CSystemInfo
{
public:
    CSystemInfo();
    CSystemInfo(const CSystemInfo& other);
    CSystemInfo& operator=(const CSystemInfo& other);
    virtual ~CSystemInfo();

    // SM_CLEANBOOT: 0 normal start, 1 safe mode, 2 safe mode with networking.
    int GetBootMode();

    // The version code of the running system (see VersionCode).
    int GetOSVersion();

    // 1 only on Windows 2000 (code 5); NT 4.0 and XP give 0.
    int IsOSNT();

    // Enables the shutdown privilege and asks for a restart; no step is checked,
    // a refused restart simply does not happen.
    void SystemReboot();

    // Maps what GetVersionExA reports to the product's version code:
    // 0 Win32s, 1 Windows 95, 2 Windows 98, 3 Windows Me, 4 NT 4.0 and older,
    // 5 Windows 2000, 6 Windows XP, 7 anything else.
    static int VersionCode(unsigned long platformId, unsigned long major, unsigned long minor);
};
