/* ZivazoDi.dll: string and file encryption for Sonvera.
 *
 * A plain C library over the platform's CNG (BCrypt): AES-256-GCM with a key
 * derived from a key text by PBKDF2-HMAC-SHA256. Every export uses the
 * __cdecl calling convention and is exported under its plain name, on 32-bit
 * Windows too (ZivazoDi.def).
 *
 * Texts are zero-terminated byte strings (Shift-JIS in practice); the library
 * treats them as bytes. Paths are in the process's ANSI code page. */
#ifndef ZIVAZO_DI_H
#define ZIVAZO_DI_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(ZIVAZO_BUILD)
#define ZIVAZO_API
#else
#define ZIVAZO_API __declspec(dllimport)
#endif
#define ZIVAZO_CALL __cdecl

/* ---- Texts ------------------------------------------------------------------
 * EncryptStr returns the cipher text of text under key: printable base64
 * (never a zero byte) of 4 * ceil((29 + n) / 3) characters for a text of n
 * bytes, different on every call. DecryptStr returns the original text, or
 * NULL when the cipher text is malformed, was changed in any byte, or was made
 * with another key. Both return NULL for a NULL argument. Every non-NULL
 * result is owned by the library and must be given back to DeleteStringMemory,
 * which wipes it before freeing it (NULL is accepted). The first use of a key
 * text in a process derives its key (milliseconds); later uses are cached. */
ZIVAZO_API char *ZIVAZO_CALL EncryptStr(const char *text, const char *key);
ZIVAZO_API char *ZIVAZO_CALL DecryptStr(const char *cipher, const char *key);
ZIVAZO_API void ZIVAZO_CALL DeleteStringMemory(char *text);

/* ---- Files ------------------------------------------------------------------
 * int EncryptFileStream(owner, flags, source, destination, key, progress, chunkSize)
 * int DecryptFileStream(owner, flags, source, destination, key, progress, reserved)
 *
 *   owner        optional window (NULL for none); it is posted the registered
 *                message ZIVAZO_PROGRESS_MESSAGE_NAME with wParam = percent
 *                (0..100) each time the percentage grows.
 *   flags        0 or ZIVAZO_FILE_REPLACE; any other bit is an argument error.
 *                Without ZIVAZO_FILE_REPLACE an existing destination is left
 *                alone and the call returns ZIVAZO_FILE_E_EXISTS.
 *   source       the file to read.
 *   destination  the file to make. It appears only complete: the output is
 *                written to a temporary file in the destination's folder,
 *                flushed, and moved into place; on any failure the temporary
 *                file is deleted and an existing destination stays untouched.
 *                A destination replaced keeps its hidden, system and
 *                not-indexed attributes and its DACL; a read-only one is
 *                refused (ZIVAZO_FILE_E_DESTINATION).
 *                Decryption writes nothing that has not been authenticated,
 *                and the move happens only when the whole file has been.
 *   key          the key text.
 *   progress     optional (NULL for none): receives the percentage done,
 *                0 at the start and 100 only on success.
 *   chunkSize    encryption: plain bytes per authenticated chunk, 1 to
 *                ZIVAZO_MAX_CHUNK, or 0 for ZIVAZO_DEFAULT_CHUNK.
 *                decryption: reserved, ignored (the file records its own).
 *
 * Result: ZIVAZO_FILE_OK or one of the negative ZIVAZO_FILE_E_ codes. */
ZIVAZO_API int ZIVAZO_CALL EncryptFileStream(HWND owner, int flags, const char *source,
                                             const char *destination, const char *key,
                                             int *progress, int chunkSize);
ZIVAZO_API int ZIVAZO_CALL DecryptFileStream(HWND owner, int flags, const char *source,
                                             const char *destination, const char *key,
                                             int *progress, int reserved);

#define ZIVAZO_FILE_REPLACE 0x0001

#define ZIVAZO_DEFAULT_CHUNK 65536
#define ZIVAZO_MAX_CHUNK (16 * 1024 * 1024)
#define ZIVAZO_PROGRESS_MESSAGE_NAME "ZivazoDi.FileProgress"

#define ZIVAZO_FILE_OK 1
#define ZIVAZO_FILE_E_ARGUMENT (-1)    /* NULL path or key, unknown flag, bad chunk size */
#define ZIVAZO_FILE_E_SOURCE (-2)      /* the source cannot be opened or read */
#define ZIVAZO_FILE_E_DESTINATION (-3) /* the output cannot be created, written or moved */
#define ZIVAZO_FILE_E_EXISTS (-4)      /* the destination exists and ZIVAZO_FILE_REPLACE is off */
#define ZIVAZO_FILE_E_FORMAT (-5)      /* decryption: the source is not an encrypted file */
#define ZIVAZO_FILE_E_AUTH (-6)        /* decryption: wrong key, or the file was changed or cut */
#define ZIVAZO_FILE_E_CRYPTO (-7)      /* the platform's cipher failed */
#define ZIVAZO_FILE_E_MEMORY (-8)      /* out of memory */
#define ZIVAZO_FILE_E_DISK_FULL (-9)   /* the destination's disk is full */

#ifdef __cplusplus
}
#endif

#endif
