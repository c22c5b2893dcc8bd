// The cipher text travels as base64: standard encoding, and decoding that refuses
// all but the one canonical form, so that no changed character gives the same bytes.
// The envelope's edges no cipher text reaches (its sizes and layout are held by
// the string cipher's tests): short or foreign envelopes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Base64.h"
#include "Envelope.h"

namespace {

std::string Encode(const std::string& bytes)
{
    std::vector<char> out(zv_base64_encoded_length(bytes.size()) + 1);
    const size_t n = zv_base64_encode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                      out.data(), out.size());
    return std::string(out.data(), n);
}

// Decoded bytes, or "<invalid>" when the decoder refuses the text.
std::string Decode(const std::string& text)
{
    std::vector<uint8_t> out(zv_base64_decoded_capacity(text.size()) + 1);
    size_t length = 99;
    if (!zv_base64_decode(text.data(), text.size(), out.data(), out.size(), &length))
        return length == 0 ? "<invalid>" : "<invalid, length not cleared>";
    return std::string(reinterpret_cast<const char*>(out.data()), length);
}

TEST(Base64, EncodesStandardlyAndDecodesOnlyTheCanonicalFormWithinCapacity)
{
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {std::string("\xfb\xff\xbf", 3), "+/+/"}};
    for (const auto& v : vectors) {
        EXPECT_EQ(Encode(v.first), v.second);
        EXPECT_EQ(Decode(v.second), v.first);
    }

    const std::string refused[] = {
        "Zh==", "Zm9=",               // unused bits of the last group set
        "Zg=", "Z===",                // length not a multiple of 4, padding too long
        "Zg=a", "Zg==Zm9v",           // data after padding, padding before the end
        "Zm9v\nYmFy", "Zm9 YmFy", "Zm9-YmFy", std::string("Zm9\0YmFy", 8), "Zm9\xA4YmFy"};
    for (const std::string& text : refused) EXPECT_EQ(Decode(text), "<invalid>") << text;

    // The vectors above encode into exactly the capacity; one byte less is refused.
    const uint8_t six[6] = {'f', 'o', 'o', 'b', 'a', 'r'};
    char out[8];
    EXPECT_EQ(zv_base64_encode(six, 6, out, sizeof out), 0u);
    uint8_t small[5];
    size_t length = 7;
    EXPECT_EQ(zv_base64_decode("Zm9vYmFy", 8, small, sizeof small, &length), 0);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(zv_base64_decode("Zm9vYmE=", 8, small, sizeof small, &length), 1);
    EXPECT_EQ(length, 5u);
}

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
