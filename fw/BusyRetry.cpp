#include "fw/BusyRetry.h"

namespace {

// The pauses grow to this and stay there: short enough that a waiting host
// gets its turn soon after the other lets go.
const DWORD kLongestPauseMs = 16;

} // namespace

bool CBusyRetry::IsBusyError(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

bool CBusyRetry::Again(DWORD error)
{
    const DWORD limitMs = error == ERROR_ACCESS_DENIED && m_dwTotalMs > kDefaultMs ? kDefaultMs : m_dwTotalMs;
    if (!IsBusyError(error) || GetTickCount() - m_dwStart >= limitMs) {
        SetLastError(error);
        return false;
    }
    Sleep(m_dwPauseMs);
    if (m_dwPauseMs < kLongestPauseMs)
        m_dwPauseMs *= 2;
    SetLastError(error);
    return true;
}
