// The encrypted-file header and the per-chunk nonce and associated data: what
// keeps chunks from being reordered, dropped or cut off unnoticed.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "StreamFormat.h"

namespace {

zv_stream_header SampleHeader(uint32_t chunkSize)
{
    zv_stream_header header;
    header.chunkSize = chunkSize;
    for (int i = 0; i < ZV_NONCE_BYTES; ++i) header.nonceBase[i] = static_cast<uint8_t>(0xA0 + i);
    return header;
}

TEST(StreamHeader, PacksMagicVersionChunkSizeAndNonceBase)
{
    const zv_stream_header header = SampleHeader(0x01020304);
    uint8_t bytes[ZV_STREAM_HEADER_BYTES];
    zv_stream_header_pack(&header, bytes);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 4), "ZvFs");
    EXPECT_EQ(bytes[4], ZV_STREAM_VERSION);
    EXPECT_EQ(bytes[5] | bytes[6] | bytes[7], 0);
    EXPECT_EQ(bytes[8], 0x04);
    EXPECT_EQ(bytes[11], 0x01);
    EXPECT_EQ(std::memcmp(bytes + 12, header.nonceBase, ZV_NONCE_BYTES), 0);
}

TEST(StreamHeader, UnpacksWhatWasPacked)
{
    const zv_stream_header header = SampleHeader(ZV_STREAM_MAX_CHUNK);
    uint8_t bytes[ZV_STREAM_HEADER_BYTES];
    zv_stream_header_pack(&header, bytes);
    zv_stream_header read;
    ASSERT_EQ(zv_stream_header_unpack(bytes, &read), 1);
    EXPECT_EQ(read.chunkSize, ZV_STREAM_MAX_CHUNK);
    EXPECT_EQ(std::memcmp(read.nonceBase, header.nonceBase, ZV_NONCE_BYTES), 0);
}

TEST(StreamHeader, RefusesForeignOrDamagedHeaders)
{
    const zv_stream_header header = SampleHeader(4096);
    uint8_t good[ZV_STREAM_HEADER_BYTES];
    zv_stream_header_pack(&header, good);
    zv_stream_header read;
    for (int position : {0, 3, 4, 5, 7}) {
        uint8_t bad[ZV_STREAM_HEADER_BYTES];
        std::memcpy(bad, good, sizeof bad);
        bad[position] ^= 0x10;
        EXPECT_EQ(zv_stream_header_unpack(bad, &read), 0) << position;
    }
    zv_stream_header zeroChunk = SampleHeader(0), hugeChunk = SampleHeader(ZV_STREAM_MAX_CHUNK + 1);
    uint8_t bytes[ZV_STREAM_HEADER_BYTES];
    zv_stream_header_pack(&zeroChunk, bytes);
    EXPECT_EQ(zv_stream_header_unpack(bytes, &read), 0);
    zv_stream_header_pack(&hugeChunk, bytes);
    EXPECT_EQ(zv_stream_header_unpack(bytes, &read), 0);
}

TEST(StreamChunkNonce, DiffersForEveryChunkIndex)
{
    const zv_stream_header header = SampleHeader(16);
    std::set<std::string> seen;
    uint8_t nonce[ZV_NONCE_BYTES];
    zv_stream_chunk_nonce(header.nonceBase, 0, nonce);
    EXPECT_EQ(std::memcmp(nonce, header.nonceBase, ZV_NONCE_BYTES), 0);
    const uint64_t indexes[] = {0, 1, 2, 255, 256, 65535, 65536, 0xFFFFFFFFull, 0x100000000ull,
                                0xFFFFFFFFFFFFFFFFull};
    for (uint64_t index : indexes) {
        zv_stream_chunk_nonce(header.nonceBase, index, nonce);
        EXPECT_EQ(std::memcmp(nonce, header.nonceBase, 4), 0) << "only the counter part changes";
        seen.insert(std::string(reinterpret_cast<char*>(nonce), ZV_NONCE_BYTES));
    }
    EXPECT_EQ(seen.size(), sizeof indexes / sizeof indexes[0]);
}

TEST(StreamChunkAad, BindsHeaderIndexAndFinalFlag)
{
    const zv_stream_header header = SampleHeader(16);
    uint8_t bytes[ZV_STREAM_HEADER_BYTES];
    zv_stream_header_pack(&header, bytes);
    uint8_t a[ZV_STREAM_AAD_BYTES], b[ZV_STREAM_AAD_BYTES], c[ZV_STREAM_AAD_BYTES];
    zv_stream_chunk_aad(bytes, 7, 0, a);
    zv_stream_chunk_aad(bytes, 7, 1, b);
    zv_stream_chunk_aad(bytes, 8, 0, c);
    EXPECT_EQ(std::memcmp(a, bytes, ZV_STREAM_HEADER_BYTES), 0);
    EXPECT_EQ(a[ZV_STREAM_HEADER_BYTES], 7);
    EXPECT_EQ(a[ZV_STREAM_AAD_BYTES - 1], 0);
    EXPECT_EQ(b[ZV_STREAM_AAD_BYTES - 1], 1);
    EXPECT_NE(std::memcmp(a, b, sizeof a), 0);
    EXPECT_NE(std::memcmp(a, c, sizeof a), 0);
}

TEST(StreamSize, CountsHeaderDataAndOneTagPerChunk)
{
    EXPECT_EQ(zv_stream_encrypted_size(0, 16), 24u + 16u);
    EXPECT_EQ(zv_stream_encrypted_size(1, 16), 24u + 1u + 16u);
    EXPECT_EQ(zv_stream_encrypted_size(16, 16), 24u + 16u + 16u);
    EXPECT_EQ(zv_stream_encrypted_size(17, 16), 24u + 17u + 32u);
    EXPECT_EQ(zv_stream_encrypted_size(5u << 20, 65536), 24u + (5u << 20) + 80u * 16u);
}

}  // namespace
