// IFileSystem: the one seam through which every file call that can fail goes.
//
// Each operation behaves like the Win32 call it stands for: it returns FALSE
// (or INVALID_HANDLE_VALUE, INVALID_FILE_ATTRIBUTES) and leaves the reason in
// GetLastError. CFile and CSafeFileWriter turn those failures into
// CFileException. Tests install an implementation of their own, usually one
// derived from CWin32FileSystem that fails a chosen call, for a scope with
// CFileSystemOverride.
#pragma once

#include <windows.h>

#include "fw/Api.h"

class SONVERA_API IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // CreateFileW: access, share, disposition and flags (FILE_ATTRIBUTE_NORMAL
    // for a plain file) as there; no template.
    virtual HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) = 0;
    virtual BOOL Close(HANDLE file) = 0;
    // ReadFile / WriteFile on a synchronous handle; a write may be short.
    virtual BOOL Read(HANDLE file, void* buffer, DWORD count, DWORD* done) = 0;
    virtual BOOL Write(HANDLE file, const void* buffer, DWORD count, DWORD* done) = 0;
    virtual BOOL Flush(HANDLE file) = 0;
    virtual BOOL Seek(HANDLE file, LONGLONG distance, DWORD method, ULONGLONG* newPosition) = 0;
    virtual BOOL SetEnd(HANDLE file) = 0;
    virtual BOOL GetSize(HANDLE file, ULONGLONG* size) = 0;

    // MoveFileExW / DeleteFileW / GetFileAttributesW / SetFileAttributesW.
    virtual BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) = 0;
    virtual BOOL Delete(const wchar_t* path) = 0;
    virtual DWORD GetAttributes(const wchar_t* path) = 0;
    virtual BOOL SetAttributes(const wchar_t* path, DWORD attributes) = 0;

    // GetNamedSecurityInfoW / SetNamedSecurityInfoW on a file, reporting as the
    // calls above do. The descriptor read is freed with LocalFree; only the DACL
    // is written (`what` says whether it is protected from inheritance).
    virtual BOOL GetSecurity(const wchar_t* path, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR* descriptor) = 0;
    virtual BOOL SetDacl(const wchar_t* path, SECURITY_INFORMATION what, PACL dacl) = 0;

    // FindFirstFileW / FindNextFileW / FindClose.
    virtual HANDLE FindFirst(const wchar_t* pattern, WIN32_FIND_DATAW* data) = 0;
    virtual BOOL FindNext(HANDLE find, WIN32_FIND_DATAW* data) = 0;
    virtual BOOL FindClose(HANDLE find) = 0;
};

// The system's own file functions.
class SONVERA_API CWin32FileSystem : public IFileSystem {
public:
    HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) override;
    BOOL Close(HANDLE file) override;
    BOOL Read(HANDLE file, void* buffer, DWORD count, DWORD* done) override;
    BOOL Write(HANDLE file, const void* buffer, DWORD count, DWORD* done) override;
    BOOL Flush(HANDLE file) override;
    BOOL Seek(HANDLE file, LONGLONG distance, DWORD method, ULONGLONG* newPosition) override;
    BOOL SetEnd(HANDLE file) override;
    BOOL GetSize(HANDLE file, ULONGLONG* size) override;
    BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) override;
    BOOL Delete(const wchar_t* path) override;
    DWORD GetAttributes(const wchar_t* path) override;
    BOOL SetAttributes(const wchar_t* path, DWORD attributes) override;
    BOOL GetSecurity(const wchar_t* path, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR* descriptor) override;
    BOOL SetDacl(const wchar_t* path, SECURITY_INFORMATION what, PACL dacl) override;
    HANDLE FindFirst(const wchar_t* pattern, WIN32_FIND_DATAW* data) override;
    BOOL FindNext(HANDLE find, WIN32_FIND_DATAW* data) override;
    BOOL FindClose(HANDLE find) override;
};

// The file system in use: the system's own unless a test installed another.
SONVERA_API IFileSystem& GetFileSystem();
// Installs `fs` (nullptr: the system's own) and returns the one it replaces.
SONVERA_API IFileSystem* SetFileSystem(IFileSystem* fs);

// Installs a file system for the lifetime of the object, then puts back the previous one.
class SONVERA_API CFileSystemOverride {
public:
    explicit CFileSystemOverride(IFileSystem& fs) : m_previous(SetFileSystem(&fs)) {}
    ~CFileSystemOverride() { SetFileSystem(m_previous); }
    CFileSystemOverride(const CFileSystemOverride&) = delete;
    CFileSystemOverride& operator=(const CFileSystemOverride&) = delete;

private:
    IFileSystem* m_previous;
};
