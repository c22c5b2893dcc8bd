// The machine key: which adapter address is taken, how the adapter buffer is
// handled, and the installation identifier when no address can be read.
#include <winsock2.h>
#include <iphlpapi.h>

#include <cstring>

#include "UserDicTestSupport.h"
#include "tests/support/FaultyRegistry.h"
#include "userdata/MachineIdentity.h"

namespace {

struct FakeAdapter {
    UINT type;
    UINT addressLength;
    BYTE address[6];
};

// What the fake adapter query answers.
struct FakeSystem {
    std::vector<FakeAdapter> adapters;
    DWORD firstAnswer = NO_ERROR;      // forced result of the first call (NO_ERROR: answer normally)
    bool overflowAlways = false;
    ULONG askedSizeOnOverflow = 0;     // 0: the size the list needs
    int calls = 0;
    std::vector<ULONG> offeredSizes;
    CString installationId;
    bool reversed = false;             // give the list in the other order
};

FakeSystem g_fake;

unsigned long __stdcall FakeAdapterQuery(_IP_ADAPTER_INFO* buffer, unsigned long* size)
{
    ++g_fake.calls;
    g_fake.offeredSizes.push_back(*size);
    if (g_fake.calls == 1 && g_fake.firstAnswer != NO_ERROR && g_fake.firstAnswer != ERROR_BUFFER_OVERFLOW)
        return g_fake.firstAnswer;
    const ULONG needed = static_cast<ULONG>(g_fake.adapters.size() * sizeof(IP_ADAPTER_INFO));
    const bool forcedOverflow = g_fake.calls == 1 && g_fake.firstAnswer == ERROR_BUFFER_OVERFLOW;
    if (g_fake.adapters.empty())
        return ERROR_NO_DATA;
    if (forcedOverflow || g_fake.overflowAlways || *size < needed) {
        *size = g_fake.askedSizeOnOverflow ? g_fake.askedSizeOnOverflow : needed + (g_fake.overflowAlways ? g_fake.calls * 2048 : 0);
        // The system leaves nothing readable in a buffer it found too small.
        return ERROR_BUFFER_OVERFLOW;
    }
    std::memset(buffer, 0xCD, *size);
    IP_ADAPTER_INFO* entries = reinterpret_cast<IP_ADAPTER_INFO*>(buffer);
    const size_t n = g_fake.adapters.size();
    for (size_t i = 0; i < n; ++i) {
        const FakeAdapter& source = g_fake.adapters[g_fake.reversed ? n - 1 - i : i];
        IP_ADAPTER_INFO& entry = entries[i];
        std::memset(&entry, 0, sizeof entry);
        entry.Type = source.type;
        entry.AddressLength = source.addressLength;
        std::memcpy(entry.Address, source.address, 6);
        entry.Next = i + 1 < n ? &entries[i + 1] : nullptr;
    }
    return NO_ERROR;
}

CString FakeInstallationId() { return g_fake.installationId; }

class CertiKeyTest : public sonvera_test::UserDicTest {
protected:
    void SetUp() override
    {
        g_fake = FakeSystem();
        CMachineIdentity::SetSources(FakeAdapterQuery, FakeInstallationId);
        sonvera_test::UserDicTest::SetUp();
    }
    void TearDown() override { CMachineIdentity::ResetSources(); }

