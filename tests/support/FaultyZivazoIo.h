// The test file system as ZivazoDi's file-stream table (cipher/FileIo.h), so
// that the C library's steps fail and are counted like the framework's:
// openRead is an open, createNew a create, getAttributes an attributes read.
#pragma once

#include "FileIo.h"
#include "tests/support/FaultyFileSystem.h"

namespace sonvera_test
{
class CZivazoIoOverride
{
public:
    explicit CZivazoIoOverride(CFaultyFileSystem& fs)
    {
        s_fs = &fs;
        zv_file_io_set(&kTable);
    }
    ~CZivazoIoOverride()
    {
        zv_file_io_set(nullptr);
        s_fs = nullptr;
    }
    CZivazoIoOverride(const CZivazoIoOverride&) = delete;
    CZivazoIoOverride& operator=(const CZivazoIoOverride&) = delete;

private:
    static DWORD Result(BOOL ok)
    {
        const DWORD error = ok ? 0 : GetLastError();
        return ok || error != 0 ? error : ERROR_GEN_FAILURE;
    }

    static DWORD OpenRead(const wchar_t* path, HANDLE* file)
    {
        *file = s_fs->Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
        return Result(*file != INVALID_HANDLE_VALUE);
    }
    static DWORD CreateNew(const wchar_t* path, HANDLE* file)
    {
        *file = s_fs->Open(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        return Result(*file != INVALID_HANDLE_VALUE);
    }
    static DWORD Read(HANDLE file, void* buffer, DWORD size, DWORD* got)
    {
        return Result(s_fs->Read(file, buffer, size, got));
    }
    static DWORD Write(HANDLE file, const void* data, DWORD size, DWORD* written)
    {
        return Result(s_fs->Write(file, data, size, written));
    }
    static DWORD Flush(HANDLE file) { return Result(s_fs->Flush(file)); }
    static DWORD Move(const wchar_t* from, const wchar_t* to, int replace)
    {
        return Result(s_fs->Move(from, to, MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0)));
    }
    static DWORD GetAttributes(const wchar_t* path, DWORD* attributes)
    {
        *attributes = s_fs->GetAttributes(path);
        return Result(*attributes != INVALID_FILE_ATTRIBUTES);
    }
    static DWORD SetAttributes(const wchar_t* path, DWORD attributes)
    {
        return Result(s_fs->SetAttributes(path, attributes));
    }
    static DWORD GetSecurity(const wchar_t* path, PSECURITY_DESCRIPTOR* descriptor)
    {
        return Result(s_fs->GetSecurity(path, DACL_SECURITY_INFORMATION, descriptor));
    }
    static DWORD SetDacl(const wchar_t* path, SECURITY_INFORMATION what, PACL dacl)
    {
        return Result(s_fs->SetDacl(path, what, dacl));
    }

    static inline CFaultyFileSystem* s_fs = nullptr;
    static inline const zv_file_io kTable = {OpenRead,      CreateNew,     Read,        Write,  Flush, Move,
                                             GetAttributes, SetAttributes, GetSecurity, SetDacl};
};
} // namespace sonvera_test
