// Each file step of the streams fails in turn: each failure gives its result
// code, removes the temporary file and leaves the destination as it was. A
// replaced destination keeps its attributes and access rights.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "FileIo.h"
#include "FileStream.h"
#include "ZivazoDi.h"
#include "tests/support/Bytes.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace sonvera_test;
using Names = std::vector<std::wstring>;

// The fault-injecting file system as the streams' file table, so that their
// steps fail and are counted like the framework's: openRead is an open,
// createNew a create, getAttributes an attributes read.
CFaultyFileSystem* g_fs = nullptr;

DWORD Result(BOOL ok)
{
    const DWORD error = ok ? 0 : GetLastError();
    return ok || error != 0 ? error : ERROR_GEN_FAILURE;
}

const zv_file_io kFaultyIo = {
    [](const wchar_t* path, HANDLE* file) {
        *file = g_fs->Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
        return Result(*file != INVALID_HANDLE_VALUE);
    },
    [](const wchar_t* path, HANDLE* file) {
        *file = g_fs->Open(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        return Result(*file != INVALID_HANDLE_VALUE);
    },
    [](HANDLE file, void* buffer, DWORD size, DWORD* got) { return Result(g_fs->Read(file, buffer, size, got)); },
    [](HANDLE file, const void* data, DWORD size, DWORD* done) { return Result(g_fs->Write(file, data, size, done)); },
    [](HANDLE file) { return Result(g_fs->Flush(file)); },
    [](const wchar_t* from, const wchar_t* to, int replace) {
        return Result(g_fs->Move(from, to, MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0)));
    },
    [](const wchar_t* path, DWORD* attributes) {
        *attributes = g_fs->GetAttributes(path);
        return Result(*attributes != INVALID_FILE_ATTRIBUTES);
    },
    [](const wchar_t* path, DWORD attributes) { return Result(g_fs->SetAttributes(path, attributes)); },
    [](const wchar_t* path, PSECURITY_DESCRIPTOR* descriptor) {
        return Result(g_fs->GetSecurity(path, DACL_SECURITY_INFORMATION, descriptor));
    },
    [](const wchar_t* path, SECURITY_INFORMATION what, PACL dacl) { return Result(g_fs->SetDacl(path, what, dacl)); },
};

// The steps the streams take through their file table, and the result each
// must give when one of its calls fails.
const struct {
    CFaultyFileSystem::Step step;
    const char* name;
    int result;
} kSteps[] = {
    {CFaultyFileSystem::open, "openRead", ZIVAZO_FILE_E_SOURCE},
    {CFaultyFileSystem::create, "createNew", ZIVAZO_FILE_E_DESTINATION},
    {CFaultyFileSystem::read, "read", ZIVAZO_FILE_E_SOURCE},
    {CFaultyFileSystem::write, "write", ZIVAZO_FILE_E_DESTINATION},
    {CFaultyFileSystem::flush, "flush", ZIVAZO_FILE_E_DESTINATION},
    {CFaultyFileSystem::move, "move", ZIVAZO_FILE_E_DESTINATION},
    {CFaultyFileSystem::attributes, "getAttributes", ZIVAZO_FILE_E_DESTINATION},
    {CFaultyFileSystem::setAttributes, "setAttributes", ZIVAZO_FILE_E_DESTINATION},
    {CFaultyFileSystem::getSecurity, "getSecurity", ZIVAZO_FILE_E_DESTINATION},
    {CFaultyFileSystem::setDacl, "setDacl", ZIVAZO_FILE_E_DESTINATION},
};

const DWORD kShownAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

class FileFaults : public ::testing::Test {
protected:
    using Run = std::function<int()>;

    void SetUp() override
    {
        WriteRaw(P("plain"), PatternBytes(3 * 1024 + 5));
        ASSERT_EQ(Stream(true, "plain", "enc", 0), ZIVAZO_FILE_OK);
        WriteRaw(P("out"), "old");
    }

    std::string P(const char* name) const { return folder_.File(name).str(); }
    int Stream(bool encrypt, const char* from, const char* to, int flags = ZIVAZO_FILE_REPLACE) const
    {
        const std::string source = P(from), destination = P(to);
        return encrypt ? zv_encrypt_file(nullptr, flags, source.c_str(), destination.c_str(), "fault key", nullptr, 1024)
                       : zv_decrypt_file(nullptr, flags, source.c_str(), destination.c_str(), "fault key", nullptr);
    }
    Run StreamOf(bool encrypt, const char* from, const char* to)
    {
        return [this, encrypt, from, to] { return Stream(encrypt, from, to); };
    }
    DWORD AttributesOf(const char* name) const { return GetFileAttributesA(P(name).c_str()) & kShownAttributes; }

    static int RunOver(CFaultyFileSystem& fs, const Run& run)
    {
        g_fs = &fs;
        zv_file_io_set(&kFaultyIo);
        const int result = run();
        zv_file_io_set(nullptr);
        return result;
    }

    // Fails every call of every step in turn, after a clean run has counted them.
    void FailEveryStep(const Run& run)
    {
        CFaultyFileSystem counted;
        ASSERT_EQ(RunOver(counted, run), ZIVAZO_FILE_OK);
        for (const auto& step : kSteps) {
            ASSERT_GT(counted.Calls(step.step), 0) << step.name;
            for (int n = 1; n <= counted.Calls(step.step); ++n) {
                WriteRaw(P("out"), "old");
                CFaultyFileSystem fs;
                fs.FailCall(step.step, n, ERROR_IO_DEVICE);
                const std::string what = step.name + (" call " + std::to_string(n));
                EXPECT_EQ(RunOver(fs, run), step.result) << what;
                EXPECT_EQ(ReadRaw(P("out")), "old") << what;
                EXPECT_EQ(folder_.Entries(), (Names{L"enc", L"out", L"plain"})) << what;
            }
        }
    }

