// CRollbackJournal: an in-place change happens whole or not at all, whichever step
// fails; one cut off by a crash is undone the next time the file is touched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fw/FileException.h"
#include "fw/RollbackJournal.h"
#include "tests/support/Bytes.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace sonvera_test;

const std::string kOld = PatternBytes(3000, 1);

// The change of every test: 1500 new bytes from offset 2000, past the old end.
const ULONGLONG kOffset = 2000;
const std::string kChange = PatternBytes(1500, 2);

class RollbackJournalTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WriteRaw(path, kOld)); }

    // The change with the file system given; the file is opened and closed
    // outside it, so that only the journal's own calls are counted and failed.
    void WriteChange(CFaultyFileSystem& fs)
    {
        CFile file(path, CFile::modeReadWrite | CFile::shareExclusive);
        CFileSystemOverride scope(fs);
        CRollbackJournal::Write(file, kOffset, kChange.data(), kChange.size());
    }

    // The journal a crash leaves is whole; one that could not be removed is too.
    void LeaveAJournal()
    {
        CFaultyFileSystem keepJournal;
        keepJournal.Watch(L"-journal");
        keepJournal.Fail(CFaultyFileSystem::remove, ERROR_IO_DEVICE);
        EXPECT_THROW(WriteChange(keepJournal), CFileException);
        ASSERT_TRUE(Exists(CRollbackJournal::JournalPath(path)));
    }

    CTempFolder dir;
    const CString path = dir.File("slots.dat");
    const std::vector<std::wstring> onlyTheFile{L"slots.dat"};
};

// Every call of every step of a clean change fails in turn, alone (undone at
// once) and with every later call of its step (undone at the next touch).
TEST_F(RollbackJournalTest, WhicheverStepFailsOrCrashesTheFileKeepsItsOldBytes)
{
    CFaultyFileSystem counted;
    WriteChange(counted);
    EXPECT_EQ(onlyTheFile, dir.Entries());
    EXPECT_FALSE(CRollbackJournal::Recover(path));
    EXPECT_TRUE(kOld.substr(0, kOffset) + kChange == ReadRaw(path));
    int failures = 0;
    for (const bool laterCallsFailToo : {false, true}) {
        for (CFaultyFileSystem::Step step : {CFaultyFileSystem::create, CFaultyFileSystem::write,
                                             CFaultyFileSystem::flush, CFaultyFileSystem::close,
                                             CFaultyFileSystem::remove}) {
            for (int n = 1; n <= counted.Calls(step); ++n) {
                SCOPED_TRACE("step " + std::to_string(step) + " call " + std::to_string(n) +
                             (laterCallsFailToo ? " and later" : ""));
                ASSERT_TRUE(WriteRaw(path, kOld));
                CFaultyFileSystem fs;
                if (laterCallsFailToo)
                    fs.FailFrom(step, n, ERROR_IO_DEVICE);
                else
                    fs.FailCall(step, n, ERROR_IO_DEVICE);
                EXPECT_THROW(WriteChange(fs), CFileException);
                if (!laterCallsFailToo) {
                    EXPECT_TRUE(kOld == ReadRaw(path));
                }
                CRollbackJournal::Recover(path);
                EXPECT_TRUE(kOld == ReadRaw(path));
                EXPECT_EQ(onlyTheFile, dir.Entries());
                ++failures;
            }
        }
    }
    EXPECT_GE(failures, 10);

    LeaveAJournal();
    // The crash came while the change was half written.
    ASSERT_TRUE(WriteRaw(path, kOld.substr(0, kOffset) + kChange.substr(0, 300)));
    EXPECT_TRUE(CRollbackJournal::Recover(path));
    EXPECT_TRUE(kOld == ReadRaw(path));
    EXPECT_EQ(onlyTheFile, dir.Entries());

    // A journal cut off while it was written means the file was not touched yet.
    LeaveAJournal();
    const CString journalPath = CRollbackJournal::JournalPath(path);
    const std::string whole = ReadRaw(journalPath);
    ASSERT_GT(whole.size(), 28u);
    std::string changedByte = whole;
    changedByte[40] ^= 1;
    for (const std::string& journal : {std::string(), whole.substr(0, 10), whole.substr(0, 27),
                                       whole.substr(0, whole.size() - 1), changedByte}) {
        ASSERT_TRUE(WriteRaw(journalPath, journal));
        EXPECT_FALSE(CRollbackJournal::Recover(path)) << journal.size();
        EXPECT_TRUE(kOld == ReadRaw(path)) << journal.size();
        EXPECT_EQ(onlyTheFile, dir.Entries()) << journal.size();
    }

    // A file deleted after the crash to start anew has nothing to put back,
    // and its journal must not block the new file nor be applied to it.
    LeaveAJournal();
    ASSERT_TRUE(DeleteFileA(path));
    EXPECT_FALSE(CRollbackJournal::Recover(path));
    EXPECT_TRUE(dir.Entries().empty());
}

} // namespace
