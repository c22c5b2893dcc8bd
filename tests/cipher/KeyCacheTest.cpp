// The key cache derives each key text once and keeps texts that differ
// anywhere apart, also after an eviction.
#include <gtest/gtest.h>

#include <string>

#include "KeyCache.h"

namespace {

std::string CachedKey(const std::string& text)
{
    std::string key(ZV_AES_KEY_BYTES, '\0');
    if (!zv_key_cache_copy(text.data(), text.size(), reinterpret_cast<uint8_t*>(&key[0])))
        return "<failed>";
    return key;
}

TEST(KeyCache, DerivesAKeyTextOnceTellsTextsThatShareAPrefixApartAndDerivesItAgainOnceEvicted)
{
    // The derivation itself is held by the cipher texts worked out apart
    // from this library (the string and file tests).
    const unsigned long before = zv_key_cache_derivations();
    const std::string passPhraseKey = CachedKey("pass phrase");
    ASSERT_EQ(passPhraseKey.size(), static_cast<size_t>(ZV_AES_KEY_BYTES));
    for (int i = 0; i < 20; ++i) ASSERT_EQ(CachedKey("pass phrase"), passPhraseKey);
    EXPECT_EQ(zv_key_cache_derivations() - before, 1u);
    for (const char* other : {"pass phrasf", "pass phras", "pass phrase ", ""})
        EXPECT_NE(CachedKey(other), passPhraseKey) << other;
    EXPECT_EQ(CachedKey("pass phrase"), passPhraseKey);

    for (int i = 0; i < ZV_KEY_CACHE_ENTRIES; ++i) CachedKey("other key " + std::to_string(i));
    const unsigned long evicted = zv_key_cache_derivations();
    EXPECT_EQ(CachedKey("pass phrase"), passPhraseKey);
    EXPECT_EQ(zv_key_cache_derivations() - evicted, 1u);
}

} // namespace
