#include "userdata/Crypto.h"

#include "cipher/ZivazoDi.h"
#include "resources/resource.h"

namespace {

// Copies a text the library returned and gives it back to the library, which
// alone may free it (it has its own heap). NULL becomes an empty string.
CString TakeLibraryText(char* text)
{
    CString copy(text);
    DeleteStringMemory(text);
    return copy;
}

}  // namespace

CCrypto::CCrypto() = default;

CCrypto::CCrypto(const CCrypto&) {}

CCrypto& CCrypto::operator=(const CCrypto&)
{
    return *this;
}

CCrypto::~CCrypto() = default;

CString CCrypto::EncryptString(CString text, CString key)
{
    return TakeLibraryText(EncryptStr(text, key));
}

CString CCrypto::DecryptString(CString text, CString key)
{
    return TakeLibraryText(DecryptStr(text, key));
}

int CCrypto::EncryptFileA(HWND owner, int flags, const char* source, const char* destination,
                          const char* key, int* progress, int chunkSize)
{
    return EncryptFileStream(owner, flags, source, destination, key, progress, chunkSize);
}

int CCrypto::DecryptFileA(HWND owner, int flags, const char* source, const char* destination,
                          const char* key, int* progress, int reserved)
{
    return DecryptFileStream(owner, flags, source, destination, key, progress, reserved);
}

CString CCrypto::GetProcessKey()
{
    CString passPhrase;
    passPhrase.LoadString(IDS_PASS_PHRASE);
    return passPhrase;
}
