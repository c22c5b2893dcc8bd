// CFileLock: holds a store for one read-modify-write against every other
// process, and every other object of this one, that takes the same lock.
//
// The lock is a file beside the store (store + ".~lock") held open without
// sharing: a second holder's open fails with a sharing violation, and it
// tries again until the wait is up. The file is deleted when its last handle
// closes, which the system does also for a process that dies, so a crash
// never leaves a store locked; and it works on a network share, for hosts
// on two computers, where a named mutex would not.
#pragma once

#include <windows.h>

#include "fw/Api.h"
#include "fw/String.h"

class SONVERA_API CFileLock {
public:
    // Waits up to waitMs for the lock. Raises CFileException, naming the
    // store, with cause lockViolation when another holder keeps it longer,
    // or the file error when the lock file cannot be made (a missing folder,
    // or one the user may not write in).
    explicit CFileLock(const CString& storePath, DWORD waitMs = DefaultWait());
    ~CFileLock();
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

    static CString LockPath(const CString& storePath);

    // The wait of the stores' locks, in milliseconds (tests shorten it).
    static DWORD DefaultWait();
    static void SetDefaultWait(DWORD waitMs);

private:
    HANDLE m_hLock;
};
