// The encrypted secure settings file marzet.dat: six switches and the backup
// bypass key, and the making of new bypass keys.
//
// The file is three records, each a 4-byte little-endian length and that many
// bytes of cipher text: 1 the settings text, 2 a record this library writes
// empty and otherwise carries along unchanged, 3 the bypass key (empty until
// one is stored). Every rewrite builds the whole new file and replaces the old
// one through a temporary file, so a crash midway never costs the bypass key;
// the new file is never shorter than the old, and it is made under the file's
// lock across processes (CFileLock) from the read to the replace, so no
// host's change is lost to another's.
#pragma once

#include <ctime>

#include "fw/Api.h"
#include "fw/String.h"

class SONVERA_API CSetupSecure
{
public:
    // Six switches, each 0 or 1; only 0 to 9 survive the file's text form.
    struct tagSecureSettings
    {
        int nSwitch1;
        int nSwitch2;
        int nSwitch3;
        int nLogonMethod;   // the voice dialog's log-on method
        int nCryptMethod;   // the voice dialog's encrypt and decrypt method
        int nSwitch6;
    };

    CSetupSecure();
    CSetupSecure(const CSetupSecure& other);
    CSetupSecure& operator=(const CSetupSecure& other);
    virtual ~CSetupSecure();

    // Creates the file with defaults when no file is there (never replacing
    // one: a failing existence check raises), then remembers the path.
    void SetSetupSecureFilePath(CString strPath);
    // Writes a new file (defaults 0,0,0,1,1,1, no bypass key) at the path,
    // replacing any file there. The remembered path is not changed.
    void CreateSetupSecure(CString strPath);

    // File errors, and a damaged file (a settings record that does not
    // decrypt included), reach the caller as CFileException.
    void GetAppSettings(tagSecureSettings& settings);
    void SetAppSettings(tagSecureSettings settings);
    void SetBackupBypassKey(CString strKey);
    CString GetBackupBypassKey();

    // A new bypass key; nothing is stored.
    CString CreateBackupBypassKey();

    // The installed application folder from the fixed Program key of HKEY_LOCAL_MACHINE.
    CString GetAppPath();

    static int IsFileExist(const char* pszPath, int bFolder);

    // The 16-character seed of a bypass key: the four letters, then two digits
    // each of year, month, day, hour, minute and second.
    static CString BuildBypassSeed(const char letters[4], const struct tm& when);

private:
    CString m_strFilePath;
};
