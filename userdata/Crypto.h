// CCrypto: the one door through which the library encrypts and decrypts text.
// A thin exported class over ZivazoDi.dll: it turns the library's heap strings
// into CString values, gives every one back to the library, and supplies the
// pass phrase that keys every text the system stores.
#pragma once

#include <windows.h>

#include "fw/Api.h"
#include "fw/String.h"

class SONVERA_API CCrypto {
public:
    CCrypto();
    CCrypto(const CCrypto& other);
    CCrypto& operator=(const CCrypto& other);
    virtual ~CCrypto();

    // The cipher text of `text` under `key`; empty when the library gives none.
    CString EncryptString(CString text, CString key);

    // The plain text; empty for a changed cipher text or a wrong key.
    CString DecryptString(CString text, CString key);

    // Hand their seven arguments unchanged to EncryptFileStream and
    // DecryptFileStream of ZivazoDi.dll and return the result (ZivazoDi.h says
    // what the arguments mean). Named with the A so that the EncryptFile macro
    // of <windows.h> cannot rename them.
    int EncryptFileA(HWND owner, int flags, const char* source, const char* destination,
                     const char* key, int* progress, int chunkSize);
    int DecryptFileA(HWND owner, int flags, const char* source, const char* destination,
                     const char* key, int* progress, int reserved);

    // The pass phrase: string 2001 of the module that holds this code.
    static CString GetProcessKey();
};