    static FakeAdapter Adapter(UINT type, BYTE a0, BYTE a1, BYTE a2, BYTE a3, BYTE a4, BYTE a5)
    {
        FakeAdapter adapter = {type, 6, {a0, a1, a2, a3, a4, a5}};
        return adapter;
    }
};

TEST_F(CertiKeyTest, OneAdapterGivesTwelveUpperCaseHexDigits)
{
    g_fake.adapters = {Adapter(MIB_IF_TYPE_ETHERNET, 0x00, 0x1b, 0x2c, 0xa0, 0x0f, 0xee)};
    EXPECT_EQ("001B2CA00FEE", m_dic.GetMacAddr().str());
    CString key = "unchanged";
    ASSERT_EQ(1, m_dic.CreateCertiKey("Alice", key));
    EXPECT_EQ("001B2CA00FEEAlice", key.str());
}

TEST_F(CertiKeyTest, TheChoiceAmongAdaptersDoesNotDependOnTheirOrder)
{
    g_fake.adapters = {
        Adapter(MIB_IF_TYPE_ETHERNET, 0x10, 0x00, 0x00, 0x00, 0x00, 0x02),
        Adapter(IF_TYPE_IEEE80211, 0x08, 0x00, 0x27, 0x00, 0x00, 0x01),
        Adapter(MIB_IF_TYPE_ETHERNET, 0x02, 0x00, 0x00, 0x00, 0x00, 0x01),   // locally administered
        Adapter(MIB_IF_TYPE_PPP, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05),        // not a physical kind
        Adapter(MIB_IF_TYPE_ETHERNET, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00),   // no address
    };
    const CString forward = m_dic.GetMacAddr();
    g_fake.reversed = true;
    const CString backward = m_dic.GetMacAddr();
    EXPECT_EQ("080027000001", forward.str());
    EXPECT_EQ(forward.str(), backward.str());
}

TEST_F(CertiKeyTest, WithoutAPhysicalAdapterTheSmallestAddressOfAnyIsTaken)
{
    g_fake.adapters = {
        Adapter(MIB_IF_TYPE_PPP, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09),
        Adapter(MIB_IF_TYPE_ETHERNET, 0x02, 0x00, 0x00, 0x00, 0x00, 0x01),
        Adapter(MIB_IF_TYPE_LOOPBACK, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00),
    };
    EXPECT_EQ("000000000009", m_dic.GetMacAddr().str());
}

TEST_F(CertiKeyTest, AnAdapterWithAnotherAddressLengthIsNotTaken)
{
    FakeAdapter odd = Adapter(MIB_IF_TYPE_ETHERNET, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);
    odd.addressLength = 8;
    g_fake.adapters = {odd, Adapter(MIB_IF_TYPE_ETHERNET, 0x00, 0x50, 0x56, 0x00, 0x00, 0x07)};
    EXPECT_EQ("005056000007", m_dic.GetMacAddr().str());
    g_fake.adapters = {odd};
    EXPECT_EQ("", m_dic.GetMacAddr().str());
}

TEST_F(CertiKeyTest, ALongListIsAskedForAgainWithTheSizeTheSystemWantsAndThatSizeIsKept)
{
    for (int i = 0; i < 5; ++i)
        g_fake.adapters.push_back(Adapter(MIB_IF_TYPE_ETHERNET, 0x00, 0x11, 0x22, 0x33, 0x44, static_cast<BYTE>(0x50 - i)));
    const ULONG needed = static_cast<ULONG>(5 * sizeof(IP_ADAPTER_INFO));
    ASSERT_GT(needed, 1024u);
    EXPECT_EQ("00112233444C", m_dic.GetMacAddr().str());
    ASSERT_EQ(2, g_fake.calls);
    EXPECT_EQ(1024u, g_fake.offeredSizes[0]);
    EXPECT_EQ(needed, g_fake.offeredSizes[1]);
    EXPECT_EQ("00112233444C", m_dic.GetMacAddr().str());
    ASSERT_EQ(3, g_fake.calls);
    EXPECT_EQ(needed, g_fake.offeredSizes[2]);
}

TEST_F(CertiKeyTest, NoDataNotSupportedOtherErrorsAndASecondOverflowGiveNoAddress)
{
    g_fake.adapters = {Adapter(MIB_IF_TYPE_ETHERNET, 0x00, 0x1b, 0x2c, 0xa0, 0x0f, 0xee)};
    for (DWORD answer : {static_cast<DWORD>(ERROR_NO_DATA), static_cast<DWORD>(ERROR_NOT_SUPPORTED),
                         static_cast<DWORD>(ERROR_INVALID_PARAMETER)}) {
        g_fake.calls = 0;
        g_fake.firstAnswer = answer;
        EXPECT_EQ("", m_dic.GetMacAddr().str()) << answer;
        EXPECT_EQ(1, g_fake.calls) << answer;
    }
    g_fake.calls = 0;
    g_fake.firstAnswer = NO_ERROR;
    g_fake.overflowAlways = true;
    EXPECT_EQ("", m_dic.GetMacAddr().str());
    EXPECT_EQ(2, g_fake.calls);
}

TEST_F(CertiKeyTest, NoAdapterListIsHeldAfterAQuery)
{
    g_fake.adapters = {Adapter(MIB_IF_TYPE_ETHERNET, 0x00, 0x1b, 0x2c, 0xa0, 0x0f, 0xee)};
    EXPECT_EQ("", m_dic.ParseMacData().str());
    ASSERT_EQ("001B2CA00FEE", m_dic.GetMacAddr().str());
    EXPECT_EQ("", m_dic.ParseMacData().str());
}

TEST_F(CertiKeyTest, WithoutAnAdapterTheInstallationIdentifierIsTaken)
{
    g_fake.installationId = "6f1e2d3c-0000-4a4a-9999-abcdefabcdef";
    CString key;
    ASSERT_EQ(1, m_dic.CreateCertiKey("Bob", key));
    EXPECT_EQ("6f1e2d3c-0000-4a4a-9999-abcdefabcdefBob", key.str());
    ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "", "p", 0, 1, 1, 1, ""));
    EXPECT_EQ(key.str(), m_dic.GetCertiKey("Bob").str());
}

