#include "KeyCache.h"

#include <windows.h>
#include <string.h>

/* PBKDF2 work factor. The key texts are the program's own 1003-character pass
 * phrase and short generated seeds, not passwords a person chose, so the
 * derivation mainly has to keep a stolen cipher text from being tried fast
 * against guessed seeds; its cost is paid once per key text per process.
 * Under Wine one HMAC-SHA256 iteration of bcrypt costs 2 to 3 us, so 10000
 * iterations take 20 to 30 ms on the first use of a key text (measured by
 * sonvera-crypto-bench on a busy build machine): well inside the 50 ms that
 * a log-on dialog may spend before it shows, and ten thousand times the cost
 * of a guess against a single hash. */
#define ZV_KDF_ITERATIONS 10000u

static const uint8_t kProductSalt[] = "Sonvera ZivazoDi AES-256-GCM key v1";

typedef struct CacheEntry {
    int used;
    unsigned long lastUse;
    uint8_t textHash[ZV_SHA256_BYTES];
    uint8_t key[ZV_AES_KEY_BYTES];
    zv_aes_key keyObject;
} CacheEntry;

typedef struct KeyCache {
    CRITICAL_SECTION lock;
    CacheEntry entries[ZV_KEY_CACHE_ENTRIES];
    unsigned long useClock;
    unsigned long derivations;
} KeyCache;

static KeyCache g_cache;
static INIT_ONCE g_cacheOnce = INIT_ONCE_STATIC_INIT;

static BOOL CALLBACK InitCache(PINIT_ONCE once, PVOID parameter, PVOID *context)
{
    (void)once;
    (void)parameter;
    (void)context;
    InitializeCriticalSection(&g_cache.lock);
    return TRUE;
}

static void Lock(void)
{
    InitOnceExecuteOnce(&g_cacheOnce, InitCache, NULL, NULL);
    EnterCriticalSection(&g_cache.lock);
}

static void Unlock(void)
{
    LeaveCriticalSection(&g_cache.lock);
}

int zv_derive_key(const char *keyText, size_t keyLength, uint8_t key[ZV_AES_KEY_BYTES])
{
    return zv_pbkdf2_sha256((const uint8_t *)keyText, keyLength, kProductSalt,
                            sizeof kProductSalt - 1, ZV_KDF_ITERATIONS, key, ZV_AES_KEY_BYTES);
}

static void ForgetEntry(CacheEntry *entry)
{
    zv_aes_key_destroy(entry->keyObject);
    zv_wipe(entry, sizeof *entry);
}

/* The least recently used entry, or an unused one. */
static CacheEntry *VictimEntry(void)
{
    CacheEntry *victim = &g_cache.entries[0];
    int i;
    for (i = 0; i < ZV_KEY_CACHE_ENTRIES; ++i) {
        CacheEntry *e = &g_cache.entries[i];
        if (!e->used) return e;
        if (e->lastUse < victim->lastUse) victim = e;
    }
    return victim;
}

/* Called with the lock held. Returns the entry of the text, deriving it when
 * needed, or NULL. */
static CacheEntry *FindOrDerive(const char *keyText, size_t keyLength)
{
    uint8_t textHash[ZV_SHA256_BYTES];
    CacheEntry *entry;
    int i;
    if (!zv_sha256((const uint8_t *)keyText, keyLength, textHash)) return NULL;
    for (i = 0; i < ZV_KEY_CACHE_ENTRIES; ++i) {
        entry = &g_cache.entries[i];
        if (entry->used && memcmp(entry->textHash, textHash, sizeof textHash) == 0) {
            entry->lastUse = ++g_cache.useClock;
            return entry;
        }
    }
    entry = VictimEntry();
    ForgetEntry(entry);
    ++g_cache.derivations;
    if (!zv_derive_key(keyText, keyLength, entry->key)) {
        zv_wipe(entry->key, sizeof entry->key);
        return NULL;
    }
    entry->keyObject = zv_aes_key_create(entry->key);
    if (entry->keyObject == NULL) {
        zv_wipe(entry->key, sizeof entry->key);
        return NULL;
    }
    memcpy(entry->textHash, textHash, sizeof textHash);
    entry->used = 1;
    entry->lastUse = ++g_cache.useClock;
    return entry;
}

zv_aes_key zv_key_cache_acquire(const char *keyText, size_t keyLength)
{
    CacheEntry *entry;
    if (keyText == NULL) return NULL;
    Lock();
    entry = FindOrDerive(keyText, keyLength);
    if (entry == NULL) {
        Unlock();
        return NULL;
    }
    return entry->keyObject;
}

void zv_key_cache_release(void)
{
    Unlock();
}

int zv_key_cache_copy(const char *keyText, size_t keyLength, uint8_t key[ZV_AES_KEY_BYTES])
{
    CacheEntry *entry;
    if (keyText == NULL) return 0;
    Lock();
    entry = FindOrDerive(keyText, keyLength);
    if (entry != NULL) memcpy(key, entry->key, ZV_AES_KEY_BYTES);
    Unlock();
    return entry != NULL;
}

void zv_key_cache_clear(void)
{
    int i;
    Lock();
    for (i = 0; i < ZV_KEY_CACHE_ENTRIES; ++i) ForgetEntry(&g_cache.entries[i]);
    Unlock();
}

unsigned long zv_key_cache_derivations(void)
{
    unsigned long count;
    Lock();
    count = g_cache.derivations;
    Unlock();
    return count;
}
