#include "StreamFormat.h"

#include <string.h>

static const uint8_t kMagic[4] = {'Z', 'v', 'F', 's'};

static void PutLe32(uint8_t *p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

static uint32_t GetLe32(const uint8_t *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

void zv_stream_header_pack(const zv_stream_header *header, uint8_t out[ZV_STREAM_HEADER_BYTES])
{
    memcpy(out, kMagic, sizeof kMagic);
    out[4] = ZV_STREAM_VERSION;
    out[5] = out[6] = out[7] = 0;
    PutLe32(out + 8, header->chunkSize);
    memcpy(out + 12, header->nonceBase, ZV_NONCE_BYTES);
}

int zv_stream_header_unpack(const uint8_t in[ZV_STREAM_HEADER_BYTES], zv_stream_header *header)
{
    memset(header, 0, sizeof *header);
    if (memcmp(in, kMagic, sizeof kMagic) != 0 || in[4] != ZV_STREAM_VERSION) return 0;
    if (in[5] != 0 || in[6] != 0 || in[7] != 0) return 0;
    {
        const uint32_t chunkSize = GetLe32(in + 8);
        if (chunkSize == 0 || chunkSize > ZV_STREAM_MAX_CHUNK) return 0;
        header->chunkSize = chunkSize;
    }
    memcpy(header->nonceBase, in + 12, ZV_NONCE_BYTES);
    return 1;
}

void zv_stream_chunk_nonce(const uint8_t base[ZV_NONCE_BYTES], uint64_t index,
                           uint8_t out[ZV_NONCE_BYTES])
{
    int i;
    memcpy(out, base, ZV_NONCE_BYTES);
    for (i = 0; i < 8; ++i) out[ZV_NONCE_BYTES - 1 - i] ^= (uint8_t)(index >> (8 * i));
}

void zv_stream_chunk_aad(const uint8_t header[ZV_STREAM_HEADER_BYTES], uint64_t index, int final,
                         uint8_t out[ZV_STREAM_AAD_BYTES])
{
    int i;
    memcpy(out, header, ZV_STREAM_HEADER_BYTES);
    for (i = 0; i < 8; ++i) out[ZV_STREAM_HEADER_BYTES + i] = (uint8_t)(index >> (8 * i));
    out[ZV_STREAM_HEADER_BYTES + 8] = final ? 1 : 0;
}
