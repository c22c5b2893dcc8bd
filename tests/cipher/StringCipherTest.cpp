// EncryptStr and DecryptStr as the rest of the system relies on them: exact
// round trips of any Shift-JIS text, cipher texts without zero bytes that fit
// the voice dictionary's fixed areas, and nothing at all for a changed text or
// a wrong key.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "Base64.h"
#include "Envelope.h"
#include "ZivazoDi.h"

namespace {

const char kKey[] = "RGgSDFDJG2p0GNC8KJ0ZWUsmj0EuxBHPvGX+ioOoNeE/kz1OCZ98blzzD+L0B2N5";
const char kNull[] = "<null>";

// The library's result as a string, freed through the library; "<null>" for NULL.
std::string Take(char* result)
{
    if (result == nullptr) return kNull;
    std::string copy(result);
    DeleteStringMemory(result);
    return copy;
}

std::string Encrypt(const std::string& text, const char* key = kKey)
{
    return Take(EncryptStr(text.c_str(), key));
}

std::string Decrypt(const std::string& cipher, const char* key = kKey)
{
    return Take(DecryptStr(cipher.c_str(), key));
}

std::vector<uint8_t> Unbase64(const std::string& text)
{
    std::vector<uint8_t> raw(zv_base64_decoded_capacity(text.size()));
    size_t length = 0;
    EXPECT_EQ(zv_base64_decode(text.data(), text.size(), raw.data(), raw.size(), &length), 1);
    raw.resize(length);
    return raw;
}

std::string Base64(const std::vector<uint8_t>& raw)
{
    std::vector<char> text(zv_base64_encoded_length(raw.size()) + 1);
    const size_t n = zv_base64_encode(raw.data(), raw.size(), text.data(), text.size());
    return std::string(text.data(), n);
}

// Texts of the kind the system stores: Shift-JIS, every byte value 1 to 255.
std::vector<std::string> ShiftJisTexts()
{
    std::string everyByte;
    for (int b = 1; b < 256; ++b) everyByte.push_back(static_cast<char>(b));
    std::string everyByteBackwards(everyByte.rbegin(), everyByte.rend());
    std::string leadTrailPairs;  // every lead byte with low and high trail bytes
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead <= 0xDF) continue;
        leadTrailPairs += {static_cast<char>(lead), '\x40', static_cast<char>(lead), '\xFC'};
    }
    return {"\x93\x6F\x98\x5E",                      // 登録
            "user01;\x83\x65\x83\x58\x83\x67;pw;1",  // a record with テスト
            everyByte, everyByteBackwards, leadTrailPairs, std::string(1003, '\x5C')};
}

TEST(StringRoundTrip, GivesBackEveryShiftJisTextExactly)
{
    for (const std::string& text : ShiftJisTexts()) {
        const std::string cipher = Encrypt(text);
        ASSERT_NE(cipher, kNull);
        EXPECT_EQ(Decrypt(cipher), text) << "length " << text.size();
    }
}

TEST(StringRoundTrip, WorksForEveryLengthUpToTwoHundred)
{
    std::string text;
    for (int n = 0; n <= 200; ++n) {
        ASSERT_EQ(Decrypt(Encrypt(text)), text) << n;
        text.push_back(static_cast<char>(0x81 + n % 100));
    }
}

TEST(StringRoundTrip, GivesBackAnEmptyText)
{
    const std::string cipher = Encrypt("");
    ASSERT_NE(cipher, kNull);
    EXPECT_EQ(cipher.size(), 40u);
    EXPECT_EQ(Decrypt(cipher), "");
}

TEST(StringRoundTrip, AcceptsTheLongPassPhraseAndShortSeedsAsKeys)
{
    const std::string passPhrase(1003, 'Q');
    const std::string seed = "QZKA250101120000";
    const std::string cipher = Encrypt(passPhrase, seed.c_str());  // how a bypass key is made
    EXPECT_EQ(Decrypt(cipher, seed.c_str()), passPhrase);
    EXPECT_EQ(Decrypt(Encrypt("x", passPhrase.c_str()), passPhrase.c_str()), "x");
    EXPECT_EQ(Decrypt(Encrypt("x", ""), ""), "x");
}

TEST(StringCipherText, DiffersOnEveryCallForTheSameText)
{
    const std::string a = Encrypt("same"), b = Encrypt("same");
    EXPECT_NE(a, b);
    EXPECT_EQ(a.size(), b.size());
}

TEST(StringCipherText, NeverRepeatsANonceOver100000Encryptions)
{
    std::unordered_set<std::string> nonces;
    nonces.reserve(100000);
    for (int i = 0; i < 100000; ++i) {
        const std::vector<uint8_t> raw = Unbase64(Encrypt("n"));
        ASSERT_EQ(raw.size(), zv_envelope_size(1));
        nonces.insert(std::string(raw.begin() + 1, raw.begin() + 1 + ZV_NONCE_BYTES));
    }
    EXPECT_EQ(nonces.size(), 100000u);
}

