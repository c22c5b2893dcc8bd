#include "FileStream.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "FileIo.h"
#include "KeyCache.h"
#include "Primitives.h"
#include "StreamFormat.h"
#include "ZivazoDi.h"

/* One encryption or decryption from its arguments to its result. */
typedef struct Job {
    const zv_file_io *io;
    HWND owner;
    UINT progressMessage;
    int *progress;
    int lastPercent;
    uint64_t total;
    uint64_t done;
    int replace;
    wchar_t *sourcePath;
    wchar_t *destinationPath;
    wchar_t *tempPath;
    HANDLE source;
    HANDLE temp;
    zv_aes_key key;
    uint8_t *current;  /* the chunk at hand */
    uint8_t *next;     /* the chunk after it, read ahead to learn which is last */
    uint8_t *output;
    size_t bufferSize;
    size_t outputSize;
} Job;

/* ---- Paths ----------------------------------------------------------------- */

static wchar_t *ToWidePath(const char *path)
{
    wchar_t *wide;
    const int length = MultiByteToWideChar(CP_ACP, 0, path, -1, NULL, 0);
    if (length <= 1) return NULL;
    wide = (wchar_t *)malloc((size_t)length * sizeof(wchar_t));
    if (wide != NULL && MultiByteToWideChar(CP_ACP, 0, path, -1, wide, length) != length) {
        free(wide);
        return NULL;
    }
    return wide;
}

static wchar_t *FullPath(const wchar_t *path)
{
    wchar_t *full;
    const DWORD length = GetFullPathNameW(path, 0, NULL, NULL);
    if (length == 0) return NULL;
    full = (wchar_t *)malloc((size_t)length * sizeof(wchar_t));
    if (full != NULL && GetFullPathNameW(path, length, full, NULL) >= length) {
        free(full);
        return NULL;
    }
    return full;
}

/* The temporary file of a destination is its full path followed by ".zv", the
 * process and a counter as twelve hexadecimal digits, and ".tmp". */
#define TEMP_DIGITS 12
static const wchar_t kTempPattern[] = L".zv*.tmp";

static int IsHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

/* True when the name is the destination's name followed by a temporary suffix. */
static int IsTempName(const wchar_t *name, const wchar_t *destinationName)
{
    const size_t length = wcslen(destinationName);
    size_t i;
    if (_wcsnicmp(name, destinationName, length) != 0 || wcslen(name) != length + 3 + TEMP_DIGITS + 4) return 0;
    name += length;
    if (_wcsnicmp(name, L".zv", 3) != 0 || _wcsicmp(name + 3 + TEMP_DIGITS, L".tmp") != 0) return 0;
    for (i = 0; i < TEMP_DIGITS; ++i)
        if (!IsHexDigit(name[3 + i])) return 0;
    return 1;
}

/* The process a temporary name was made by (its first eight digits). */
static DWORD TempOwner(const wchar_t *name, size_t destinationLength)
{
    wchar_t digits[9];
    wcsncpy(digits, name + destinationLength + 3, 8);
    digits[8] = L'\0';
    return (DWORD)wcstoul(digits, NULL, 16);
}

/* How much earlier than its maker's start a temporary's last write may seem
 * (a FAT volume keeps write times to two seconds), with room to spare. */
#define WRITE_TIME_SLACK_100NS (10LL * 10000000LL)

/* True when the process started after a temporary was last written, so did
 * not make it; false when its start cannot be read. */
static int StartedAfter(HANDLE process, const FILETIME *lastWrite)
{
    FILETIME created, exited, kernel, user;
    ULARGE_INTEGER start, written;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    start.LowPart = created.dwLowDateTime;
    start.HighPart = created.dwHighDateTime;
    written.LowPart = lastWrite->dwLowDateTime;
    written.HighPart = lastWrite->dwHighDateTime;
    return start.QuadPart > written.QuadPart + WRITE_TIME_SLACK_100NS;
}

