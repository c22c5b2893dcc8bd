#include "StringCipher.h"

#include <stdlib.h>
#include <string.h>

#include "Base64.h"
#include "Envelope.h"
#include "KeyCache.h"
#include "Primitives.h"

/* strlen that stops looking past the limit; returns limit + 1 when longer. */
static size_t BoundedLength(const char *text, size_t limit)
{
    return strnlen(text, limit + 1);
}

/* Seals the text into raw (an envelope laid out for n bytes). */
static int Seal(const char *text, size_t n, const char *keyText, uint8_t *raw)
{
    zv_envelope_parts parts;
    zv_aes_key key;
    int ok;
    zv_envelope_layout(raw, n, &parts);
    if (!zv_random(parts.nonce, ZV_NONCE_BYTES)) return 0;
    key = zv_key_cache_acquire(keyText, strlen(keyText));
    if (key == NULL) return 0;
    ok = zv_aes_gcm_seal(key, parts.nonce, parts.associated, parts.associatedLength,
                         (const uint8_t *)text, n, parts.data, parts.tag);
    zv_key_cache_release();
    return ok;
}

char *zv_encrypt_string(const char *text, const char *keyText)
{
    size_t n, rawSize, textLength;
    uint8_t *raw;
    char *out = NULL;
    if (text == NULL || keyText == NULL) return NULL;
    n = BoundedLength(text, ZV_MAX_TEXT_BYTES);
    if (n > ZV_MAX_TEXT_BYTES) return NULL;
    rawSize = zv_envelope_size(n);
    textLength = zv_envelope_text_length(n);
    raw = (uint8_t *)malloc(rawSize);
    if (raw == NULL) return NULL;
    if (Seal(text, n, keyText, raw)) {
        out = (char *)malloc(textLength + 1);
        if (out != NULL && zv_base64_encode(raw, rawSize, out, textLength + 1) != textLength) {
            free(out);
            out = NULL;
        }
    }
    free(raw);
    return out;
}

/* Opens a decoded envelope into a new zero-terminated text, or NULL. */
static char *Open(uint8_t *raw, size_t rawSize, const char *keyText)
{
    zv_envelope_parts parts;
    zv_aes_key key;
    char *plain;
    int ok;
    if (!zv_envelope_parse(raw, rawSize, &parts)) return NULL;
    plain = (char *)malloc(parts.dataLength + 1);
    if (plain == NULL) return NULL;
    key = zv_key_cache_acquire(keyText, strlen(keyText));
    ok = key != NULL && zv_aes_gcm_open(key, parts.nonce, parts.associated, parts.associatedLength,
                                        parts.data, parts.dataLength, parts.tag, (uint8_t *)plain);
    if (key != NULL) zv_key_cache_release();
    /* An authentic text came from EncryptStr and so holds no zero byte. */
    if (!ok || memchr(plain, '\0', parts.dataLength) != NULL) {
        zv_wipe(plain, parts.dataLength + 1);
        free(plain);
        return NULL;
    }
    plain[parts.dataLength] = '\0';
    return plain;
}

char *zv_decrypt_string(const char *cipherText, const char *keyText)
{
    size_t length, capacity, rawSize = 0;
    uint8_t *raw;
    char *plain = NULL;
    if (cipherText == NULL || keyText == NULL) return NULL;
    length = BoundedLength(cipherText, zv_envelope_text_length(ZV_MAX_TEXT_BYTES));
    if (length < ZV_ENVELOPE_OVERHEAD || length > zv_envelope_text_length(ZV_MAX_TEXT_BYTES))
        return NULL;
    capacity = zv_base64_decoded_capacity(length);
    raw = (uint8_t *)malloc(capacity);
    if (raw == NULL) return NULL;
    if (zv_base64_decode(cipherText, length, raw, capacity, &rawSize))
        plain = Open(raw, rawSize, keyText);
    free(raw);
    return plain;
}

void zv_free_string(char *text)
{
    if (text == NULL) return;
    zv_wipe(text, strlen(text));
    free(text);
}
