#include "userdata/AppUserDic.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fw/File.h"
#include "fw/FileException.h"
#include "fw/FileLock.h"
#include "fw/RecordReader.h"
#include "fw/RecordWriter.h"
#include "fw/SafeFileWriter.h"
#include "userdata/Crypto.h"
#include "userdata/MachineIdentity.h"

namespace {

const char kFieldSeparator = ';';
const char kNickSeparator = ',';
// The load reads the file in pieces of this size, so that a read error keeps
// the entries of the pieces before it.
const UINT kLoadPiece = 64u * 1024u;

bool SameText(const CString& a, const CString& b) { return a.CompareNoCase(b) == 0; }

// Fields joined by ';' with none after the last: the shape of the field setters.
CString JoinFields(const CString* fields, int count)
{
    CString record;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            record += kFieldSeparator;
        record += fields[i];
    }
    return record;
}

// The first six entries of a voice list; fewer when the list has fewer.
void FirstSixNicks(const CString& strVoiceList, CStringArray& arrOut)
{
    CAppUserDic::SplitList(strVoiceList, kNickSeparator, arrOut);
    if (arrOut.GetSize() > 6)
        arrOut.SetSize(6);
}

} // namespace

// ---------------------------------------------------------------------------
// Nested records

CAppUserDic::USER_INFORMATION::USER_INFORMATION()
    : nGroup(0), bAllowLogon(0), bAllowEncrypt(0), bAllowDecrypt(0)
{
}

CAppUserDic::USER_DICTIONARY::USER_DICTIONARY() : nGroup(0) {}

// ---------------------------------------------------------------------------
// Construction

CAppUserDic::CAppUserDic() {}

CAppUserDic::~CAppUserDic() { CMachineIdentity::ReleaseAdapterList(); }

int CAppUserDic::IsFileExist(const char* pszPath, int bFolder)
{
    return CFile::Exists(pszPath, bFolder);
}

// ---------------------------------------------------------------------------
// Record format

