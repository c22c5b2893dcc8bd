// CCrypto as the user dictionary, the voice dictionary and the secure
// settings use it: the pass phrase from the string table, exact round trips,
// and an empty string for whatever does not decrypt.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "tests/support/Bytes.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"
#include "cipher/ZivazoDi.h"
#include "userdata/Crypto.h"

namespace {

using sonvera_test::CTempFolder;
using sonvera_test::PatternBytes;
using sonvera_test::ReadRaw;
using sonvera_test::WriteRaw;

// The exported class keeps the framework's layout: a virtual table pointer
// from its virtual destructor, and nothing else.
static_assert(std::has_virtual_destructor<CCrypto>::value, "virtual destructor");
static_assert(sizeof(CCrypto) == sizeof(void*), "no data members, one virtual table");

bool IsBase64(const std::string& text)
{
    return text.find_first_not_of(
               "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=") ==
           std::string::npos;
}

TEST(CryptoProcessKey, IsTheThousandAndThreeCharacterPassPhrase)
{
    const CString key = CCrypto::GetProcessKey();
    EXPECT_EQ(key.GetLength(), 1003);
    EXPECT_TRUE(IsBase64(static_cast<const char*>(key)));
    EXPECT_EQ(std::string(key).substr(0, 8), "RGgSDFDJ");
    EXPECT_EQ(CCrypto::GetProcessKey(), key);
}

TEST(CryptoStrings, RoundTripWithThePassPhrase)
{
    CCrypto crypto;
    const CString key = CCrypto::GetProcessKey();
    const char* const texts[] = {"", "user01", "000111",
                                 "user01;\x83\x65\x83\x58\x83\x67;pw;1;00-1A-2B-3C-4D-5E;11;aaj,abj"};
    for (const char* text : texts) {
        const CString cipher = crypto.EncryptString(text, key);
        ASSERT_FALSE(cipher.IsEmpty()) << text;
        EXPECT_TRUE(IsBase64(static_cast<const char*>(cipher)));
        EXPECT_EQ(crypto.DecryptString(cipher, key), CString(text));
    }
}

TEST(CryptoStrings, MakeABypassKeyFromThePassPhraseAndASeed)
{
    CCrypto crypto;
    const CString passPhrase = CCrypto::GetProcessKey();
    const CString bypassKey = crypto.EncryptString(passPhrase, "ABCD250101235959");
    EXPECT_GT(bypassKey.GetLength(), passPhrase.GetLength());
    EXPECT_EQ(crypto.DecryptString(bypassKey, "ABCD250101235959"), passPhrase);
}

TEST(CryptoStrings, GiveAnEmptyStringForAChangedTextOrAWrongKey)
{
    CCrypto crypto;
    const CString key = CCrypto::GetProcessKey();
    const CString cipher = crypto.EncryptString("secret", key);
    std::string changed(cipher);
    changed[changed.size() / 2] = changed[changed.size() / 2] == 'A' ? 'B' : 'A';
    EXPECT_TRUE(crypto.DecryptString(changed.c_str(), key).IsEmpty());
    EXPECT_TRUE(crypto.DecryptString(cipher, CString(key) + "x").IsEmpty());
    EXPECT_TRUE(crypto.DecryptString("", key).IsEmpty());  // an empty stored record
    EXPECT_TRUE(crypto.DecryptString("not a cipher text", key).IsEmpty());
}

TEST(CryptoStrings, WorkThroughCopiesAndAssignedObjects)
{
    CCrypto original;
    CCrypto copy(original);
    CCrypto assigned;
    assigned = copy;
    const CString cipher = copy.EncryptString("id", "k");
    EXPECT_EQ(assigned.DecryptString(cipher, "k"), CString("id"));
}

TEST(CryptoFiles, PassEveryArgumentAndTheResultThrough)
{
    CTempFolder folder;
    const std::string plain = folder.File("plain").str(), enc = folder.File("enc").str(),
                      back = folder.File("back").str();
    WriteRaw(plain, PatternBytes(5000));
    CCrypto crypto;
    int progress = -1;
    ASSERT_EQ(crypto.EncryptFileA(nullptr, 0, plain.c_str(), enc.c_str(), "k", &progress, 100),
              ZIVAZO_FILE_OK);
    EXPECT_EQ(progress, 100);
    // 5000 bytes in chunks of 100: fifty tags, so the chunk size got through.
    EXPECT_EQ(ReadRaw(enc).size(), 24u + 5000u + 50u * 16u);
    EXPECT_EQ(crypto.EncryptFileA(nullptr, 0, plain.c_str(), enc.c_str(), "k", nullptr, 0),
              ZIVAZO_FILE_E_EXISTS);
    EXPECT_EQ(crypto.DecryptFileA(nullptr, 0, enc.c_str(), back.c_str(), "wrong", &progress, 0),
              ZIVAZO_FILE_E_AUTH);
    ASSERT_EQ(crypto.DecryptFileA(nullptr, ZIVAZO_FILE_REPLACE, enc.c_str(), back.c_str(), "k",
                                  &progress, 0),
              ZIVAZO_FILE_OK);
    EXPECT_EQ(ReadRaw(back), PatternBytes(5000));
}

}  // namespace