    CTempFolder folder_;
};

TEST_F(FileFaults, NothingIsLeftBehindWhicheverStepFailsAndAFullDiskIsToldApart)
{
    FailEveryStep(StreamOf(true, "plain", "out"));
    FailEveryStep(StreamOf(false, "enc", "out"));

    CFaultyFileSystem writeFull;
    writeFull.FailCall(CFaultyFileSystem::write, 2, ERROR_DISK_FULL);
    EXPECT_EQ(RunOver(writeFull, StreamOf(false, "enc", "out")), ZIVAZO_FILE_E_DISK_FULL);
    CFaultyFileSystem flushFull;
    flushFull.FailCall(CFaultyFileSystem::flush, 1, ERROR_HANDLE_DISK_FULL);
    EXPECT_EQ(RunOver(flushFull, StreamOf(true, "plain", "out")), ZIVAZO_FILE_E_DISK_FULL);

    CFaultyFileSystem shortWrites;
    shortWrites.writeChunk = 7;
    ASSERT_EQ(RunOver(shortWrites, StreamOf(true, "plain", "out")), ZIVAZO_FILE_OK);
    ASSERT_EQ(Stream(false, "out", "out"), ZIVAZO_FILE_OK);
    EXPECT_EQ(ReadRaw(P("out")), ReadRaw(P("plain")));

    CFaultyFileSystem taken;
    taken.FailCall(CFaultyFileSystem::create, 1, ERROR_FILE_EXISTS);
    EXPECT_EQ(RunOver(taken, StreamOf(true, "plain", "out")), ZIVAZO_FILE_OK);
}

// Two runs to one destination at once, as two programs may make them: the
// second starts while the first puts its output in place. Neither may take the
// other's temporary file for a crashed run's; without replacing, the later
// move finds the destination taken and says so.
TEST_F(FileFaults, TwoRunsToOneDestinationAtOnceEndOneWinningAndTheOtherToldWhy)
{
    WriteRaw(P("other"), "the second run's file");
    const struct {
        int flags;
        int first, second;
        const char* kept;   // whose text the destination holds
    } cases[] = {
        {0, ZIVAZO_FILE_E_EXISTS, ZIVAZO_FILE_OK, "other"},
        {ZIVAZO_FILE_REPLACE, ZIVAZO_FILE_OK, ZIVAZO_FILE_OK, "plain"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        DeleteFileA(P("both").c_str());
        CFaultyFileSystem fs;
        int secondResult = -1;
        fs.atMove = [&] { secondResult = Stream(true, "other", "both", c.flags); };
        EXPECT_EQ(RunOver(fs, [&] { return Stream(true, "plain", "both", c.flags); }), c.first);
        EXPECT_EQ(secondResult, c.second);
        ASSERT_EQ(Stream(false, "both", "out"), ZIVAZO_FILE_OK);
        EXPECT_EQ(ReadRaw(P("out")), ReadRaw(P(c.kept)));
        EXPECT_EQ(folder_.Entries(), (Names{L"both", L"enc", L"other", L"out", L"plain"}));
    }
}

// A file an administrator hid and restricted (the test file system keeps its
// DACL without enforcing it), or one without a DACL, as on a FAT volume.
const struct {
    const char* file;
    DWORD attributes;
    const wchar_t* dacl;   // SDDL; none when null
} kRestricted[] = {
    {"hidden, system, the administrators' alone", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, L"D:P(A;;FA;;;BA)"},
    {"hidden, an entry besides the folder's", FILE_ATTRIBUTE_HIDDEN, L"D:(A;;FR;;;BU)(A;;FA;;;BA)"},
    {"system, no DACL", FILE_ATTRIBUTE_SYSTEM, nullptr},
};

TEST_F(FileFaults, AFileEncryptedAndDecryptedInPlaceKeepsItsAttributesAndRights)
{
    const std::string plain = ReadRaw(P("plain"));
    const std::wstring path = folder_.File("plain").ToWide();
    for (const auto& file : kRestricted) {
        SCOPED_TRACE(file.file);
        CFaultyFileSystem fs;
        ASSERT_TRUE(SetFileAttributesA(P("plain").c_str(), FILE_ATTRIBUTE_NORMAL));
        ASSERT_TRUE(WriteRaw(P("plain"), plain));
        if (file.dacl != nullptr)
            fs.SetRights(path, file.dacl);
        ASSERT_TRUE(SetFileAttributesA(P("plain").c_str(), file.attributes));
        const int daclsSetBefore = fs.Calls(CFaultyFileSystem::setDacl);
        for (bool encrypt : {true, false}) {
            if (file.dacl == nullptr)
                fs.SetRights(path, L"");   // again: a replaced file reads as the file system has it
            ASSERT_EQ(RunOver(fs, StreamOf(encrypt, "plain", "plain")), ZIVAZO_FILE_OK);
            EXPECT_EQ(AttributesOf("plain"), file.attributes);
            if (file.dacl != nullptr) {
                EXPECT_EQ(fs.RightsOf(path), file.dacl);
            }
        }
        EXPECT_EQ(ReadRaw(P("plain")), plain);
        EXPECT_EQ(fs.Calls(CFaultyFileSystem::setDacl) - daclsSetBefore, file.dacl != nullptr ? 2 : 0);
    }

    // Windows' move refuses a read-only destination (Wine's would replace it).
    const DWORD readOnly = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    ASSERT_TRUE(SetFileAttributesA(P("out").c_str(), readOnly));
    EXPECT_EQ(Stream(false, "enc", "out"), ZIVAZO_FILE_E_DESTINATION);
    EXPECT_EQ(AttributesOf("out"), readOnly);
}

} // namespace
