// The machine key, from fake adapter lists and registries.
#include <winsock2.h>
#include <iphlpapi.h>

#include <cstring>

#include "UserDataTestSupport.h"
#include "tests/support/FaultyRegistry.h"
#include "tests/support/ScratchKey.h"
#include "userdata/MachineIdentity.h"

namespace {

// What the fake adapter query answers.
struct FakeSystem {
    std::vector<IP_ADAPTER_INFO> adapters;
    DWORD firstAnswer = NO_ERROR;   // forced result of the first call
    bool overflowAlways = false;
    bool reversed = false;          // the list in the other order
    std::vector<ULONG> offeredSizes;
    CString installationId;
};

FakeSystem g_fake;

unsigned long __stdcall FakeAdapterQuery(_IP_ADAPTER_INFO* buffer, unsigned long* size)
{
    g_fake.offeredSizes.push_back(*size);
    if (g_fake.offeredSizes.size() == 1 && g_fake.firstAnswer != NO_ERROR)
        return g_fake.firstAnswer;
    if (g_fake.adapters.empty())
        return ERROR_NO_DATA;
    const ULONG needed = static_cast<ULONG>(g_fake.adapters.size() * sizeof(IP_ADAPTER_INFO));
    if (g_fake.overflowAlways || *size < needed) {
        *size = needed + (g_fake.overflowAlways ? static_cast<ULONG>(g_fake.offeredSizes.size()) * 2048 : 0);
        return ERROR_BUFFER_OVERFLOW;
    }
    std::memset(buffer, 0xCD, *size);
    const size_t n = g_fake.adapters.size();
    for (size_t i = 0; i < n; ++i) {
        buffer[i] = g_fake.adapters[g_fake.reversed ? n - 1 - i : i];
        buffer[i].Next = i + 1 < n ? &buffer[i + 1] : nullptr;
    }
    return NO_ERROR;
}

CString FakeInstallationId() { return g_fake.installationId; }

IP_ADAPTER_INFO Adapter(UINT type, BYTE a0, BYTE a5, UINT length = 6, BYTE a2 = 0x27)
{
    IP_ADAPTER_INFO adapter = {};
    adapter.Type = type;
    adapter.AddressLength = length;
    const BYTE address[6] = {a0, 0x00, a2, 0x00, 0x00, a5};
    std::memcpy(adapter.Address, address, 6);
    return adapter;
}

class CertiKeyTest : public sonvera_test::UserDicTest {
protected:
    void SetUp() override
    {
        g_fake = FakeSystem();
        CMachineIdentity::SetSources(FakeAdapterQuery, FakeInstallationId);
        sonvera_test::UserDicTest::SetUp();
    }
    void TearDown() override { CMachineIdentity::ResetSources(); }
};

// Among the physical adapters (Ethernet, wireless) with a globally
// administered address the smallest wins, whatever the list's order; else the
// smallest non-zero six-byte address of any adapter.
TEST_F(CertiKeyTest, TheChosenAddressDependsOnTheAdaptersNotOnTheirOrder)
{
    const IP_ADAPTER_INFO wired = Adapter(MIB_IF_TYPE_ETHERNET, 0x10, 0x02);
    const IP_ADAPTER_INFO wireless = Adapter(IF_TYPE_IEEE80211, 0x08, 0xee);
    const IP_ADAPTER_INFO local = Adapter(MIB_IF_TYPE_ETHERNET, 0x02, 0x01);   // locally administered
    const IP_ADAPTER_INFO ppp = Adapter(MIB_IF_TYPE_PPP, 0x00, 0x05);          // not a physical kind
    const IP_ADAPTER_INFO lowest = Adapter(MIB_IF_TYPE_ETHERNET, 0x00, 0x00);
    const IP_ADAPTER_INFO zero = Adapter(MIB_IF_TYPE_ETHERNET, 0x00, 0x00, 6, 0x00);
    const IP_ADAPTER_INFO eightBytes = Adapter(MIB_IF_TYPE_ETHERNET, 0x00, 0x01, 8);
    const struct {
        std::vector<IP_ADAPTER_INFO> adapters;
        const char* address;
    } cases[] = {
        {{wired, wireless, local, ppp, zero}, "0800270000EE"},
        {{ppp, local, zero}, "000027000005"},
        {{eightBytes, zero}, ""},
        {{eightBytes, lowest}, "000027000000"},
    };
    for (const auto& c : cases) {
        for (bool reversed : {false, true}) {
            g_fake.adapters = c.adapters;
            g_fake.reversed = reversed;
            EXPECT_EQ(c.address, m_dic.GetMacAddr().str()) << c.adapters.size() << (reversed ? " reversed" : "");
        }
    }
    CString key = "unchanged";
    ASSERT_EQ(1, m_dic.CreateCertiKey("Alice", key));
    EXPECT_EQ("000027000000Alice", key.str());
    EXPECT_EQ("", m_dic.ParseMacData().str());   // no list is held after a query
}

// The list is asked for into 1024 bytes first, then once more into the size
// the system asks for, which later queries start with; any other answer, or a
// second overflow, gives no address.
TEST_F(CertiKeyTest, TheListIsAskedForAtMostTwiceAndTheSizeTheSystemWantsIsKept)
{
    for (int i = 0; i < 5; ++i)
        g_fake.adapters.push_back(Adapter(MIB_IF_TYPE_ETHERNET, 0x00, static_cast<BYTE>(0x50 - i)));
    const ULONG needed = static_cast<ULONG>(5 * sizeof(IP_ADAPTER_INFO));
    EXPECT_EQ("00002700004C", m_dic.GetMacAddr().str());
    EXPECT_EQ("00002700004C", m_dic.GetMacAddr().str());
    EXPECT_EQ((std::vector<ULONG>{1024, needed, needed}), g_fake.offeredSizes);

    for (const bool overflowAlways : {false, true}) {
        g_fake.offeredSizes.clear();
        g_fake.firstAnswer = overflowAlways ? NO_ERROR : ERROR_NOT_SUPPORTED;
        g_fake.overflowAlways = overflowAlways;
        EXPECT_EQ("", m_dic.GetMacAddr().str());
        EXPECT_EQ(overflowAlways ? 2u : 1u, g_fake.offeredSizes.size());
    }
}

TEST_F(CertiKeyTest, WithoutAnAdapterTheInstallationIdentifierIsTakenAndWithNeitherNoUserIsMade)
{
    CString key = "unchanged";
    EXPECT_EQ(0, m_dic.CreateCertiKey("Bob", key));
    EXPECT_EQ("unchanged", key.str());
    EXPECT_EQ(0, m_dic.CreateUser("t", "Bob", "", "p", 0, 1, 1, 1, ""));
    EXPECT_EQ("", sonvera_test::ReadRaw(m_path));
    // A key given by the caller needs no machine identifier.
    EXPECT_EQ(1, m_dic.CreateUser("t", "Given", "GIVEN", "p", 0, 1, 1, 1, ""));

    g_fake.installationId = "6f1e2d3c-0000-4a4a-9999-abcdefabcdef";
    ASSERT_EQ(1, m_dic.CreateUser("t", "Bob", "", "p", 0, 1, 1, 1, ""));
    EXPECT_EQ("6f1e2d3c-0000-4a4a-9999-abcdefabcdefBob", m_dic.GetCertiKey("Bob").str());
}

// A registry whose installation identifier's key is a scratch key holding a known text.
class CInstalledRegistry : public CWin32Registry {
public:
    CInstalledRegistry()
    {
        const char guid[] = " 4c4c4544-0042-3510-8052-b4c04f4e4d32 ";
        RegSetKeyValueA(HKEY_CURRENT_USER, m_key.Path(), "MachineGuid", REG_SZ, guid, sizeof guid);
    }
    LONG OpenKey(HKEY parent, const char* subKey, REGSAM access, HKEY* key) override
    {
        openedWith64BitView = (access & KEY_WOW64_64KEY) != 0;
        if (parent != HKEY_LOCAL_MACHINE || std::string(subKey) != "SOFTWARE\\Microsoft\\Cryptography")
            return ERROR_FILE_NOT_FOUND;
        return CWin32Registry::OpenKey(HKEY_CURRENT_USER, m_key.Path(), KEY_QUERY_VALUE, key);
    }
    bool openedWith64BitView = false;

private:
    sonvera_test::CScratchKey m_key{HKEY_CURRENT_USER, "installation"};
};

// Without an adapter the registry's MachineGuid is read, from the 64-bit view,
// and trimmed; an unreadable registry gives no key.
TEST_F(CertiKeyTest, TheRegistrysMachineGuidIsReadFromThe64BitViewAndTrimmed)
{
    CMachineIdentity::SetSources(FakeAdapterQuery, nullptr);
    {
        CInstalledRegistry registry;
        CRegistryOverride scope(registry);
        CString certiKey;
        ASSERT_EQ(1, CAppUserDic().CreateCertiKey("Carol", certiKey));
        EXPECT_EQ("4c4c4544-0042-3510-8052-b4c04f4e4d32Carol", certiKey.str());
        EXPECT_TRUE(registry.openedWith64BitView);
    }
    for (const auto call : {sonvera_test::CFaultyRegistry::openKey, sonvera_test::CFaultyRegistry::queryValue}) {
        sonvera_test::CFaultyRegistry registry;
        registry.Fail(call, ERROR_ACCESS_DENIED);
        CRegistryOverride scope(registry);
        CString certiKey;
        EXPECT_EQ(0, CAppUserDic().CreateCertiKey("Carol", certiKey)) << call;
    }
}

} // namespace