TEST_F(CertiKeyTest, WithNeitherIdentifierNoKeyIsMadeAndNoUserWritten)
{
    CString key = "unchanged";
    EXPECT_EQ(0, m_dic.CreateCertiKey("Bob", key));
    EXPECT_EQ("unchanged", key.str());
    EXPECT_EQ(0, m_dic.CreateUser("t", "Bob", "", "p", 0, 1, 1, 1, ""));
    EXPECT_EQ("", sonvera_test::ReadRaw(m_path));
    EXPECT_EQ(-1, m_dic.VerifyUserInfo("Bob"));
    // A key given by the caller needs no machine identifier.
    EXPECT_EQ(1, m_dic.CreateUser("t", "Bob", "GIVEN", "p", 0, 1, 1, 1, ""));
}

// The system's own sources, as this computer (or Wine) has them.
TEST(CertiKeyOnThisComputer, TheAddressIsTheSameOnEveryCall)
{
    CMachineIdentity::ResetSources();
    CAppUserDic dic;
    const CString first = dic.GetMacAddr();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(first.str(), dic.GetMacAddr().str());
    EXPECT_TRUE(first.IsEmpty() || first.GetLength() == 12) << first.str();
    EXPECT_EQ(first.str(), first.SpanIncluding("0123456789ABCDEF").str());
}

unsigned long __stdcall NoAdapter(_IP_ADAPTER_INFO*, unsigned long*) { return ERROR_NO_DATA; }

// A registry whose installation identifier is a known text.
class CInstalledRegistry : public CWin32Registry {
public:
    explicit CInstalledRegistry(const char* guid) : m_guid(guid) {}
    LONG OpenKey(HKEY parent, const char* subKey, REGSAM access, HKEY* key) override
    {
        openedWith64BitView = (access & KEY_WOW64_64KEY) != 0;
        if (parent != HKEY_LOCAL_MACHINE || std::string(subKey) != "SOFTWARE\\Microsoft\\Cryptography")
            return ERROR_FILE_NOT_FOUND;
        *key = kInstallationKey;
        return ERROR_SUCCESS;
    }
    LONG CloseKey(HKEY key) override { return key == kInstallationKey ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }
    LONG QueryValue(HKEY, const char* name, DWORD* type, BYTE* data, DWORD* size) override
    {
        if (std::string(name) != "MachineGuid")
            return ERROR_FILE_NOT_FOUND;
        const DWORD needed = static_cast<DWORD>(m_guid.size() + 1);
        if (*size < needed)
            return ERROR_MORE_DATA;
        std::memcpy(data, m_guid.c_str(), needed);
        *type = REG_SZ;
        *size = needed;
        return ERROR_SUCCESS;
    }
    bool openedWith64BitView = false;

private:
    static inline const HKEY kInstallationKey = reinterpret_cast<HKEY>(0x5A5A0);
    std::string m_guid;
};

class InstallationIdTest : public ::testing::Test {
protected:
    void SetUp() override { CMachineIdentity::SetSources(NoAdapter, nullptr); }
    void TearDown() override { CMachineIdentity::ResetSources(); }
};

TEST_F(InstallationIdTest, WithoutAnAdapterTheRegistrysMachineGuidIsTaken)
{
    CInstalledRegistry registry(" 4c4c4544-0042-3510-8052-b4c04f4e4d32 ");
    CRegistryOverride scope(registry);
    CAppUserDic dic;
    CString certiKey;
    ASSERT_EQ(1, dic.CreateCertiKey("Carol", certiKey));
    EXPECT_EQ("4c4c4544-0042-3510-8052-b4c04f4e4d32Carol", certiKey.str());
    EXPECT_TRUE(registry.openedWith64BitView);
}

TEST_F(InstallationIdTest, AnUnreadableRegistryGivesNoKey)
{
    for (const auto call : {sonvera_test::CFaultyRegistry::openKey, sonvera_test::CFaultyRegistry::queryValue}) {
        sonvera_test::CFaultyRegistry registry;
        registry.Fail(call, ERROR_ACCESS_DENIED);
        CRegistryOverride scope(registry);
        CString certiKey = "unchanged";
        EXPECT_EQ(0, CAppUserDic().CreateCertiKey("Carol", certiKey)) << call;
        EXPECT_EQ("unchanged", certiKey.str());
    }
}

} // namespace