/* True while the process that made a temporary runs, or when one with its id
 * exists but cannot be asked. A process started after the temporary was last
 * written did not make it, this one included: it took the id of a run that
 * has ended, whose plain text must not stay as long as the newcomer runs. */
static int IsRunning(DWORD processId, const FILETIME *lastWrite)
{
    HANDLE process;
    int running;
    if (processId == GetCurrentProcessId()) return !StartedAfter(GetCurrentProcess(), lastWrite);
    process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == NULL && GetLastError() == ERROR_ACCESS_DENIED)
        process = OpenProcess(SYNCHRONIZE, FALSE, processId);   /* its end, if not its start */
    if (process == NULL) return GetLastError() == ERROR_ACCESS_DENIED;
    running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT && !StartedAfter(process, lastWrite);
    CloseHandle(process);
    return running;
}

/* A run cut off by a crash leaves its temporary file beside the destination,
 * and for a decryption that is plain text: the next run to the same
 * destination removes it. The temporary of a run whose process still runs
 * (not one that took its id since) is not a leftover: that run closes it
 * before moving it into place, and a second run starting in that moment must
 * not take it away. One still open elsewhere cannot be deleted either and
 * stays. Failures are not reported: the leftovers are not this run's. */
static void RemoveLeftovers(const wchar_t *destination)
{
    wchar_t *full = FullPath(destination);
    wchar_t *pattern = NULL;
    const wchar_t *name;
    WIN32_FIND_DATAW found;
    HANDLE find;
    size_t folderLength;
    if (full == NULL) return;
    name = full + wcslen(full);
    while (name > full && name[-1] != L'\\' && name[-1] != L'/' && name[-1] != L':') --name;
    folderLength = (size_t)(name - full);
    pattern = (wchar_t *)malloc((wcslen(full) + sizeof kTempPattern / sizeof kTempPattern[0]) * sizeof(wchar_t));
    if (pattern != NULL) {
        wcscpy(pattern, full);
        wcscat(pattern, kTempPattern);
        find = FindFirstFileW(pattern, &found);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && IsTempName(found.cFileName, name) &&
                    !IsRunning(TempOwner(found.cFileName, wcslen(name)), &found.ftLastWriteTime)) {
                    wchar_t *path = (wchar_t *)malloc((folderLength + wcslen(found.cFileName) + 1) * sizeof(wchar_t));
                    if (path != NULL) {
                        wcsncpy(path, full, folderLength);
                        wcscpy(path + folderLength, found.cFileName);
                        DeleteFileW(path);
                        free(path);
                    }
                }
            } while (FindNextFileW(find, &found));
            FindClose(find);
        }
        free(pattern);
    }
    free(full);
}

/* Creates a new temporary file beside the destination: same folder, so the
 * final move is a rename on one volume. */
