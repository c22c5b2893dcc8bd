#include "FileIo.h"

#include <aclapi.h>

static DWORD ErrorOf(BOOL ok)
{
    if (ok) return 0;
    {
        const DWORD error = GetLastError();
        return error != 0 ? error : ERROR_GEN_FAILURE;
    }
}

static DWORD PlatformOpenRead(const wchar_t *path, HANDLE *file)
{
    *file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    return ErrorOf(*file != INVALID_HANDLE_VALUE);
}

static DWORD PlatformCreateNew(const wchar_t *path, HANDLE *file)
{
    *file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    return ErrorOf(*file != INVALID_HANDLE_VALUE);
}

static DWORD PlatformRead(HANDLE file, void *buffer, DWORD size, DWORD *got)
{
    *got = 0;
    return ErrorOf(ReadFile(file, buffer, size, got, NULL));
}

static DWORD PlatformWrite(HANDLE file, const void *data, DWORD size, DWORD *written)
{
    *written = 0;
    return ErrorOf(WriteFile(file, data, size, written, NULL));
}

static DWORD PlatformFlush(HANDLE file)
{
    return ErrorOf(FlushFileBuffers(file));
}

static DWORD PlatformMove(const wchar_t *from, const wchar_t *to, int replace)
{
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return ErrorOf(MoveFileExW(from, to, flags));
}

static DWORD PlatformGetAttributes(const wchar_t *path, DWORD *attributes)
{
    *attributes = GetFileAttributesW(path);
    return ErrorOf(*attributes != INVALID_FILE_ATTRIBUTES);
}

static DWORD PlatformSetAttributes(const wchar_t *path, DWORD attributes)
{
    return ErrorOf(SetFileAttributesW(path, attributes));
}

static DWORD PlatformGetSecurity(const wchar_t *path, PSECURITY_DESCRIPTOR *descriptor)
{
    *descriptor = NULL;
    return GetNamedSecurityInfoW(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, NULL, NULL, NULL, NULL,
                                 descriptor);
}

static DWORD PlatformSetDacl(const wchar_t *path, SECURITY_INFORMATION what, PACL dacl)
{
    return SetNamedSecurityInfoW((wchar_t *)path, SE_FILE_OBJECT, what, NULL, NULL, dacl, NULL);
}

static const zv_file_io kPlatform = {PlatformOpenRead,      PlatformCreateNew,     PlatformRead,
                                     PlatformWrite,         PlatformFlush,         PlatformMove,
                                     PlatformGetAttributes, PlatformSetAttributes, PlatformGetSecurity,
                                     PlatformSetDacl};

static const zv_file_io *volatile g_current = &kPlatform;

const zv_file_io *zv_file_io_current(void)
{
    return g_current;
}

const zv_file_io *zv_file_io_platform(void)
{
    return &kPlatform;
}

void zv_file_io_set(const zv_file_io *io)
{
    g_current = io != NULL ? io : &kPlatform;
}
