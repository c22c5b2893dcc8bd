// AES-256-GCM as the library calls it must give the published answers: a
// wrong nonce or tag length, or associated data left out on both sides,
// would still round-trip and go unnoticed. (PBKDF2 is checked where the
// library uses it, with the key cache's fixed answer.)
#include <gtest/gtest.h>

#include <string>

#include "Primitives.h"
#include "tests/support/Bytes.h"

namespace {

using sonvera_test::FromHex;

struct GcmCase {
    const char *name, *key, *nonce, *plain, *aad, *cipher, *tag;
};

// Test cases 13 and 16 of McGrew and Viega's published GCM test vectors (AES-256).
const GcmCase kGcmCases[] = {
    {"13", "0000000000000000000000000000000000000000000000000000000000000000",
     "000000000000000000000000", "", "", "", "530f8afbc74536b9a963b4f1c4cb738b"},
    {"16", "feffe9928665731c6d6a8f9467308308feffe9928665731c6d6a8f9467308308",
     "cafebabefacedbaddecaf888",
     "d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a72"
     "1c3c0c95956809532fcf0e2449a6b525b16aedf5aa0de657ba637b39",
     "feedfacedeadbeeffeedfacedeadbeefabaddad2",
     "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa"
     "8cb08e48590dbb3da7b08b1056828838c5f61e6393ba7a0abcc9f662",
     "76fc6ece0f4e1768cddf8853bb2d551b"},
};

const uint8_t* In(const std::string& bytes)
{
    return reinterpret_cast<const uint8_t*>(bytes.data());
}

uint8_t* Out(std::string& bytes)
{
    return reinterpret_cast<uint8_t*>(&bytes[0]);
}

std::string Changed(std::string bytes)
{
    bytes[bytes.size() / 2] ^= 0x01;
    return bytes;
}

TEST(AesGcm, SealsAndOpensThePublishedVectorsAndRefusesAnyChange)
{
    for (const GcmCase& c : kGcmCases) {
        SCOPED_TRACE(std::string("test case ") + c.name);
        const std::string nonce = FromHex(c.nonce), plain = FromHex(c.plain), aad = FromHex(c.aad),
                          cipher = FromHex(c.cipher), tag = FromHex(c.tag);
        const zv_aes_key key = zv_aes_key_create(In(FromHex(c.key)));
        ASSERT_NE(key, nullptr);
        std::string sealed(plain.size() + 1, '\0'), sealedTag(16, '\0');
        ASSERT_EQ(zv_aes_gcm_seal(key, In(nonce), In(aad), aad.size(), In(plain), plain.size(),
                                  Out(sealed), Out(sealedTag)), 1);
        EXPECT_EQ(sealed.substr(0, plain.size()) + sealedTag, cipher + tag);

        // The plain text, or "<refused>".
        auto open = [&](const std::string& data, const std::string& withTag,
                        const std::string& withAad) {
            std::string opened(data.size() + 1, '\0');
            if (!zv_aes_gcm_open(key, In(nonce), In(withAad), withAad.size(), In(data), data.size(),
                                 In(withTag), Out(opened)))
                return std::string("<refused>");
            return opened.substr(0, data.size());
        };
        EXPECT_EQ(open(cipher, tag, aad), plain);
        EXPECT_EQ(open(cipher, Changed(tag), aad), "<refused>");
        EXPECT_EQ(open(cipher, tag, aad + '\0'), "<refused>");
        if (!cipher.empty()) {
            EXPECT_EQ(open(Changed(cipher), tag, aad), "<refused>");
        }
        zv_aes_key_destroy(key);
    }
}

} // namespace
