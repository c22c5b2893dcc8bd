// Every file step of the streams fails in turn (open, create, read, write,
// flush, move): each failure must give its result code, delete the temporary
// file, and leave the existing destination as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "FileIo.h"
#include "FileStream.h"
#include "TestFiles.h"
#include "ZivazoDi.h"

namespace {

enum Step { kOpenRead, kCreateNew, kRead, kWrite, kFlush, kMove, kStepCount };
const char* const kStepNames[] = {"openRead", "createNew", "read", "write", "flush", "move"};

// The platform's calls, counted, with one chosen call made to fail.
struct Faults {
    int calls[kStepCount] = {};
    Step failStep = kStepCount;
    int failAt = 0;  // 1-based call number of failStep that fails
    DWORD error = ERROR_ACCESS_DENIED;
    DWORD maxWrite = 0;  // when not 0, writes are cut to this many bytes

    bool Fails(Step step)
    {
        return ++calls[step] == failAt && step == failStep;
    }
};

Faults g_faults;

DWORD OpenRead(const wchar_t* path, HANDLE* file)
{
    if (g_faults.Fails(kOpenRead)) return g_faults.error;
    return zv_file_io_platform()->openRead(path, file);
}

DWORD CreateNew(const wchar_t* path, HANDLE* file)
{
    if (g_faults.Fails(kCreateNew)) return g_faults.error;
    return zv_file_io_platform()->createNew(path, file);
}

DWORD Read(HANDLE file, void* buffer, DWORD size, DWORD* got)
{
    if (g_faults.Fails(kRead)) return g_faults.error;
    return zv_file_io_platform()->read(file, buffer, size, got);
}

DWORD Write(HANDLE file, const void* data, DWORD size, DWORD* written)
{
    if (g_faults.Fails(kWrite)) return g_faults.error;
    if (g_faults.maxWrite != 0 && size > g_faults.maxWrite) size = g_faults.maxWrite;
    return zv_file_io_platform()->write(file, data, size, written);
}

DWORD Flush(HANDLE file)
{
    if (g_faults.Fails(kFlush)) return g_faults.error;
    return zv_file_io_platform()->flush(file);
}

DWORD Move(const wchar_t* from, const wchar_t* to, int replace)
{
    if (g_faults.Fails(kMove)) return g_faults.error;
    return zv_file_io_platform()->move(from, to, replace);
}

const zv_file_io kFaultyIo = {OpenRead, CreateNew, Read, Write, Flush, Move};

const char kKey[] = "fault key";
const std::vector<uint8_t> kOld = {'o', 'l', 'd'};

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
    void SetUp() override
    {
        g_faults = Faults();
        zv_file_io_set(&kFaultyIo);
        plain_ = PatternBytes(3 * 1024 + 5);
        WriteBytes(P("plain"), plain_);
        ASSERT_EQ(Encrypt(), ZIVAZO_FILE_OK);
        std::rename(P("out").c_str(), P("enc").c_str());
        WriteBytes(P("out"), kOld);
        g_faults = Faults();
    }
    void TearDown() override { zv_file_io_set(nullptr); }

    std::string P(const std::string& name) const { return folder_.Path(name); }

    // Counts the calls of one clean run.
    Faults CleanRun(int (FileFaults::*run)())
    {
        WriteBytes(P("out"), kOld);
        g_faults = Faults();
        EXPECT_EQ((this->*run)(), ZIVAZO_FILE_OK);
        const Faults counted = g_faults;
        WriteBytes(P("out"), kOld);
        return counted;
    }

    // Fails every call of every step in turn.
    void FailEveryStep(int (FileFaults::*run)(), const char* direction)
    {
        const Faults counted = CleanRun(run);
        const int expected[kStepCount] = {ZIVAZO_FILE_E_SOURCE,      ZIVAZO_FILE_E_DESTINATION,
                                          ZIVAZO_FILE_E_SOURCE,      ZIVAZO_FILE_E_DESTINATION,
                                          ZIVAZO_FILE_E_DESTINATION, ZIVAZO_FILE_E_DESTINATION};
        int failures = 0;
        for (int step = 0; step < kStepCount; ++step) {
            ASSERT_GT(counted.calls[step], 0) << kStepNames[step];
            for (int n = 1; n <= counted.calls[step]; ++n) {
                g_faults = Faults();
                g_faults.failStep = static_cast<Step>(step);
                g_faults.failAt = n;
                const int result = (this->*run)();
                const std::string what = std::string(direction) + " " + kStepNames[step] +
                                         " call " + std::to_string(n);
                EXPECT_EQ(result, expected[step]) << what;
                EXPECT_EQ(ReadBytes(P("out")), kOld) << what;
                EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"enc", "out", "plain"})) << what;
                ++failures;
            }
        }
        EXPECT_GE(failures, 10);
    }

    ScratchFolder folder_;
    std::vector<uint8_t> plain_;
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
    g_faults.failStep = kWrite;
    g_faults.failAt = 2;
    g_faults.error = ERROR_DISK_FULL;
    EXPECT_EQ(Decrypt(), ZIVAZO_FILE_E_DISK_FULL);
    g_faults = Faults();
    g_faults.failStep = kFlush;
    g_faults.failAt = 1;
    g_faults.error = ERROR_HANDLE_DISK_FULL;
    EXPECT_EQ(Encrypt(), ZIVAZO_FILE_E_DISK_FULL);
    EXPECT_EQ(ReadBytes(P("out")), kOld);
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"enc", "out", "plain"}));
}

TEST_F(FileFaults, GoesOnAfterPartialWrites)
{
    g_faults.maxWrite = 7;
    ASSERT_EQ(Encrypt(), ZIVAZO_FILE_OK);
    EXPECT_GT(g_faults.calls[kWrite], 400);
    std::rename(P("enc").c_str(), P("enc.old").c_str());
    ASSERT_EQ(std::rename(P("out").c_str(), P("enc").c_str()), 0);
    ASSERT_EQ(Decrypt(), ZIVAZO_FILE_OK);
    EXPECT_EQ(ReadBytes(P("out")), plain_);
}

TEST_F(FileFaults, TriesAnotherTemporaryNameWhenOneIsTaken)
{
    g_faults.failStep = kCreateNew;
    g_faults.failAt = 1;
    g_faults.error = ERROR_FILE_EXISTS;
    ASSERT_EQ(Encrypt(), ZIVAZO_FILE_OK);
    EXPECT_EQ(g_faults.calls[kCreateNew], 2);
    EXPECT_EQ(folder_.Names(), (std::vector<std::string>{"enc", "out", "plain"}));
}

}  // namespace
