/* The exports of ZivazoDi.dll: thin doors onto the string and file ciphers. */
#include "ZivazoDi.h"

#include "FileStream.h"
#include "KeyCache.h"
#include "StringCipher.h"

char *ZIVAZO_CALL EncryptStr(const char *text, const char *key)
{
    return zv_encrypt_string(text, key);
}

char *ZIVAZO_CALL DecryptStr(const char *cipher, const char *key)
{
    return zv_decrypt_string(cipher, key);
}

void ZIVAZO_CALL DeleteStringMemory(char *text)
{
    zv_free_string(text);
}

int ZIVAZO_CALL EncryptFileStream(HWND owner, int flags, const char *source,
                                  const char *destination, const char *key, int *progress,
                                  int chunkSize)
{
    return zv_encrypt_file(owner, flags, source, destination, key, progress, chunkSize);
}

int ZIVAZO_CALL DecryptFileStream(HWND owner, int flags, const char *source,
                                  const char *destination, const char *key, int *progress,
                                  int reserved)
{
    (void)reserved;
    return zv_decrypt_file(owner, flags, source, destination, key, progress);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    /* Wipe the cached keys when a host unloads the library. At process exit
     * (reserved != NULL) other threads may have died holding the cache's
     * lock, and the memory goes away with the process anyway. */
    if (reason == DLL_PROCESS_DETACH && reserved == NULL) zv_key_cache_clear();
    return TRUE;
}
