// IPrivateProfile: the one seam through which every INI-file call goes, as
// IFileSystem is for files, so that tests can fail any of them.
//
// Each operation behaves like the Win32 private-profile call it stands for.
// Tests install an implementation of their own, usually one derived from
// CWin32PrivateProfile, for a scope with CPrivateProfileOverride.
#pragma once

#include <windows.h>

#include "fw/Api.h"

class SONVERA_API IPrivateProfile {
public:
    virtual ~IPrivateProfile() = default;

    // GetPrivateProfileStringA: the value, or with a null key the key names
    // of the section, into the buffer; returns the characters copied.
    virtual DWORD GetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                            DWORD size, const char* path) = 0;
    // WritePrivateProfileStringA: a null value deletes the key, a null key the
    // whole section; nonzero on success.
    virtual BOOL WriteString(const char* section, const char* key, const char* value, const char* path) = 0;
    // GetPrivateProfileSectionNamesA.
    virtual DWORD GetSectionNames(char* buffer, DWORD size, const char* path) = 0;
};

// The system's own private-profile functions.
class SONVERA_API CWin32PrivateProfile : public IPrivateProfile {
public:
    DWORD GetString(const char* section, const char* key, const char* defaultValue, char* buffer, DWORD size,
                    const char* path) override;
    BOOL WriteString(const char* section, const char* key, const char* value, const char* path) override;
    DWORD GetSectionNames(char* buffer, DWORD size, const char* path) override;
};

// The INI functions in use: the system's own unless a test installed others.
SONVERA_API IPrivateProfile& GetPrivateProfile();
// Installs `profile` (nullptr: the system's own) and returns the one it replaces.
SONVERA_API IPrivateProfile* SetPrivateProfile(IPrivateProfile* profile);

// Installs INI functions for the lifetime of the object, then puts back the previous ones.
class SONVERA_API CPrivateProfileOverride {
public:
    explicit CPrivateProfileOverride(IPrivateProfile& profile) : m_previous(SetPrivateProfile(&profile)) {}
    ~CPrivateProfileOverride() { SetPrivateProfile(m_previous); }
    CPrivateProfileOverride(const CPrivateProfileOverride&) = delete;
    CPrivateProfileOverride& operator=(const CPrivateProfileOverride&) = delete;

private:
    IPrivateProfile* m_previous;
};
