// CCrypto over stand-ins put in the library's place (round trips through the
// real library are what every dictionary test relies on).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <type_traits>

#include "cipher/ZivazoDi.h"
#include "userdata/Crypto.h"

namespace {

// The exported class keeps the framework's layout: a virtual table pointer
// from its virtual destructor, and nothing else.
static_assert(std::has_virtual_destructor<CCrypto>::value, "virtual destructor");
static_assert(sizeof(CCrypto) == sizeof(void*), "no data members, one virtual table");

// The pass phrase's form and length are the string table's test; here, that it is the one.
TEST(CryptoProcessKey, IsThePassPhrase)
{
    EXPECT_EQ(std::string(CCrypto::GetProcessKey()).substr(0, 8), "RGgSDFDJ");
}

// ---- Stand-ins for the library ------------------------------------------------
// CCrypto reaches ZivazoDi.dll through this program's import table; each slot
// is pointed at a stand-in that writes what it was given to g_calls.

#ifdef _WIN64
#define ZIVAZO_IMPORT(name) __imp_##name
#else
#define ZIVAZO_IMPORT(name) _imp__##name  // the import symbol of a __cdecl name
#endif

using StringSlot = char*(__cdecl*)(const char*, const char*);
using FreeSlot = void(__cdecl*)(char*);
using FileSlot = int(__cdecl*)(HWND, int, const char*, const char*, const char*, int*, int);
extern "C" StringSlot ZIVAZO_IMPORT(EncryptStr);
extern "C" StringSlot ZIVAZO_IMPORT(DecryptStr);
extern "C" FreeSlot ZIVAZO_IMPORT(DeleteStringMemory);
extern "C" FileSlot ZIVAZO_IMPORT(EncryptFileStream);
extern "C" FileSlot ZIVAZO_IMPORT(DecryptFileStream);

std::string g_calls;
char g_returned[] = "from the library";

constexpr char kEncryptStr[] = "EncryptStr", kDecryptStr[] = "DecryptStr";
constexpr char kEncryptFile[] = "EncryptFile", kDecryptFile[] = "DecryptFile";

template <const char* name>
char* __cdecl StandInString(const char* text, const char* key)
{
    g_calls += std::string(name) + "(" + text + "," + key + ") ";
    return g_returned;
}

void __cdecl StandInDelete(char* text)
{
    g_calls += text == g_returned ? "Delete(it) " : text ? "Delete(other) " : "Delete(null) ";
}

// Writes the arguments, and 100 through the progress pointer.
template <const char* name>
int __cdecl StandInFile(HWND owner, int flags, const char* source, const char* destination,
                        const char* key, int* progress, int last)
{
    g_calls += std::string(name) + "(" + std::to_string(reinterpret_cast<uintptr_t>(owner)) + "," +
               std::to_string(flags) + "," + source + "," + destination + "," + key + "," +
               std::to_string(last) + ") ";
    *progress = 100;
    return -42;
}

// Points one import slot at a stand-in for the life of the object.
template <typename Call>
class StandIn {
public:
    StandIn(Call& slot, Call standIn) : slot_(slot), original_(slot)
    {
        DWORD old = 0;
        VirtualProtect(&slot_, sizeof slot_, PAGE_READWRITE, &old);
        slot_ = standIn;
    }
    ~StandIn() { slot_ = original_; }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

private:
    Call& slot_;
    const Call original_;
};

class CryptoOverStandIns : public ::testing::Test {
protected:
    StandIn<StringSlot> encrypt_{ZIVAZO_IMPORT(EncryptStr), StandInString<kEncryptStr>};
    StandIn<StringSlot> decrypt_{ZIVAZO_IMPORT(DecryptStr), StandInString<kDecryptStr>};
    StandIn<FreeSlot> delete_{ZIVAZO_IMPORT(DeleteStringMemory), StandInDelete};
    StandIn<FileSlot> encryptFile_{ZIVAZO_IMPORT(EncryptFileStream), StandInFile<kEncryptFile>};
    StandIn<FileSlot> decryptFile_{ZIVAZO_IMPORT(DecryptFileStream), StandInFile<kDecryptFile>};
    CCrypto crypto_;
};

TEST_F(CryptoOverStandIns, GiveTextsBackToTheLibraryAndPassFileCallsThrough)
{
    EXPECT_EQ(crypto_.EncryptString("plain", "key"), CString(g_returned));
    EXPECT_EQ(crypto_.DecryptString("cipher", "key"), CString(g_returned));
    // (No text at all is an empty one: the stores' refusals of a text the
    // library cannot encrypt, and of a changed cipher text, show it.)
    EXPECT_EQ(g_calls, "EncryptStr(plain,key) Delete(it) DecryptStr(cipher,key) Delete(it) ");

    // The file calls pass their arguments and result through unchanged.
    g_calls.clear();
    HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234));
    int encrypted = 0, decrypted = 0;
    EXPECT_EQ(crypto_.EncryptFileA(owner, 1, "a", "b", "k", &encrypted, 100), -42);
    EXPECT_EQ(crypto_.DecryptFileA(nullptr, 0, "c", "d", "j", &decrypted, 3), -42);
    EXPECT_EQ(g_calls, "EncryptFile(4660,1,a,b,k,100) DecryptFile(0,0,c,d,j,3) ");
    EXPECT_EQ(encrypted + decrypted, 200);  // the stand-ins wrote through the progress pointers
}

} // namespace
