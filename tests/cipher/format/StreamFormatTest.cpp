// The encrypted-file header and each chunk's nonce and associated data: what
// keeps chunks from being reordered, dropped or cut off unnoticed.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "StreamFormat.h"

namespace {

std::string Hex(const uint8_t* bytes, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < n; ++i) hex += {digits[bytes[i] >> 4], digits[bytes[i] & 15]};
    return hex;
}

// Magic, version and reserved bytes, chunks of 0x010203 bytes, nonce base a0 a1 ... ab.
const char kHeaderHex[] = "5a764673" "01000000" "03020100" "a0a1a2a3a4a5a6a7a8a9aaab";

struct StreamFormat : ::testing::Test {
    void SetUp() override
    {
        zv_stream_header fields;
        fields.chunkSize = 0x010203;
        for (int i = 0; i < ZV_NONCE_BYTES; ++i) fields.nonceBase[i] = uint8_t(0xA0 + i);
        zv_stream_header_pack(&fields, header);
    }
    uint8_t header[ZV_STREAM_HEADER_BYTES];
};

TEST_F(StreamFormat, PacksTheHeaderToItsDocumentedBytesAndBack)
{
    EXPECT_EQ(Hex(header, sizeof header), kHeaderHex);
    zv_stream_header read;
    ASSERT_EQ(zv_stream_header_unpack(header, &read), 1);
    EXPECT_EQ(read.chunkSize, 0x010203u);
    EXPECT_EQ(Hex(read.nonceBase, ZV_NONCE_BYTES), "a0a1a2a3a4a5a6a7a8a9aaab");
}

TEST_F(StreamFormat, RefusesAForeignOrDamagedHeader)
{
    const struct { size_t at; std::vector<uint8_t> bytes; } changes[] = {
        {0, {'z'}}, {3, {'S'}}, {4, {2}}, {5, {1}}, {7, {1}},  // magic, version, reserved
        {8, {0, 0, 0, 0}}, {8, {1, 0, 0, 1}}};                  // no chunk size, or too large
    for (const auto& change : changes) {
        uint8_t bad[ZV_STREAM_HEADER_BYTES];
        std::copy(header, header + sizeof header, bad);
        std::copy(change.bytes.begin(), change.bytes.end(), bad + change.at);
        zv_stream_header read;
        EXPECT_EQ(zv_stream_header_unpack(bad, &read), 0) << change.at;
    }
}

TEST_F(StreamFormat, BindsTheChunkIndexIntoTheNonceAndIndexAndFinalFlagIntoTheAssociatedData)
{
    uint8_t nonce[ZV_NONCE_BYTES], aad[ZV_STREAM_AAD_BYTES];
    zv_stream_chunk_nonce(header + 12, 0x0102030405060708ull, nonce);
    EXPECT_EQ(Hex(nonce, sizeof nonce), "a0a1a2a3a5a7a5a3adafada3");  // base XOR index, big-endian
    zv_stream_chunk_aad(header, 7, 1, aad);
    EXPECT_EQ(Hex(aad, sizeof aad), std::string(kHeaderHex) + "0700000000000000" "01");
    zv_stream_chunk_aad(header, 7, 0, aad);
    EXPECT_EQ(aad[ZV_STREAM_AAD_BYTES - 1], 0);
}

TEST(StreamSize, CountsTheHeaderTheDataAndOneTagPerChunk)
{
    EXPECT_EQ(zv_stream_encrypted_size(0, 16), 24u + 16u);
    EXPECT_EQ(zv_stream_encrypted_size(16, 16), 24u + 16u + 16u);
    EXPECT_EQ(zv_stream_encrypted_size(17, 16), 24u + 17u + 32u);
}

} // namespace