static int CreateTemp(Job *job)
{
    static volatile LONG counter;
    const size_t suffixLength = 40;
    wchar_t *full = FullPath(job->destinationPath);
    size_t length;
    int attempt;
    if (full == NULL) return ZIVAZO_FILE_E_DESTINATION;
    length = wcslen(full) + suffixLength;
    job->tempPath = (wchar_t *)malloc(length * sizeof(wchar_t));
    if (job->tempPath == NULL) {
        free(full);
        return ZIVAZO_FILE_E_MEMORY;
    }
    for (attempt = 0; attempt < 16; ++attempt) {
        DWORD error;
        _snwprintf(job->tempPath, length, L"%ls.zv%08lx%04lx.tmp", full,
                   (unsigned long)GetCurrentProcessId(),
                   (unsigned long)(InterlockedIncrement(&counter) & 0xFFFF));
        job->tempPath[length - 1] = L'\0';
        error = job->io->createNew(job->tempPath, &job->temp);
        if (error == 0) {
            free(full);
            return ZIVAZO_FILE_OK;
        }
        job->temp = INVALID_HANDLE_VALUE;
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    free(full);
    free(job->tempPath);
    job->tempPath = NULL;
    return ZIVAZO_FILE_E_DESTINATION;
}

/* ---- Progress -------------------------------------------------------------- */

static void ReportPercent(Job *job, int percent)
{
    if (percent <= job->lastPercent) return;
    job->lastPercent = percent;
    if (job->progress != NULL) *job->progress = percent;
    if (job->owner != NULL && job->progressMessage != 0)
        PostMessageW(job->owner, job->progressMessage, (WPARAM)percent, 0);
}

/* 100 is kept for the moment the destination is in place. */
static void ReportBytes(Job *job, uint64_t bytes)
{
    int percent;
    job->done += bytes;
    if (job->total == 0) return;
    percent = (int)(job->done >= job->total ? 99 : job->done * 100 / job->total);
    ReportPercent(job, percent > 99 ? 99 : percent);
}

/* ---- Reading and writing --------------------------------------------------- */

/* Reads until the buffer is full or the file ends. */
static int ReadFull(Job *job, uint8_t *buffer, size_t size, size_t *got)
{
    *got = 0;
    while (*got < size) {
        DWORD n = 0;
        if (job->io->read(job->source, buffer + *got, (DWORD)(size - *got), &n) != 0)
            return ZIVAZO_FILE_E_SOURCE;
        if (n == 0) break;
        *got += n;
    }
    return ZIVAZO_FILE_OK;
}

static int WriteError(DWORD error)
{
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? ZIVAZO_FILE_E_DISK_FULL
                                                                       : ZIVAZO_FILE_E_DESTINATION;
}

/* Writes all bytes, going on after partial writes. */
static int WriteAll(Job *job, const uint8_t *data, size_t size)
{
    while (size > 0) {
        DWORD n = 0;
        const DWORD error = job->io->write(job->temp, data, (DWORD)size, &n);
        if (error != 0) return WriteError(error);
        if (n == 0) return ZIVAZO_FILE_E_DESTINATION;
        data += n;
        size -= n;
    }
    return ZIVAZO_FILE_OK;
}

/* ---- Set-up and clean-up --------------------------------------------------- */

static int OpenSource(Job *job)
{
    LARGE_INTEGER size;
    if (job->io->openRead(job->sourcePath, &job->source) != 0) {
        job->source = INVALID_HANDLE_VALUE;
        return ZIVAZO_FILE_E_SOURCE;
    }
    if (!GetFileSizeEx(job->source, &size)) return ZIVAZO_FILE_E_SOURCE;
    job->total = (uint64_t)size.QuadPart;
    return ZIVAZO_FILE_OK;
}

static int CheckDestination(Job *job)
{
    const DWORD attributes = GetFileAttributesW(job->destinationPath);
    if (attributes == INVALID_FILE_ATTRIBUTES) return ZIVAZO_FILE_OK;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ZIVAZO_FILE_E_DESTINATION;
    return job->replace ? ZIVAZO_FILE_OK : ZIVAZO_FILE_E_EXISTS;
}

static int MakeKey(Job *job, const char *keyText)
{
    uint8_t raw[ZV_AES_KEY_BYTES];
    if (!zv_key_cache_copy(keyText, strlen(keyText), raw)) return ZIVAZO_FILE_E_CRYPTO;
    job->key = zv_aes_key_create(raw);
    zv_wipe(raw, sizeof raw);
    return job->key != NULL ? ZIVAZO_FILE_OK : ZIVAZO_FILE_E_CRYPTO;
}

static int AllocateBuffers(Job *job, size_t bufferSize, size_t outputSize)
{
    job->bufferSize = bufferSize;
    job->outputSize = outputSize;
    job->current = (uint8_t *)malloc(bufferSize);
    job->next = (uint8_t *)malloc(bufferSize);
    job->output = (uint8_t *)malloc(outputSize);
    return job->current && job->next && job->output ? ZIVAZO_FILE_OK : ZIVAZO_FILE_E_MEMORY;
}

/* Checks the arguments and opens everything both directions need. */
static int Begin(Job *job, HWND owner, int flags, const char *source, const char *destination,
                 const char *keyText, int *progress)
{
    int result;
    memset(job, 0, sizeof *job);
    job->io = zv_file_io_current();
    job->source = job->temp = INVALID_HANDLE_VALUE;
    job->owner = owner;
    job->progress = progress;
    job->lastPercent = -1;
    if (owner != NULL) job->progressMessage = RegisterWindowMessageA(ZIVAZO_PROGRESS_MESSAGE_NAME);
    ReportPercent(job, 0);
    if (source == NULL || destination == NULL || keyText == NULL) return ZIVAZO_FILE_E_ARGUMENT;
    if ((flags & ~ZIVAZO_FILE_REPLACE) != 0) return ZIVAZO_FILE_E_ARGUMENT;
    job->replace = (flags & ZIVAZO_FILE_REPLACE) != 0;

    job->sourcePath = ToWidePath(source);
    job->destinationPath = ToWidePath(destination);
    if (job->sourcePath == NULL || job->destinationPath == NULL) return ZIVAZO_FILE_E_ARGUMENT;
    if ((result = OpenSource(job)) != ZIVAZO_FILE_OK) return result;
    if ((result = CheckDestination(job)) != ZIVAZO_FILE_OK) return result;
    RemoveLeftovers(job->destinationPath);
    if ((result = MakeKey(job, keyText)) != ZIVAZO_FILE_OK) return result;
    return CreateTemp(job);
}

static void CloseHandleOnce(HANDLE *handle)
{
    if (*handle != INVALID_HANDLE_VALUE) CloseHandle(*handle);
    *handle = INVALID_HANDLE_VALUE;
}

#define KEPT_ATTRIBUTES (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)

/* A file decrypted in place must not come out with only its folder's rights:
 * before the temporary file replaces the destination it takes the
 * destination's hidden, system and not-indexed attributes (archive set, as by
 * any write), then its DACL with its protection; attributes first, as the
 * DACL may not let this process set them. A destination without a DACL (FAT)
 * grants everything, so none is set; a read-only one is refused, as Windows'
 * move refuses it (Wine's replaces it). Sonvera's safe file writer does the
 * same; a plain C DLL cannot share its code. */
static int KeepDestinationRights(Job *job)
{
    PSECURITY_DESCRIPTOR descriptor = NULL;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = NULL;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD attributes = 0, revision = 0;
    int result = ZIVAZO_FILE_E_DESTINATION;
    const DWORD error = job->io->getAttributes(job->destinationPath, &attributes);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return ZIVAZO_FILE_OK;
    if (error != 0 || (attributes & FILE_ATTRIBUTE_READONLY) != 0) return ZIVAZO_FILE_E_DESTINATION;
    if (job->io->setAttributes(job->tempPath, (attributes & KEPT_ATTRIBUTES) | FILE_ATTRIBUTE_ARCHIVE) != 0 ||
        job->io->getSecurity(job->destinationPath, &descriptor) != 0)
        return ZIVAZO_FILE_E_DESTINATION;
    if (GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) &&
        GetSecurityDescriptorControl(descriptor, &control, &revision)) {
        const SECURITY_INFORMATION what =
            DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                            : UNPROTECTED_DACL_SECURITY_INFORMATION);
        if (!present || dacl == NULL || job->io->setDacl(job->tempPath, what, dacl) == 0)
            result = ZIVAZO_FILE_OK;
    }
    LocalFree(descriptor);
    return result;
}

