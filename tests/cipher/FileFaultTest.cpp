// Each file step of the streams fails in turn: each failure gives its result
// code, removes the temporary file and leaves the destination as it was. A
// replaced destination keeps its attributes and access rights.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FileStream.h"
#include "ZivazoDi.h"
#include "tests/support/Bytes.h"
#include "tests/support/FaultyZivazoIo.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace sonvera_test;

// The steps the streams take through their file table, and the result each
// must give when one of its calls fails.
struct StreamStep {
    CFaultyFileSystem::Step step;
    const char* name;
    int result;
};
const StreamStep kSteps[] = {
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

const char kKey[] = "fault key";
const DWORD kShownAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

class FileFaults : public ::testing::Test {
public:
    int Encrypt() { return Stream(true, "plain", "out"); }
    int Decrypt() { return Stream(false, "enc", "out"); }
    int EncryptInPlace() { return Stream(true, "plain", "plain"); }
    int DecryptInPlace() { return Stream(false, "plain", "plain"); }

protected:
    using Run = int (FileFaults::*)();

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
        return encrypt ? zv_encrypt_file(nullptr, flags, source.c_str(), destination.c_str(), kKey, nullptr, 1024)
                       : zv_decrypt_file(nullptr, flags, source.c_str(), destination.c_str(), kKey, nullptr);
    }
    DWORD AttributesOf(const char* name) const { return GetFileAttributesA(P(name).c_str()) & kShownAttributes; }

    int RunOver(CFaultyFileSystem& fs, Run run)
    {
        sonvera_test::CZivazoIoOverride scope(fs);
        return (this->*run)();
    }

    // Fails every call of every step in turn, after a clean run has counted them.
    void FailEveryStep(Run run)
    {
        CFaultyFileSystem counted;
        ASSERT_EQ(RunOver(counted, run), ZIVAZO_FILE_OK);
        for (const StreamStep& step : kSteps) {
            ASSERT_GT(counted.Calls(step.step), 0) << step.name;
            for (int n = 1; n <= counted.Calls(step.step); ++n) {
                WriteRaw(P("out"), "old");
                CFaultyFileSystem fs;
                fs.FailCall(step.step, n, ERROR_IO_DEVICE);
                const std::string what = step.name + (" call " + std::to_string(n));
                EXPECT_EQ(RunOver(fs, run), step.result) << what;
                EXPECT_EQ(ReadRaw(P("out")), "old") << what;
                EXPECT_EQ(folder_.Entries(), (std::vector<std::wstring>{L"enc", L"out", L"plain"})) << what;
            }
        }
    }

    CTempFolder folder_;
};

TEST_F(FileFaults, NothingIsLeftBehindWhicheverStepFailsAndAFullDiskIsToldApart)
{
    FailEveryStep(&FileFaults::Encrypt);
    FailEveryStep(&FileFaults::Decrypt);

    CFaultyFileSystem writeFull;
    writeFull.FailCall(CFaultyFileSystem::write, 2, ERROR_DISK_FULL);
    EXPECT_EQ(RunOver(writeFull, &FileFaults::Decrypt), ZIVAZO_FILE_E_DISK_FULL);
    CFaultyFileSystem flushFull;
    flushFull.FailCall(CFaultyFileSystem::flush, 1, ERROR_HANDLE_DISK_FULL);
    EXPECT_EQ(RunOver(flushFull, &FileFaults::Encrypt), ZIVAZO_FILE_E_DISK_FULL);

    CFaultyFileSystem shortWrites;
    shortWrites.writeChunk = 7;
    ASSERT_EQ(RunOver(shortWrites, &FileFaults::Encrypt), ZIVAZO_FILE_OK);
    ASSERT_EQ(Stream(false, "out", "out"), ZIVAZO_FILE_OK);
    EXPECT_EQ(ReadRaw(P("out")), ReadRaw(P("plain")));

    CFaultyFileSystem taken;
    taken.FailCall(CFaultyFileSystem::create, 1, ERROR_FILE_EXISTS);
    EXPECT_EQ(RunOver(taken, &FileFaults::Encrypt), ZIVAZO_FILE_OK);
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
        {
            sonvera_test::CZivazoIoOverride scope(fs);
            EXPECT_EQ(Stream(true, "plain", "both", c.flags), c.first);
        }
        EXPECT_EQ(secondResult, c.second);
        ASSERT_EQ(Stream(false, "both", "out"), ZIVAZO_FILE_OK);
        EXPECT_EQ(ReadRaw(P("out")), ReadRaw(P(c.kept)));
        EXPECT_EQ(folder_.Entries(), (std::vector<std::wstring>{L"both", L"enc", L"other", L"out", L"plain"}));
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
        for (Run run : {&FileFaults::EncryptInPlace, &FileFaults::DecryptInPlace}) {
            if (file.dacl == nullptr)
                fs.SetRights(path, L"");   // again: a replaced file reads as the file system has it
            ASSERT_EQ(RunOver(fs, run), ZIVAZO_FILE_OK);
            EXPECT_EQ(AttributesOf("plain"), file.attributes);
            if (file.dacl != nullptr) {
                EXPECT_EQ(fs.RightsOf(path), file.dacl);
            }
        }
        EXPECT_EQ(ReadRaw(P("plain")), plain);
        EXPECT_EQ(fs.Calls(CFaultyFileSystem::setDacl) - daclsSetBefore, file.dacl != nullptr ? 2 : 0);
    }
}

// Windows' move refuses a read-only destination (Wine's would replace it).
TEST_F(FileFaults, AReadOnlyDestinationIsRefused)
{
    const DWORD readOnly = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    ASSERT_TRUE(SetFileAttributesA(P("out").c_str(), readOnly));
    EXPECT_EQ(Decrypt(), ZIVAZO_FILE_E_DESTINATION);
    EXPECT_EQ(AttributesOf("out"), readOnly);
}

} // namespace
