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
// The in-memory list is what every read works on. Every change is made under
// the dictionary's lock across processes (CFileLock) to what the file holds
// at that moment: the file is read afresh, changed and rewritten whole
// through CSafeFileWriter (temporary file in the same folder, flushed, then
// moved over the old one), and the list becomes what the file then holds. So
// a second host's changes are never lost, an interrupted rewrite leaves the
// previous dictionary whole, and a file that cannot be read whole is never
// rewritten. A path whose file cannot be opened is not taken.
//
// File errors reach the caller as CFileException, except while
// SetUserDicFilePath reads the entries: a read failure there keeps the
// entries read before it. Damaged data loses nothing: an entry whose cipher
// text does not decrypt names nobody (no ID matches it, not even the empty
// one) and is written back as it was; bytes that cannot be framed (a length
// past the end of the file) stay behind the users.
//
// User IDs and nicks are compared without letter case (Shift-JIS aware);
// passwords, groups, certi keys and authority texts byte for byte.
#pragma once

#include "fw/Api.h"
#include "fw/String.h"
#include "fw/StringArray.h"

#include <cstddef>
#include <functional>

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

    // What the file holds: the records, entry by entry; for each entry that
    // does not decrypt, its cipher text (empty for the others), kept to be
    // written back as it was; and the bytes behind the last entry that could
    // be framed, kept behind the users.
    struct CONTENTS {
        CStringArray arrRecords;
        CStringArray arrKeptCipher;
        CString strDamagedTail;
    };

    // Reads the dictionary at the path into contents; 1 when it was read whole
    // and holds users, else 0. A file that cannot be opened raises
    // CFileException; so does a read failure part way, unless bKeepPartial,
    // when the entries read before it are given.
    static int GetUserList(const CString& strPath, CONTENTS& contents, bool bKeepPartial);
    // Rewrites the dictionary at the path from contents, through a temporary file.
    static int UpdateUserList(const CString& strPath, const CONTENTS& contents);
    void Take(const CONTENTS& contents);
    // Every change: under the dictionary's lock the file is read afresh,
    // change edits what it holds and says 1 (write it) or 0 (nothing to do),
    // the file is rewritten and the object takes what the file then holds.
    // Its result is change's.
    int ChangeUsers(const std::function<int(CONTENTS&)>& change);

    static int FindUserIn(const CONTENTS& users, const CString& strUserID);
    static CString WithField(const CString& strRecord, int nField, const CString& strValue);
    int FindUser(const CString& strUserID) const;
    CString GetUserField(const CString& strUserID, int nField) const;
    int VerifyUserField(const CString& strUserID, int nField, const CString& strValue) const;
    int SetUserField(const CString& strUserID, int nField, const CString& strValue);
    static CString MakeTerminatedRecord(const CString& strUserID, const CString& strUserText,
                                        const CString& strPassword, int nGroup, const CString& strCertiKey,
                                        int bLogon, int bEncrypt, int bDecrypt, const CString& strVoiceList);

    CString m_strFilePath;
    CStringArray m_arrUsers;
    CStringArray m_arrKeptCipher;
    CString m_strDamagedTail;
};
