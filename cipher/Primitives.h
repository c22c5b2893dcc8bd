/* The platform's cryptographic primitives, reached through CNG (BCrypt):
 * AES-256-GCM, SHA-256, PBKDF2-HMAC-SHA256 and the system random generator.
 * Every failure of the platform becomes a plain 0 result here, once. */
#ifndef ZIVAZO_PRIMITIVES_H
#define ZIVAZO_PRIMITIVES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ZV_AES_KEY_BYTES 32
#define ZV_SHA256_BYTES 32

/* An AES-256 key object in GCM mode (an opaque BCRYPT_KEY_HANDLE). */
typedef void *zv_aes_key;

/* Returns a key object for 32 key bytes, or NULL. */
zv_aes_key zv_aes_key_create(const uint8_t key[ZV_AES_KEY_BYTES]);
void zv_aes_key_destroy(zv_aes_key key);

/* Encrypts n bytes from plain into cipher (n bytes) and writes the 16-byte
 * tag. Returns 1, or 0 on a platform failure. */
int zv_aes_gcm_seal(zv_aes_key key, const uint8_t nonce[12], const uint8_t *aad, size_t aadLength,
                    const uint8_t *plain, size_t n, uint8_t *cipher, uint8_t tag[16]);

/* Decrypts n bytes and checks the tag. Returns 1 when the text is authentic;
 * 0 when it is not (wrong key, changed nonce, data, tag or associated data)
 * or the platform failed. plain is wiped on failure. */
int zv_aes_gcm_open(zv_aes_key key, const uint8_t nonce[12], const uint8_t *aad, size_t aadLength,
                    const uint8_t *cipher, size_t n, const uint8_t tag[16], uint8_t *plain);

/* SHA-256 of n bytes. Returns 1, or 0 on a platform failure. */
int zv_sha256(const uint8_t *data, size_t n, uint8_t digest[ZV_SHA256_BYTES]);

/* PBKDF2 with HMAC-SHA256 (RFC 8018) through BCryptDeriveKeyPBKDF2. Returns 1,
 * or 0 on a platform failure or an iteration count of 0. */
int zv_pbkdf2_sha256(const uint8_t *password, size_t passwordLength, const uint8_t *salt,
                     size_t saltLength, uint64_t iterations, uint8_t *out, size_t outLength);

/* Fills n bytes from the system's preferred random generator. Returns 1 or 0. */
int zv_random(uint8_t *out, size_t n);

/* Overwrites n bytes in a way the compiler cannot drop. */
void zv_wipe(void *p, size_t n);

#ifdef __cplusplus
}
#endif

#endif
