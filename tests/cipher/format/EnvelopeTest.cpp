// The string envelope: its size decides whether cipher texts fit the fixed
// areas of the voice dictionary, its layout is what stored texts hold.
#include <gtest/gtest.h>

#include <vector>

#include "Envelope.h"

namespace {

TEST(Envelope, GrowsByAFixedOverheadThenBase64)
{
    const struct { size_t text, raw, base64; } sizes[] = {
        {0, 29, 40}, {1, 30, 40}, {2, 31, 44}, {64, 93, 124}, {76, 105, 140}};
    for (const auto& s : sizes) {
        EXPECT_EQ(zv_envelope_size(s.text), s.raw) << s.text;
        EXPECT_EQ(zv_envelope_text_length(s.text), s.base64) << s.text;
    }
    EXPECT_EQ(zv_envelope_size(static_cast<size_t>(-1)), 0u);
    EXPECT_EQ(zv_envelope_text_length(static_cast<size_t>(-1) - 10), 0u);
}

TEST(Envelope, UserIdsAndCertiKeysFitTheVoiceDictionaryAreas)
{
    for (size_t n = 0; n <= 64; ++n) EXPECT_LE(zv_envelope_text_length(n), 176u) << n;
    for (size_t n = 0; n <= 12 + 64; ++n) EXPECT_LE(zv_envelope_text_length(n), 240u) << n;
}

TEST(Envelope, PlacesVersionNonceDataAndTagAndFindsThemAgain)
{
    std::vector<uint8_t> raw(zv_envelope_size(5), 0xEE);
    zv_envelope_parts parts;
    zv_envelope_layout(raw.data(), 5, &parts);
    EXPECT_EQ(raw[0], ZV_ENVELOPE_VERSION);
    ASSERT_EQ(zv_envelope_parse(raw.data(), raw.size(), &parts), 1);
    EXPECT_EQ(parts.associated, raw.data());
    EXPECT_EQ(parts.associatedLength, 1u);
    EXPECT_EQ(parts.nonce, raw.data() + 1);
    EXPECT_EQ(parts.data, raw.data() + 13);
    EXPECT_EQ(parts.dataLength, 5u);
    EXPECT_EQ(parts.tag, raw.data() + 18);
}

TEST(Envelope, RefusesShortOrForeignEnvelopes)
{
    std::vector<uint8_t> raw(zv_envelope_size(0));
    zv_envelope_parts parts;
    zv_envelope_layout(raw.data(), 0, &parts);
    EXPECT_EQ(zv_envelope_parse(raw.data(), raw.size() - 1, &parts), 0);
    EXPECT_EQ(parts.nonce, nullptr);
    raw[0] = ZV_ENVELOPE_VERSION + 1;
    EXPECT_EQ(zv_envelope_parse(raw.data(), raw.size(), &parts), 0);
    EXPECT_EQ(zv_envelope_parse(nullptr, 40, &parts), 0);
}

} // namespace
