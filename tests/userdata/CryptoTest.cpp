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
extern "C" StringSlot ZIVAZO_IMPORT(EncryptStr), ZIVAZO_IMPORT(DecryptStr);
extern "C" FreeSlot ZIVAZO_IMPORT(DeleteStringMemory);
extern "C" FileSlot ZIVAZO_IMPORT(EncryptFileStream), ZIVAZO_IMPORT(DecryptFileStream);

std::string g_calls;
char g_returned[] = "from the library";
constexpr char kEncrypt[] = "Encrypt", kDecrypt[] = "Decrypt";

template <const char* name>
char* __cdecl StandInString(const char* text, const char* key)
{
    g_calls += std::string(name) + "Str(" + text + "," + key + ") ";
    return g_returned;
}

void __cdecl StandInDelete(char* text) { g_calls += text == g_returned ? "Delete(it) " : "Delete(other) "; }

// Writes the arguments, and 100 through the progress pointer.
template <const char* name>
int __cdecl StandInFile(HWND owner, int flags, const char* source, const char* destination, const char* key,
                        int* progress, int last)
{
    g_calls += std::string(name) + "File(" + std::to_string(reinterpret_cast<uintptr_t>(owner)) + "," +
               std::to_string(flags) + "," + source + "," + destination + "," + key + "," + std::to_string(last) + ") ";
    *progress = 100;
    return -42;
}

// Points one import slot at a stand-in for the life of the object.
template <typename Call>
struct StandIn {
    StandIn(Call& slot, Call standIn) : slot(slot), original(slot)
    {
        DWORD old = 0;
        VirtualProtect(&slot, sizeof slot, PAGE_READWRITE, &old);
        slot = standIn;
    }
    ~StandIn() { slot = original; }
    Call& slot;
    const Call original;
};

TEST(CryptoOverStandIns, GiveTextsBackToTheLibraryAndPassFileCallsThrough)
{
    const StandIn<StringSlot> encrypt(ZIVAZO_IMPORT(EncryptStr), StandInString<kEncrypt>);
    const StandIn<StringSlot> decrypt(ZIVAZO_IMPORT(DecryptStr), StandInString<kDecrypt>);
    const StandIn<FreeSlot> release(ZIVAZO_IMPORT(DeleteStringMemory), StandInDelete);
    const StandIn<FileSlot> encryptFile(ZIVAZO_IMPORT(EncryptFileStream), StandInFile<kEncrypt>);
    const StandIn<FileSlot> decryptFile(ZIVAZO_IMPORT(DecryptFileStream), StandInFile<kDecrypt>);
    CCrypto crypto;
    EXPECT_EQ(crypto.EncryptString("plain", "key"), CString(g_returned));
    EXPECT_EQ(crypto.DecryptString("cipher", "key"), CString(g_returned));
    // (No text at all is an empty one: the stores' refusals of a text the
    // library cannot encrypt, and of a changed cipher text, show it.)
    EXPECT_EQ(g_calls, "EncryptStr(plain,key) Delete(it) DecryptStr(cipher,key) Delete(it) ");

    // The file calls pass their arguments and result through unchanged.
    g_calls.clear();
    int encrypted = 0, decrypted = 0;
    EXPECT_EQ(crypto.EncryptFileA(reinterpret_cast<HWND>(uintptr_t{0x1234}), 1, "a", "b", "k", &encrypted, 100), -42);
    EXPECT_EQ(crypto.DecryptFileA(nullptr, 0, "c", "d", "j", &decrypted, 3), -42);
    EXPECT_EQ(g_calls, "EncryptFile(4660,1,a,b,k,100) DecryptFile(0,0,c,d,j,3) ");
    EXPECT_EQ(encrypted + decrypted, 200);  // the stand-ins wrote through the progress pointers
}

} // namespace