/* Puts the finished output in place; the temporary file must be complete. */
static int Commit(Job *job)
{
    DWORD error = job->io->flush(job->temp);
    if (error != 0) return WriteError(error);
    CloseHandleOnce(&job->temp);
    /* The source may be the destination itself: it must be closed to be replaced. */
    CloseHandleOnce(&job->source);
    if (job->replace) {
        const int result = KeepDestinationRights(job);
        if (result != ZIVAZO_FILE_OK) return result;
    }
    error = job->io->move(job->tempPath, job->destinationPath, job->replace);
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return ZIVAZO_FILE_E_EXISTS;
    return error == 0 ? ZIVAZO_FILE_OK : ZIVAZO_FILE_E_DESTINATION;
}

static void FreeBuffer(uint8_t *buffer, size_t size)
{
    if (buffer == NULL) return;
    zv_wipe(buffer, size);
    free(buffer);
}

/* Commits a successful run, removes the temporary file of a failed one, and
 * releases everything. Returns the final result. */
static int End(Job *job, int result)
{
    if (result == ZIVAZO_FILE_OK) result = Commit(job);
    CloseHandleOnce(&job->temp);
    CloseHandleOnce(&job->source);
    if (result != ZIVAZO_FILE_OK && job->tempPath != NULL) DeleteFileW(job->tempPath);
    if (result == ZIVAZO_FILE_OK) ReportPercent(job, 100);
    zv_aes_key_destroy(job->key);
    FreeBuffer(job->current, job->bufferSize);
    FreeBuffer(job->next, job->bufferSize);
    FreeBuffer(job->output, job->outputSize);
    free(job->sourcePath);
    free(job->destinationPath);
    free(job->tempPath);
    return result;
}

