// CSafeFileWriter: a rewrite either replaces the target whole or leaves it
// exactly as it was, with no temporary file left behind, whichever step fails.
#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "fw/FileException.h"
#include "fw/SafeFileWriter.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/FileError.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace sonvera_test;
using Names = std::vector<std::wstring>;

const std::string kOld = "the old contents, which must survive";
const std::string kNew = "the new contents, a little longer than the old ones were";

void Rewrite(const std::string& path, const std::string& contents)
{
    CSafeFileWriter::WriteFile(CString(path.c_str()), contents.data(), static_cast<UINT>(contents.size()));
}

class SafeFileWriterTest : public ::testing::Test {
protected:
    CTempFolder dir;
    const std::string path = dir.File("users.dat").str();
};

TEST_F(SafeFileWriterTest, ReplacesTheTargetOnlyOnCommitAndLeavesNoTemporaryFile)
{
    ASSERT_TRUE(WriteRaw(path, kOld));
    CFaultyFileSystem fs;
    {
        CFileSystemOverride scope(fs);
        Rewrite(path, kNew);
    }
    EXPECT_EQ(ReadRaw(path), kNew);
    EXPECT_EQ(dir.Entries(), Names{L"users.dat"});
    // Moved from a temporary beside the target, replacing it and writing through.
    EXPECT_EQ(fs.Calls(CFaultyFileSystem::move), 1);
    EXPECT_EQ(fs.lastMoveFlags, static_cast<DWORD>(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(fs.lastMoveFrom.rfind(CString(path.c_str()).ToWide() + L".~tmp", 0), 0u);

    ASSERT_TRUE(WriteRaw(path, kOld));
    {
        CSafeFileWriter writer(CString(path.c_str()));
        writer.Write(kNew.data(), static_cast<UINT>(kNew.size()));
    }
    EXPECT_EQ(dir.Entries(), Names{L"users.dat"});
    EXPECT_EQ(ReadRaw(path), kOld);
}

using Fs = CFaultyFileSystem;

// One failing step: how to arm the fault, and the cause expected.
const struct {
    const char* step;
    void (*arm)(Fs&);
    int cause;
} kEveryStep[] = {
    {"temporary cannot be created", [](Fs& fs) { fs.Watch(L".~tmp"); fs.Fail(Fs::create, ERROR_WRITE_PROTECT); },
     CFileException::accessDenied},
    // How CFile tells write errors apart is its own test's; here one of them is enough.
    {"disk full mid-write", [](Fs& fs) { fs.LimitWrites(7, ERROR_DISK_FULL); }, CFileException::diskFull},
    {"flush fails", [](Fs& fs) { fs.Fail(Fs::flush, ERROR_IO_DEVICE); }, CFileException::hardIO},
    {"close fails", [](Fs& fs) { fs.Fail(Fs::close, ERROR_IO_DEVICE); }, CFileException::hardIO},
    {"move fails", [](Fs& fs) { fs.Fail(Fs::move, ERROR_IO_DEVICE); }, CFileException::hardIO},
};

// Over an existing target the old one stays; where there was none, none is made.
TEST_F(SafeFileWriterTest, EveryFailingStepLeavesTheTargetAsItWas)
{
    for (const bool targetExists : {true, false}) {
        for (const auto& fault : kEveryStep) {
            SCOPED_TRACE(std::string(fault.step) + (targetExists ? "" : ", no target"));
            DeleteFileA(path.c_str());
            if (targetExists) {
                ASSERT_TRUE(WriteRaw(path, kOld));
            }
            CFaultyFileSystem fs;
            fault.arm(fs);
            {
                CFileSystemOverride scope(fs);
                EXPECT_EQ(FileErrorOf([&] { Rewrite(path, kNew); }).m_cause, fault.cause);
            }
            EXPECT_EQ(ReadRaw(path), targetExists ? kOld : "<missing>");
            EXPECT_EQ(dir.Entries(), targetExists ? Names{L"users.dat"} : Names{});
        }
    }
}

TEST_F(SafeFileWriterTest, WaitsForReadersNeverReplacesOnCreateAndRemovesOnlyItsTemporaries)
{
    ASSERT_TRUE(WriteRaw(path, kOld));
    // Another host reading the file holds it for a moment, or the replace meets a
    // brief sharing violation: the rewrite waits instead of failing.
    CFile reader(path.c_str(), CFile::modeRead | CFile::shareDenyNone | CFile::shareAllowDelete);
    std::thread letGo([&reader] {
        Sleep(150);
        reader.Close();
    });
    EXPECT_NO_THROW(Rewrite(path, kNew));
    letGo.join();
    EXPECT_EQ(ReadRaw(path), kNew);
    CFaultyFileSystem brief;
    brief.FailTimes(CFaultyFileSystem::move, 3, ERROR_SHARING_VIOLATION);
    {
        CFileSystemOverride scope(brief);
        Rewrite(path, kOld);
    }
    EXPECT_EQ(ReadRaw(path), kOld);
    EXPECT_EQ(dir.Entries(), Names{L"users.dat"});

    // A create never replaces a file that is there: another host may have made
    // it since this one looked.
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_TRUE(CSafeFileWriter::WriteNewFile(CString(path.c_str()), kNew.data(), static_cast<UINT>(kNew.size())));
    EXPECT_EQ(ReadRaw(path), kNew);
    ASSERT_TRUE(WriteRaw(path, kOld));
    EXPECT_FALSE(CSafeFileWriter::WriteNewFile(CString(path.c_str()), nullptr, 0));
    EXPECT_EQ(ReadRaw(path), kOld);
    EXPECT_EQ(dir.Entries(), Names{L"users.dat"});

    // The leftovers are found by name, so a Shift-JIS name whose trail byte is a
    // backslash must not be cut there.
    const std::string target = dir.File("\x95\x5C.dat").str();   // 表.dat
    Rewrite(target, kOld);
    ASSERT_TRUE(WriteRaw(target + ".~tmp0000ABCD", "crash 1"));
    ASSERT_TRUE(WriteRaw(target + ".~tmp12345678", "crash 2"));
    ASSERT_TRUE(WriteRaw(dir.File("other.dat.~tmp00000001"), "someone else's"));
    ASSERT_TRUE(WriteRaw(target + ".bak", "kept"));
    EXPECT_EQ(CSafeFileWriter::RemoveLeftovers(CString(target.c_str())), 2);
    EXPECT_EQ(dir.Entries(), (Names{L"other.dat.~tmp00000001", L"users.dat", L"\u8868.dat", L"\u8868.dat.bak"}));
    EXPECT_EQ(ReadRaw(target), kOld);
    EXPECT_EQ(CSafeFileWriter::RemoveLeftovers(CString(target.c_str())), 0);
    EXPECT_EQ(CSafeFileWriter::RemoveLeftovers(dir.File("none\\x.dat")), 0);
}

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
void SetRights(IFileSystem& fs, const std::wstring& path, const std::wstring& sddl)
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
std::wstring RightsOf(IFileSystem& fs, const std::wstring& path)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!fs.GetSecurity(path.c_str(), DACL_SECURITY_INFORMATION, &descriptor))
        return L"<unreadable>";
    const std::wstring sddl = CRightsKeepingFileSystem::Sddl(descriptor);
    LocalFree(descriptor);
    return sddl;
}

