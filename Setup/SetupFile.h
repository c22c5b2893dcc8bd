// The product's everyday settings: the application folder in the registry, the
// settings file marzet.ini in that folder, and the secure settings in marzet.dat.
// Every getter reads its store afresh; a missing store reads as the default.
#pragma once

#include <windows.h>

#include "Setup/SetupSecure.h"
#include "fw/Api.h"
#include "fw/String.h"
#include "fw/StringArray.h"

class SONVERA_API CSetupFile
{
public:
    CSetupFile();
    CSetupFile(const CSetupFile& other);
    CSetupFile& operator=(const CSetupFile& other);
    virtual ~CSetupFile();

    // Paths of marzet.ini and marzet.dat from the application folder; creates
    // marzet.dat with defaults when it is missing.
    void Initialize();

    // Application folder ("AppPath" of the Program key).
    void SetAppPath(CString strPath);
    CString GetAppPath();
    // Folder of the running program's executable, with its trailing backslash.
    CString GetAppExecutePath();

    // [DESK_WARDEN]
    CString GetLastUserProgram();
    int SetLastUserProgram(CString strUser);
    int SetAppLastPos(int nLeft, int nTop, int nRight, int nBottom);
    RECT GetAppLastPos();

    // [VOICE_RECOG_DLL]
    CString GetSkinCurrent();
    int SetSkinChange(CString strName);
    void GetSkinList(CStringArray& arrSkins);
    CString GetAppSecureFolder();
    int SetAppSecureFolder(CString strFolder);
    unsigned int GetAppSecureMakeType();
    int SetAppSecureMakeType(unsigned int nType);

    // [WORD_LIST]: nick = word.
    CString GetAuthWord(CString strNick);
    int GetAuthWordList(CStringArray& arrWords);
    CString GetAuthNick(CString strWord);

    // [IMAGE_FILES]: 1, 2, ... = file path.
    CString GetScrImageFile(int nIndex);
    int GetScrImageFileList(CStringArray& arrFiles);
    int SetScrImageFile(CStringArray& arrFiles);

    // [SCREEN_SAVER]
    unsigned int GetScrWaitTime();
    int SetScrWaitTime(unsigned int nTime);
    int GetScrAuto();
    void SetScrAuto(int bAuto);

    // Registry settings.
    CString GetScrComment();
    int SetScrComment(CString strComment);
    CString GetLastUserLogon();

    // Secure settings record, through the owned secure object.
    CSetupSecure::tagSecureSettings GetSecureAppSettings();
    void SetSecureAppSettings(CSetupSecure::tagSecureSettings settings);
    // The owned secure settings object (the voice dialog reads the bypass key through it).
    CSetupSecure& GetSetupSecure() { return m_SetupSecure; }

    // 1 when the path is an existing file (bFolder 0) or folder (bFolder nonzero).
    static int IsFileExist(const char* pszPath, int bFolder);

private:
    CString ProgramKey() const;
    CString ReadIni(const char* pszSection, const char* pszKey);
    int WriteIni(const char* pszSection, const char* pszKey, const CString& strValue);
    CString ReadProgramValue(const char* pszName);
    void WriteProgramValue(const char* pszName, const CString& strValue);

    CSetupSecure m_SetupSecure;
    CString m_strKeyPath;
    HKEY m_hRootKey;
    CString m_strIniPath;
};