static void SwapChunks(Job *job)
{
    uint8_t *t = job->current;
    job->current = job->next;
    job->next = t;
}

/* ---- Encryption ------------------------------------------------------------ */

static int WriteHeader(Job *job, uint32_t chunkSize, uint8_t header[ZV_STREAM_HEADER_BYTES])
{
    zv_stream_header fields;
    fields.chunkSize = chunkSize;
    if (!zv_random(fields.nonceBase, ZV_NONCE_BYTES)) return ZIVAZO_FILE_E_CRYPTO;
    zv_stream_header_pack(&fields, header);
    return WriteAll(job, header, ZV_STREAM_HEADER_BYTES);
}

static int SealChunk(Job *job, const uint8_t header[ZV_STREAM_HEADER_BYTES], uint64_t index,
                     int final, size_t length)
{
    uint8_t nonce[ZV_NONCE_BYTES], aad[ZV_STREAM_AAD_BYTES];
    zv_stream_chunk_nonce(header + 12, index, nonce);
    zv_stream_chunk_aad(header, index, final, aad);
    if (!zv_aes_gcm_seal(job->key, nonce, aad, sizeof aad, job->current, length, job->output,
                         job->output + length))
        return ZIVAZO_FILE_E_CRYPTO;
    return WriteAll(job, job->output, length + ZV_TAG_BYTES);
}

static int EncryptChunks(Job *job, uint32_t chunkSize)
{
    uint8_t header[ZV_STREAM_HEADER_BYTES];
    size_t length = 0, nextLength = 0;
    uint64_t index;
    int result = WriteHeader(job, chunkSize, header);
    if (result == ZIVAZO_FILE_OK) result = ReadFull(job, job->current, chunkSize, &length);
    for (index = 0; result == ZIVAZO_FILE_OK; ++index) {
        int final = length < chunkSize;
        if (!final) {
            result = ReadFull(job, job->next, chunkSize, &nextLength);
            if (result != ZIVAZO_FILE_OK) break;
            final = nextLength == 0;
        }
        result = SealChunk(job, header, index, final, length);
        if (result != ZIVAZO_FILE_OK || final) break;
        ReportBytes(job, length);
        SwapChunks(job);
        length = nextLength;
    }
    return result;
}

