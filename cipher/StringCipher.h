/* Text encryption behind EncryptStr and DecryptStr: AES-256-GCM with a fresh
 * random nonce per text, packed in the envelope of format/Envelope.h. */
#ifndef ZIVAZO_STRING_CIPHER_H
#define ZIVAZO_STRING_CIPHER_H

#ifdef __cplusplus
extern "C" {
#endif

/* Longest plain or cipher text accepted, in bytes: far beyond any record the
 * library stores, and small enough that no length computation can overflow. */
#define ZV_MAX_TEXT_BYTES (64u * 1024u * 1024u)

/* Returns the zero-terminated cipher text of a zero-terminated text, allocated
 * with malloc, or NULL for a NULL argument, an over-long text or a failure. */
char *zv_encrypt_string(const char *text, const char *keyText);

/* Returns the plain text, allocated with malloc, or NULL when the cipher text
 * is malformed, changed, or made with another key. */
char *zv_decrypt_string(const char *cipherText, const char *keyText);

/* Wipes and frees a text returned by the two functions above; NULL is fine. */
void zv_free_string(char *text);

#ifdef __cplusplus
}
#endif

#endif
