#include "Setup/SystemUser.h"

#include <windows.h>

#include <lm.h>

#include <string>

#include "Setup/AccountError.h"
#include "fw/GuardedCall.h"
#include "fw/Library.h"

namespace
{
const char kNetworkLibrary[] = "\\Netapi32.dll";

// The network functions, typed as the system declares them; they are only
// ever reached through the library loaded for one operation.
typedef decltype(&NetUserAdd) PFN_NET_USER_ADD;
typedef decltype(&NetUserSetInfo) PFN_NET_USER_SET_INFO;
typedef decltype(&NetUserDel) PFN_NET_USER_DEL;
typedef decltype(&NetUserGetInfo) PFN_NET_USER_GET_INFO;
typedef decltype(&NetLocalGroupAddMembers) PFN_NET_LOCAL_GROUP_MEMBERS;
typedef decltype(&NetUserChangePassword) PFN_NET_USER_CHANGE_PASSWORD;
typedef decltype(&NetUserEnum) PFN_NET_USER_ENUM;
typedef decltype(&NetApiBufferFree) PFN_NET_API_BUFFER_FREE;

const int kSuccess = 1;
const int kFailure = 0;
const int kNoPrivilege = -1;

// Information levels of the calls.
const DWORD kLevelNames = 0;            // USER_INFO_0, the enumeration
const DWORD kLevelAccount = 1;          // USER_INFO_1, creation and privilege
const DWORD kLevelNameAndComment = 10;  // USER_INFO_10, existence
const DWORD kLevelFlags = 1008;         // USER_INFO_1008
const DWORD kLevelMemberName = 3;       // LOCALGROUP_MEMBERS_INFO_3

// A new account is made disabled, and enabling keeps the other two flags.
const DWORD kEnabledFlags = UF_DONT_EXPIRE_PASSWD | UF_SCRIPT;
const DWORD kDisabledFlags = UF_DONT_EXPIRE_PASSWD | UF_ACCOUNTDISABLE | UF_SCRIPT;

// GetComputerNameA's buffer: a NetBIOS name and its NUL.
const DWORD kComputerNameBuffer = 16;

// Ends the operation: the network call itself raised a structured exception.
struct CNetworkCallRaised
{
};

// Makes one network call, fenced, so that an exception it raises ends the
// operation like any other exception instead of ending the host.
template <class Function, class... Arguments>
NET_API_STATUS CallNetwork(Function function, Arguments... arguments)
{
    NET_API_STATUS status = NERR_Success;
    if (CallGuarded([&]() noexcept { status = function(arguments...); }) != 0)
        throw CNetworkCallRaised();
    return status;
}

// The system's own Netapi32.dll, by its full path. A bare name is also looked
// for in the host's folder (and on older systems in the current folder before
// the system's), where a file planted under that name would run with the
// rights of a host that manages accounts. Empty when the system folder cannot
// be told, which no load accepts.
CString NetworkLibraryPath()
{
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return CString();
    return CString(folder, static_cast<int>(length)) + kNetworkLibrary;
}

// Loads Netapi32.dll into `library` and looks up the function: null when
// either fails.
template <class Function>
Function LoadNetworkFunction(CLibrary& library, const char* name)
{
    const CString path = NetworkLibraryPath();
    return !path.IsEmpty() && library.Load(path) ? library.Find<Function>(name) : nullptr;
}

// A buffer a network function filled, released through the library's own
// NetApiBufferFree however the operation ends.
class CNetworkBuffer
{
public:
    explicit CNetworkBuffer(PFN_NET_API_BUFFER_FREE pfnFree) : m_pfnFree(pfnFree) {}
    ~CNetworkBuffer() { Release(); }
    CNetworkBuffer(const CNetworkBuffer&) = delete;
    CNetworkBuffer& operator=(const CNetworkBuffer&) = delete;

