#include "userdata/MachineIdentity.h"

// The adapter list; only its structures are used, none of winsock2.
#include <iphlpapi.h>

#include <cstdlib>
#include <cstring>

#include "fw/Registry.h"

namespace {

// The adapter list is asked for into a buffer of this size first; a larger
// size the system asks for is kept for later queries.
const ULONG kFirstAdapterBufferSize = 1024;
// Entries examined at most, so that a damaged list cannot loop for ever.
const int kMaxAdapterEntries = 256;

const char kInstallationKey[] = "SOFTWARE\\Microsoft\\Cryptography";
const char kInstallationValue[] = "MachineGuid";

// The adapter list of the last query.
unsigned char* g_pAdapterBuffer = nullptr;
ULONG g_nAdapterBufferSize = kFirstAdapterBufferSize;
ULONG g_nAdapterDataSize = 0;

CMachineIdentity::PFN_ADAPTER_QUERY g_pfnAdapterQuery = nullptr;
CMachineIdentity::PFN_INSTALLATION_ID g_pfnInstallationId = nullptr;

unsigned long __stdcall SystemAdapterQuery(_IP_ADAPTER_INFO* buffer, unsigned long* size)
{
    return GetAdaptersInfo(buffer, size);
}

bool IsPreferredAdapter(const IP_ADAPTER_INFO& adapter)
{
    const bool physicalKind = adapter.Type == MIB_IF_TYPE_ETHERNET || adapter.Type == IF_TYPE_IEEE80211;
    const bool globallyAdministered = (adapter.Address[0] & 0x02) == 0;
    return physicalKind && globallyAdministered;
}

bool HasUsableAddress(const IP_ADAPTER_INFO& adapter)
{
    if (adapter.AddressLength != 6)
        return false;
    for (int i = 0; i < 6; ++i)
        if (adapter.Address[i] != 0)
            return true;
    return false;
}

bool InsideAdapterData(const void* entry)
{
    const unsigned char* p = static_cast<const unsigned char*>(entry);
    return p >= g_pAdapterBuffer && g_nAdapterDataSize >= sizeof(IP_ADAPTER_INFO) &&
           p <= g_pAdapterBuffer + (g_nAdapterDataSize - sizeof(IP_ADAPTER_INFO));
}

} // namespace

void CMachineIdentity::SetSources(PFN_ADAPTER_QUERY adapterQuery, PFN_INSTALLATION_ID installationId)
{
    g_pfnAdapterQuery = adapterQuery;
    g_pfnInstallationId = installationId;
}

void CMachineIdentity::ResetSources()
{
    SetSources(nullptr, nullptr);
    ReleaseAdapterList();
    g_nAdapterBufferSize = kFirstAdapterBufferSize;
}

void CMachineIdentity::ReleaseAdapterList()
{
    std::free(g_pAdapterBuffer);
    g_pAdapterBuffer = nullptr;
    g_nAdapterDataSize = 0;
}

CString CMachineIdentity::MachineKey()
{
    const CString address = AdapterAddress();
    if (!address.IsEmpty())
        return address;
    return g_pfnInstallationId ? g_pfnInstallationId() : InstallationId();
}

CString CMachineIdentity::AdapterAddress()
{
    PFN_ADAPTER_QUERY query = g_pfnAdapterQuery ? g_pfnAdapterQuery : SystemAdapterQuery;
    ReleaseAdapterList();
    for (int attempt = 0; attempt < 2; ++attempt) {
        g_pAdapterBuffer = static_cast<unsigned char*>(std::malloc(g_nAdapterBufferSize));
        if (g_pAdapterBuffer == nullptr)
            return CString();
        ULONG size = g_nAdapterBufferSize;
        const DWORD rc = query(reinterpret_cast<IP_ADAPTER_INFO*>(g_pAdapterBuffer), &size);
        if (rc == NO_ERROR) {
            g_nAdapterDataSize = g_nAdapterBufferSize;
            const CString address = HeldAdapterAddress();
            ReleaseAdapterList();
            return address;
        }
        ReleaseAdapterList();
        // Any other failure, or a second overflow, leaves no adapter data to read.
        if (rc != ERROR_BUFFER_OVERFLOW || size <= g_nAdapterBufferSize)
            return CString();
        g_nAdapterBufferSize = size;
    }
    return CString();
}

CString CMachineIdentity::HeldAdapterAddress()
{
    if (g_pAdapterBuffer == nullptr || g_nAdapterDataSize < sizeof(IP_ADAPTER_INFO))
        return CString();
    const IP_ADAPTER_INFO* best = nullptr;
    bool bestPreferred = false;
    const IP_ADAPTER_INFO* entry = reinterpret_cast<const IP_ADAPTER_INFO*>(g_pAdapterBuffer);
    for (int n = 0; entry != nullptr && n < kMaxAdapterEntries; ++n) {
        // The list's links must stay inside the buffer the system filled.
        if (!InsideAdapterData(entry))
            break;
        if (HasUsableAddress(*entry)) {
            const bool preferred = IsPreferredAdapter(*entry);
            if (best == nullptr || (preferred && !bestPreferred) ||
                (preferred == bestPreferred && std::memcmp(entry->Address, best->Address, 6) < 0)) {
                best = entry;
                bestPreferred = preferred;
            }
        }
        entry = entry->Next;
    }
    if (best == nullptr)
        return CString();
    CString text;
    text.Format("%02X%02X%02X%02X%02X%02X", best->Address[0], best->Address[1], best->Address[2],
                best->Address[3], best->Address[4], best->Address[5]);
    return text;
}

CString CMachineIdentity::InstallationId()
{
    // Set up by Windows at installation. It lives in the 64-bit view only, so
    // a 32-bit process must ask for that view.
    IRegistry& registry = GetRegistry();
    HKEY key = nullptr;
    if (registry.OpenKey(HKEY_LOCAL_MACHINE, kInstallationKey, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return CString();
    char value[128] = {};
    DWORD size = sizeof(value) - 1;
    DWORD type = 0;
    const LONG rc = registry.QueryValue(key, kInstallationValue, &type, reinterpret_cast<BYTE*>(value), &size);
    registry.CloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return CString();
    value[size < sizeof(value) ? size : sizeof(value) - 1] = '\0';
    CString id(value);
    id.Trim();
    return id;
}
