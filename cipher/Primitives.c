#include "Primitives.h"

#include <windows.h>
#include <bcrypt.h>

#ifndef STATUS_SUCCESS
#define STATUS_SUCCESS ((NTSTATUS)0x00000000L)
#endif

/* The algorithm providers are opened once per process and kept: opening a
 * provider costs far more than one short encryption. */
typedef struct Providers {
    BCRYPT_ALG_HANDLE aesGcm;
    BCRYPT_ALG_HANDLE sha256;
    BCRYPT_ALG_HANDLE hmacSha256;
    int ready;
} Providers;

static Providers g_providers;
static INIT_ONCE g_providersOnce = INIT_ONCE_STATIC_INIT;

static BOOL CALLBACK OpenProviders(PINIT_ONCE once, PVOID parameter, PVOID *context)
{
    Providers *p = &g_providers;
    (void)once;
    (void)parameter;
    (void)context;
    if (BCryptOpenAlgorithmProvider(&p->aesGcm, BCRYPT_AES_ALGORITHM, NULL, 0) != STATUS_SUCCESS)
        return TRUE;
    if (BCryptSetProperty(p->aesGcm, BCRYPT_CHAINING_MODE, (PUCHAR)BCRYPT_CHAIN_MODE_GCM,
                          (ULONG)sizeof(BCRYPT_CHAIN_MODE_GCM), 0) != STATUS_SUCCESS)
        return TRUE;
    if (BCryptOpenAlgorithmProvider(&p->sha256, BCRYPT_SHA256_ALGORITHM, NULL, 0) != STATUS_SUCCESS)
        return TRUE;
    if (BCryptOpenAlgorithmProvider(&p->hmacSha256, BCRYPT_SHA256_ALGORITHM, NULL,
                                    BCRYPT_ALG_HANDLE_HMAC_FLAG) != STATUS_SUCCESS)
        return TRUE;
    p->ready = 1;
    return TRUE;
}

static const Providers *GetProviders(void)
{
    InitOnceExecuteOnce(&g_providersOnce, OpenProviders, NULL, NULL);
    return g_providers.ready ? &g_providers : NULL;
}

/* BCrypt takes ULONG lengths; anything longer is refused rather than cut. */
static int FitsUlong(size_t n)
{
#if SIZE_MAX > 0xFFFFFFFFu
    return n <= 0xFFFFFFFFu;
#else
    (void)n;
    return 1;
#endif
}

void zv_wipe(void *p, size_t n)
{
    if (p != NULL && n != 0) SecureZeroMemory(p, n);
}

zv_aes_key zv_aes_key_create(const uint8_t key[ZV_AES_KEY_BYTES])
{
    const Providers *p = GetProviders();
    BCRYPT_KEY_HANDLE handle = NULL;
    if (p == NULL) return NULL;
    if (BCryptGenerateSymmetricKey(p->aesGcm, &handle, NULL, 0, (PUCHAR)key, ZV_AES_KEY_BYTES, 0) !=
        STATUS_SUCCESS)
        return NULL;
    return handle;
}

void zv_aes_key_destroy(zv_aes_key key)
{
    if (key != NULL) BCryptDestroyKey((BCRYPT_KEY_HANDLE)key);
}

static void DescribeGcm(BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO *info, const uint8_t *nonce,
                        const uint8_t *aad, size_t aadLength, uint8_t *tag)
{
    BCRYPT_INIT_AUTH_MODE_INFO(*info);
    info->pbNonce = (PUCHAR)nonce;
    info->cbNonce = 12;
    info->pbAuthData = aadLength ? (PUCHAR)aad : NULL;
    info->cbAuthData = (ULONG)aadLength;
    info->pbTag = tag;
    info->cbTag = 16;
}

int zv_aes_gcm_seal(zv_aes_key key, const uint8_t nonce[12], const uint8_t *aad, size_t aadLength,
                    const uint8_t *plain, size_t n, uint8_t *cipher, uint8_t tag[16])
{
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
    ULONG written = 0;
    if (key == NULL || !FitsUlong(n) || !FitsUlong(aadLength)) return 0;
    DescribeGcm(&info, nonce, aad, aadLength, tag);
    if (BCryptEncrypt((BCRYPT_KEY_HANDLE)key, n ? (PUCHAR)plain : NULL, (ULONG)n, &info, NULL, 0,
                      n ? cipher : NULL, (ULONG)n, &written, 0) != STATUS_SUCCESS)
        return 0;
    return written == n;
}

