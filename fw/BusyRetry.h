// CBusyRetry: the brief retry of a file call that another process is in the
// way of. A sharing violation, a lock violation or a denied access (which is
// also what a file being deleted or replaced answers) usually clears within
// milliseconds; such an error is tried again, with growing pauses, until the
// time given is up, and only then becomes the caller's exception. A denied
// access may as well be for good (a read-only folder), so it is tried again
// for the default time at most, however long the time given.
//
//     CBusyRetry retry;
//     HANDLE h;
//     do {
//         h = fs.Open(...);
//     } while (h == INVALID_HANDLE_VALUE && retry.Again(GetLastError()));
#pragma once

#include <windows.h>

#include "fw/Api.h"

class SONVERA_API CBusyRetry {
public:
    // How long a call is tried again by default, in milliseconds.
    static const DWORD kDefaultMs = 1000;

    explicit CBusyRetry(DWORD totalMs = kDefaultMs) : m_dwTotalMs(totalMs), m_dwStart(GetTickCount()) {}

    // True, after a pause, when the error is one another process causes for a
    // while and time is left; false otherwise. GetLastError keeps the error.
    bool Again(DWORD error);

    static bool IsBusyError(DWORD error);

private:
    DWORD m_dwTotalMs;
    DWORD m_dwStart;
    DWORD m_dwPauseMs = 1;
};
