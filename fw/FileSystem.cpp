#include "fw/FileSystem.h"

#include <aclapi.h>

namespace {

CWin32FileSystem g_win32;
IFileSystem* g_current = &g_win32;

} // namespace

HANDLE CWin32FileSystem::Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags)
{
    return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
}

BOOL CWin32FileSystem::Close(HANDLE file)
{
    return CloseHandle(file);
}

BOOL CWin32FileSystem::Read(HANDLE file, void* buffer, DWORD count, DWORD* done)
{
    return ReadFile(file, buffer, count, done, nullptr);
}

BOOL CWin32FileSystem::Write(HANDLE file, const void* buffer, DWORD count, DWORD* done)
{
    return WriteFile(file, buffer, count, done, nullptr);
}

BOOL CWin32FileSystem::Flush(HANDLE file)
{
    return FlushFileBuffers(file);
}

BOOL CWin32FileSystem::Seek(HANDLE file, LONGLONG distance, DWORD method, ULONGLONG* newPosition)
{
    LARGE_INTEGER move;
    move.QuadPart = distance;
    LARGE_INTEGER result;
    result.QuadPart = 0;
    if (!SetFilePointerEx(file, move, &result, method))
        return FALSE;
    if (newPosition != nullptr)
        *newPosition = static_cast<ULONGLONG>(result.QuadPart);
    return TRUE;
}

BOOL CWin32FileSystem::SetEnd(HANDLE file)
{
    return SetEndOfFile(file);
}

BOOL CWin32FileSystem::GetSize(HANDLE file, ULONGLONG* size)
{
    LARGE_INTEGER value;
    value.QuadPart = 0;
    if (!GetFileSizeEx(file, &value))
        return FALSE;
    *size = static_cast<ULONGLONG>(value.QuadPart);
    return TRUE;
}

BOOL CWin32FileSystem::Move(const wchar_t* from, const wchar_t* to, DWORD flags)
{
    return MoveFileExW(from, to, flags);
}

BOOL CWin32FileSystem::Delete(const wchar_t* path)
{
    return DeleteFileW(path);
}

DWORD CWin32FileSystem::GetAttributes(const wchar_t* path)
{
    return GetFileAttributesW(path);
}

BOOL CWin32FileSystem::SetAttributes(const wchar_t* path, DWORD attributes)
{
    return SetFileAttributesW(path, attributes);
}

BOOL CWin32FileSystem::GetSecurity(const wchar_t* path, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR* descriptor)
{
    *descriptor = nullptr;
    const DWORD error = GetNamedSecurityInfoW(path, SE_FILE_OBJECT, what, nullptr, nullptr, nullptr, nullptr, descriptor);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

BOOL CWin32FileSystem::SetDacl(const wchar_t* path, SECURITY_INFORMATION what, PACL dacl)
{
    const DWORD error =
        SetNamedSecurityInfoW(const_cast<wchar_t*>(path), SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

HANDLE CWin32FileSystem::FindFirst(const wchar_t* pattern, WIN32_FIND_DATAW* data)
{
    return FindFirstFileW(pattern, data);
}

BOOL CWin32FileSystem::FindNext(HANDLE find, WIN32_FIND_DATAW* data)
{
    return FindNextFileW(find, data);
}

BOOL CWin32FileSystem::FindClose(HANDLE find)
{
    return ::FindClose(find);
}

IFileSystem& GetFileSystem()
{
    return *g_current;
}

IFileSystem* SetFileSystem(IFileSystem* fs)
{
    IFileSystem* previous = g_current;
    g_current = fs != nullptr ? fs : &g_win32;
    return previous;
}