/* Compares two tags in time that does not depend on where they differ. */
static int SameTag(const uint8_t a[16], const uint8_t b[16])
{
    uint8_t difference = 0;
    int i;
    for (i = 0; i < 16; ++i) difference |= (uint8_t)(a[i] ^ b[i]);
    return difference == 0;
}

/* The tag of an empty text depends only on the key, nonce and associated
 * data, so it is checked by sealing again. Wine's BCryptDecrypt accepts any
 * tag when there is no data to decrypt. */
static int OpenEmpty(zv_aes_key key, const uint8_t nonce[12], const uint8_t *aad, size_t aadLength,
                     const uint8_t tag[16])
{
    uint8_t expected[16];
    const int ok = zv_aes_gcm_seal(key, nonce, aad, aadLength, NULL, 0, NULL, expected) &&
                   SameTag(expected, tag);
    zv_wipe(expected, sizeof expected);
    return ok;
}

int zv_aes_gcm_open(zv_aes_key key, const uint8_t nonce[12], const uint8_t *aad, size_t aadLength,
                    const uint8_t *cipher, size_t n, const uint8_t tag[16], uint8_t *plain)
{
    BCRYPT_AUTHENTICATED_CIPHER_MODE_INFO info;
    ULONG written = 0;
    if (key == NULL || !FitsUlong(n) || !FitsUlong(aadLength)) return 0;
    if (n == 0) return OpenEmpty(key, nonce, aad, aadLength, tag);
    DescribeGcm(&info, nonce, aad, aadLength, (uint8_t *)tag);
    if (BCryptDecrypt((BCRYPT_KEY_HANDLE)key, n ? (PUCHAR)cipher : NULL, (ULONG)n, &info, NULL, 0,
                      n ? plain : NULL, (ULONG)n, &written, 0) != STATUS_SUCCESS ||
        written != n) {
        zv_wipe(plain, n);
        return 0;
    }
    return 1;
}

int zv_sha256(const uint8_t *data, size_t n, uint8_t digest[ZV_SHA256_BYTES])
{
    const Providers *p = GetProviders();
    BCRYPT_HASH_HANDLE hash = NULL;
    int ok;
    if (p == NULL || !FitsUlong(n)) return 0;
    if (BCryptCreateHash(p->sha256, &hash, NULL, 0, NULL, 0, 0) != STATUS_SUCCESS) return 0;
    ok = BCryptHashData(hash, n ? (PUCHAR)data : (PUCHAR) "", (ULONG)n, 0) == STATUS_SUCCESS &&
         BCryptFinishHash(hash, digest, ZV_SHA256_BYTES, 0) == STATUS_SUCCESS;
    BCryptDestroyHash(hash);
    return ok;
}

int zv_pbkdf2_sha256(const uint8_t *password, size_t passwordLength, const uint8_t *salt,
                     size_t saltLength, uint64_t iterations, uint8_t *out, size_t outLength)
{
    static UCHAR empty[1];
    const Providers *p = GetProviders();
    if (p == NULL || iterations == 0 || out == NULL || outLength == 0) return 0;
    if (!FitsUlong(passwordLength) || !FitsUlong(saltLength) || !FitsUlong(outLength)) return 0;
    return BCryptDeriveKeyPBKDF2(p->hmacSha256, passwordLength ? (PUCHAR)password : empty,
                                 (ULONG)passwordLength, saltLength ? (PUCHAR)salt : empty,
                                 (ULONG)saltLength, iterations, out, (ULONG)outLength,
                                 0) == STATUS_SUCCESS;
}

int zv_random(uint8_t *out, size_t n)
{
    if (!FitsUlong(n)) return 0;
    return BCryptGenRandom(NULL, out, (ULONG)n, BCRYPT_USE_SYSTEM_PREFERRED_RNG) == STATUS_SUCCESS;
}