TEST(StringCipherText, HoldsOnlyBase64CharactersAndNoZeroByte)
{
    const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
    for (const std::string& text : ShiftJisTexts()) {
        char* cipher = EncryptStr(text.c_str(), kKey);
        ASSERT_NE(cipher, nullptr);
        const size_t length = std::strlen(cipher);
        // The zero that ends the text is the first one: the full length is there.
        EXPECT_EQ(length, zv_envelope_text_length(text.size()));
        EXPECT_EQ(std::string(cipher).find_first_not_of(alphabet), std::string::npos);
        DeleteStringMemory(cipher);
    }
}

TEST(StringCipherText, FitsTheVoiceDictionaryAreas)
{
    std::string id;
    for (int n = 0; n <= 64; ++n) {
        EXPECT_LE(Encrypt(id).size(), 176u) << "user ID of " << n << " bytes";
        id.push_back(static_cast<char>(0x82));
    }
    const std::string certiKey = "00-1A-2B-3C-" + std::string(64, '\x88');  // 12 + 64 bytes
    EXPECT_LE(Encrypt(certiKey).size(), 240u);
    EXPECT_EQ(Decrypt(Encrypt(certiKey)), certiKey);
}

TEST(StringCipherText, HasTheSameLengthForTextsOfTheSameLength)
{
    EXPECT_EQ(Encrypt("000111").size(), Encrypt("101010").size());
    EXPECT_NE(Encrypt("000111").size(), Encrypt(std::string(9, '0')).size());
}

class StringTamper : public ::testing::Test {
protected:
    void SetUp() override
    {
        cipher_ = Encrypt(text_);
        ASSERT_EQ(Decrypt(cipher_), text_);
    }
    const std::string text_ = "user01;\x83\x65\x83\x58\x83\x67;pw";
    std::string cipher_;
};

TEST_F(StringTamper, AnyChangedBitOfVersionNonceDataOrTagGivesNothing)
{
    const std::vector<uint8_t> raw = Unbase64(cipher_);
    for (size_t i = 0; i < raw.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            std::vector<uint8_t> changed = raw;
            changed[i] ^= static_cast<uint8_t>(1 << bit);
            ASSERT_EQ(Decrypt(Base64(changed)), kNull) << "byte " << i << " bit " << bit;
        }
    }
}

TEST_F(StringTamper, AnyChangedBase64CharacterGivesNothing)
{
    const std::string alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=-_ .\x82";
    for (size_t i = 0; i < cipher_.size(); ++i) {
        for (char c : alphabet) {
            if (c == cipher_[i]) continue;
            std::string changed = cipher_;
            changed[i] = c;
            ASSERT_EQ(Decrypt(changed), kNull) << "position " << i << " char " << c;
        }
    }
}

TEST_F(StringTamper, ACutOrLengthenedTextGivesNothing)
{
    EXPECT_EQ(Decrypt(cipher_.substr(0, cipher_.size() - 4)), kNull);
    EXPECT_EQ(Decrypt(cipher_.substr(0, cipher_.size() - 1)), kNull);
    EXPECT_EQ(Decrypt(cipher_ + "AAAA"), kNull);
    EXPECT_EQ(Decrypt(cipher_ + "\n"), kNull);
    EXPECT_EQ(Decrypt(cipher_.substr(4)), kNull);
}

TEST_F(StringTamper, AnEmptyTextsChangedTagGivesNothing)
{
    std::vector<uint8_t> raw = Unbase64(Encrypt(""));
    raw.back() ^= 0x01;
    EXPECT_EQ(Decrypt(Base64(raw)), kNull);
}

TEST_F(StringTamper, AWrongKeyGivesNothing)
{
    EXPECT_EQ(Decrypt(cipher_, "RGgSDFDJG2p0GNC8KJ0ZWUsmj0EuxBHPvGX+ioOoNeE/kz1OCZ98blzzD+L0B2N6"), kNull);
    EXPECT_EQ(Decrypt(cipher_, ""), kNull);
    EXPECT_EQ(Decrypt(cipher_, std::string(kKey).substr(1).c_str()), kNull);
}

TEST(StringBadInput, NullArgumentsGiveNullWithoutACrash)
{
    EXPECT_EQ(EncryptStr(nullptr, kKey), nullptr);
    EXPECT_EQ(EncryptStr("text", nullptr), nullptr);
    EXPECT_EQ(DecryptStr(nullptr, kKey), nullptr);
    EXPECT_EQ(DecryptStr(Encrypt("text").c_str(), nullptr), nullptr);
    DeleteStringMemory(nullptr);
}

TEST(StringBadInput, TextsThatAreNoCipherTextGiveNothing)
{
    EXPECT_EQ(Decrypt(""), kNull);
    EXPECT_EQ(Decrypt("plain words, not base64"), kNull);
    EXPECT_EQ(Decrypt("QUJD"), kNull);                       // base64, far too short
    EXPECT_EQ(Decrypt(std::string(40, 'A')), kNull);         // right size, version 0
    EXPECT_EQ(Decrypt("\x93\x6F\x98\x5E\x93\x6F\x98\x5E"), kNull);
}

}  // namespace
