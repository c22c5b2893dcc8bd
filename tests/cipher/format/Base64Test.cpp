// The cipher text travels as base64: encoding must be standard, and decoding
// must refuse anything but the one canonical form so that no changed
// character can slip through to the same bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Base64.h"

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

TEST(Base64, EncodesTheRfc4648Vectors)
{
    EXPECT_EQ(Encode(""), "");
    EXPECT_EQ(Encode("f"), "Zg==");
    EXPECT_EQ(Encode("fo"), "Zm8=");
    EXPECT_EQ(Encode("foo"), "Zm9v");
    EXPECT_EQ(Encode("foob"), "Zm9vYg==");
    EXPECT_EQ(Encode("fooba"), "Zm9vYmE=");
    EXPECT_EQ(Encode("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Encode(std::string("\xfb\xff\xbf", 3)), "+/+/");
}

TEST(Base64, DecodesTheRfc4648Vectors)
{
    EXPECT_EQ(Decode(""), "");
    EXPECT_EQ(Decode("Zg=="), "f");
    EXPECT_EQ(Decode("Zm8="), "fo");
    EXPECT_EQ(Decode("Zm9vYmFy"), "foobar");
    EXPECT_EQ(Decode("+/+/"), std::string("\xfb\xff\xbf", 3));
}

TEST(Base64, RoundTripsEveryByteValueAtEveryLength)
{
    std::string bytes;
    for (int i = 0; i < 300; ++i) {
        const std::string text = Encode(bytes);
        ASSERT_EQ(text.size(), zv_base64_encoded_length(bytes.size()));
        ASSERT_EQ(text.find('\0'), std::string::npos);
        ASSERT_EQ(Decode(text), bytes) << "length " << bytes.size();
        bytes.push_back(static_cast<char>((i * 151 + 7) & 0xFF));
    }
}

TEST(Base64, RefusesNonCanonicalText)
{
    EXPECT_EQ(Decode("Zh=="), "<invalid>");     // unused bits of 'f' set
    EXPECT_EQ(Decode("Zm9="), "<invalid>");     // unused bits of "fo" set
    EXPECT_EQ(Decode("Zg="), "<invalid>");      // length not a multiple of 4
    EXPECT_EQ(Decode("Zg"), "<invalid>");
    EXPECT_EQ(Decode("Z==="), "<invalid>");
    EXPECT_EQ(Decode("Zg=a"), "<invalid>");     // data after padding
    EXPECT_EQ(Decode("Zg==Zm9v"), "<invalid>"); // padding before the end
    EXPECT_EQ(Decode("Zm9v\nYmFy"), "<invalid>");
    EXPECT_EQ(Decode("Zm9 YmFy"), "<invalid>");
    EXPECT_EQ(Decode("Zm9-YmFy"), "<invalid>"); // URL-safe alphabet is not ours
    EXPECT_EQ(Decode(std::string("Zm9\0YmFy", 8)), "<invalid>");
    EXPECT_EQ(Decode("Zm9\xA4YmFy"), "<invalid>");
}

TEST(Base64, EveryChangedCharacterChangesOrRefusesTheText)
{
    const std::string original = "Sonvera \x82\xa0 pass";
    const std::string text = Encode(original);
    const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
    for (size_t i = 0; i < text.size(); ++i) {
        for (char c : alphabet) {
            if (c == text[i]) continue;
            std::string changed = text;
            changed[i] = c;
            EXPECT_NE(Decode(changed), original) << "position " << i << " char " << c;
        }
    }
}

TEST(Base64, RespectsTheOutputCapacity)
{
    char out[8];
    const uint8_t six[6] = {'f', 'o', 'o', 'b', 'a', 'r'};
    EXPECT_EQ(zv_base64_encode(six, 6, out, 8), 0u);   // needs 9 with the terminator
    EXPECT_STREQ(out, "");
    char exact[9];
    EXPECT_EQ(zv_base64_encode(six, 6, exact, 9), 8u);
    EXPECT_STREQ(exact, "Zm9vYmFy");

    uint8_t small[5];
    size_t length = 7;
    EXPECT_EQ(zv_base64_decode("Zm9vYmFy", 8, small, sizeof small, &length), 0);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(zv_base64_decode("Zm9vYmE=", 8, small, sizeof small, &length), 1);
    EXPECT_EQ(length, 5u);
}

TEST(Base64, NullArgumentsAreRefusedNotFollowed)
{
    char out[4] = "xyz";
    EXPECT_EQ(zv_base64_encode(nullptr, 3, out, sizeof out), 0u);
    EXPECT_EQ(zv_base64_encode(nullptr, 0, nullptr, 0), 0u);
    size_t length = 5;
    EXPECT_EQ(zv_base64_decode(nullptr, 4, nullptr, 0, &length), 0);
    EXPECT_EQ(zv_base64_decode("Zg==", 4, nullptr, 0, nullptr), 0);
}

}  // namespace