int zv_encrypt_file(HWND owner, int flags, const char *source, const char *destination,
                    const char *keyText, int *progress, int chunkSize)
{
    Job job;
    int result;
    const uint32_t chunk = chunkSize == 0 ? ZV_STREAM_DEFAULT_CHUNK : (uint32_t)chunkSize;
    if (chunkSize < 0 || chunk > ZV_STREAM_MAX_CHUNK) {
        if (progress != NULL) *progress = 0;
        return ZIVAZO_FILE_E_ARGUMENT;
    }
    result = Begin(&job, owner, flags, source, destination, keyText, progress);
    if (result == ZIVAZO_FILE_OK) result = AllocateBuffers(&job, chunk, (size_t)chunk + ZV_TAG_BYTES);
    if (result == ZIVAZO_FILE_OK) result = EncryptChunks(&job, chunk);
    return End(&job, result);
}

/* ---- Decryption ------------------------------------------------------------ */

static int ReadHeader(Job *job, uint8_t header[ZV_STREAM_HEADER_BYTES], zv_stream_header *fields)
{
    size_t got = 0;
    const int result = ReadFull(job, header, ZV_STREAM_HEADER_BYTES, &got);
    if (result != ZIVAZO_FILE_OK) return result;
    ReportBytes(job, got);
    if (got != ZV_STREAM_HEADER_BYTES || !zv_stream_header_unpack(header, fields))
        return ZIVAZO_FILE_E_FORMAT;
    return ZIVAZO_FILE_OK;
}

/* Authenticates one chunk record and writes its plain text; nothing of a
 * chunk that fails its tag reaches the output. */
static int OpenChunk(Job *job, const uint8_t header[ZV_STREAM_HEADER_BYTES], uint64_t index,
                     int final, size_t recordLength)
{
    uint8_t nonce[ZV_NONCE_BYTES], aad[ZV_STREAM_AAD_BYTES];
    const size_t length = recordLength - ZV_TAG_BYTES;
    zv_stream_chunk_nonce(header + 12, index, nonce);
    zv_stream_chunk_aad(header, index, final, aad);
    if (!zv_aes_gcm_open(job->key, nonce, aad, sizeof aad, job->current, length,
                         job->current + length, job->output))
        return ZIVAZO_FILE_E_AUTH;
    return WriteAll(job, job->output, length);
}

static int DecryptChunks(Job *job, const uint8_t header[ZV_STREAM_HEADER_BYTES], size_t record)
{
    size_t length = 0, nextLength = 0;
    uint64_t index;
    int result = ReadFull(job, job->current, record, &length);
    for (index = 0; result == ZIVAZO_FILE_OK; ++index) {
        int final = length < record;
        if (length < ZV_TAG_BYTES) return ZIVAZO_FILE_E_AUTH;  /* cut inside a chunk */
        if (!final) {
            result = ReadFull(job, job->next, record, &nextLength);
            if (result != ZIVAZO_FILE_OK) break;
            final = nextLength == 0;
        }
        result = OpenChunk(job, header, index, final, length);
        if (result != ZIVAZO_FILE_OK || final) break;
        ReportBytes(job, length);
        SwapChunks(job);
        length = nextLength;
    }
    return result;
}

int zv_decrypt_file(HWND owner, int flags, const char *source, const char *destination,
                    const char *keyText, int *progress)
{
    Job job;
    uint8_t header[ZV_STREAM_HEADER_BYTES];
    zv_stream_header fields;
    int result = Begin(&job, owner, flags, source, destination, keyText, progress);
    if (result == ZIVAZO_FILE_OK) result = ReadHeader(&job, header, &fields);
    if (result == ZIVAZO_FILE_OK)
        result = AllocateBuffers(&job, (size_t)fields.chunkSize + ZV_TAG_BYTES, fields.chunkSize);
    if (result == ZIVAZO_FILE_OK)
        result = DecryptChunks(&job, header, (size_t)fields.chunkSize + ZV_TAG_BYTES);
    return End(&job, result);
}
