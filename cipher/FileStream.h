/* File encryption behind EncryptFileStream and DecryptFileStream: the file
 * is cut into chunks, each sealed with AES-256-GCM under its own nonce and
 * bound to its place (format/StreamFormat.h). Arguments and results are those
 * of the exports (ZivazoDi.h). */
#ifndef ZIVAZO_FILE_STREAM_H
#define ZIVAZO_FILE_STREAM_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

int zv_encrypt_file(HWND owner, int flags, const char *source, const char *destination,
                    const char *keyText, int *progress, int chunkSize);
int zv_decrypt_file(HWND owner, int flags, const char *source, const char *destination,
                    const char *keyText, int *progress);

#ifdef __cplusplus
}
#endif

#endif
