// The English texts that CSystemUser's account operations give back when they
// fail: a frame naming the operation, filled with the reason for the status
// its network call reported. Each operation recognises only the statuses its
// own call is documented to report; any other is "Unspecified error.".
#pragma once

#include "fw/String.h"

enum class AccountOperation
{
    Create,
    Enable,   // reports in the frame of Create
    Delete,
    Exist,
    GetInfo,
    InsertInGroup,
    DeleteInGroup,
    ChangePassword,
};

// "Error in <operation>:  <reason>" (two blanks) for a nonzero status.
CString AccountStatusText(AccountOperation operation, unsigned long status);

// "Error in <operation>: Unspecified error." (one blank), for an operation
// that an exception ended.
CString AccountExceptionText(AccountOperation operation);
