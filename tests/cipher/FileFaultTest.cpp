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

// The platform's calls, counted, with one chosen call made to fail.
struct Faults {
    int calls[kStepCount] = {};
    Step failStep = kStepCount;
    int failAt = 0;  // 1-based call number of failStep that fails
    DWORD error = ERROR_ACCESS_DENIED;
    DWORD maxWrite = 0;  // when not 0, writes are cut to this many bytes

    bool Fails(Step step) { return ++calls[step] == failAt && step == failStep; }
} g_faults;

const zv_file_io& Platform()
{
    return *zv_file_io_platform();
}

const zv_file_io kFaultyIo = {
    [](const wchar_t* path, HANDLE* file) -> DWORD {
        return g_faults.Fails(kOpenRead) ? g_faults.error : Platform().openRead(path, file);
    },
    [](const wchar_t* path, HANDLE* file) -> DWORD {
        return g_faults.Fails(kCreateNew) ? g_faults.error : Platform().createNew(path, file);
    },
    [](HANDLE file, void* buffer, DWORD size, DWORD* got) -> DWORD {
        return g_faults.Fails(kRead) ? g_faults.error : Platform().read(file, buffer, size, got);
    },
    [](HANDLE file, const void* data, DWORD size, DWORD* written) -> DWORD {
        if (g_faults.Fails(kWrite)) return g_faults.error;
        if (g_faults.maxWrite != 0 && size > g_faults.maxWrite) size = g_faults.maxWrite;
        return Platform().write(file, data, size, written);
    },
    [](HANDLE file) -> DWORD {
        return g_faults.Fails(kFlush) ? g_faults.error : Platform().flush(file);
    },
    [](const wchar_t* from, const wchar_t* to, int replace) -> DWORD {
        return g_faults.Fails(kMove) ? g_faults.error : Platform().move(from, to, replace);
    },
};

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
                g_faults = Faults();
                g_faults.failStep = static_cast<Step>(step);
                g_faults.failAt = n;
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
    g_faults.failStep = kWrite;
    g_faults.failAt = 2;
    g_faults.error = ERROR_DISK_FULL;
    EXPECT_EQ(Decrypt(), ZIVAZO_FILE_E_DISK_FULL);
    g_faults = Faults();
    g_faults.failStep = kFlush;
    g_faults.failAt = 1;
    g_faults.error = ERROR_HANDLE_DISK_FULL;
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
    g_faults.failStep = kCreateNew;
    g_faults.failAt = 1;
    g_faults.error = ERROR_FILE_EXISTS;
    ASSERT_EQ(Encrypt(), ZIVAZO_FILE_OK);
    EXPECT_EQ(g_faults.calls[kCreateNew], 2);
    EXPECT_EQ(folder_.Names(), "enc out plain ");
}

} // namespace