    LPBYTE* Receive()
    {
        Release();
        return &m_pData;
    }
    template <class Record>
    const Record* As() const { return reinterpret_cast<const Record*>(m_pData); }
    void Release()
    {
        if (m_pData != nullptr)
            m_pfnFree(m_pData);
        m_pData = nullptr;
    }

private:
    PFN_NET_API_BUFFER_FREE m_pfnFree;
    LPBYTE m_pData = nullptr;
};

int ReadComputerName(CString& strName)
{
    char name[kComputerNameBuffer] = {};
    DWORD length = kComputerNameBuffer;
    if (!GetComputerNameA(name, &length)) {
        strName.Empty();
        return kFailure;
    }
    strName = CString(name, static_cast<int>(length));
    return kSuccess;
}

// The server argument of every call: empty (no server name) when the
// computer name cannot be read.
std::wstring LocalServerName()
{
    CString name;
    return ReadComputerName(name) ? (CString("\\\\") + name).ToWide() : std::wstring();
}

const wchar_t* ServerArgument(const std::wstring& server)
{
    return server.empty() ? nullptr : server.c_str();
}

// The record types name their strings as writable; the calls only read them.
LPWSTR Writable(const std::wstring& text)
{
    return const_cast<LPWSTR>(text.c_str());
}

// True on success; otherwise the operation's text for the status goes to strError.
bool Succeeded(AccountOperation operation, NET_API_STATUS status, CString& strError)
{
    if (status == NERR_Success)
        return true;
    strError = AccountStatusText(operation, status);
    return false;
}

// Runs an operation's body; any exception ends it with `failed` and the
// operation's fixed text (left out only if even that text cannot be made).
template <class Body>
int RunOperation(AccountOperation operation, CString& strError, int failed, Body body)
{
    try {
        return body();
    } catch (...) {
        try {
            strError = AccountExceptionText(operation);
        } catch (...) {
        }
        return failed;
    }
}

// The operations that are one network call on this computer: loads the
// function, calls it with the local server before `arguments`, and turns its
// status into kSuccess or kFailure with the status's text.
template <class Function, class... Arguments>
int CallOnLocalServer(AccountOperation operation, const char* functionName, CString& strError,
                      Arguments... arguments)
{
    const std::wstring server = LocalServerName();
    CLibrary netapi;
    auto function = LoadNetworkFunction<Function>(netapi, functionName);
    if (function == nullptr)
        return kFailure;
    const NET_API_STATUS status = CallNetwork(function, ServerArgument(server), arguments...);
    return Succeeded(operation, status, strError) ? kSuccess : kFailure;
}

// Both group operations: one member entry naming the user.
int ChangeGroupMembers(AccountOperation operation, const char* functionName, const CString& strUser,
                       const CString& strGroup, CString& strError)
{
    return RunOperation(operation, strError, kFailure, [&] {
        const std::wstring user = strUser.ToWide();
        const std::wstring group = strGroup.ToWide();
        LOCALGROUP_MEMBERS_INFO_3 member = {Writable(user)};
        return CallOnLocalServer<PFN_NET_LOCAL_GROUP_MEMBERS>(operation, functionName, strError, group.c_str(),
                                                             kLevelMemberName, reinterpret_cast<LPBYTE>(&member),
                                                             DWORD(1));
    });
}

// Reads one user's record at `level` and hands it to `use`; a failed call
// ends the operation with `failed` and the status's text.
template <class Use>
int QueryUser(AccountOperation operation, const CString& strUser, DWORD level, CString& strError, int failed,
              Use use)
{
    return RunOperation(operation, strError, failed, [&] {
        const std::wstring user = strUser.ToWide();
        const std::wstring server = LocalServerName();
        CLibrary netapi;
        auto netUserGetInfo = LoadNetworkFunction<PFN_NET_USER_GET_INFO>(netapi, "NetUserGetInfo");
        auto netApiBufferFree = netapi.Find<PFN_NET_API_BUFFER_FREE>("NetApiBufferFree");
        if (netUserGetInfo == nullptr || netApiBufferFree == nullptr)
            return kFailure;
        CNetworkBuffer buffer(netApiBufferFree);
        const NET_API_STATUS status =
            CallNetwork(netUserGetInfo, ServerArgument(server), user.c_str(), level, buffer.Receive());
        return Succeeded(operation, status, strError) ? use(buffer) : failed;
    });
}

void AppendNames(const CNetworkBuffer& buffer, DWORD count, CStringArray& arrUsers)
{
    const USER_INFO_0* entries = buffer.As<USER_INFO_0>();
    for (DWORD i = 0; entries != nullptr && i < count; ++i)
        arrUsers.Add(CString::FromWide(entries[i].usri0_name));
}
} // namespace

CSystemUser::CSystemUser() {}
CSystemUser::CSystemUser(const CSystemUser&) {}
CSystemUser& CSystemUser::operator=(const CSystemUser&) { return *this; }
CSystemUser::~CSystemUser() {}

int CSystemUser::AccountCreate(CString strUser, CString strPassword, CString& strError)
{
    const int created = RunOperation(AccountOperation::Create, strError, kFailure, [&] {
        const std::wstring user = strUser.ToWide();
        const std::wstring password = strPassword.ToWide();
        USER_INFO_1 account = {};
        account.usri1_name = Writable(user);
        account.usri1_password = Writable(password);
        account.usri1_priv = USER_PRIV_USER;
        account.usri1_flags = kDisabledFlags;
        DWORD badField = 0;
        return CallOnLocalServer<PFN_NET_USER_ADD>(AccountOperation::Create, "NetUserAdd", strError, kLevelAccount,
                                                   reinterpret_cast<LPBYTE>(&account), &badField);
    });
    if (created == kSuccess)
        AccountEnable(strUser, 0, strError);
    return created;
}

