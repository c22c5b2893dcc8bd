#include "Crc32.h"

uint32_t CCrc32::Compute(const void* data, size_t size)
{
    // Bitwise form: the model file is a few kilobytes, read a handful of times
    // per dialog, so a 1 KB table buys nothing worth its static data.
    const unsigned char* p = static_cast<const unsigned char*>(data);
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= p[i];
        for (int b = 0; b < 8; ++b) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}
