// CSystemUser against a Netapi32.dll that lives in this program, for what
// Wine's cannot show, then against Wine's own; the account operations' error
// texts; CSystemInfo's version code table and boot mode.
#include <gtest/gtest.h>
#include <windows.h>

#include <lm.h>

#include <string>
#include <vector>

#include "Setup/AccountError.h"
#include "Setup/SystemInfo.h"
#include "Setup/SystemUser.h"
#include "fw/LibraryLoader.h"
#include "tests/support/StringLists.h"

namespace
{
struct Page
{
    NET_API_STATUS status;
    std::vector<std::wstring> names;
    bool advances;   // whether the resume handle moves on
};

std::vector<std::wstring> g_calls;   // each call: its name and arguments
std::vector<Page> g_pages;
int g_buffersHeld = 0;

std::wstring Field(LPCWSTR text) { return text != nullptr ? text : L"-"; }
std::wstring Field(DWORD value) { return std::to_wstring(value); }

template <class... Fields>
void Record(const wchar_t* function, Fields... fields)
{
    std::wstring call = function;
    ((call += L" " + Field(fields)), ...);
    g_calls.push_back(call);
}

NET_API_STATUS WINAPI FakeUserAdd(LPCWSTR server, DWORD level, LPBYTE buffer, LPDWORD)
{
    const USER_INFO_1& a = *reinterpret_cast<USER_INFO_1*>(buffer);
    Record(L"NetUserAdd", server, level, a.usri1_name, a.usri1_password, a.usri1_priv, a.usri1_home_dir,
           a.usri1_comment, a.usri1_flags, a.usri1_script_path);
    return NERR_Success;
}
NET_API_STATUS WINAPI FakeUserSetInfo(LPCWSTR server, LPCWSTR user, DWORD level, LPBYTE buffer, LPDWORD)
{
    Record(L"NetUserSetInfo", server, user, level, reinterpret_cast<USER_INFO_1008*>(buffer)->usri1008_flags);
    return NERR_Success;
}
NET_API_STATUS WINAPI FakeUserEnum(LPCWSTR server, DWORD level, DWORD filter, LPBYTE* buffer, DWORD length,
                                   LPDWORD read, LPDWORD total, LPDWORD resume)
{
    Record(L"NetUserEnum", server, level, filter, length, *resume);
    static Page s_page;
    s_page = g_pages.at(0);
    g_pages.erase(g_pages.begin());
    auto* entries = static_cast<USER_INFO_0*>(calloc(s_page.names.size() + 1, sizeof(USER_INFO_0)));
    for (size_t i = 0; i < s_page.names.size(); ++i)
        entries[i].usri0_name = &s_page.names[i][0];
    ++g_buffersHeld;
    *buffer = reinterpret_cast<LPBYTE>(entries);
    *read = *total = static_cast<DWORD>(s_page.names.size());
    *resume += s_page.advances ? 1 : 0;
    return s_page.status;
}
NET_API_STATUS WINAPI FakeBufferFree(LPVOID buffer)
{
    --g_buffersHeld;
    free(buffer);
    return NERR_Success;
}

template <class F>
FARPROC Export(F function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(function));
}

// The system's Netapi32.dll. By its bare name it would also be looked for in
// the host's folder and the current one, where anybody may have put a file
// of that name to run with the rights of a host that manages accounts.
std::string SystemNetapi()
{
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder, length) + "\\Netapi32.dll";
}

// Netapi32.dll with the four functions above and no others, found only in
// the system folder.
class CFakeNetapiLoader : public ILibraryLoader
{
public:
    bool present = true;
    int loads = 0, frees = 0;

    HMODULE Load(const char* name) override
    {
        const bool found = present && std::string(name) == SystemNetapi();
        loads += found;
        return found ? reinterpret_cast<HMODULE>(0x10000) : nullptr;
    }
    FARPROC Find(HMODULE, const char* name) override
    {
        const std::string function = name;
        return function == "NetUserAdd"       ? Export(&FakeUserAdd)
               : function == "NetUserSetInfo" ? Export(&FakeUserSetInfo)
               : function == "NetUserEnum"    ? Export(&FakeUserEnum)
               : function == "NetApiBufferFree" ? Export(&FakeBufferFree)
                                                : nullptr;
    }
    BOOL Free(HMODULE) override { return ++frees > 0; }
};

class SystemUserCall : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_calls.clear();
        char name[16] = {};
        DWORD length = sizeof(name);
        ASSERT_TRUE(GetComputerNameA(name, &length));
        server = L"\\\\" + CString(name).ToWide();
    }
    void TearDown() override
    {
        EXPECT_EQ(loader.loads, loader.frees) << "Netapi32.dll must be released after every operation";
        EXPECT_EQ(g_buffersHeld, 0);
    }

    CFakeNetapiLoader loader;
    CLibraryLoaderOverride installed{loader};
    CSystemUser user;
    std::wstring server;
    CString error = "before";
};

