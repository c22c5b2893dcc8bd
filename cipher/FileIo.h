/* The file calls of the file streams, behind one table so that tests can make
 * any step fail (a short read, a full disk, a failed flush or move, rights
 * that cannot be carried over) and check that nothing is left behind. Each
 * call returns 0 or a Win32 error code. */
#ifndef ZIVAZO_FILE_IO_H
#define ZIVAZO_FILE_IO_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct zv_file_io {
    DWORD (*openRead)(const wchar_t *path, HANDLE *file);
    DWORD (*createNew)(const wchar_t *path, HANDLE *file);
    DWORD (*read)(HANDLE file, void *buffer, DWORD size, DWORD *got);
    DWORD (*write)(HANDLE file, const void *data, DWORD size, DWORD *written);
    DWORD (*flush)(HANDLE file);
    DWORD (*move)(const wchar_t *from, const wchar_t *to, int replace);
    DWORD (*getAttributes)(const wchar_t *path, DWORD *attributes);
    DWORD (*setAttributes)(const wchar_t *path, DWORD attributes);
    /* The file's DACL, in a descriptor freed with LocalFree. */
    DWORD (*getSecurity)(const wchar_t *path, PSECURITY_DESCRIPTOR *descriptor);
    /* Sets the DACL alone; `what` says whether it is protected from inheritance. */
    DWORD (*setDacl)(const wchar_t *path, SECURITY_INFORMATION what, PACL dacl);
} zv_file_io;

/* The table in use; the platform's own calls unless a test set another. */
const zv_file_io *zv_file_io_current(void);
const zv_file_io *zv_file_io_platform(void);

/* Sets the table in use; NULL restores the platform's. */
void zv_file_io_set(const zv_file_io *io);

#ifdef __cplusplus
}
#endif

#endif
