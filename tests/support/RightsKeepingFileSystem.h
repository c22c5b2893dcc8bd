// A file system that keeps the access rights set on a path, for tests of code
// that carries a file's DACL over to its replacement.
#pragma once

#include <windows.h>

#include <sddl.h>

#include <map>
#include <string>

#include "tests/support/FaultyFileSystem.h"

namespace sonvera_test
{
// Access rights kept per path as SDDL ("D:P(...)" when protected; empty: no
// DACL at all, as on a FAT volume), since the file systems the tests run on
// under Wine report a DACL made from the Unix mode bits and drop the one set.
// A moved file takes its rights along; paths never given any report what the
// file system does.
class CRightsKeepingFileSystem : public CFaultyFileSystem {
public:
    void SetRights(const std::wstring& path, const std::wstring& sddl) { m_sddl[path] = sddl; }

    std::wstring RightsOf(const std::wstring& path) const
    {
        const auto kept = m_sddl.find(path);
        return kept == m_sddl.end() ? L"<the file system's>" : kept->second;
    }

    BOOL GetSecurity(const wchar_t* path, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR* descriptor) override
    {
        *descriptor = nullptr;
        const auto kept = m_sddl.find(path);
        if (kept == m_sddl.end())
            return CFaultyFileSystem::GetSecurity(path, what, descriptor);
        // A text without a "D:" part makes a descriptor without a DACL.
        const wchar_t* sddl = kept->second.empty() ? L"O:BA" : kept->second.c_str();
        return !FailsOn(getSecurity, path) &&
               ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor, nullptr);
    }

    BOOL SetDacl(const wchar_t* path, SECURITY_INFORMATION what, PACL dacl) override
    {
        SECURITY_DESCRIPTOR descriptor;
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE);
        if (what & PROTECTED_DACL_SECURITY_INFORMATION)
            SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
        wchar_t* text = nullptr;
        if (FailsOn(setDacl, path) || !ConvertSecurityDescriptorToStringSecurityDescriptorW(
                                          &descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
            return FALSE;
        m_sddl[path] = text;
        LocalFree(text);
        return TRUE;
    }

    BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) override
    {
        const std::wstring source = from;
        if (!CFaultyFileSystem::Move(from, to, flags))
            return FALSE;
        const auto kept = m_sddl.find(source);
        if (kept != m_sddl.end())
            m_sddl[to] = kept->second;
        else
            m_sddl.erase(to);
        return TRUE;
    }

private:
    std::map<std::wstring, std::wstring> m_sddl;
};
} // namespace sonvera_test
