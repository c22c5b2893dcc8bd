// The key cache must derive each key text once, tell apart texts that differ
// anywhere (including after a zero-free prefix match), and survive eviction.
#include <gtest/gtest.h>

#include <string>

#include "KeyCache.h"
#include "StringCipher.h"

namespace {

class KeyCache : public ::testing::Test {
protected:
    void SetUp() override { zv_key_cache_clear(); }
    void TearDown() override { zv_key_cache_clear(); }

    static unsigned long Derivations() { return zv_key_cache_derivations(); }
};

TEST_F(KeyCache, DerivesAKeyTextOnlyOnce)
{
    const unsigned long before = Derivations();
    for (int i = 0; i < 50; ++i) {
        char* cipher = zv_encrypt_string("text", "one key");
        ASSERT_NE(cipher, nullptr);
        char* plain = zv_decrypt_string(cipher, "one key");
        ASSERT_NE(plain, nullptr);
        EXPECT_STREQ(plain, "text");
        zv_free_string(plain);
        zv_free_string(cipher);
    }
    EXPECT_EQ(Derivations() - before, 1u);
}

TEST_F(KeyCache, KeepsTextsThatShareAPrefixApart)
{
    char* cipher = zv_encrypt_string("secret", "key");
    ASSERT_NE(cipher, nullptr);
    char* longer = zv_decrypt_string(cipher, "key2");
    char* shorter = zv_decrypt_string(cipher, "ke");
    EXPECT_EQ(longer, nullptr);
    EXPECT_EQ(shorter, nullptr);
    char* right = zv_decrypt_string(cipher, "key");
    ASSERT_NE(right, nullptr);
    EXPECT_STREQ(right, "secret");
    zv_free_string(right);
    zv_free_string(cipher);
}

TEST_F(KeyCache, EvictsTheLeastRecentlyUsedKeyAndStillDecryptsAfterwards)
{
    char* cipher = zv_encrypt_string("kept", "first key");
    ASSERT_NE(cipher, nullptr);
    const unsigned long before = Derivations();
    for (int i = 0; i < ZV_KEY_CACHE_ENTRIES; ++i) {
        const std::string key = "other key " + std::to_string(i);
        zv_free_string(zv_encrypt_string("x", key.c_str()));
    }
    EXPECT_EQ(Derivations() - before, static_cast<unsigned long>(ZV_KEY_CACHE_ENTRIES));
    char* plain = zv_decrypt_string(cipher, "first key");  // evicted: derived again
    ASSERT_NE(plain, nullptr);
    EXPECT_STREQ(plain, "kept");
    EXPECT_EQ(Derivations() - before, static_cast<unsigned long>(ZV_KEY_CACHE_ENTRIES) + 1);
    zv_free_string(plain);
    zv_free_string(cipher);
}

TEST_F(KeyCache, GivesTheSameRawKeyAsADerivation)
{
    uint8_t cached[ZV_AES_KEY_BYTES], derived[ZV_AES_KEY_BYTES];
    ASSERT_EQ(zv_key_cache_copy("raw key", 7, cached), 1);
    ASSERT_EQ(zv_derive_key("raw key", 7, derived), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(cached), sizeof cached),
              std::string(reinterpret_cast<char*>(derived), sizeof derived));
    EXPECT_EQ(zv_key_cache_copy(nullptr, 0, cached), 0);
}

}  // namespace