int CSystemUser::AccountEnable(CString strUser, int nEnable, CString& strError)
{
    return RunOperation(AccountOperation::Enable, strError, kFailure, [&] {
        const std::wstring user = strUser.ToWide();
        USER_INFO_1008 flags = {nEnable != 0 ? kEnabledFlags : kDisabledFlags};
        DWORD badField = 0;
        return CallOnLocalServer<PFN_NET_USER_SET_INFO>(AccountOperation::Enable, "NetUserSetInfo", strError,
                                                        user.c_str(), kLevelFlags, reinterpret_cast<LPBYTE>(&flags),
                                                        &badField);
    });
}

int CSystemUser::AccountDelete(CString strUser, CString& strError)
{
    return RunOperation(AccountOperation::Delete, strError, kFailure, [&] {
        const std::wstring user = strUser.ToWide();
        return CallOnLocalServer<PFN_NET_USER_DEL>(AccountOperation::Delete, "NetUserDel", strError, user.c_str());
    });
}

int CSystemUser::AccountExist(CString strUser, CString& strError)
{
    return QueryUser(AccountOperation::Exist, strUser, kLevelNameAndComment, strError, kFailure,
                     [](const CNetworkBuffer&) { return kSuccess; });
}

int CSystemUser::AccountGetInfo(CString strUser, CString& strError)
{
    return QueryUser(AccountOperation::GetInfo, strUser, kLevelAccount, strError, kNoPrivilege,
                     [](const CNetworkBuffer& buffer) {
                         const USER_INFO_1* account = buffer.As<USER_INFO_1>();
                         return account != nullptr ? static_cast<int>(account->usri1_priv) : kNoPrivilege;
                     });
}

int CSystemUser::AccountInsertInGroup(CString strUser, CString strGroup, CString& strError)
{
    return ChangeGroupMembers(AccountOperation::InsertInGroup, "NetLocalGroupAddMembers", strUser, strGroup, strError);
}

int CSystemUser::AccountDeleteInGroup(CString strUser, CString strGroup, CString& strError)
{
    return ChangeGroupMembers(AccountOperation::DeleteInGroup, "NetLocalGroupDelMembers", strUser, strGroup, strError);
}

int CSystemUser::AccountChangePassword(CString strUser, CString strOldPassword, CString strNewPassword,
                                       CString& strError)
{
    return RunOperation(AccountOperation::ChangePassword, strError, kFailure, [&] {
        const std::wstring user = strUser.ToWide();
        const std::wstring oldPassword = strOldPassword.ToWide();
        const std::wstring newPassword = strNewPassword.ToWide();
        return CallOnLocalServer<PFN_NET_USER_CHANGE_PASSWORD>(AccountOperation::ChangePassword,
                                                               "NetUserChangePassword", strError, user.c_str(),
                                                               oldPassword.c_str(), newPassword.c_str());
    });
}

int CSystemUser::AccountGetUsers(CStringArray& arrUsers, CString&)
{
    try {
        const std::wstring server = LocalServerName();
        CLibrary netapi;
        auto netUserEnum = LoadNetworkFunction<PFN_NET_USER_ENUM>(netapi, "NetUserEnum");
        auto netApiBufferFree = netapi.Find<PFN_NET_API_BUFFER_FREE>("NetApiBufferFree");
        if (netUserEnum == nullptr || netApiBufferFree == nullptr)
            return kFailure;
        DWORD resume = 0;
        NET_API_STATUS status = NERR_Success;
        do {
            CNetworkBuffer buffer(netApiBufferFree);
            DWORD read = 0;
            DWORD total = 0;
            const DWORD resumeBefore = resume;
            status = CallNetwork(netUserEnum, ServerArgument(server), kLevelNames, DWORD(FILTER_NORMAL_ACCOUNT),
                                 buffer.Receive(), DWORD(MAX_PREFERRED_LENGTH), &read, &total, &resume);
            if (status == NERR_Success || status == ERROR_MORE_DATA)
                AppendNames(buffer, read, arrUsers);
            // More data without the position moving would deliver the same
            // names for ever (Wine does so when a page is short).
            if (status == ERROR_MORE_DATA && resume == resumeBefore)
                break;
        } while (status == ERROR_MORE_DATA);
    } catch (...) {
        return kFailure;
    }
    return arrUsers.GetSize() > 0 ? kSuccess : kFailure;
}

int CSystemUser::GetComputerNameLocal(CString& strName)
{
    try {
        return ReadComputerName(strName);
    } catch (...) {
        strName.Empty();
        return kFailure;
    }
}