// The record and flags a new account is given, the enumeration in parts, and
// a library that is missing or lacks a function: zero and no text.
TEST_F(SystemUserCall, NewAccountIsAddedDisabledAtUserPrivilegeAndEnablingKeepsItsFlags)
{
    EXPECT_EQ(user.AccountCreate("\x83\x65\x83\x58\x83\x67", "pw", error), 1);   // "テスト" in Shift-JIS
    EXPECT_EQ(user.AccountEnable("a", -1, error), 1);   // any nonzero value enables
    EXPECT_EQ(user.AccountEnable("a", 0, error), 1);
    const std::vector<std::wstring> expected = {
        // name, password, USER_PRIV_USER, no home folder or comment, flags, no script
        L"NetUserAdd " + server + L" 1 \u30c6\u30b9\u30c8 pw 1 - - 65539 -",
        L"NetUserSetInfo " + server + L" \u30c6\u30b9\u30c8 1008 65539",
        L"NetUserSetInfo " + server + L" a 1008 65537",
        L"NetUserSetInfo " + server + L" a 1008 65539"};
    EXPECT_EQ(g_calls, expected);

    // The enumeration repeats on more data and appends.
    g_calls.clear();
    CStringArray users;
    users.Add("x");
    g_pages = {{ERROR_MORE_DATA, {L"a", L"\u30c6\u30b9\u30c8"}, true}, {NERR_Success, {L"c"}, true}};
    EXPECT_EQ(user.AccountGetUsers(users, error), 1);
    EXPECT_EQ(sonvera_test::Items(users),
              (sonvera_test::Strings{"x", "a", "\x83\x65\x83\x58\x83\x67", "c"}));
    EXPECT_EQ(g_calls, std::vector<std::wstring>({L"NetUserEnum " + server + L" 0 2 4294967295 0",
                                                  L"NetUserEnum " + server + L" 0 2 4294967295 1"}));
    // Nothing delivered: the names already there still count.
    g_pages = {{ERROR_ACCESS_DENIED, {}, true}, {ERROR_ACCESS_DENIED, {}, true}};
    EXPECT_EQ(user.AccountGetUsers(users, error), 1);
    CStringArray none;
    EXPECT_EQ(user.AccountGetUsers(none, error), 0);
    // More data that does not move the position on ends the enumeration.
    g_pages = {{ERROR_MORE_DATA, {L"a"}, false}, {ERROR_MORE_DATA, {L"a"}, false}};
    EXPECT_EQ(user.AccountGetUsers(none, error), 1);
    EXPECT_EQ(none.GetSize(), 1);

    g_calls.clear();
    EXPECT_EQ(user.AccountDelete("a", error), 0);   // the fake lacks NetUserDel
    EXPECT_EQ(user.AccountGetInfo("a", error), 0);   // and NetUserGetInfo
    loader.present = false;
    EXPECT_EQ(user.AccountCreate("a", "pw", error), 0);
    EXPECT_EQ(user.AccountGetUsers(users, error), 0);
    EXPECT_EQ(error, "before");
    EXPECT_TRUE(g_calls.empty());
}

// ---- Wine's Netapi32.dll, which keeps the accounts it adds in its memory and
// checks passwords (what it lacks is covered above). It adds accounts: Wine only.
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

    // Each operation loads and releases Netapi32.dll, and with it Wine's accounts.
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

    EXPECT_EQ(user.AccountDelete(m_account, error), 1);
    EXPECT_EQ(user.AccountDelete(m_account, error), 0);
    EXPECT_EQ(user.AccountGetInfo(m_account, error), -1);
}

// One row per way through the reason table (recognised, known but not by this
// operation, unknown, depending on the operation), and the frame an enabling
// failure shows (the exception form is what the create above shows).
TEST(AccountErrorText, TheReasonDependsOnTheStatusAndTheOperation)
{
    const std::string shortPasswordOnCreate = "The password is shorter than required, too long, too recent"
                                              " or not have enough unique characters.";
    const struct
    {
        AccountOperation operation;
        unsigned long status;
        std::string frame, reason;
    } cases[] = {
        {AccountOperation::Create, 2224, "AccountCreate", "The user account already exists."},
        {AccountOperation::Create, 2245, "AccountCreate", shortPasswordOnCreate},
        {AccountOperation::Enable, 87, "AccountCreate", "One of the function parameters is invalid"},
        {AccountOperation::Delete, 2224, "AccountDelete", "Unspecified error."},
        {AccountOperation::GetInfo, 234, "AccountGetInfo", "Unspecified error."},
        {AccountOperation::ChangePassword, 2245, "AccountChangePassword",
         "The password is shorter than required."},
    };
    for (const auto& c : cases) {
        const std::string expected = "Error in " + c.frame + ":  " + c.reason;
        EXPECT_EQ(std::string(AccountStatusText(c.operation, c.status)), expected) << c.status;
    }
}

// One row for each way through the table: a listed and an unlisted version of
// each platform, and an unknown platform.
TEST(SystemInfo, TheVersionCodeTableAndTheBootMode)
{
    const struct
    {
        unsigned long platform, major, minor;
        int code;
    } cases[] = {
        {VER_PLATFORM_WIN32s, 3, 10, 0},        // Win32s, whatever the numbers
        {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 1},  // 95
        {VER_PLATFORM_WIN32_WINDOWS, 4, 3, 7},  // a 9x minor not listed
        {VER_PLATFORM_WIN32_NT, 4, 0, 4},       // NT 4.0 and before
        {VER_PLATFORM_WIN32_NT, 5, 0, 5},       // 2000, the one IsOSNT answers 1 for
        {VER_PLATFORM_WIN32_NT, 5, 1, 6},       // XP
        {VER_PLATFORM_WIN32_NT, 5, 2, 7},       // Server 2003 and every later version
        {3, 5, 1, 7},                           // an unknown platform
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.code, CSystemInfo::VersionCode(c.platform, c.major, c.minor))
            << "platform " << c.platform << " version " << c.major << "." << c.minor;
    }

    // Wine and every Windows the tests run on is started normally.
    EXPECT_EQ(0, CSystemInfo().GetBootMode());
}
} // namespace
