#include "Setup/AccountError.h"

#include <windows.h>

#include <lmerr.h>

namespace
{
// Which operations recognise a status: one bit per operation.
constexpr unsigned Bit(AccountOperation operation)
{
    return 1u << static_cast<unsigned>(operation);
}

constexpr unsigned kCreate = Bit(AccountOperation::Create);
constexpr unsigned kEnable = Bit(AccountOperation::Enable);
constexpr unsigned kDelete = Bit(AccountOperation::Delete);
constexpr unsigned kExist = Bit(AccountOperation::Exist);
constexpr unsigned kGetInfo = Bit(AccountOperation::GetInfo);
constexpr unsigned kInsertInGroup = Bit(AccountOperation::InsertInGroup);
constexpr unsigned kDeleteInGroup = Bit(AccountOperation::DeleteInGroup);
constexpr unsigned kChangePassword = Bit(AccountOperation::ChangePassword);
constexpr unsigned kAll = kCreate | kEnable | kDelete | kExist | kGetInfo | kInsertInGroup | kDeleteInGroup |
                          kChangePassword;

struct Reason
{
    DWORD status;
    unsigned recognisedBy;
    const char* text;
};

// The texts are the product's own, stray punctuation included.
const Reason kReasons[] = {
    {ERROR_ACCESS_DENIED, kAll, "The user does not have access to the requested information."},
    {ERROR_INVALID_PASSWORD, kChangePassword, "The user has entered an invalid password."},
    {ERROR_INVALID_PARAMETER, kEnable, "One of the function parameters is invalid"},
    {ERROR_MEMBER_IN_ALIAS, kInsertInGroup | kDeleteInGroup,
     "One or more of the members specified were already members of the local group. No new members were added."},
    {ERROR_NO_SUCH_MEMBER, kInsertInGroup | kDeleteInGroup,
     "One or more of the members specified do not exist. Therefore, no new members were added."},
    {ERROR_INVALID_MEMBER, kInsertInGroup,
     "One or more of the members cannot be added because their account type is invalid. No new members were added."},
    {NERR_GroupNotFound, kInsertInGroup | kDeleteInGroup,
     "The local group specified by the groupname parameter does not exist."},
    {NERR_UserNotFound, kEnable | kDelete | kExist | kGetInfo | kChangePassword, "The user name could not be found."},
    {NERR_GroupExists, kCreate, "The group already exists."},
    {NERR_UserExists, kCreate, "The user account already exists."},
    {NERR_NotPrimary, kCreate | kEnable | kDelete | kChangePassword,
     "The operation is allowed only on the primary domain controller of the domain."},
    {NERR_SpeGroupOp, kEnable, "The operation is not allowed on specified special groups."},
    {NERR_PasswordTooShort, kCreate | kEnable,
     "The password is shorter than required, too long, too recent or not have enough unique characters."},
    {NERR_PasswordTooShort, kChangePassword, "The password is shorter than required."},
    {NERR_InvalidComputer, kCreate | kEnable | kDelete | kExist | kGetInfo | kChangePassword,
     "The computer name is invalid."},
    {NERR_LastAdmin, kEnable, "The operation is not allowed on the last administrative account.."},
};

const char kUnspecifiedReason[] = "Unspecified error.";

const char* FrameName(AccountOperation operation)
{
    switch (operation) {
    case AccountOperation::Create:
    case AccountOperation::Enable: return "AccountCreate";
    case AccountOperation::Delete: return "AccountDelete";
    case AccountOperation::Exist: return "AccountExist";
    case AccountOperation::GetInfo: return "AccountGetInfo";
    case AccountOperation::InsertInGroup: return "AccountInsertInGroup";
    case AccountOperation::DeleteInGroup: return "AccountDeleteInGroup";
    case AccountOperation::ChangePassword: return "AccountChangePassword";
    }
    return "";
}

const char* ReasonText(AccountOperation operation, unsigned long status)
{
    for (const Reason& reason : kReasons) {
        if (reason.status == status && (reason.recognisedBy & Bit(operation)) != 0)
            return reason.text;
    }
    return kUnspecifiedReason;
}
} // namespace

CString AccountStatusText(AccountOperation operation, unsigned long status)
{
    CString text;
    text.Format("Error in %s:  %s", FrameName(operation), ReasonText(operation, status));
    return text;
}

CString AccountExceptionText(AccountOperation operation)
{
    CString text;
    text.Format("Error in %s: %s", FrameName(operation), kUnspecifiedReason);
    return text;
}
