/* The file calls of the file streams, behind one table so that tests can make
 * any step fail (a short read, a full disk, a failed flush or move) and check
 * that nothing is left behind. Each call returns 0 or a Win32 error code. */
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
