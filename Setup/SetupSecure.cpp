#include "Setup/SetupSecure.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "Setup/RegistryEx.h"
#include "fw/File.h"
#include "fw/FileException.h"
#include "fw/FileLock.h"
#include "fw/RecordReader.h"
#include "fw/RecordWriter.h"
#include "fw/SafeFileWriter.h"
#include "userdata/Crypto.h"

namespace
{
const char kProgramKey[] = "Software\\Brindlemoorlabs\\DeskWarden\\Program";
const char kAppPathValue[] = "AppPath";

const CSetupSecure::tagSecureSettings kDefaultSettings = {0, 0, 0, 1, 1, 1};
const int kSettingCount = 6;

// The file holds three short cipher texts; anything this large is not ours,
// and is refused before it is read into memory.
const ULONGLONG kLargestSecureFile = 16u * 1024u * 1024u;

std::string ReadImage(const CString& path)
{
    // Readers let a writer replace the file under them: they hold the old
    // one, whole, until they close it.
    CFile file(path, CFile::modeRead | CFile::shareDenyNone | CFile::shareAllowDelete | CFile::typeBinary);
    ULONGLONG length = file.GetLength();
    if (length > kLargestSecureFile)
        CFileException::Throw(CFileException::invalidFile, path, "marzet.dat size");
    std::string image(static_cast<size_t>(length), '\0');
    if (!image.empty())
        file.ReadExact(&image[0], static_cast<UINT>(image.size()));
    file.Close();
    return image;
}

void WriteImage(const CString& path, const CRecordWriter& image)
{
    CSafeFileWriter::WriteFile(path, image.Bytes());
}

// The file is never shortened: when the new contents are shorter than the
// old, the old file's last bytes stay behind them, where an update in place
// would have left them.
void KeepLength(CRecordWriter& image, const std::string& old)
{
    if (image.Size() < old.size())
        image.AppendRaw(old.data() + image.Size(), old.size() - image.Size());
}

CString PassPhrase()
{
    return CCrypto::GetProcessKey();
}

// A record the crypto library gives no cipher text for would be stored
// empty, and read back as damage or as no bypass key: the file of the path
// is left as it was instead.
CString Encrypt(const CString& text, const CString& path)
{
    CCrypto crypto;
    const CString cipher = crypto.EncryptString(text, PassPhrase());
    if (cipher.IsEmpty())
        CFileException::Throw(CFileException::genericException, path, "EncryptString");
    return cipher;
}

CString Decrypt(const CString& cipher)
{
    CCrypto crypto;
    return crypto.DecryptString(cipher, PassPhrase());
}

CString SettingsText(const CSetupSecure::tagSecureSettings& s)
{
    CString text;
    text.Format("%d%d%d%d%d%d", s.nSwitch1, s.nSwitch2, s.nSwitch3, s.nLogonMethod, s.nCryptMethod,
                s.nSwitch6);
    return text;
}

// The contents of a new file: the default settings and two empty records.
CRecordWriter DefaultImage(const CString& path)
{
    CRecordWriter image;
    image.Append(Encrypt(SettingsText(kDefaultSettings), path));
    image.Append(CString());
    image.Append(CString());
    return image;
}

// Each field is one character of the text read as a decimal digit; a missing
// or non-digit character is 0, as atoi gives it.
int SettingDigit(const CString& text, int index)
{
    char single[2] = {text.GetAt(index), '\0'};
    return atoi(single);
}
} // namespace

CSetupSecure::CSetupSecure() {}
CSetupSecure::CSetupSecure(const CSetupSecure& other) : m_strFilePath(other.m_strFilePath) {}

CSetupSecure& CSetupSecure::operator=(const CSetupSecure& other)
{
    m_strFilePath = other.m_strFilePath;
    return *this;
}

CSetupSecure::~CSetupSecure() {}

int CSetupSecure::IsFileExist(const char* pszPath, int bFolder)
{
    return CFile::Exists(pszPath, bFolder);
}

void CSetupSecure::SetSetupSecureFilePath(CString strPath)
{
    // A new file gets the defaults. A rewrite cut off by a crash may have left
    // its temporary file (a whole copy, bypass key included) beside the file.
    CSafeFileWriter::PrepareStore(strPath, [&strPath] { return DefaultImage(strPath).Bytes(); });
    m_strFilePath = strPath;
}

