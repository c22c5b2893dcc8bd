// The tests' one fault-injecting file system (the file fault test hands it to
// ZivazoDi): the system's calls, counted, with a chosen step failing. A watched
// call is on a path holding the watched text or a handle opened with one (every
// call when nothing is watched); a clean run counts each step's calls.
#pragma once

#include <windows.h>

#include <sddl.h>

#include <cwchar>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "fw/FileSystem.h"

namespace sonvera_test
{
class CFaultyFileSystem : public CWin32FileSystem
{
public:
    // open: an existing file only (OPEN_EXISTING); create: any open that may make one.
    // attributes reads them, setAttributes writes them; getSecurity reads a
    // file's security descriptor, setDacl writes its access rights.
    enum Step {
        open, create, read, write, flush, close, move, remove, attributes, setAttributes, getSecurity, setDacl,
        stepCount
    };

    void Watch(const wchar_t* pathPart) { m_watch = pathPart; }

    // Which watched calls of the step fail with the error, counting from 1 after
    // the calls made so far: every one, the n-th, the first `times`, the n-th on.
    // A write failing with error 0 reports success with nothing written, as on
    // a full disk that says nothing.
    void Fail(Step step, DWORD error) { Arm(step, 1, -1, error); }
    void FailCall(Step step, int n, DWORD error) { Arm(step, n, 1, error); }
    void FailTimes(Step step, int times, DWORD error) { Arm(step, 1, times, error); }
    void FailFrom(Step step, int n, DWORD error) { Arm(step, n, -1, error); }

    // Each write takes, and each read gives, at most this many bytes (0: all).
    DWORD writeChunk = 0;
    DWORD readChunk = 0;

    int Calls(Step step) const { return m_calls[step]; }
    DWORD lastMoveFlags = 0;
    // Run once, at the start of the next move: another program's work that
    // comes in just then.
    std::function<void()> atMove;

    // Access rights are kept here per path as SDDL ("D:P(...)" when protected;
    // empty: no DACL at all, as on a FAT volume), since the file systems the
    // tests run on under Wine report a DACL made from the Unix mode bits and
    // drop the one set. A moved file takes its rights along; paths never given
    // any report what the file system does.
    void SetRights(const std::wstring& path, const std::wstring& sddl) { m_sddl[path] = sddl; }
    std::wstring RightsOf(const std::wstring& path) const
    {
        const auto kept = m_sddl.find(path);
        return kept == m_sddl.end() ? L"<the file system's>" : kept->second;
    }

    HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) override
    {
        const bool watched = Watched(path);
        if (watched && Fails(disposition == OPEN_EXISTING ? open : create))
            return INVALID_HANDLE_VALUE;
        HANDLE h = CWin32FileSystem::Open(path, access, share, disposition, flags);
        if (h != INVALID_HANDLE_VALUE && watched)
            m_handles.insert(h);
        return h;
    }

    BOOL Close(HANDLE file) override
    {
        const bool watched = Watched(file);
        m_handles.erase(file);
        // The handle is released even when the close is reported as failed,
        // as on a network drive that reports a deferred write error.
        const BOOL ok = CWin32FileSystem::Close(file);
        if (watched && Fails(close))
            return FALSE;
        return ok;
    }

    BOOL Read(HANDLE file, void* buffer, DWORD count, DWORD* done) override
    {
        *done = 0;
        if (Watched(file) && Fails(read))
            return FALSE;
        if (Watched(file) && readChunk > 0 && count > readChunk)
            count = readChunk;
        return CWin32FileSystem::Read(file, buffer, count, done);
    }

    BOOL Write(HANDLE file, const void* buffer, DWORD count, DWORD* done) override
    {
        *done = 0;
        if (Watched(file) && Fails(write))
            return m_failError == 0;
        if (Watched(file) && writeChunk > 0 && count > writeChunk)
            count = writeChunk;
        return CWin32FileSystem::Write(file, buffer, count, done);
    }

    BOOL Flush(HANDLE file) override
    {
        if (Watched(file) && Fails(flush))
            return FALSE;
        return CWin32FileSystem::Flush(file);
    }

    BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) override
    {
        lastMoveFlags = flags;
        if (atMove)
            std::exchange(atMove, nullptr)();
        if (((Watched(from) || Watched(to)) && Fails(move)) || !CWin32FileSystem::Move(from, to, flags))
            return FALSE;
        const auto kept = m_sddl.find(from);
        if (kept != m_sddl.end())
            m_sddl[to] = kept->second;
        else
            m_sddl.erase(to);
        return TRUE;
    }

    BOOL Delete(const wchar_t* path) override
    {
        if (Watched(path) && Fails(remove))
            return FALSE;
        return CWin32FileSystem::Delete(path);
    }

    DWORD GetAttributes(const wchar_t* path) override
    {
        if (Watched(path) && Fails(attributes))
            return INVALID_FILE_ATTRIBUTES;
        return CWin32FileSystem::GetAttributes(path);
    }

    BOOL SetAttributes(const wchar_t* path, DWORD attributes) override
    {
        if (Watched(path) && Fails(setAttributes))
            return FALSE;
        return CWin32FileSystem::SetAttributes(path, attributes);
    }

    BOOL GetSecurity(const wchar_t* path, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR* descriptor) override
    {
        *descriptor = nullptr;
        if (Watched(path) && Fails(getSecurity))
            return FALSE;
        const auto kept = m_sddl.find(path);
        if (kept == m_sddl.end())
            return CWin32FileSystem::GetSecurity(path, what, descriptor);
        // A text without a "D:" part makes a descriptor without a DACL.
        const wchar_t* sddl = kept->second.empty() ? L"O:BA" : kept->second.c_str();
        return ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor, nullptr);
    }

    BOOL SetDacl(const wchar_t* path, SECURITY_INFORMATION what, PACL dacl) override
    {
        SECURITY_DESCRIPTOR descriptor;
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE);
        if (what & PROTECTED_DACL_SECURITY_INFORMATION)
            SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
        wchar_t* text = nullptr;
        if ((Watched(path) && Fails(setDacl)) ||
            !ConvertSecurityDescriptorToStringSecurityDescriptorW(&descriptor, SDDL_REVISION_1,
                                                                  DACL_SECURITY_INFORMATION, &text, nullptr))
            return FALSE;
        m_sddl[path] = text;
        LocalFree(text);
        return TRUE;
    }

private:
    void Arm(Step step, int first, int count, DWORD error)
    {
        m_failStep = step;
        m_failFirst = m_calls[step] + first;
        m_failCount = count;
        m_failError = error;
    }

    // Counts a watched call of the step; true (with the error set) when it is to fail.
    bool Fails(Step step)
    {
        const int n = ++m_calls[step];
        if (step != m_failStep || n < m_failFirst || (m_failCount >= 0 && n >= m_failFirst + m_failCount))
            return false;
        SetLastError(m_failError);
        return true;
    }

    bool Watched(const wchar_t* path) const
    {
        return m_watch.empty() || (path != nullptr && std::wcsstr(path, m_watch.c_str()) != nullptr);
    }
    bool Watched(HANDLE file) const { return m_watch.empty() || m_handles.count(file) > 0; }

    std::wstring m_watch;
    std::set<HANDLE> m_handles;
    int m_calls[stepCount] = {};
    Step m_failStep = stepCount;
    int m_failFirst = 0;
    int m_failCount = 0;
    DWORD m_failError = 0;
    std::map<std::wstring, std::wstring> m_sddl;
};
} // namespace sonvera_test
