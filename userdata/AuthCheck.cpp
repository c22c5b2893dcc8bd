#include "userdata/AuthCheck.h"

int CAuthCheck::IsPurposeAllowed(const CAppUserDic::USER_INFORMATION& user, int nPurpose)
{
    switch (nPurpose) {
    case purposeLogon:
        return user.bAllowLogon != 0 ? 1 : 0;
    case purposeEncrypt:
        return user.bAllowEncrypt != 0 ? 1 : 0;
    case purposeDecrypt:
        return user.bAllowDecrypt != 0 ? 1 : 0;
    case purposeSetting:
        return user.nGroup == 0 ? 1 : 0;
    case purposeUser:
        return 1;
    default:
        return 0;
    }
}

int CAuthCheck::IsUserAllowed(CAppUserDic& users, const CString& strUserID, int nPurpose)
{
    CAppUserDic::USER_INFORMATION user;
    if (!users.GetUser(strUserID, user))
        return 0;
    return IsPurposeAllowed(user, nPurpose);
}

CAuthCheck::PasswordCheck CAuthCheck::CheckPassword(CAppUserDic& users, const CString& strUserID,
                                                    const CString& strPassword)
{
    if (users.VerifyUserInfo(strUserID) == -1)
        return passwordNoSuchUser;
    return users.GetPassWord(strUserID) == strPassword ? passwordMatches : passwordDiffers;
}
