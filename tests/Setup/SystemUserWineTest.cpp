// CSystemUser against Wine's own Netapi32.dll.
//
// Wine 8 keeps the accounts it adds in the memory of netapi32.dll and checks
// and stores password changes. What it does not do is left out here (the
// call test covers it with a Netapi32.dll of its own): it has no
// NetUserSetInfo (the stub raises, so enabling always fails), reports
// privilege 0 and no flags for every account, accepts a second account of the
// same name, lists only the logged-on user and answers every group change
// with success. The tests add accounts, so they run under Wine only.
#include <gtest/gtest.h>
#include <windows.h>

#include "Setup/SystemUser.h"

namespace
{
const char kRaisedInEnable[] = "Error in AccountCreate: Unspecified error.";

class SystemUserWine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == nullptr)
            GTEST_SKIP() << "adds real accounts: run under Wine only";
        m_account.Format("sonv%lu", GetCurrentProcessId() % 1000000);
    }
    void TearDown() override
    {
        if (m_hKeptLibrary != nullptr) {
            CString ignored;
            for (int i = 0; i < 3 && user.AccountDelete(m_account, ignored); ++i) {
            }
            FreeLibrary(m_hKeptLibrary);
        }
    }

    // Each operation loads and releases Netapi32.dll, and with it Wine's
    // accounts: holding the library keeps them from one operation to the next.
    void KeepAccounts() { m_hKeptLibrary = LoadLibraryA("netapi32.dll"); }

    CSystemUser user;
    CString m_account;
    HMODULE m_hKeptLibrary = nullptr;
};

TEST_F(SystemUserWine, AccountLivesFromCreateToDeleteWhileTheLibraryIsHeld)
{
    CString error;
    EXPECT_EQ(user.AccountCreate(m_account, "Secret1", error), 1);
    EXPECT_EQ(error, kRaisedInEnable);   // disabling the new account raised in Wine's stub
    EXPECT_EQ(user.AccountExist(m_account, error), 0);   // gone with the released library
    EXPECT_EQ(error, "Error in AccountExist:  The user name could not be found.");

    KeepAccounts();
    EXPECT_EQ(user.AccountCreate(m_account, "Secret1", error), 1);
    error = "kept";
    EXPECT_EQ(user.AccountExist(m_account, error), 1);
    EXPECT_EQ(user.AccountGetInfo(m_account, error), 0);
    EXPECT_EQ(user.AccountChangePassword(m_account, "Secret1", "Secret2", error), 1);
    EXPECT_EQ(user.AccountInsertInGroup(m_account, "Users", error), 1);
    EXPECT_EQ(user.AccountDeleteInGroup(m_account, "Users", error), 1);
    EXPECT_EQ(error, "kept");
    EXPECT_EQ(user.AccountChangePassword(m_account, "Secret1", "Secret3", error), 0);   // no longer the password
    EXPECT_EQ(error, "Error in AccountChangePassword:  The user has entered an invalid password.");

    EXPECT_EQ(user.AccountDelete(m_account, error), 1);
    EXPECT_EQ(user.AccountDelete(m_account, error), 0);
    EXPECT_EQ(error, "Error in AccountDelete:  The user name could not be found.");
    EXPECT_EQ(user.AccountGetInfo(m_account, error), -1);
    EXPECT_EQ(error, "Error in AccountGetInfo:  The user name could not be found.");
    EXPECT_EQ(user.AccountChangePassword(m_account, "Secret2", "Secret3", error), 0);
    EXPECT_EQ(error, "Error in AccountChangePassword:  The user name could not be found.");
}

} // namespace
