// CMachineIdentity: what ties a user's certi key to this computer: the
// physical address of one network adapter or, on a computer without one, the
// identifier Windows gave its installation (MachineGuid).
//
// The adapter list of the last query is module-wide, as the user dictionary's
// exported GetMacAddr and ParseMacData describe it; the host calls in only
// from its user-interface thread.
#pragma once

#include "fw/Api.h"
#include "fw/String.h"

struct _IP_ADAPTER_INFO;

class SONVERA_API CMachineIdentity {
public:
    // Where the identity comes from. The defaults ask the system
    // (GetAdaptersInfo; the registry's MachineGuid); tests put fakes here to
    // reach the paths a given computer never takes.
    typedef unsigned long(__stdcall* PFN_ADAPTER_QUERY)(_IP_ADAPTER_INFO* buffer, unsigned long* size);
    typedef CString (*PFN_INSTALLATION_ID)();
    static void SetSources(PFN_ADAPTER_QUERY adapterQuery, PFN_INSTALLATION_ID installationId);
    // The system's own sources again, and a fresh adapter buffer size.
    static void ResetSources();

    // The adapter address, else the installation identifier; empty with neither.
    static CString MachineKey();

    // The physical address of one adapter as 12 upper-case hex digits, or
    // empty. With several adapters the choice does not depend on their order:
    // among the Ethernet and wireless adapters with a six-byte, non-zero,
    // globally administered address (virtual and VPN adapters usually carry
    // locally administered ones) the numerically smallest address wins; when
    // there is no such adapter, the smallest non-zero six-byte address of any
    // adapter. The list is asked for into a buffer of 1024 bytes first, and
    // once more into the size the system asks for (kept for later queries).
    static CString AdapterAddress();
    // The address chosen from the adapter list held since the last query, or
    // empty when none is held (AdapterAddress releases the list before it returns).
    static CString HeldAdapterAddress();
    static void ReleaseAdapterList();

    // MachineGuid of the 64-bit registry view, trimmed; empty when it cannot be read.
    static CString InstallationId();
};