const DWORD kShownAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

DWORD AttributesOf(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) & kShownAttributes;
}

// A store an administrator has hidden and given rights of its own (the test
// file system keeps them without enforcing them).
const struct {
    const char* store;
    DWORD attributes;
    const wchar_t* dacl;   // SDDL
} kLockedDown[] = {
    {"hidden, system, the administrators' alone", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, L"D:P(A;;FA;;;BA)"},
    {"hidden, an entry besides the folder's", FILE_ATTRIBUTE_HIDDEN, L"D:(A;;FR;;;BU)(A;;FA;;;BA)"},
};

class SafeFileWriterRightsTest : public SafeFileWriterTest {
protected:
    const std::wstring target = CString(path.c_str()).ToWide();

    void LockDown(IFileSystem& fs, DWORD attributes, const std::wstring& dacl)
    {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(WriteRaw(path, kOld));
        SetRights(fs, target, dacl);
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes));
        ASSERT_EQ(AttributesOf(path), attributes) << "the file system does not keep the attributes";
        ASSERT_EQ(RightsOf(fs, target), dacl);
    }

    void TearDown() override { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); }
};

TEST_F(SafeFileWriterRightsTest, ARewrittenStoreKeepsItsAttributesAndRights)
{
    for (const auto& store : kLockedDown) {
        SCOPED_TRACE(store.store);
        CRightsKeepingFileSystem fs;
        const std::wstring dacl = store.dacl;
        LockDown(fs, store.attributes, dacl);
        {
            CFileSystemOverride scope(fs);
            Rewrite(path, kNew);
        }
        EXPECT_EQ(ReadRaw(path), kNew);
        EXPECT_EQ(AttributesOf(path), store.attributes);
        EXPECT_EQ(RightsOf(fs, target), dacl);
        EXPECT_EQ(dir.Entries(), Names{L"users.dat"});
    }
}