// ';' and ',' lie below the Shift-JIS trail-byte range, so a byte search
// never finds one inside a double-byte character. The search must be by byte:
// a character-wise search takes a lone lead byte (a text cut inside a
// character) and the separator behind it for one character, which glues two
// fields together and moves the password onto the group.
static int FindSeparator(const CString& strText, char cSeparator, int nStart)
{
    const size_t pos = strText.str().find(cSeparator, static_cast<size_t>(nStart));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString CAppUserDic::GetField(const CString& strRecord, int nField)
{
    int start = 0;
    for (int i = 0; i < nField; ++i) {
        const int sep = FindSeparator(strRecord, kFieldSeparator, start);
        if (sep < 0)
            return CString();
        start = sep + 1;
    }
    const int end = FindSeparator(strRecord, kFieldSeparator, start);
    return end < 0 ? strRecord.Mid(start) : strRecord.Mid(start, end - start);
}

void CAppUserDic::SplitList(const CString& strList, char cSeparator, CStringArray& arrOut)
{
    int start = 0;
    for (;;) {
        const int sep = FindSeparator(strList, cSeparator, start);
        if (sep < 0) {
            arrOut.Add(strList.Mid(start));
            return;
        }
        arrOut.Add(strList.Mid(start, sep - start));
        start = sep + 1;
    }
}

int CAppUserDic::ParseDicImage(const unsigned char* pData, size_t nSize, CStringArray& arrCipher)
{
    CRecordReader entries(pData, nSize, CString());
    while (!entries.AtEnd()) {
        // An empty cipher text or one with a zero byte was never made by the
        // cipher, so such an entry is damage like a length past the end.
        CString cipher;
        if (!entries.TryNext(cipher) || cipher.IsEmpty() ||
            std::memchr(cipher.GetString(), 0, static_cast<size_t>(cipher.GetLength())) != nullptr)
            return 0;
        arrCipher.Add(cipher);
    }
    return 1;
}

CString CAppUserDic::MakeTerminatedRecord(const CString& strUserID, const CString& strUserText,
                                          const CString& strPassword, int nGroup, const CString& strCertiKey,
                                          int bLogon, int bEncrypt, int bDecrypt, const CString& strVoiceList)
{
    CString group;
    group.Format("%d", nGroup);
    CString authority;
    authority.Format("%d%d%d", bLogon ? 1 : 0, bEncrypt ? 1 : 0, bDecrypt ? 1 : 0);
    CString record;
    const CString fields[kFieldCount] = {strUserID, strUserText, strPassword, group,
                                         strCertiKey, authority, strVoiceList};
    for (const CString& field : fields) {
        record += field;
        record += kFieldSeparator;
    }
    return record;
}

// ---------------------------------------------------------------------------
// The file

int CAppUserDic::SetUserDicFilePath(CString strPath)
{
    // A new dictionary is made empty. A rewrite cut off by a crash may have
    // left its temporary file beside the dictionary; the dictionary itself is
    // whole, so the leftover goes.
    CSafeFileWriter::PrepareStore(strPath, [] { return std::vector<BYTE>(); });
    // The object takes the path and the list only once the file could be
    // opened: a failed open leaves it as it was, so nothing is written over
    // a dictionary it never read.
    CONTENTS contents;
    GetUserList(strPath, contents, true);
    m_strFilePath = strPath;
    Take(contents);
    return 1;
}

void CAppUserDic::CreateUserDic(CString strPath)
{
    CFileLock lock(strPath);
    CSafeFileWriter::WriteFile(strPath, nullptr, 0);
}

int CAppUserDic::GetUserList(const CString& strPath, CONTENTS& contents, bool bKeepPartial)
{
    CFile file(strPath, CFile::modeRead | CFile::typeBinary | CFile::shareDenyNone | CFile::shareAllowDelete);
    const ULONGLONG length = file.GetLength();

    // Read what the file holds and no more, in pieces, so that a read error
    // (or a file too large for memory) keeps the pieces read before it.
    std::vector<unsigned char> image;
    bool readWhole = true;
    try {
        while (image.size() < length) {
            const ULONGLONG left = length - image.size();
            const UINT piece = left < kLoadPiece ? static_cast<UINT>(left) : kLoadPiece;
            const size_t used = image.size();
            image.resize(used + piece);
            const UINT got = file.Read(image.data() + used, piece);
            image.resize(used + got);
            if (got == 0)
                break;
        }
    } catch (const std::exception&) {
        if (!bKeepPartial)
            throw;
        readWhole = false;
    }
    file.Abort();
    if (image.size() != length) {
        if (!bKeepPartial)
            CFileException::Throw(CFileException::endOfFile, strPath, "ReadFile");
        readWhole = false;
    }

    CStringArray ciphers;
    const int parsedWhole = ParseDicImage(image.data(), image.size(), ciphers);
    CCrypto crypto;
    const CString passPhrase = CCrypto::GetProcessKey();
    size_t framed = 0;
    for (int i = 0; i < ciphers.GetSize(); ++i) {
        // A cipher text changed on disk decrypts to nothing: the entry names
        // nobody, and its cipher text is kept to be written back as it is.
        // The entries behind it are framed by their own lengths and whole.
        const CString record = crypto.DecryptString(ciphers[i], passPhrase);
        contents.arrRecords.Add(record);
        contents.arrKeptCipher.Add(record.IsEmpty() ? ciphers[i] : CString());
        framed += CRecordReader::kLengthSize + static_cast<size_t>(ciphers[i].GetLength());
    }
    // Bytes that cannot be framed (a length past the end) are no user, but
    // they are kept, behind the users, rather than cut off by a rewrite.
    if (readWhole && framed < image.size())
        contents.strDamagedTail = CString(reinterpret_cast<const char*>(image.data() + framed),
                                          static_cast<int>(image.size() - framed));
    return readWhole && parsedWhole && contents.arrRecords.GetSize() > 0 ? 1 : 0;
}

int CAppUserDic::UpdateUserList(const CString& strPath, const CONTENTS& contents)
{
    CCrypto crypto;
    const CString passPhrase = CCrypto::GetProcessKey();
    CRecordWriter image;
    for (int i = 0; i < contents.arrRecords.GetSize(); ++i) {
        if (!contents.arrKeptCipher[i].IsEmpty()) {
            image.Append(contents.arrKeptCipher[i]);
            continue;
        }
        const CString cipher = crypto.EncryptString(contents.arrRecords[i], passPhrase);
        // An empty cipher text would read back as damage and cut off every
        // user behind it; the old file is kept instead.
        if (cipher.IsEmpty())
            CFileException::Throw(CFileException::genericException, strPath, "EncryptString");
        image.Append(cipher);
    }
    image.AppendRaw(contents.strDamagedTail.GetString(), static_cast<size_t>(contents.strDamagedTail.GetLength()));
    CSafeFileWriter::WriteFile(strPath, image.Bytes());
    return 1;
}

void CAppUserDic::Take(const CONTENTS& contents)
{
    m_arrUsers.Copy(contents.arrRecords);
    m_arrKeptCipher.Copy(contents.arrKeptCipher);
    m_strDamagedTail = contents.strDamagedTail;
}

// Another host may have changed the file since this object read it: the
// change is made to what the file holds now, under the lock that keeps every
// other host out until the file is rewritten. A file that cannot be read
// whole is never rewritten.
int CAppUserDic::ChangeUsers(const std::function<int(CONTENTS&)>& change)
{
    if (m_strFilePath.IsEmpty())
        CFileException::Throw(CFileException::fileNotFound, m_strFilePath, "SetUserDicFilePath");
    CFileLock lock(m_strFilePath);
    CSafeFileWriter::RemoveLeftovers(m_strFilePath);
    CONTENTS contents;
    GetUserList(m_strFilePath, contents, false);
    const int result = change(contents);
    if (result != 0)
        UpdateUserList(m_strFilePath, contents);
    Take(contents);
    return result;
}

// ---------------------------------------------------------------------------
// Whole records

int CAppUserDic::FindUserIn(const CONTENTS& users, const CString& strUserID)
{
    for (int i = 0; i < users.arrRecords.GetSize(); ++i)
        if (users.arrKeptCipher[i].IsEmpty() && SameText(GetField(users.arrRecords[i], 0), strUserID))
            return i;
    return -1;
}

int CAppUserDic::FindUser(const CString& strUserID) const
{
    for (int i = 0; i < m_arrUsers.GetSize(); ++i)
        if (m_arrKeptCipher[i].IsEmpty() && SameText(GetField(m_arrUsers[i], 0), strUserID))
            return i;
    return -1;
}

int CAppUserDic::VerifyUserInfo(CString strUserID) { return FindUser(strUserID); }

CString CAppUserDic::GetUserWholeInfo(CString strUserID)
{
    const int index = FindUser(strUserID);
    return index < 0 ? CString() : m_arrUsers[index];
}

int CAppUserDic::SetUserWholeInfo(CString strRecord)
{
    return ChangeUsers([&](CONTENTS& users) {
        const int index = FindUserIn(users, GetField(strRecord, 0));
        if (index < 0)
            return 0;
        users.arrRecords.SetAt(index, strRecord);
        return 1;
    });
}

int CAppUserDic::DelUserWholeInfo(CString strUserID)
{
    return ChangeUsers([&](CONTENTS& users) {
        const int index = FindUserIn(users, strUserID);
        if (index < 0)
            return 0;
        users.arrRecords.RemoveAt(index);
        users.arrKeptCipher.RemoveAt(index);
        return 1;
    });
}

int CAppUserDic::GetUserIDList(CStringArray& arrIDs)
{
    arrIDs.RemoveAll();
    for (int i = 0; i < m_arrUsers.GetSize(); ++i)
        arrIDs.Add(GetField(m_arrUsers[i], 0));
    return 1;
}

int CAppUserDic::CreateUser(CString strUserText, CString strUserID, CString strCertiKey, CString strPassword,
                            int nGroup, int bAllowLogon, int bAllowEncrypt, int bAllowDecrypt, CString strVoiceList)
{
    if (FindUser(strUserID) >= 0)
        return 0;
    if (strCertiKey.IsEmpty() && !CreateCertiKey(strUserID, strCertiKey))
        return 0;
    const CString record = MakeTerminatedRecord(strUserID, strUserText, strPassword, nGroup, strCertiKey,
                                                bAllowLogon, bAllowEncrypt, bAllowDecrypt, strVoiceList);
    return ChangeUsers([&](CONTENTS& users) {
        // Another host may have made the same user since this object looked.
        if (FindUserIn(users, strUserID) >= 0)
            return 0;
        users.arrRecords.Add(record);
        users.arrKeptCipher.Add(CString());
        return 1;
    });
}

int CAppUserDic::SetUser(CString strUserText, CString strUserID, CString strPassword, int nGroup, int bAllowLogon,
                         int bAllowEncrypt, int bAllowDecrypt)
{
    return ChangeUsers([&](CONTENTS& users) {
        const int index = FindUserIn(users, strUserID);
        if (index < 0)
            return 0;
        // The certi key and the voice list are kept as the file has them now.
        const CString current = users.arrRecords[index];
        users.arrRecords.SetAt(index, MakeTerminatedRecord(strUserID, strUserText, strPassword, nGroup,
                                                           GetField(current, kCertiKey), bAllowLogon,
                                                           bAllowEncrypt, bAllowDecrypt,
                                                           GetField(current, kVoiceList)));
        return 1;
    });
}

int CAppUserDic::SetUser(CString strUserID, USER_INFORMATION info)
{
    if (FindUser(strUserID) < 0)
        return 0;
    CString group;
    group.Format("%d", info.nGroup);
    CString authority;
    authority.Format("%d%d%d", info.bAllowLogon, info.bAllowEncrypt, info.bAllowDecrypt);
    CString voiceList;
    for (int i = 0; i < info.arrNicks.GetSize(); ++i) {
        if (i > 0)
            voiceList += kNickSeparator;
        voiceList += info.arrNicks[i];
    }
    const CString fields[kFieldCount] = {info.strUserID, info.strUserText, info.strPassword, group,
                                         info.strCertiKey, authority, voiceList};
    SetUserWholeInfo(JoinFields(fields, kFieldCount));
    return 1;
}

int CAppUserDic::GetUser(CString strUserID, USER_INFORMATION& info)
{
    const int index = FindUser(strUserID);
    if (index < 0)
        return 0;
    const CString& record = m_arrUsers[index];
    info.strUserID = GetField(record, 0);
    info.strUserText = GetField(record, 1);
    info.strPassword = GetField(record, kPassword);
    info.nGroup = GetField(record, kGroup) == "1" ? 1 : 0;
    info.strCertiKey = GetField(record, kCertiKey);
    const CString authority = GetField(record, kAuthority);
    // A missing character reads as 0; GetAt gives 0 beyond the end.
    int* const flags[3] = {&info.bAllowLogon, &info.bAllowEncrypt, &info.bAllowDecrypt};
    for (int i = 0; i < 3; ++i) {
        const char digit = authority.GetAt(i);
        *flags[i] = digit >= '0' && digit <= '9' ? digit - '0' : 0;
    }
    SplitList(GetField(record, kVoiceList), kNickSeparator, info.arrNicks);
    return 1;
}

int CAppUserDic::GetUserInfo(CString strUserID, USER_DICTIONARY& info)
{
    const int index = FindUser(strUserID);
    if (index < 0)
        return 0;
    const CString& record = m_arrUsers[index];
    info.strUserID = GetField(record, 0);
    info.strUserText = GetField(record, 1);
    info.strPassword = GetField(record, kPassword);
    info.nGroup = std::atoi(GetField(record, kGroup));
    info.strCertiKey = GetField(record, kCertiKey);
    info.strAuthority = GetField(record, kAuthority);
    info.strVoiceList = GetField(record, kVoiceList);
    return 1;
}

// ---------------------------------------------------------------------------
// Machine key

int CAppUserDic::CreateCertiKey(CString strSuffix, CString& strKey)
{
    const CString machine = CMachineIdentity::MachineKey();
    if (machine.IsEmpty())
        return 0;
    strKey = machine + strSuffix;
    return 1;
}

CString CAppUserDic::GetMacAddr() { return CMachineIdentity::AdapterAddress(); }

CString CAppUserDic::ParseMacData() { return CMachineIdentity::HeldAdapterAddress(); }

// ---------------------------------------------------------------------------
// Fields

CString CAppUserDic::GetUserField(const CString& strUserID, int nField) const
{
    const int index = FindUser(strUserID);
    return index < 0 ? CString() : GetField(m_arrUsers[index], nField);
}

int CAppUserDic::VerifyUserField(const CString& strUserID, int nField, const CString& strValue) const
{
    // Every record with the ID is looked at, not only the first.
    for (int i = 0; i < m_arrUsers.GetSize(); ++i)
        if (m_arrKeptCipher[i].IsEmpty() && SameText(GetField(m_arrUsers[i], 0), strUserID) &&
            GetField(m_arrUsers[i], nField) == strValue)
            return i;
    return -1;
}

// The record with one field replaced, its fields joined by ';' (none after the last).
CString CAppUserDic::WithField(const CString& strRecord, int nField, const CString& strValue)
{
    CString fields[kFieldCount];
    for (int i = 0; i < kFieldCount; ++i)
        fields[i] = i == nField ? strValue : GetField(strRecord, i);
    return JoinFields(fields, kFieldCount);
}

// The field is replaced in the record as the file holds it now, so that a
// change another host made to another field of the same user stays.
int CAppUserDic::SetUserField(const CString& strUserID, int nField, const CString& strValue)
{
    return ChangeUsers([&](CONTENTS& users) {
        const int index = FindUserIn(users, strUserID);
        if (index < 0)
            return 0;
        users.arrRecords.SetAt(index, WithField(users.arrRecords[index], nField, strValue));
        return 1;
    });
}

CString CAppUserDic::GetPassWord(CString strUserID) { return GetUserField(strUserID, kPassword); }
CString CAppUserDic::GetGroupInfo(CString strUserID) { return GetUserField(strUserID, kGroup); }
CString CAppUserDic::GetCertiKey(CString strUserID) { return GetUserField(strUserID, kCertiKey); }
CString CAppUserDic::GetAuthority(CString strUserID) { return GetUserField(strUserID, kAuthority); }
CString CAppUserDic::GetVoiceList(CString strUserID) { return GetUserField(strUserID, kVoiceList); }

int CAppUserDic::VerifyPassWord(CString strUserID, CString strValue)
{
    return VerifyUserField(strUserID, kPassword, strValue);
}
int CAppUserDic::VerifyGroupInfo(CString strUserID, CString strValue)
{
    return VerifyUserField(strUserID, kGroup, strValue);
}
int CAppUserDic::VerifyCertiKey(CString strUserID, CString strValue)
{
    return VerifyUserField(strUserID, kCertiKey, strValue);
}
int CAppUserDic::VerifyAuthority(CString strUserID, CString strValue)
{
    return VerifyUserField(strUserID, kAuthority, strValue);
}

int CAppUserDic::SetPassWord(CString strUserID, CString strValue) { return SetUserField(strUserID, kPassword, strValue); }
int CAppUserDic::SetGroupInfo(CString strUserID, CString strValue) { return SetUserField(strUserID, kGroup, strValue); }
int CAppUserDic::SetCertiKey(CString strUserID, CString strValue) { return SetUserField(strUserID, kCertiKey, strValue); }
int CAppUserDic::SetAuthority(CString strUserID, CString strValue)
{
    return SetUserField(strUserID, kAuthority, strValue);
}
int CAppUserDic::SetVoiceList(CString strUserID, CString strValue)
{
    return SetUserField(strUserID, kVoiceList, strValue);
}

// ---------------------------------------------------------------------------
// Nicks

int CAppUserDic::VerifyNick(CString strUserID, CString strNick)
{
    for (int i = 0; i < m_arrUsers.GetSize(); ++i) {
        if (!m_arrKeptCipher[i].IsEmpty() || !SameText(GetField(m_arrUsers[i], 0), strUserID))
            continue;
        CStringArray nicks;
        FirstSixNicks(GetField(m_arrUsers[i], kVoiceList), nicks);
        for (int pos = 0; pos < nicks.GetSize(); ++pos)
            if (SameText(nicks[pos], strNick))
                return pos;
    }
    return -1;
}

int CAppUserDic::SetNick(CString strUserID, CString strNick)
{
    return ChangeUsers([&](CONTENTS& users) {
        const int index = FindUserIn(users, strUserID);
        if (index < 0)
            return 0;
        const CString& record = users.arrRecords[index];
        users.arrRecords.SetAt(index, WithField(record, kVoiceList, GetField(record, kVoiceList) + kNickSeparator + strNick));
        return 1;
    });
}

int CAppUserDic::DelNick(CString strUserID, CString strNick)
{
    return ChangeUsers([&](CONTENTS& users) {
        const int index = FindUserIn(users, strUserID);
        if (index < 0)
            return 0;
        CStringArray nicks;
        FirstSixNicks(GetField(users.arrRecords[index], kVoiceList), nicks);
        // Removal is byte for byte, unlike the lookup: a nick in other letter
        // case stays.
        CString kept;
        int keptCount = 0;
        for (int pos = 0; pos < nicks.GetSize(); ++pos) {
            if (nicks[pos] == strNick)
                continue;
            if (keptCount++ > 0)
                kept += kNickSeparator;
            kept += nicks[pos];
        }
        // The last nick of a user cannot be deleted.
        if (keptCount == 0)
            return 0;
        users.arrRecords.SetAt(index, WithField(users.arrRecords[index], kVoiceList, kept));
        return 1;
    });
}

int CAppUserDic::GetNickList(CString strUserID, CStringArray& arrNicks)
{
    const int index = FindUser(strUserID);
    if (index < 0)
        return 0;
    SplitList(GetField(m_arrUsers[index], kVoiceList), kNickSeparator, arrNicks);
    return 1;
}
