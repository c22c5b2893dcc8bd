// Prints what encryption costs a host: the first use of a key text (which
// derives its key) and 10,000 EncryptString + DecryptString pairs with the
// pass phrase, the way the user dictionary reads and writes its records.
#include <windows.h>

#include <cstdio>

#include "Sonvera.h"
#include "host/BenchClock.h"

int main()
{
    const int kPairs = 10000;
    CCrypto crypto;
    const CString passPhrase = CCrypto::GetProcessKey();
    const CString record = "user01;\x83\x65\x83\x58\x83\x67;password;1;00-1A-2B-3C-4D-5E;11;aaj,abj";

    double start = NowMs();
    CString cipher = crypto.EncryptString(record, passPhrase);
    const double firstUse = NowMs() - start;

    start = NowMs();
    crypto.EncryptString(record, "ABCD250101235959");
    const double secondKey = NowMs() - start;

    int failures = 0;
    start = NowMs();
    for (int i = 0; i < kPairs; ++i) {
        cipher = crypto.EncryptString(record, passPhrase);
        if (crypto.DecryptString(cipher, passPhrase) != record) ++failures;
    }
    const double pairs = NowMs() - start;

    std::printf("first use of the pass phrase (providers + key derivation): %.2f ms\n", firstUse);
    std::printf("first use of another key text (key derivation):           %.2f ms\n", secondKey);
    std::printf("%d EncryptString + DecryptString pairs (%d-byte record):  %.1f ms, %.2f us per pair\n",
                kPairs, record.GetLength(), pairs, 1000.0 * pairs / kPairs);
    std::printf("cipher text length: %d, round-trip failures: %d\n", cipher.GetLength(), failures);
    return failures == 0 ? 0 : 1;
}
