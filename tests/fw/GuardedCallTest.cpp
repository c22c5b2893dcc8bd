// CallGuarded: a structured exception raised in the body ends the call with
// its code, and the caller goes on as before.
#include <gtest/gtest.h>
#include <windows.h>

#include "fw/GuardedCall.h"

namespace {

const DWORD kOwnCode = 0xE0534E56;
// What Wine's stub for an unimplemented function raises, with the library's
// and function's names; Wine's own stub is met by the accounts' Wine tests.
const DWORD kWineStubCode = 0x80000100;

void Raise(DWORD code, DWORD flags) noexcept
{
    const ULONG_PTR names[] = {reinterpret_cast<ULONG_PTR>("guarded.dll"), reinterpret_cast<ULONG_PTR>("Missing")};
    RaiseException(code, flags, code == kWineStubCode ? 2 : 0, names);
}

// Repeated, so that a guard left in the handler chain or a register not
// restored (the caller's running total) would show.
TEST(GuardedCall, GivesZeroOrTheCodeOfTheExceptionThatEndedTheCall)
{
    struct Case { const char* what; DWORD code; void (*raise)(); };
    const Case cases[] = {
        {"nothing raised", 0, [] {}},
        {"RaiseException", kOwnCode, [] { Raise(kOwnCode, 0); }},
        {"non-continuable", kOwnCode, [] { Raise(kOwnCode, EXCEPTION_NONCONTINUABLE); }},
        {"Wine's missing-function code", kWineStubCode, [] { Raise(kWineStubCode, EXCEPTION_NONCONTINUABLE); }},
        {"access violation", static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION),
         [] { *static_cast<volatile int*>(nullptr) = 1; }},
    };
    double total = 0.0;
    for (int round = 0; round < 100; ++round) {
        for (const Case& c : cases) {
            bool after = false;
            const DWORD code = CallGuarded([&]() noexcept {
                c.raise();
                after = true;
            });
            ASSERT_EQ(code, c.code) << c.what;
            ASSERT_EQ(after, c.code == 0) << c.what;
            total += 0.5;
        }
    }
    EXPECT_EQ(total, 250.0);
}

}  // namespace
