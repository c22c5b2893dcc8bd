/* Base64 (RFC 4648, standard alphabet, '=' padding) for the cipher text.
 *
 * Portable C, no platform headers. The decoder is strict: it accepts only the
 * canonical encoding (no white space, padding only at the end, unused bits of
 * the last group zero), so that every character of a cipher text matters and
 * no changed character can decode to the same bytes. */
#ifndef ZIVAZO_FORMAT_BASE64_H
#define ZIVAZO_FORMAT_BASE64_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Number of characters (without terminator) that n bytes encode to, or 0 when
 * the result would not fit a size_t. */
size_t zv_base64_encoded_length(size_t n);

/* Largest number of bytes that a text of textLength characters can decode to. */
size_t zv_base64_decoded_capacity(size_t textLength);

/* Encodes n bytes into out, which holds outCapacity characters including the
 * terminating zero. Returns the number of characters written (without the
 * terminator), or 0 when out is too small (out then holds an empty text when
 * outCapacity > 0). An empty input gives an empty text and returns 0. */
size_t zv_base64_encode(const uint8_t *data, size_t n, char *out, size_t outCapacity);

/* Decodes textLength characters into out (outCapacity bytes). Returns 1 and the
 * byte count in *outLength, or 0 for a text that is not canonical base64 or a
 * too small out (then *outLength is 0). */
int zv_base64_decode(const char *text, size_t textLength, uint8_t *out, size_t outCapacity,
                     size_t *outLength);

#ifdef __cplusplus
}
#endif

#endif
