// Every file step of the streams fails in turn (open, create, read, write,
// flush, move): each failure must give its result code, delete the temporary
// file, and leave the existing destination as it was.
#include <gtest/gtest.h>

#include <string>

#include "FileIo.h"
#include "FileStream.h"
#include "TestBytes.h"
#include "ZivazoDi.h"

namespace {

enum Step { kOpenRead, kCreateNew, kRead, kWrite, kFlush, kMove, kStepCount };
const char* const kStepNames[] = {"openRead", "createNew", "read", "write", "flush", "move"};

// The platform's calls, counted, with call number `failAt` (from 1) of one
// step made to fail, and writes cut to `maxWrite` bytes when that is not 0.
struct Faults {
    explicit Faults(Step step = kStepCount, int at = 0, DWORD why = ERROR_ACCESS_DENIED)
        : failStep(step), failAt(at), error(why)
    {
    }
    bool Fails(Step step) { return ++calls[step] == failAt && step == failStep; }

    int calls[kStepCount] = {};
    Step failStep;
    int failAt;
    DWORD error;
    DWORD maxWrite = 0;
} g_faults;

// The platform's call, unless it is the one chosen to fail.
template <Step step, auto call, typename... Args>
DWORD Faulty(Args... args)
{
    return g_faults.Fails(step) ? g_faults.error : (zv_file_io_platform()->*call)(args...);
}

DWORD CutWrite(HANDLE file, const void* data, DWORD size, DWORD* written)
{
    if (g_faults.maxWrite != 0 && size > g_faults.maxWrite) size = g_faults.maxWrite;
    return Faulty<kWrite, &zv_file_io::write>(file, data, size, written);
}

const zv_file_io kFaultyIo = {
    Faulty<kOpenRead, &zv_file_io::openRead>, Faulty<kCreateNew, &zv_file_io::createNew>,
    Faulty<kRead, &zv_file_io::read>,         CutWrite,
    Faulty<kFlush, &zv_file_io::flush>,       Faulty<kMove, &zv_file_io::move>};

const char kKey[] = "fault key";

class FileFaults : public ::testing::Test {
public:
    int Encrypt()
    {
        return zv_encrypt_file(nullptr, ZIVAZO_FILE_REPLACE, Path("plain").c_str(),
                               Path("out").c_str(), kKey, nullptr, 1024);
    }
    int Decrypt()
    {
        return zv_decrypt_file(nullptr, ZIVAZO_FILE_REPLACE, Path("enc").c_str(),
                               Path("out").c_str(), kKey, nullptr);
    }

protected:
    void SetUp() override
    {
        folder_.Write("plain", Pattern(3 * 1024 + 5));
        ASSERT_EQ(zv_encrypt_file(nullptr, 0, Path("plain").c_str(), Path("enc").c_str(), kKey,
                                  nullptr, 1024),
                  ZIVAZO_FILE_OK);
        folder_.Write("out", "old");
        g_faults = Faults();
        zv_file_io_set(&kFaultyIo);
    }
    void TearDown() override { zv_file_io_set(nullptr); }

    std::string Path(const char* name) const { return folder_.Path(name); }

    // Fails every call of every step in turn, after a clean run has counted them.
    void FailEveryStep(int (FileFaults::*run)())
    {
        ASSERT_EQ((this->*run)(), ZIVAZO_FILE_OK);
        const Faults counted = g_faults;
        const int expected[kStepCount] = {ZIVAZO_FILE_E_SOURCE,      ZIVAZO_FILE_E_DESTINATION,
                                          ZIVAZO_FILE_E_SOURCE,      ZIVAZO_FILE_E_DESTINATION,
                                          ZIVAZO_FILE_E_DESTINATION, ZIVAZO_FILE_E_DESTINATION};
        for (int step = 0; step < kStepCount; ++step) {
            ASSERT_GT(counted.calls[step], 0) << kStepNames[step];
            for (int n = 1; n <= counted.calls[step]; ++n) {
                folder_.Write("out", "old");
                g_faults = Faults(static_cast<Step>(step), n);
                const std::string what = kStepNames[step] + (" call " + std::to_string(n));
                EXPECT_EQ((this->*run)(), expected[step]) << what;
                EXPECT_EQ(folder_.Read("out"), "old") << what;
                EXPECT_EQ(folder_.Names(), "enc out plain ") << what;
            }
        }
    }

    ScratchFolder folder_;
};

TEST_F(FileFaults, EncryptionLeavesNothingBehindWhicheverStepFails)
{
    FailEveryStep(&FileFaults::Encrypt);
}

TEST_F(FileFaults, DecryptionLeavesNothingBehindWhicheverStepFails)
{
    FailEveryStep(&FileFaults::Decrypt);
}

TEST_F(FileFaults, TellsAFullDiskApart)
{
    g_faults = Faults(kWrite, 2, ERROR_DISK_FULL);
    EXPECT_EQ(Decrypt(), ZIVAZO_FILE_E_DISK_FULL);
    g_faults = Faults(kFlush, 1, ERROR_HANDLE_DISK_FULL);
    EXPECT_EQ(Encrypt(), ZIVAZO_FILE_E_DISK_FULL);
    EXPECT_EQ(folder_.Read("out"), "old");
    EXPECT_EQ(folder_.Names(), "enc out plain ");
}

TEST_F(FileFaults, GoesOnAfterPartialWrites)
{
    g_faults.maxWrite = 7;
    ASSERT_EQ(Encrypt(), ZIVAZO_FILE_OK);
    EXPECT_GT(g_faults.calls[kWrite], 400);
    ASSERT_TRUE(MoveFileExA(Path("out").c_str(), Path("enc").c_str(), MOVEFILE_REPLACE_EXISTING));
    ASSERT_EQ(Decrypt(), ZIVAZO_FILE_OK);
    EXPECT_EQ(folder_.Read("out"), folder_.Read("plain"));
}

TEST_F(FileFaults, TriesAnotherTemporaryNameWhenOneIsTaken)
{
    g_faults = Faults(kCreateNew, 1, ERROR_FILE_EXISTS);
    ASSERT_EQ(Encrypt(), ZIVAZO_FILE_OK);
    EXPECT_EQ(g_faults.calls[kCreateNew], 2);
    EXPECT_EQ(folder_.Names(), "enc out plain ");
}

} // namespace
