/* The string cipher text: base64 of
 *
 *   offset 0        1 byte   format version (ZV_ENVELOPE_VERSION)
 *   offset 1       12 bytes  AES-GCM nonce, fresh and random for every text
 *   offset 13       n bytes  encrypted text (n = length of the plain text)
 *   offset 13 + n  16 bytes  GCM tag; the version byte is its associated data
 *
 * Base64 never yields a zero byte, so callers may store the text with its
 * length and hand it back later as a zero-terminated string. A plain text of
 * n bytes becomes exactly 4 * ceil((29 + n) / 3) characters: equal plain
 * lengths give equal cipher lengths, which lets fixed-size records be
 * rewritten in place.
 *
 * Portable C, no platform headers. */
#ifndef ZIVAZO_FORMAT_ENVELOPE_H
#define ZIVAZO_FORMAT_ENVELOPE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ZV_ENVELOPE_VERSION 1
#define ZV_NONCE_BYTES 12
#define ZV_TAG_BYTES 16
#define ZV_ENVELOPE_HEADER_BYTES (1 + ZV_NONCE_BYTES)
#define ZV_ENVELOPE_OVERHEAD (ZV_ENVELOPE_HEADER_BYTES + ZV_TAG_BYTES)

/* Where the parts of one raw (not yet base64) envelope lie. */
typedef struct zv_envelope_parts {
    uint8_t *associated;      /* bytes bound into the tag: the version byte */
    size_t associatedLength;
    uint8_t *nonce;           /* ZV_NONCE_BYTES */
    uint8_t *data;            /* dataLength bytes */
    size_t dataLength;
    uint8_t *tag;             /* ZV_TAG_BYTES */
} zv_envelope_parts;

/* Raw envelope size for a plain text of dataLength bytes; 0 on overflow. */
size_t zv_envelope_size(size_t dataLength);

/* Cipher text length in characters (without terminator); 0 on overflow. */
size_t zv_envelope_text_length(size_t dataLength);

/* Writes the version byte into raw (zv_envelope_size(dataLength) bytes) and
 * points parts at the areas the cipher fills in. */
void zv_envelope_layout(uint8_t *raw, size_t dataLength, zv_envelope_parts *parts);

/* Splits a raw envelope of rawSize bytes. Returns 1, or 0 when it is too short
 * or of another version (parts is then zeroed). */
int zv_envelope_parse(uint8_t *raw, size_t rawSize, zv_envelope_parts *parts);

#ifdef __cplusplus
}
#endif

#endif
