#include "fw/FileLock.h"

#include "fw/BusyRetry.h"
#include "fw/FileException.h"
#include "fw/FileSystem.h"

namespace {

// Long enough for any other host's change of a store (milliseconds each),
// short enough that a host stuck for good is reported rather than waited for.
DWORD g_dwDefaultWaitMs = 10000;

} // namespace

CString CFileLock::LockPath(const CString& storePath)
{
    return storePath + ".~lock";
}

DWORD CFileLock::DefaultWait()
{
    return g_dwDefaultWaitMs;
}

void CFileLock::SetDefaultWait(DWORD waitMs)
{
    g_dwDefaultWaitMs = waitMs;
}

CFileLock::CFileLock(const CString& storePath, DWORD waitMs) : m_hLock(INVALID_HANDLE_VALUE)
{
    const std::wstring path = LockPath(storePath).ToWide();
    IFileSystem& fs = GetFileSystem();
    CBusyRetry retry(waitMs);
    do {
        m_hLock = fs.Open(path.c_str(), GENERIC_WRITE | DELETE, 0, OPEN_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE);
    } while (m_hLock == INVALID_HANDLE_VALUE && retry.Again(GetLastError()));
    if (m_hLock != INVALID_HANDLE_VALUE)
        return;
    const DWORD error = GetLastError();
    // Another holder answers with a sharing violation for as long as it holds
    // the lock; a denial that outlasts the retry is the folder's (one the user
    // may not write in), which no wait will end.
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        throw CFileException(CFileException::lockViolation, static_cast<LONG>(error), storePath, "CFileLock");
    CFileException::ThrowOsError(static_cast<LONG>(error), storePath, "CFileLock");
}

CFileLock::~CFileLock()
{
    GetFileSystem().Close(m_hLock);
}
