#include "Crc32.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Crc32, MatchesTheStandardCheckValue)
{
    const char* text = "123456789";
    EXPECT_EQ(0xCBF43926u, CCrc32::Compute(text, std::strlen(text)));
}

TEST(Crc32, EmptyInputGivesZeroAndOneBitChangesTheSum)
{
    EXPECT_EQ(0u, CCrc32::Compute(nullptr, 0));
    unsigned char block[64] = {0};
    const uint32_t clean = CCrc32::Compute(block, sizeof(block));
    for (size_t byte = 0; byte < sizeof(block); byte += 7) {
        block[byte] ^= 0x10;
        EXPECT_NE(clean, CCrc32::Compute(block, sizeof(block))) << "byte " << byte;
        block[byte] ^= 0x10;
    }
}
