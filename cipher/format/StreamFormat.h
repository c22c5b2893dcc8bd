/* The encrypted file: a header followed by authenticated chunks.
 *
 *   header (ZV_STREAM_HEADER_BYTES = 24)
 *     0   4  magic "ZvFs"
 *     4   1  format version (ZV_STREAM_VERSION)
 *     5   3  zero
 *     8   4  plain chunk size in bytes, little-endian, 1 .. ZV_STREAM_MAX_CHUNK
 *    12  12  nonce base, random for every file
 *   chunks, in order: the encrypted chunk, then its 16-byte GCM tag. Every
 *   chunk but the last holds exactly one chunk size of plain text; the last
 *   holds 0 to chunk size bytes. An empty file is one empty last chunk.
 *
 * Chunk i is sealed with the nonce base XOR i (big-endian, in the last eight
 * bytes) and with the associated data header || i (8 bytes, little-endian) ||
 * final flag (1 byte). The header is therefore authenticated by every chunk,
 * and a chunk that is moved, dropped, repeated, or becomes the last one by
 * truncation fails its tag.
 *
 * Portable C, no platform headers. */
#ifndef ZIVAZO_FORMAT_STREAM_FORMAT_H
#define ZIVAZO_FORMAT_STREAM_FORMAT_H

#include <stddef.h>
#include <stdint.h>

#include "Envelope.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ZV_STREAM_VERSION 1
#define ZV_STREAM_HEADER_BYTES 24
#define ZV_STREAM_DEFAULT_CHUNK 65536u
#define ZV_STREAM_MAX_CHUNK (16u * 1024u * 1024u)
#define ZV_STREAM_AAD_BYTES (ZV_STREAM_HEADER_BYTES + 8 + 1)

typedef struct zv_stream_header {
    uint32_t chunkSize;
    uint8_t nonceBase[ZV_NONCE_BYTES];
} zv_stream_header;

void zv_stream_header_pack(const zv_stream_header *header, uint8_t out[ZV_STREAM_HEADER_BYTES]);

/* Returns 1, or 0 for a wrong magic, version, reserved byte or chunk size. */
int zv_stream_header_unpack(const uint8_t in[ZV_STREAM_HEADER_BYTES], zv_stream_header *header);

void zv_stream_chunk_nonce(const uint8_t base[ZV_NONCE_BYTES], uint64_t index,
                           uint8_t out[ZV_NONCE_BYTES]);

void zv_stream_chunk_aad(const uint8_t header[ZV_STREAM_HEADER_BYTES], uint64_t index, int final,
                         uint8_t out[ZV_STREAM_AAD_BYTES]);

#ifdef __cplusplus
}
#endif

#endif
