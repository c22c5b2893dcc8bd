#include "Setup/SetupFile.h"

#include <cstdlib>

#include "Setup/IniFile.h"
#include "Setup/RegistryEx.h"
#include "fw/File.h"
#include "fw/FileException.h"

namespace
{
const char kProductKey[] = "Software\\Brindlemoorlabs\\DeskWarden";
const char kProgramSubKey[] = "\\Program";
const char kWinlogonKey[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\";

const char kIniFileName[] = "\\marzet.ini";
const char kSecureFileName[] = "\\marzet.dat";

const char kSectionDeskWarden[] = "DESK_WARDEN";
const char kSectionVoiceRecog[] = "VOICE_RECOG_DLL";
const char kSectionWordList[] = "WORD_LIST";
const char kSectionImageFiles[] = "IMAGE_FILES";
const char kSectionScreenSaver[] = "SCREEN_SAVER";

const DWORD kModulePathSize = 260;

// Splits at every comma; the pieces keep their blanks and empty ones are kept.
void SplitAtCommas(const CString& text, CStringArray& pieces)
{
    int start = 0;
    for (;;) {
        int comma = text.Find(',', start);
        if (comma < 0) {
            pieces.Add(text.Mid(start));
            return;
        }
        pieces.Add(text.Mid(start, comma - start));
        start = comma + 1;
    }
}

// True when this program is a 32-bit one running on 64-bit Windows, where the
// system's own registry view is not the program's. IsWow64Process is looked
// up at run time: Windows 2000 and XP before SP2 lack it (and know no other
// view; Windows 2000 refuses a key asked for with a view flag).
bool RunsOnWow64()
{
    typedef BOOL(WINAPI * PFN_IS_WOW64_PROCESS)(HANDLE, PBOOL);
    const FARPROC address = GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process");
    const auto isWow64Process = reinterpret_cast<PFN_IS_WOW64_PROCESS>(reinterpret_cast<void*>(address));
    BOOL wow64 = FALSE;
    return isWow64Process != NULL && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

CString Decimal(int value)
{
    CString text;
    text.Format("%d", value);
    return text;
}
} // namespace

CSetupFile::CSetupFile() : m_strKeyPath(kProductKey), m_hRootKey(HKEY_LOCAL_MACHINE) {}

CSetupFile::CSetupFile(const CSetupFile& other)
    : m_SetupSecure(other.m_SetupSecure), m_strKeyPath(other.m_strKeyPath),
      m_hRootKey(other.m_hRootKey), m_strIniPath(other.m_strIniPath)
{
}

CSetupFile& CSetupFile::operator=(const CSetupFile& other)
{
    m_SetupSecure = other.m_SetupSecure;
    m_strKeyPath = other.m_strKeyPath;
    m_hRootKey = other.m_hRootKey;
    m_strIniPath = other.m_strIniPath;
    return *this;
}

CSetupFile::~CSetupFile() {}

// ---- shared file test ---------------------------------------------------

int CSetupFile::IsFileExist(const char* pszPath, int bFolder)
{
    return CFile::Exists(pszPath, bFolder);
}

// ---- paths --------------------------------------------------------------

CString CSetupFile::ProgramKey() const
{
    return m_strKeyPath + kProgramSubKey;
}

// Without an application folder the paths name files in the root of the
// current drive, which is what the product has always done.
void CSetupFile::Initialize()
{
    m_strIniPath = GetAppPath() + kIniFileName;
    m_SetupSecure.SetSetupSecureFilePath(GetAppPath() + kSecureFileName);
}

CString CSetupFile::ReadProgramValue(const char* pszName)
{
    CString value;
    CRegistryEx registry(m_hRootKey);
    if (registry.VerifyKeyReadOnly(m_hRootKey, ProgramKey()))
        registry.Read(pszName, value);
    registry.Close();
    return value;
}

void CSetupFile::WriteProgramValue(const char* pszName, const CString& strValue)
{
    // A fresh registry object acts on the root itself: when the Program key
    // can be neither opened nor made, nothing is written rather than the
    // value landing in the root.
    CRegistryEx registry(m_hRootKey);
    if (registry.VerifyKey(m_hRootKey, ProgramKey()) || registry.CreateKey(m_hRootKey, ProgramKey()))
        registry.Write(pszName, strValue.GetString());
    registry.Close();
}

void CSetupFile::SetAppPath(CString strPath)
{
    WriteProgramValue("AppPath", strPath);
}

CString CSetupFile::GetAppPath()
{
    return ReadProgramValue("AppPath");
}

// The folder ends at the last backslash; stepping by characters keeps the
// trail byte of a double-byte character from being taken for one.
CString CSetupFile::GetAppExecutePath()
{
    // A path that fills the buffer comes back without a terminator (Windows XP,
    // Wine); the byte kept in reserve stays zero and ends the walk below.
    char path[kModulePathSize + 1] = {};
    GetModuleFileNameA(NULL, path, kModulePathSize);
    const char* folderEnd = path;
    for (const char* p = path; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\' || *p == '/' || *p == ':')
            folderEnd = p + 1;
    }
    return CString(path, static_cast<int>(folderEnd - path));
}

// ---- INI settings -------------------------------------------------------

CString CSetupFile::ReadIni(const char* pszSection, const char* pszKey)
{
    return CIniFile(m_strIniPath).ReadString(pszSection, pszKey, "");
}

int CSetupFile::WriteIni(const char* pszSection, const char* pszKey, const CString& strValue)
{
    return CIniFile(m_strIniPath).WriteString(pszSection, pszKey, strValue);
}

CString CSetupFile::GetLastUserProgram()
{
    return ReadIni(kSectionDeskWarden, "LastUser");
}

int CSetupFile::SetLastUserProgram(CString strUser)
{
    return WriteIni(kSectionDeskWarden, "LastUser", strUser);
}

int CSetupFile::SetAppLastPos(int nLeft, int nTop, int nRight, int nBottom)
{
    CString value;
    value.Format("%d,%d,%d,%d", nLeft, nTop, nRight, nBottom);
    return WriteIni(kSectionDeskWarden, "LastExecutePos", value);
}

RECT CSetupFile::GetAppLastPos()
{
    CStringArray pieces;
    SplitAtCommas(ReadIni(kSectionDeskWarden, "LastExecutePos"), pieces);
    LONG sides[4] = {0, 0, 0, 0};
    for (int i = 0; i < 4 && i < pieces.GetSize(); ++i)
        sides[i] = atoi(pieces[i]);
    RECT rect = {sides[0], sides[1], sides[2], sides[3]};
    return rect;
}

CString CSetupFile::GetSkinCurrent()
{
    return ReadIni(kSectionVoiceRecog, "Skin");
}

int CSetupFile::SetSkinChange(CString strName)
{
    if (strName.IsEmpty())
        return 0;
    return WriteIni(kSectionVoiceRecog, "Skin", strName);
}

void CSetupFile::GetSkinList(CStringArray& arrSkins)
{
    CStringArray pieces;
    SplitAtCommas(ReadIni(kSectionVoiceRecog, "SkinList"), pieces);
    for (int i = 0; i < pieces.GetSize(); ++i)
        arrSkins.Add(pieces[i].Trim(" \t\r\n"));
}

CString CSetupFile::GetAppSecureFolder()
{
    return ReadIni(kSectionVoiceRecog, "EncryptFileFolder");
}

int CSetupFile::SetAppSecureFolder(CString strFolder)
{
    if (strFolder.IsEmpty())
        return 0;
    WriteIni(kSectionVoiceRecog, "EncryptFileFolder", strFolder);
    return 1;
}

unsigned int CSetupFile::GetAppSecureMakeType()
{
    return static_cast<unsigned int>(atoi(ReadIni(kSectionVoiceRecog, "EncryptFileStyle")));
}

int CSetupFile::SetAppSecureMakeType(unsigned int nType)
{
    WriteIni(kSectionVoiceRecog, "EncryptFileStyle", Decimal(static_cast<int>(nType)));
    return 1;
}

CString CSetupFile::GetAuthWord(CString strNick)
{
    return ReadIni(kSectionWordList, strNick);
}

int CSetupFile::GetAuthWordList(CStringArray& arrWords)
{
    CIniFile ini(m_strIniPath);
    CStringArray nicks;
    int found = ini.ReadSection(kSectionWordList, nicks);
    for (int i = 0; i < nicks.GetSize(); ++i)
        arrWords.Add(ini.ReadString(kSectionWordList, nicks[i], ""));
    return found;
}

CString CSetupFile::GetAuthNick(CString strWord)
{
    CIniFile ini(m_strIniPath);
    CStringArray nicks;
    ini.ReadSection(kSectionWordList, nicks);
    for (int i = 0; i < nicks.GetSize(); ++i) {
        if (ini.ReadString(kSectionWordList, nicks[i], "").CompareNoCase(strWord) == 0)
            return nicks[i];
    }
    return CString();
}

CString CSetupFile::GetScrImageFile(int nIndex)
{
    if (nIndex < 1)
        return CString();
    return ReadIni(kSectionImageFiles, Decimal(nIndex));
}

int CSetupFile::GetScrImageFileList(CStringArray& arrFiles)
{
    CIniFile ini(m_strIniPath);
    CStringArray keys;
    ini.ReadSection(kSectionImageFiles, keys);
    for (int i = 0; i < keys.GetSize(); ++i) {
        CString file = ini.ReadString(kSectionImageFiles, keys[i], "");
        // A picture that cannot be checked (its share is away) is not listed,
        // as one that is missing: a list of pictures is no store to protect.
        try {
            if (IsFileExist(file, 0))
                arrFiles.Add(file);
        } catch (const CFileException&) {
        }
    }
    return 1;
}

int CSetupFile::SetScrImageFile(CStringArray& arrFiles)
{
    CStringArray keys;
    for (int i = 0; i < arrFiles.GetSize(); ++i)
        keys.Add(Decimal(i + 1));
    CIniFile(m_strIniPath).ReplaceSection(kSectionImageFiles, keys, arrFiles);
    return 1;
}

unsigned int CSetupFile::GetScrWaitTime()
{
    return static_cast<unsigned int>(atoi(ReadIni(kSectionScreenSaver, "WaitTime")));
}

int CSetupFile::SetScrWaitTime(unsigned int nTime)
{
    if (nTime < 1)
        return 0;
    WriteIni(kSectionScreenSaver, "WaitTime", Decimal(static_cast<int>(nTime)));
    return 1;
}

int CSetupFile::GetScrAuto()
{
    return atoi(ReadIni(kSectionScreenSaver, "Auto")) != 0 ? 1 : 0;
}

void CSetupFile::SetScrAuto(int bAuto)
{
    WriteIni(kSectionScreenSaver, "Auto", Decimal(bAuto != 0 ? 1 : 0));
}

// ---- registry settings --------------------------------------------------

CString CSetupFile::GetScrComment()
{
    return ReadProgramValue("ScrMent");
}

int CSetupFile::SetScrComment(CString strComment)
{
    WriteProgramValue("ScrMent", strComment);
    return 1;
}

// Winlogon keeps its values in the system's own view of the registry; on
// 64-bit Windows a 32-bit program asking for its own view would be shown the
// redirected copy of the key, which never holds the last user.
CString CSetupFile::GetLastUserLogon()
{
    CString name;
    CRegistryEx registry(HKEY_LOCAL_MACHINE);
    const REGSAM view = RunsOnWow64() ? KEY_WOW64_64KEY : 0;
    if (registry.VerifyKeyReadOnly(HKEY_LOCAL_MACHINE, kWinlogonKey, view))
        registry.Read("AltDefaultUserName", name);
    registry.Close();
    return name;
}

// ---- secure settings ----------------------------------------------------

CSetupSecure::tagSecureSettings CSetupFile::GetSecureAppSettings()
{
    CSetupSecure::tagSecureSettings settings = {0, 0, 0, 0, 0, 0};
    m_SetupSecure.GetAppSettings(settings);
    return settings;
}

void CSetupFile::SetSecureAppSettings(CSetupSecure::tagSecureSettings settings)
{
    m_SetupSecure.SetAppSettings(settings);
}
