// Crc32.h - CRC-32 (IEEE 802.3, reflected, polynomial 0xEDB88320) of a byte block.
#pragma once

#include <cstddef>
#include <cstdint>

class CCrc32 {
public:
    // data/size: the bytes to check (data may be nullptr when size is 0).
    // Returns the CRC-32 as zlib and PNG compute it (crc32("123456789") = 0xCBF43926).
    static uint32_t Compute(const void* data, size_t size);
};
