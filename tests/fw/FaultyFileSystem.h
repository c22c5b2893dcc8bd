// A file system that behaves like the real one until told to fail a call:
// opens of matching paths, writes (short, after a number of bytes, or with
// nothing taken), reads (short), flushes, closes and moves.
#pragma once

#include <windows.h>

#include <string>

#include "fw/FileSystem.h"

namespace fwtest {

class CFaultyFileSystem : public CWin32FileSystem {
public:
    // Opens whose path contains this text fail with openError (empty: none fail).
    std::wstring failOpenContaining;
    DWORD openError = ERROR_ACCESS_DENIED;

    // Each write takes at most this many bytes (0: all it is given).
    DWORD writeChunk = 0;
    // After this many bytes in all, writes fail with writeError (negative: never);
    // with writeTakesNothing they instead report success with nothing written.
    long long failWriteAfter = -1;
    DWORD writeError = ERROR_DISK_FULL;
    bool writeTakesNothing = false;

    // Each read gives at most this many bytes (0: all it is asked for).
    DWORD readChunk = 0;

    bool failFlush = false;
    bool failClose = false;
    bool failMove = false;
    DWORD callError = ERROR_IO_DEVICE;

    // What happened.
    long long bytesWritten = 0;
    int writeCalls = 0;
    int moveCalls = 0;
    DWORD lastMoveFlags = 0;
    std::wstring lastMoveFrom;
    std::wstring lastMoveTo;

    HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition) override
    {
        if (!failOpenContaining.empty() && std::wstring(path).find(failOpenContaining) != std::wstring::npos) {
            SetLastError(openError);
            return INVALID_HANDLE_VALUE;
        }
        return CWin32FileSystem::Open(path, access, share, disposition);
    }

    BOOL Write(HANDLE file, const void* buffer, DWORD count, DWORD* done) override
    {
        ++writeCalls;
        *done = 0;
        if (writeChunk > 0 && count > writeChunk)
            count = writeChunk;
        if (failWriteAfter >= 0) {
            const long long room = failWriteAfter - bytesWritten;
            if (room <= 0) {
                if (writeTakesNothing)
                    return TRUE;
                SetLastError(writeError);
                return FALSE;
            }
            if (count > room)
                count = static_cast<DWORD>(room);   // a short write just before the failure
        }
        const BOOL ok = CWin32FileSystem::Write(file, buffer, count, done);
        bytesWritten += *done;
        return ok;
    }

    BOOL Read(HANDLE file, void* buffer, DWORD count, DWORD* done) override
    {
        if (readChunk > 0 && count > readChunk)
            count = readChunk;
        return CWin32FileSystem::Read(file, buffer, count, done);
    }

    BOOL Flush(HANDLE file) override
    {
        if (failFlush) {
            SetLastError(callError);
            return FALSE;
        }
        return CWin32FileSystem::Flush(file);
    }

    BOOL Close(HANDLE file) override
    {
        // The handle is released even when the close is reported as failed,
        // as on a network drive that reports a deferred write error.
        const BOOL ok = CWin32FileSystem::Close(file);
        if (failClose) {
            SetLastError(callError);
            return FALSE;
        }
        return ok;
    }

    BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) override
    {
        ++moveCalls;
        lastMoveFrom = from;
        lastMoveTo = to;
        lastMoveFlags = flags;
        if (failMove) {
            SetLastError(callError);
            return FALSE;
        }
        return CWin32FileSystem::Move(from, to, flags);
    }
};

} // namespace fwtest
