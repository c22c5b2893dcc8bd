// Every file step of the streams fails in turn (open, create, read, write,
// flush, move): each failure must give its result code, delete the temporary
// file, and leave the existing destination as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "FileStream.h"
#include "tests/support/Bytes.h"
#include "tests/support/FaultyZivazoIo.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"
#include "ZivazoDi.h"

namespace {

using sonvera_test::CFaultyFileSystem;
using sonvera_test::CTempFolder;
using sonvera_test::CZivazoIoOverride;
using sonvera_test::PatternBytes;
using sonvera_test::ReadRaw;
using sonvera_test::WriteRaw;

// The steps the streams take through their file table, in table order, and
// the result each must give when one of its calls fails.
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
};

const char kKey[] = "fault key";
const std::string kOld = "old";

class FileFaults : public ::testing::Test {
public:
    int Encrypt()
    {
        return zv_encrypt_file(nullptr, ZIVAZO_FILE_REPLACE, P("plain").c_str(), P("out").c_str(),
                               kKey, nullptr, 1024);
    }
    int Decrypt()
    {
        return zv_decrypt_file(nullptr, ZIVAZO_FILE_REPLACE, P("enc").c_str(), P("out").c_str(), kKey,
                               nullptr);
    }

protected:
    using Run = int (FileFaults::*)();

    void SetUp() override
    {
        plain_ = PatternBytes(3 * 1024 + 5);
        WriteRaw(P("plain"), plain_);
        ASSERT_EQ(Encrypt(), ZIVAZO_FILE_OK);
        std::rename(P("out").c_str(), P("enc").c_str());
        WriteRaw(P("out"), kOld);
    }

    std::string P(const char* name) const { return folder_.File(name).str(); }

    // Runs with the streams' file calls going through fs.
    int RunOver(CFaultyFileSystem& fs, Run run)
    {
        CZivazoIoOverride scope(fs);
        return (this->*run)();
    }

    void ExpectNothingChanged(const std::string& what)
    {
        EXPECT_EQ(ReadRaw(P("out")), kOld) << what;
        EXPECT_EQ(folder_.Entries(), (std::vector<std::wstring>{L"enc", L"out", L"plain"})) << what;
    }

    // Fails every call of every step in turn.
    void FailEveryStep(Run run, const char* direction)
    {
        CFaultyFileSystem counted;
        ASSERT_EQ(RunOver(counted, run), ZIVAZO_FILE_OK);
        WriteRaw(P("out"), kOld);
        int failures = 0;
        for (const StreamStep& step : kSteps) {
            ASSERT_GT(counted.Calls(step.step), 0) << step.name;
            for (int n = 1; n <= counted.Calls(step.step); ++n) {
                CFaultyFileSystem fs;
                fs.FailCall(step.step, n, ERROR_IO_DEVICE);
                const std::string what = std::string(direction) + " " + step.name + " call " + std::to_string(n);
                EXPECT_EQ(RunOver(fs, run), step.result) << what;
                ExpectNothingChanged(what);
                ++failures;
            }
        }
        EXPECT_GE(failures, 10);
    }

    CTempFolder folder_;
    std::string plain_;
};

TEST_F(FileFaults, EncryptionLeavesNothingBehindWhicheverStepFails)
{
    FailEveryStep(&FileFaults::Encrypt, "encrypt");
}

TEST_F(FileFaults, DecryptionLeavesNothingBehindWhicheverStepFails)
{
    FailEveryStep(&FileFaults::Decrypt, "decrypt");
}

TEST_F(FileFaults, TellsAFullDiskApart)
{
    CFaultyFileSystem writeFull;
    writeFull.FailCall(CFaultyFileSystem::write, 2, ERROR_DISK_FULL);
    EXPECT_EQ(RunOver(writeFull, &FileFaults::Decrypt), ZIVAZO_FILE_E_DISK_FULL);
    CFaultyFileSystem flushFull;
    flushFull.FailCall(CFaultyFileSystem::flush, 1, ERROR_HANDLE_DISK_FULL);
    EXPECT_EQ(RunOver(flushFull, &FileFaults::Encrypt), ZIVAZO_FILE_E_DISK_FULL);
    ExpectNothingChanged("disk full");
}

TEST_F(FileFaults, GoesOnAfterPartialWrites)
{
    CFaultyFileSystem fs;
    fs.writeChunk = 7;
    ASSERT_EQ(RunOver(fs, &FileFaults::Encrypt), ZIVAZO_FILE_OK);
    EXPECT_GT(fs.Calls(CFaultyFileSystem::write), 400);
    std::rename(P("enc").c_str(), P("enc.old").c_str());
    ASSERT_EQ(std::rename(P("out").c_str(), P("enc").c_str()), 0);
    ASSERT_EQ(Decrypt(), ZIVAZO_FILE_OK);
    EXPECT_EQ(ReadRaw(P("out")), plain_);
}

TEST_F(FileFaults, TriesAnotherTemporaryNameWhenOneIsTaken)
{
    CFaultyFileSystem fs;
    fs.FailCall(CFaultyFileSystem::create, 1, ERROR_FILE_EXISTS);
    ASSERT_EQ(RunOver(fs, &FileFaults::Encrypt), ZIVAZO_FILE_OK);
    EXPECT_EQ(fs.Calls(CFaultyFileSystem::create), 2);
    EXPECT_EQ(folder_.Entries(), (std::vector<std::wstring>{L"enc", L"out", L"plain"}));
}

}  // namespace
