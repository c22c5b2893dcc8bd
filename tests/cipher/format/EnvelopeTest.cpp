// The string envelope decides whether cipher texts fit the fixed areas of the
// voice dictionary and whether a record can be rewritten in place.
#include <gtest/gtest.h>

#include <vector>

#include "Envelope.h"

namespace {

TEST(EnvelopeSize, GrowsByAFixedOverheadThenBase64)
{
    EXPECT_EQ(zv_envelope_size(0), 29u);
    EXPECT_EQ(zv_envelope_size(64), 93u);
    EXPECT_EQ(zv_envelope_text_length(0), 40u);
    EXPECT_EQ(zv_envelope_text_length(1), 40u);
    EXPECT_EQ(zv_envelope_text_length(2), 44u);
    EXPECT_EQ(zv_envelope_text_length(64), 124u);
    EXPECT_EQ(zv_envelope_text_length(76), 140u);
}

TEST(EnvelopeSize, UserIdsAndCertiKeysFitTheVoiceDictionaryAreas)
{
    for (size_t n = 0; n <= 64; ++n) EXPECT_LE(zv_envelope_text_length(n), 176u) << n;
    for (size_t n = 0; n <= 12 + 64; ++n) EXPECT_LE(zv_envelope_text_length(n), 240u) << n;
    // The areas would only be exceeded by far longer texts.
    EXPECT_GT(zv_envelope_text_length(104), 176u);
    EXPECT_GT(zv_envelope_text_length(152), 240u);
}

TEST(EnvelopeSize, RefusesSizesThatWouldOverflow)
{
    EXPECT_EQ(zv_envelope_size(static_cast<size_t>(-1)), 0u);
    EXPECT_EQ(zv_envelope_text_length(static_cast<size_t>(-1) - 10), 0u);
}

TEST(EnvelopeLayout, PlacesVersionNonceDataAndTag)
{
    std::vector<uint8_t> raw(zv_envelope_size(5), 0xEE);
    zv_envelope_parts parts;
    zv_envelope_layout(raw.data(), 5, &parts);
    EXPECT_EQ(raw[0], ZV_ENVELOPE_VERSION);
    EXPECT_EQ(parts.associated, raw.data());
    EXPECT_EQ(parts.associatedLength, 1u);
    EXPECT_EQ(parts.nonce, raw.data() + 1);
    EXPECT_EQ(parts.data, raw.data() + 13);
    EXPECT_EQ(parts.dataLength, 5u);
    EXPECT_EQ(parts.tag, raw.data() + 18);
    EXPECT_EQ(parts.tag + ZV_TAG_BYTES, raw.data() + raw.size());
}

TEST(EnvelopeParse, FindsWhatTheLayoutPlaced)
{
    std::vector<uint8_t> raw(zv_envelope_size(7));
    zv_envelope_parts made, parsed;
    zv_envelope_layout(raw.data(), 7, &made);
    ASSERT_EQ(zv_envelope_parse(raw.data(), raw.size(), &parsed), 1);
    EXPECT_EQ(parsed.nonce, made.nonce);
    EXPECT_EQ(parsed.data, made.data);
    EXPECT_EQ(parsed.dataLength, 7u);
    EXPECT_EQ(parsed.tag, made.tag);
}

TEST(EnvelopeParse, RefusesShortOrForeignEnvelopes)
{
    std::vector<uint8_t> raw(zv_envelope_size(0));
    zv_envelope_parts parts;
    zv_envelope_layout(raw.data(), 0, &parts);
    EXPECT_EQ(zv_envelope_parse(raw.data(), raw.size(), &parts), 1);
    EXPECT_EQ(parts.dataLength, 0u);
    EXPECT_EQ(zv_envelope_parse(raw.data(), raw.size() - 1, &parts), 0);
    EXPECT_EQ(parts.nonce, nullptr);
    raw[0] = ZV_ENVELOPE_VERSION + 1;
    EXPECT_EQ(zv_envelope_parse(raw.data(), raw.size(), &parts), 0);
    EXPECT_EQ(zv_envelope_parse(nullptr, 40, &parts), 0);
}

}  // namespace
