// The platform primitives as the library calls them must give the published
// answers: a wrong mode, nonce or tag length, associated data or iteration
// handling would otherwise still round-trip and go unnoticed.
#include <gtest/gtest.h>

#include <string>

#include "Primitives.h"
#include "TestBytes.h"

namespace {

const uint8_t* Bytes(const std::string& s)
{
    return reinterpret_cast<const uint8_t*>(s.data());
}

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

class AesGcm : public ::testing::TestWithParam<GcmCase> {
protected:
    void SetUp() override
    {
        key_ = zv_aes_key_create(Bytes(FromHex(GetParam().key)));
        ASSERT_NE(key_, nullptr);
    }
    void TearDown() override { zv_aes_key_destroy(key_); }

    // The plain text as hex, or "<refused>".
    std::string Open(const std::string& cipher, const std::string& tag, const std::string& aad)
    {
        std::string plain(cipher.size() + 1, '\0');
        if (!zv_aes_gcm_open(key_, Bytes(nonce_), Bytes(aad), aad.size(), Bytes(cipher),
                             cipher.size(), Bytes(tag), reinterpret_cast<uint8_t*>(&plain[0])))
            return "<refused>";
        return ToHex(plain.data(), cipher.size());
    }

    zv_aes_key key_ = nullptr;
    const std::string nonce_ = FromHex(GetParam().nonce), plain_ = FromHex(GetParam().plain),
                      aad_ = FromHex(GetParam().aad), cipher_ = FromHex(GetParam().cipher),
                      tag_ = FromHex(GetParam().tag);
};

TEST_P(AesGcm, SealsAndOpensThePublishedVectorAndRefusesAnyChange)
{
    std::string cipher(plain_.size() + 1, '\0'), tag(16, '\0');
    ASSERT_EQ(zv_aes_gcm_seal(key_, Bytes(nonce_), Bytes(aad_), aad_.size(), Bytes(plain_),
                              plain_.size(), reinterpret_cast<uint8_t*>(&cipher[0]),
                              reinterpret_cast<uint8_t*>(&tag[0])),
              1);
    EXPECT_EQ(ToHex(cipher.data(), plain_.size()), GetParam().cipher);
    EXPECT_EQ(ToHex(tag.data(), tag.size()), GetParam().tag);

    EXPECT_EQ(Open(cipher_, tag_, aad_), GetParam().plain);
    std::string changed = tag_;
    changed[15] ^= 0x01;
    EXPECT_EQ(Open(cipher_, changed, aad_), "<refused>");
    EXPECT_EQ(Open(cipher_, tag_, aad_ + '\0'), "<refused>");
    if (!cipher_.empty()) {
        changed = cipher_;
        changed[cipher_.size() / 2] ^= 0x80;
        EXPECT_EQ(Open(changed, tag_, aad_), "<refused>");
    }
}

INSTANTIATE_TEST_SUITE_P(GcmPublishedVectors, AesGcm, ::testing::ValuesIn(kGcmCases),
                         [](const ::testing::TestParamInfo<GcmCase>& info) {
                             return std::string("TestCase") + info.param.name;
                         });

TEST(Pbkdf2Sha256, GivesTheRfc7914VectorsAndRefusesZeroIterations)
{
    const struct { const char *password, *salt; uint64_t iterations; const char* key; } cases[] = {
        {"passwd", "salt", 1,
         "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
         "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
        {"Password", "NaCl", 80000,
         "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
         "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"},
        {"passwd", "salt", 0, "<failed>"}};
    for (const auto& c : cases) {
        const std::string password = c.password, salt = c.salt;
        uint8_t key[64];
        const bool ok = zv_pbkdf2_sha256(Bytes(password), password.size(), Bytes(salt),
                                         salt.size(), c.iterations, key, sizeof key) == 1;
        EXPECT_EQ(ok ? ToHex(key, sizeof key) : "<failed>", c.key) << c.iterations;
    }
}

} // namespace
