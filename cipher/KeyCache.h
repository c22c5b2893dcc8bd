/* Keys derived from key texts, cached per process.
 *
 * Deriving a key on purpose costs milliseconds (see ZV_KDF_ITERATIONS), and
 * the library decrypts many records with the one pass phrase, so each key
 * text is derived once and its AES key object kept. The plain key text is
 * never kept: an entry is found by the SHA-256 of the text. */
#ifndef ZIVAZO_KEY_CACHE_H
#define ZIVAZO_KEY_CACHE_H

#include <stddef.h>
#include <stdint.h>

#include "Primitives.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ZV_KEY_CACHE_ENTRIES 8

/* Derives the AES-256 key of a key text: PBKDF2-HMAC-SHA256 over the text's
 * bytes with the product salt and ZV_KDF_ITERATIONS. Returns 1 or 0. */
int zv_derive_key(const char *keyText, size_t keyLength, uint8_t key[ZV_AES_KEY_BYTES]);

/* Finds or derives the key object of a key text and returns it with the
 * cache locked; the caller uses it and then calls zv_key_cache_release.
 * Returns NULL (and holds no lock) when the key cannot be made. */
zv_aes_key zv_key_cache_acquire(const char *keyText, size_t keyLength);
void zv_key_cache_release(void);

/* Copies the raw key of a key text (deriving it when not cached), for work
 * that runs too long to hold the cache's lock. Returns 1 or 0. */
int zv_key_cache_copy(const char *keyText, size_t keyLength, uint8_t key[ZV_AES_KEY_BYTES]);

/* Wipes and forgets every entry. */
void zv_key_cache_clear(void);

/* How many derivations the cache has run since the process started. */
unsigned long zv_key_cache_derivations(void);

#ifdef __cplusplus
}
#endif

#endif
