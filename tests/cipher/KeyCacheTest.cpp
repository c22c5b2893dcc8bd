// The key cache derives each key text once and keeps texts that differ
// anywhere apart, also after an eviction.
#include <gtest/gtest.h>

#include <string>

#include "KeyCache.h"
#include "tests/support/Bytes.h"

namespace {

using namespace sonvera_test;

// PBKDF2-HMAC-SHA256 of "pass phrase" with the product salt and 10000
// iterations, worked out apart from this library.
const std::string kPassPhraseKey =
    FromHex("f2dd25786978cb2e4d10c9ac2c6087b41ba370fe91c4d93a9a82381e56bb4a98");

std::string CachedKey(const std::string& text)
{
    std::string key(ZV_AES_KEY_BYTES, '\0');
    if (!zv_key_cache_copy(text.data(), text.size(), reinterpret_cast<uint8_t*>(&key[0])))
        return "<failed>";
    return key;
}

class KeyCache : public ::testing::Test {
protected:
    void SetUp() override { zv_key_cache_clear(); }
    void TearDown() override { zv_key_cache_clear(); }
};

TEST_F(KeyCache, DerivesAKeyTextOnceTellsTextsThatShareAPrefixApartAndDerivesItAgainOnceEvicted)
{
    const unsigned long before = zv_key_cache_derivations();
    for (int i = 0; i < 20; ++i) ASSERT_EQ(CachedKey("pass phrase"), kPassPhraseKey);
    EXPECT_EQ(zv_key_cache_derivations() - before, 1u);
    for (const char* other : {"pass phrasf", "pass phras", "pass phrase ", ""})
        EXPECT_NE(CachedKey(other), kPassPhraseKey) << other;
    EXPECT_EQ(CachedKey("pass phrase"), kPassPhraseKey);

    for (int i = 0; i < ZV_KEY_CACHE_ENTRIES; ++i) CachedKey("other key " + std::to_string(i));
    const unsigned long evicted = zv_key_cache_derivations();
    EXPECT_EQ(CachedKey("pass phrase"), kPassPhraseKey);
    EXPECT_EQ(zv_key_cache_derivations() - evicted, 1u);
}

} // namespace
