// CAppUserDic - the user dictionary: one ';'-separated text record per user,
// each encrypted on its own and stored length-prefixed in one binary file.
//
// File (no header, no count, no terminator), one entry per user in list order:
//   offset 0  u32 LE   length L of the record's cipher text
//   offset 4  L bytes  CCrypto::EncryptString(record, pass phrase), no NUL
//
// Record fields, counted from 0: 0 user ID, 1 user text, 2 password, 3 group
// ("%d"), 4 certi key, 5 authority ("%d%d%d": log on, encrypt, decrypt),
// 6 voice list (nicks joined by ','). CreateUser and the seven-argument SetUser
// end every field with ';'; the field setters and SetUser(USER_INFORMATION)
// put ';' only between fields. Both shapes read alike: fields go by position.
//
// The in-memory list is the working copy. Every change rewrites the whole file
// through CSafeFileWriter (temporary file in the same folder, flushed, then
// moved over the old one), so an interrupted rewrite leaves the previous
// dictionary whole. File errors reach the caller as CFileException, except
// while the load loop reads entries: a damaged entry (a length past the end of
// the file, a truncated record) ends the load with the entries before it.
//
// User IDs and nicks are compared without letter case (Shift-JIS aware);
// passwords, groups, certi keys and authority texts byte for byte.
#pragma once

#include "fw/Api.h"
#include "fw/String.h"
#include "fw/StringArray.h"

#include <cstddef>

class SONVERA_API CAppUserDic {
public:
    struct SONVERA_API USER_INFORMATION {
        CString strUserID;
        CString strUserText;
        CString strPassword;
        int nGroup;
        CString strCertiKey;
        int bAllowLogon;
        int bAllowEncrypt;
        int bAllowDecrypt;
        CStringArray arrNicks;

        // Integers 0, texts and the nick list empty. Copies copy the nick
        // list entry by entry.
        USER_INFORMATION();
    };

    struct SONVERA_API USER_DICTIONARY {
        CString strUserID;
        CString strUserText;
        CString strPassword;
        int nGroup;
        CString strCertiKey;
        CString strAuthority;
        CString strVoiceList;

        USER_DICTIONARY();
    };

    CAppUserDic();
    virtual ~CAppUserDic();

    // --- whole records ---
    int SetUserDicFilePath(CString strPath);
    void CreateUserDic(CString strPath);
    int VerifyUserInfo(CString strUserID);
    CString GetUserWholeInfo(CString strUserID);
    int SetUserWholeInfo(CString strRecord);
    int DelUserWholeInfo(CString strUserID);
    int GetUserIDList(CStringArray& arrIDs);
    int CreateUser(CString strUserText, CString strUserID, CString strCertiKey, CString strPassword, int nGroup,
                   int bAllowLogon, int bAllowEncrypt, int bAllowDecrypt, CString strVoiceList);
    int SetUser(CString strUserText, CString strUserID, CString strPassword, int nGroup, int bAllowLogon,
                int bAllowEncrypt, int bAllowDecrypt);
    int SetUser(CString strUserID, USER_INFORMATION info);
    int GetUser(CString strUserID, USER_INFORMATION& info);
    int GetUserInfo(CString strUserID, USER_DICTIONARY& info);

    // --- machine key (CMachineIdentity, userdata/MachineIdentity.h) ---
    // 1 and strKey = machine identifier + suffix; 0 (strKey unchanged) when
    // neither an adapter address nor an installation identifier can be read.
    int CreateCertiKey(CString strSuffix, CString& strKey);
    // CMachineIdentity::AdapterAddress: 12 upper-case hex digits, or empty.
    CString GetMacAddr();
    // CMachineIdentity::HeldAdapterAddress.
    CString ParseMacData();

    // --- fields ---
    CString GetPassWord(CString strUserID);
    CString GetGroupInfo(CString strUserID);
    CString GetCertiKey(CString strUserID);
    CString GetAuthority(CString strUserID);
    CString GetVoiceList(CString strUserID);
    int VerifyPassWord(CString strUserID, CString strValue);
    int VerifyGroupInfo(CString strUserID, CString strValue);
    int VerifyCertiKey(CString strUserID, CString strValue);
    int VerifyAuthority(CString strUserID, CString strValue);
    int SetPassWord(CString strUserID, CString strValue);
    int SetGroupInfo(CString strUserID, CString strValue);
    int SetCertiKey(CString strUserID, CString strValue);
    int SetAuthority(CString strUserID, CString strValue);
    int SetVoiceList(CString strUserID, CString strValue);
    int VerifyNick(CString strUserID, CString strNick);
    int SetNick(CString strUserID, CString strNick);
    int DelNick(CString strUserID, CString strNick);
    int GetNickList(CString strUserID, CStringArray& arrNicks);

    static int IsFileExist(const char* pszPath, int bFolder);

    // --- record and file format, on plain texts and bytes ---
    static const int kFieldCount = 7;
    // Field n of a record; a missing field is an empty text.
    static CString GetField(const CString& strRecord, int nField);
    // Splits a list at cSeparator; an empty text gives one empty entry.
    static void SplitList(const CString& strList, char cSeparator, CStringArray& arrOut);
    // Cipher texts of the entries of a dictionary file image, in order. Returns
    // 1 when the whole image was read; 0 at the first damaged entry (a length
    // past the end, a record cut short), keeping the entries before it.
    static int ParseDicImage(const unsigned char* pData, size_t nSize, CStringArray& arrCipher);

private:
    enum { kPassword = 2, kGroup = 3, kCertiKey = 4, kAuthority = 5, kVoiceList = 6 };

    int GetUserList();
    int UpdateUserList();
    // Makes arrUsers the list and rewrites the file; on a failure both stay as they were.
    int StoreUsers(const CStringArray& arrUsers);

    int FindUser(const CString& strUserID) const;
    CString GetUserField(const CString& strUserID, int nField) const;
    int VerifyUserField(const CString& strUserID, int nField, const CString& strValue) const;
    int SetUserField(const CString& strUserID, int nField, const CString& strValue);
    static CString MakeTerminatedRecord(const CString& strUserID, const CString& strUserText,
                                        const CString& strPassword, int nGroup, const CString& strCertiKey,
                                        int bLogon, int bEncrypt, int bDecrypt, const CString& strVoiceList);

    CString m_strFilePath;
    CStringArray m_arrUsers;
};
