#include "Envelope.h"

#include <string.h>

#include "Base64.h"

size_t zv_envelope_size(size_t dataLength)
{
    if (dataLength > ((size_t)-1) - ZV_ENVELOPE_OVERHEAD) return 0;
    return dataLength + ZV_ENVELOPE_OVERHEAD;
}

size_t zv_envelope_text_length(size_t dataLength)
{
    const size_t size = zv_envelope_size(dataLength);
    return size == 0 ? 0 : zv_base64_encoded_length(size);
}

static void PointAt(uint8_t *raw, size_t dataLength, zv_envelope_parts *parts)
{
    parts->associated = raw;
    parts->associatedLength = 1;
    parts->nonce = raw + 1;
    parts->data = raw + ZV_ENVELOPE_HEADER_BYTES;
    parts->dataLength = dataLength;
    parts->tag = raw + ZV_ENVELOPE_HEADER_BYTES + dataLength;
}

void zv_envelope_layout(uint8_t *raw, size_t dataLength, zv_envelope_parts *parts)
{
    raw[0] = ZV_ENVELOPE_VERSION;
    PointAt(raw, dataLength, parts);
}

int zv_envelope_parse(uint8_t *raw, size_t rawSize, zv_envelope_parts *parts)
{
    memset(parts, 0, sizeof *parts);
    if (raw == NULL || rawSize < ZV_ENVELOPE_OVERHEAD || raw[0] != ZV_ENVELOPE_VERSION) return 0;
    PointAt(raw, rawSize - ZV_ENVELOPE_OVERHEAD, parts);
    return 1;
}