// Each step of carrying the rights over, failing: the store keeps its contents
// and its rights, and no store is ever left with wider ones.
const struct {
    const char* step;
    Fs::Step fails;
    DWORD error;
    int cause;
} kRightsSteps[] = {
    {"the target's attributes cannot be read", Fs::attributes, ERROR_IO_DEVICE, CFileException::hardIO},
    {"the attributes cannot be set", Fs::setAttributes, ERROR_ACCESS_DENIED, CFileException::accessDenied},
    {"the target's rights cannot be read", Fs::getSecurity, ERROR_ACCESS_DENIED, CFileException::accessDenied},
    {"the rights cannot be set", Fs::setDacl, ERROR_IO_DEVICE, CFileException::hardIO},
};

TEST_F(SafeFileWriterRightsTest, AStoreWhoseRightsCannotBeCarriedOverIsLeftAsItWas)
{
    const auto& store = kLockedDown[0];
    const std::wstring dacl = store.dacl;
    for (const auto& fault : kRightsSteps) {
        SCOPED_TRACE(fault.step);
        CRightsKeepingFileSystem fs;
        LockDown(fs, store.attributes, dacl);
        fs.Fail(fault.fails, fault.error);
        {
            CFileSystemOverride scope(fs);
            EXPECT_EQ(FileErrorOf([&] { Rewrite(path, kNew); }).m_cause, fault.cause);
        }
        fs.Heal();
        EXPECT_EQ(ReadRaw(path), kOld);
        EXPECT_EQ(AttributesOf(path), store.attributes);
        EXPECT_EQ(RightsOf(fs, target), dacl);
        EXPECT_EQ(dir.Entries(), Names{L"users.dat"});
    }
}

// A read-only store stays refused, whatever else it is; a new file has nothing
// to keep and takes what its folder gives, and so does a store without a DACL
// (a FAT volume's, which could not be given one).
TEST_F(SafeFileWriterRightsTest, AReadOnlyStoreIsRefusedAndOneWithNoRightsToKeepTakesItsFoldersRights)
{
    {
        CRightsKeepingFileSystem fs;
        ASSERT_TRUE(WriteRaw(path, kOld));
        fs.DropDacl(target);
        CFileSystemOverride scope(fs);
        Rewrite(path, kNew);
        EXPECT_EQ(fs.Calls(Fs::setDacl), 0);
    }
    ASSERT_TRUE(WriteRaw(path, kOld));
    const DWORD readOnly = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), readOnly));
    EXPECT_EQ(FileErrorOf([&] { Rewrite(path, kNew); }).m_cause, CFileException::accessDenied);
    EXPECT_EQ(ReadRaw(path), kOld);
    EXPECT_EQ(AttributesOf(path), readOnly);
    EXPECT_EQ(dir.Entries(), Names{L"users.dat"});

    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    CFaultyFileSystem fs;
    {
        CFileSystemOverride scope(fs);
        Rewrite(path, kNew);
    }
    EXPECT_EQ(ReadRaw(path), kNew);
    EXPECT_EQ(AttributesOf(path), 0u);
    EXPECT_EQ(fs.Calls(Fs::getSecurity) + fs.Calls(Fs::setDacl), 0);
}

} // namespace
