// A file system that keeps the access rights set on a path, for tests of code
// that carries a file's DACL over to its replacement.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <map>
#include <string>

#include "tests/support/FaultyFileSystem.h"

namespace sonvera_test
{
// Access rights as the layer meets them, kept per path: the file systems the
// tests run on under Wine report a DACL made from the Unix mode bits and drop
// the one set. A DACL set on a path is reported for it until the file is
// deleted or moved (a moved file takes its rights along); paths never given
// one report what the file system does.
class CRightsKeepingFileSystem : public CFaultyFileSystem {
public:
    BOOL GetSecurity(const wchar_t* path, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR* descriptor) override
    {
        *descriptor = nullptr;
        const auto kept = m_sddl.find(path);
        if (kept == m_sddl.end())
            return CFaultyFileSystem::GetSecurity(path, what, descriptor);
        if (FailsOn(getSecurity, path))
            return FALSE;
        if (kept->second.empty())
            return NoDacl(descriptor);
        return ConvertStringSecurityDescriptorToSecurityDescriptorW(kept->second.c_str(), SDDL_REVISION_1, descriptor,
                                                                    nullptr);
    }

    // The file reads as having no DACL at all, as on a FAT volume.
    void DropDacl(const std::wstring& path) { m_sddl[path].clear(); }

    BOOL SetDacl(const wchar_t* path, SECURITY_INFORMATION what, PACL dacl) override
    {
        if (FailsOn(setDacl, path))
            return FALSE;
        SECURITY_DESCRIPTOR descriptor;
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE);
        if (what & PROTECTED_DACL_SECURITY_INFORMATION)
            SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
        m_sddl[path] = Sddl(&descriptor);
        return TRUE;
    }

    BOOL Move(const wchar_t* from, const wchar_t* to, DWORD flags) override
    {
        const std::wstring source = from;
        if (!CFaultyFileSystem::Move(from, to, flags))
            return FALSE;
        const auto kept = m_sddl.find(source);
        if (kept != m_sddl.end()) {
            m_sddl[to] = kept->second;
            m_sddl.erase(kept);
        } else {
            m_sddl.erase(to);
        }
        return TRUE;
    }

    BOOL Delete(const wchar_t* path) override
    {
        if (!CFaultyFileSystem::Delete(path))
            return FALSE;
        m_sddl.erase(path);
        return TRUE;
    }

    // The DACL of a descriptor in SDDL ("D:P(...)" when protected).
    static std::wstring Sddl(PSECURITY_DESCRIPTOR descriptor)
    {
        wchar_t* text = nullptr;
        if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                  DACL_SECURITY_INFORMATION, &text, nullptr))
            return L"<unreadable>";
        const std::wstring sddl = text;
        LocalFree(text);
        return sddl;
    }

private:
    static BOOL NoDacl(PSECURITY_DESCRIPTOR* descriptor)
    {
        SECURITY_DESCRIPTOR absolute;
        InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION);
        DWORD size = 0;
        MakeSelfRelativeSD(&absolute, nullptr, &size);
        *descriptor = LocalAlloc(LMEM_FIXED, size);
        return *descriptor != nullptr && MakeSelfRelativeSD(&absolute, *descriptor, &size);
    }

    std::map<std::wstring, std::wstring> m_sddl;   // empty: no DACL
};

// Gives the file the DACL in SDDL, through the layer.
inline void SetRights(IFileSystem& fs, const std::wstring& path, const std::wstring& sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr));
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED) != 0
                                                                       ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                       : UNPROTECTED_DACL_SECURITY_INFORMATION);
    EXPECT_TRUE(fs.SetDacl(path.c_str(), what, dacl));
    LocalFree(descriptor);
}

// The file's DACL in SDDL, as the layer reads it.
inline std::wstring RightsOf(IFileSystem& fs, const std::wstring& path)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!fs.GetSecurity(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor))
        return L"<unreadable>";
    const std::wstring sddl = CRightsKeepingFileSystem::Sddl(descriptor);
    LocalFree(descriptor);
    return sddl;
}
} // namespace sonvera_test
