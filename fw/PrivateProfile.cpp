#include "fw/PrivateProfile.h"

namespace {

CWin32PrivateProfile g_win32;
IPrivateProfile* g_current = &g_win32;

} // namespace

DWORD CWin32PrivateProfile::GetString(const char* section, const char* key, const char* defaultValue, char* buffer,
                                      DWORD size, const char* path)
{
    return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, path);
}

BOOL CWin32PrivateProfile::WriteString(const char* section, const char* key, const char* value, const char* path)
{
    return WritePrivateProfileStringA(section, key, value, path);
}

DWORD CWin32PrivateProfile::GetSectionNames(char* buffer, DWORD size, const char* path)
{
    return GetPrivateProfileSectionNamesA(buffer, size, path);
}

IPrivateProfile& GetPrivateProfile()
{
    return *g_current;
}

IPrivateProfile* SetPrivateProfile(IPrivateProfile* profile)
{
    IPrivateProfile* previous = g_current;
    g_current = profile != nullptr ? profile : &g_win32;
    return previous;
}
