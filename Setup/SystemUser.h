// Local Windows accounts of the machine the host runs on: create, enable or
// disable, delete, look up, read the privilege, add to and remove from a local
// group, change a password and list the accounts.
//
// Each operation is one call of Netapi32.dll's network management functions,
// loaded by name for the call and released right after it, so the library
// does not depend on Netapi32.dll at link time. Names and passwords go to the
// system in UTF-16, converted from the ANSI code page, and come back converted
// to it. An operation addresses the local computer by its name
// ("\\" + GetComputerNameLocal), or passes no server name when that cannot be read.
//
// Results are 1 for success and 0 for failure. When the network call reports
// an error, the last parameter receives an English text ("Error in
// AccountDelete:  The user name could not be found."); otherwise it is left
// as it was. A missing Netapi32.dll, or one without the function, gives 0 and
// no text. An exception, also one the network function itself raises, gives
// 0 (AccountGetInfo: -1) and "Error in <operation>: Unspecified error.".
#pragma once

#include "fw/Api.h"
#include "fw/String.h"
#include "fw/StringArray.h"

class SONVERA_API CSystemUser
{
public:
    CSystemUser();
    CSystemUser(const CSystemUser& other);
    CSystemUser& operator=(const CSystemUser& other);
    virtual ~CSystemUser();

    // Adds the account (user privilege, a password that does not expire) and
    // then disables it through AccountEnable, whose result is not used: a
    // failure there may leave an error text although the creation returns 1.
    int AccountCreate(CString strUser, CString strPassword, CString& strError);

    // Enables the account for any nonzero nEnable, disables it for 0. Its
    // errors read "Error in AccountCreate: ...".
    int AccountEnable(CString strUser, int nEnable, CString& strError);

    int AccountDelete(CString strUser, CString& strError);

    // 1 when the account exists.
    int AccountExist(CString strUser, CString& strError);

    // The account's privilege: 0 guest, 1 user, 2 administrator; -1 when the
    // call reports an error or returns nothing.
    int AccountGetInfo(CString strUser, CString& strError);

    int AccountInsertInGroup(CString strUser, CString strGroup, CString& strError);
    int AccountDeleteInGroup(CString strUser, CString strGroup, CString& strError);

    // The computer's name stands in as the domain.
    int AccountChangePassword(CString strUser, CString strOldPassword, CString strNewPassword,
                              CString& strError);

    // Appends the names of the normal accounts to arrUsers (which is not
    // emptied first); 1 when the array then holds at least one name. The
    // string is not used.
    int AccountGetUsers(CStringArray& arrUsers, CString& strUnused);

    // 1 with the computer's name, or 0 with the name empty.
    int GetComputerNameLocal(CString& strName);
};
