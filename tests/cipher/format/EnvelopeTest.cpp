// The envelope's edges no cipher text reaches (its sizes and layout are held by
// the string cipher's tests): short or foreign envelopes.
#include <gtest/gtest.h>

#include <vector>

#include "Envelope.h"

namespace {

TEST(Envelope, RefusesShortOrForeignEnvelopes)
{
    std::vector<uint8_t> raw(zv_envelope_size(0));
    zv_envelope_parts parts;
    zv_envelope_layout(raw.data(), 0, &parts);
    ASSERT_EQ(zv_envelope_parse(raw.data(), raw.size(), &parts), 1);
    EXPECT_EQ(zv_envelope_parse(raw.data(), raw.size() - 1, &parts), 0);
    EXPECT_EQ(parts.nonce, nullptr);
    raw[0] = ZV_ENVELOPE_VERSION + 1;
    EXPECT_EQ(zv_envelope_parse(raw.data(), raw.size(), &parts), 0);
}

} // namespace
