// CSafeFileWriter: a rewrite either replaces the target whole or leaves it
// exactly as it was, with no temporary file left behind, whichever step fails.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
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
    // Moved in place, replacing the target and writing through.
    EXPECT_EQ(fs.Calls(CFaultyFileSystem::move), 1);
    EXPECT_EQ(fs.lastMoveFlags, static_cast<DWORD>(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));

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
    {"disk full mid-write", [](Fs& fs) { fs.writeChunk = 7; fs.FailCall(Fs::write, 2, ERROR_DISK_FULL); },
     CFileException::diskFull},
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
    // Another host reading the file holds it for a moment: the replace waits
    // out a brief sharing violation instead of failing.
    ASSERT_TRUE(WriteRaw(path, kNew));
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

DWORD AttributesOf(const std::string& path)
{
    const DWORD shown = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                        FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    return GetFileAttributesA(path.c_str()) & shown;
}

const DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
const wchar_t* const kAdminsAlone = L"D:P(A;;FA;;;BA)";

// A store an administrator has hidden and given rights of its own (kept, not
// enforced), rewritten as it is or with one step of carrying them over
// failing: it keeps its attributes and rights, and its contents on a failure.
const struct {
    const char* store;
    DWORD attributes;
    const wchar_t* dacl;   // SDDL; empty: none at all, as on a FAT volume
    Fs::Step fails;        // with error 0, nothing fails
    DWORD error;
    int cause;
} kLockedDown[] = {
    {"the administrators' alone", kHiddenSystem, kAdminsAlone, Fs::stepCount, 0, CFileException::none},
    {"an entry besides the folder's", FILE_ATTRIBUTE_HIDDEN, L"D:(A;;FR;;;BU)(A;;FA;;;BA)", Fs::stepCount, 0,
     CFileException::none},
    {"no DACL, which is not given one", FILE_ATTRIBUTE_HIDDEN, L"", Fs::stepCount, 0, CFileException::none},
    {"read-only, refused as Windows' move refuses it", kHiddenSystem | FILE_ATTRIBUTE_READONLY, kAdminsAlone,
     Fs::stepCount, 0, CFileException::accessDenied},
    {"attributes unreadable", kHiddenSystem, kAdminsAlone, Fs::attributes, ERROR_IO_DEVICE, CFileException::hardIO},
    {"attributes not set", kHiddenSystem, kAdminsAlone, Fs::setAttributes, ERROR_ACCESS_DENIED,
     CFileException::accessDenied},
    {"rights unreadable", kHiddenSystem, kAdminsAlone, Fs::getSecurity, ERROR_ACCESS_DENIED,
     CFileException::accessDenied},
    {"rights not set", kHiddenSystem, kAdminsAlone, Fs::setDacl, ERROR_IO_DEVICE, CFileException::hardIO},
};

class SafeFileWriterRightsTest : public SafeFileWriterTest {
protected:
    void TearDown() override { SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL); }
};

TEST_F(SafeFileWriterRightsTest, ARewrittenStoreKeepsItsAttributesAndRights)
{
    const std::wstring target = CString(path.c_str()).ToWide();
    for (const auto& store : kLockedDown) {
        SCOPED_TRACE(store.store);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(WriteRaw(path, kOld));
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), store.attributes));
        ASSERT_EQ(AttributesOf(path), store.attributes) << "the file system does not keep the attributes";
        CFaultyFileSystem fs;
        fs.SetRights(target, store.dacl);
        if (store.error != 0)
            fs.FailCall(store.fails, 1, store.error);
        const CFileSystemOverride scope(fs);
        const int cause = FileErrorOf([&] { Rewrite(path, kNew); }).m_cause;
        EXPECT_EQ(cause, store.cause);
        EXPECT_EQ(ReadRaw(path), cause == CFileException::none ? kNew : kOld);
        EXPECT_EQ(AttributesOf(path), store.attributes);
        // Never given one, a store without a DACL reads as its file system has it.
        EXPECT_EQ(fs.RightsOf(target), *store.dacl != L'\0' ? store.dacl : L"<the file system's>");
        EXPECT_EQ(dir.Entries(), Names{L"users.dat"});
    }
}

} // namespace