void CSetupSecure::CreateSetupSecure(CString strPath)
{
    CFileLock lock(strPath);
    WriteImage(strPath, DefaultImage(strPath));
}

void CSetupSecure::GetAppSettings(tagSecureSettings& settings)
{
    const std::string image = ReadImage(m_strFilePath);
    CRecordReader records(image.data(), image.size(), m_strFilePath);
    // A record that does not decrypt would read as all zeros and switch the
    // log-on and encryption methods: it is damage.
    const CString text = Decrypt(records.Next());
    if (text.IsEmpty())
        CFileException::Throw(CFileException::invalidFile, m_strFilePath, "settings record");
    int* fields[kSettingCount] = {&settings.nSwitch1,     &settings.nSwitch2,     &settings.nSwitch3,
                                  &settings.nLogonMethod, &settings.nCryptMethod, &settings.nSwitch6};
    for (int i = 0; i < kSettingCount; ++i)
        *fields[i] = SettingDigit(text, i);
}

// The new record 1 may differ in length from the old one, so everything after
// it is carried over byte for byte behind the new record.
void CSetupSecure::SetAppSettings(tagSecureSettings settings)
{
    CString cipher = Encrypt(SettingsText(settings), m_strFilePath);
    CFileLock lock(m_strFilePath);
    CSafeFileWriter::RemoveLeftovers(m_strFilePath);
    const std::string image = ReadImage(m_strFilePath);
    CRecordReader records(image.data(), image.size(), m_strFilePath);
    records.Skip();
    CRecordWriter changed;
    changed.Append(cipher);
    changed.AppendRaw(image.data() + records.Position(), records.Remaining());
    KeepLength(changed, image);
    WriteImage(m_strFilePath, changed);
}

// Records 1 and 2 are kept as they are; record 3 is replaced and whatever
// followed it in the old file is kept, byte for byte, after the new record.
void CSetupSecure::SetBackupBypassKey(CString strKey)
{
    CString cipher = Encrypt(strKey, m_strFilePath);
    CFileLock lock(m_strFilePath);
    CSafeFileWriter::RemoveLeftovers(m_strFilePath);
    const std::string image = ReadImage(m_strFilePath);
    CRecordReader records(image.data(), image.size(), m_strFilePath);
    records.Skip();
    records.Skip();
    CRecordWriter changed;
    changed.AppendRaw(image.data(), records.Position());
    records.Skip();
    changed.Append(cipher);
    changed.AppendRaw(image.data() + records.Position(), records.Remaining());
    KeepLength(changed, image);
    WriteImage(m_strFilePath, changed);
}

CString CSetupSecure::GetBackupBypassKey()
{
    const std::string image = ReadImage(m_strFilePath);
    CRecordReader records(image.data(), image.size(), m_strFilePath);
    records.Skip();
    records.Skip();
    return Decrypt(records.Next());
}

CString CSetupSecure::BuildBypassSeed(const char letters[4], const struct tm& when)
{
    CString seed(letters, 4);
    seed.AppendFormat("%02d%02d%02d%02d%02d%02d", when.tm_year % 100, when.tm_mon + 1, when.tm_mday,
                      when.tm_hour, when.tm_min, when.tm_sec);
    return seed;
}

// The pass phrase is the text and the seed the key: the reverse of the records.
// One reading of the clock seeds the generator and dates the key, so the date
// digits are those _strdate and _strtime show for that same second.
CString CSetupSecure::CreateBackupBypassKey()
{
    time_t now = time(NULL);
    srand(static_cast<unsigned int>(now));
    char letters[4];
    for (int i = 0; i < 4; ++i)
        letters[i] = static_cast<char>('A' + rand() % 26);
    struct tm local;
    memset(&local, 0, sizeof(local));
    localtime_s(&local, &now);
    CCrypto crypto;
    return crypto.EncryptString(PassPhrase(), BuildBypassSeed(letters, local));
}

CString CSetupSecure::GetAppPath()
{
    CString path;
    CRegistryEx registry(HKEY_LOCAL_MACHINE);
    if (registry.VerifyKeyReadOnly(HKEY_LOCAL_MACHINE, kProgramKey))
        registry.Read(kAppPathValue, path);
    registry.Close();
    return path;
}
