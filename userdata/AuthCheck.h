// CAuthCheck: the voice dialog's decisions about the person at the keyboard,
// from the user dictionary alone: may this user do what the dialog was opened
// for, and do the typed ID and password match. The dialog shows the refusals.
#pragma once

#include "fw/Api.h"
#include "fw/String.h"
#include "userdata/AppUserDic.h"

class SONVERA_API CAuthCheck {
public:
    // Why the dialog asks: 0 Logon, 1 Encrypt, 2 Decrypt, 3 Setting, 4 User.
    enum Purpose { purposeLogon, purposeEncrypt, purposeDecrypt, purposeSetting, purposeUser };

    // 1 when the user's record allows the purpose: Logon, Encrypt and Decrypt
    // by their authority flags, Setting only outside group 1, User always; a
    // purpose outside 0 to 4 never.
    static int IsPurposeAllowed(const CAppUserDic::USER_INFORMATION& user, int nPurpose);
    // The same for the user named by the ID; 0 when the dictionary has no such user.
    static int IsUserAllowed(CAppUserDic& users, const CString& strUserID, int nPurpose);

    enum PasswordCheck { passwordMatches, passwordNoSuchUser, passwordDiffers };
    // The ID is found without regard to letter case; the password must equal
    // the stored one byte for byte.
    static PasswordCheck CheckPassword(CAppUserDic& users, const CString& strUserID, const CString& strPassword);
};
