// The platform primitives as the library calls them must give the published
// answers: a wrong mode, tag length or iteration handling would otherwise
// still round-trip and go unnoticed.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "KeyCache.h"
#include "Primitives.h"
#include "TestHex.h"

namespace {

std::string Pbkdf2Hex(const std::string& password, const std::string& salt, uint64_t iterations,
                      size_t length)
{
    std::vector<uint8_t> out(length);
    if (!zv_pbkdf2_sha256(reinterpret_cast<const uint8_t*>(password.data()), password.size(),
                          reinterpret_cast<const uint8_t*>(salt.data()), salt.size(), iterations,
                          out.data(), out.size()))
        return "<failed>";
    return ToHex(out);
}

TEST(Pbkdf2Sha256, GivesTheRfc7914VectorAtOneIteration)
{
    EXPECT_EQ(Pbkdf2Hex("passwd", "salt", 1, 64),
              "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
              "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
}

TEST(Pbkdf2Sha256, GivesTheRfc7914VectorAt80000Iterations)
{
    EXPECT_EQ(Pbkdf2Hex("Password", "NaCl", 80000, 64),
              "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
              "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d");
}

TEST(Pbkdf2Sha256, RefusesZeroIterationsAndAcceptsAnEmptyPassword)
{
    EXPECT_EQ(Pbkdf2Hex("passwd", "salt", 0, 32), "<failed>");
    const std::string empty = Pbkdf2Hex("", "salt", 2, 32);
    EXPECT_NE(empty, "<failed>");
    EXPECT_NE(empty, Pbkdf2Hex("x", "salt", 2, 32));
}

TEST(KeyDerivation, IsPbkdf2OfTheKeyTextAndDependsOnEveryByte)
{
    uint8_t a[ZV_AES_KEY_BYTES], b[ZV_AES_KEY_BYTES], again[ZV_AES_KEY_BYTES];
    ASSERT_EQ(zv_derive_key("pass phrase", 11, a), 1);
    ASSERT_EQ(zv_derive_key("pass phrase", 11, again), 1);
    ASSERT_EQ(zv_derive_key("pass phrasf", 11, b), 1);
    EXPECT_EQ(ToHex(a, sizeof a), ToHex(again, sizeof again));
    EXPECT_NE(ToHex(a, sizeof a), ToHex(b, sizeof b));
    // Not a bare hash or a single iteration without the product salt.
    EXPECT_NE(ToHex(a, sizeof a), Pbkdf2Hex("pass phrase", "", 1, 32));
}

struct GcmCase {
    const char* name;
    const char* key;
    const char* nonce;
    const char* plain;
    const char* aad;
    const char* cipher;
    const char* tag;
};

// Test cases 13 to 16 of McGrew and Viega's published GCM test vectors (AES-256).
const GcmCase kGcmCases[] = {
    {"13", "0000000000000000000000000000000000000000000000000000000000000000",
     "000000000000000000000000", "", "", "", "530f8afbc74536b9a963b4f1c4cb738b"},
    {"14", "0000000000000000000000000000000000000000000000000000000000000000",
     "000000000000000000000000", "00000000000000000000000000000000", "",
     "cea7403d4d606b6e074ec5d3baf39d18", "d0d1c8a799996bf0265b98b5d48ab919"},
    {"15", "feffe9928665731c6d6a8f9467308308feffe9928665731c6d6a8f9467308308",
     "cafebabefacedbaddecaf888",
     "d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a72"
     "1c3c0c95956809532fcf0e2449a6b525b16aedf5aa0de657ba637b391aafd255",
     "",
     "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa"
     "8cb08e48590dbb3da7b08b1056828838c5f61e6393ba7a0abcc9f662898015ad",
     "b094dac5d93471bdec1a502270e3cc6c"},
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
        const GcmCase& c = GetParam();
        key_ = zv_aes_key_create(FromHex(c.key).data());
        ASSERT_NE(key_, nullptr);
        nonce_ = FromHex(c.nonce);
        plain_ = FromHex(c.plain);
        aad_ = FromHex(c.aad);
        cipher_ = FromHex(c.cipher);
        tag_ = FromHex(c.tag);
    }
    void TearDown() override { zv_aes_key_destroy(key_); }

    // Opens cipher_ with the given tag; returns the plain text or "<refused>".
    std::string Open(const std::vector<uint8_t>& cipher, const std::vector<uint8_t>& tag,
                     const std::vector<uint8_t>& aad)
    {
        std::vector<uint8_t> plain(cipher.size() + 1);
        if (!zv_aes_gcm_open(key_, nonce_.data(), aad.data(), aad.size(), cipher.data(),
                             cipher.size(), tag.data(), plain.data()))
            return "<refused>";
        return ToHex(plain.data(), cipher.size());
    }

    zv_aes_key key_ = nullptr;
    std::vector<uint8_t> nonce_, plain_, aad_, cipher_, tag_;
};

TEST_P(AesGcm, SealsToThePublishedCipherTextAndTag)
{
    std::vector<uint8_t> cipher(plain_.size() + 1), tag(16);
    ASSERT_EQ(zv_aes_gcm_seal(key_, nonce_.data(), aad_.data(), aad_.size(), plain_.data(),
                              plain_.size(), cipher.data(), tag.data()),
              1);
    EXPECT_EQ(ToHex(cipher.data(), plain_.size()), GetParam().cipher);
    EXPECT_EQ(ToHex(tag), GetParam().tag);
}

TEST_P(AesGcm, OpensThePublishedCipherText)
{
    EXPECT_EQ(Open(cipher_, tag_, aad_), GetParam().plain);
}

TEST_P(AesGcm, RefusesAChangedTagTextOrAssociatedData)
{
    std::vector<uint8_t> tag = tag_;
    tag[15] ^= 0x01;
    EXPECT_EQ(Open(cipher_, tag, aad_), "<refused>");
    if (!cipher_.empty()) {
        std::vector<uint8_t> cipher = cipher_;
        cipher[cipher.size() / 2] ^= 0x80;
        EXPECT_EQ(Open(cipher, tag_, aad_), "<refused>");
    }
    std::vector<uint8_t> aad = aad_;
    aad.push_back(0);
    EXPECT_EQ(Open(cipher_, tag_, aad), "<refused>");
}

INSTANTIATE_TEST_SUITE_P(GcmPublishedVectors, AesGcm, ::testing::ValuesIn(kGcmCases),
                         [](const ::testing::TestParamInfo<GcmCase>& info) {
                             return std::string("TestCase") + info.param.name;
                         });

TEST(Sha256, GivesTheFips180Answers)
{
    uint8_t digest[ZV_SHA256_BYTES];
    ASSERT_EQ(zv_sha256(reinterpret_cast<const uint8_t*>("abc"), 3, digest), 1);
    EXPECT_EQ(ToHex(digest, sizeof digest),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    ASSERT_EQ(zv_sha256(nullptr, 0, digest), 1);
    EXPECT_EQ(ToHex(digest, sizeof digest),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(Random, FillsTheBufferDifferentlyEachTime)
{
    uint8_t a[32] = {}, b[32] = {};
    ASSERT_EQ(zv_random(a, sizeof a), 1);
    ASSERT_EQ(zv_random(b, sizeof b), 1);
    EXPECT_NE(std::memcmp(a, b, sizeof a), 0);
    EXPECT_NE(ToHex(a, sizeof a), std::string(64, '0'));
}

}  // namespace
