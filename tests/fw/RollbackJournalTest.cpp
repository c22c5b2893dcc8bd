// CRollbackJournal: an in-place change either happens whole or not at all,
// whichever step fails, and a change cut off by a crash (the journal left
// beside the file) is undone the next time the file is touched.
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

using sonvera_test::CFaultyFileSystem;
using sonvera_test::CTempFolder;
using sonvera_test::Exists;
using sonvera_test::PatternBytes;
using sonvera_test::ReadRaw;
using sonvera_test::WriteRaw;

const std::string kOld = PatternBytes(3000, 1);

// The change of every test: 1500 new bytes from offset 2000, past the old end.
const ULONGLONG kOffset = 2000;
const std::string kChange = PatternBytes(1500, 2);

std::string Changed() { return kOld.substr(0, kOffset) + kChange; }

void WriteChange(CFile& file)
{
    CRollbackJournal::Write(file, kOffset, kChange.data(), kChange.size());
}

void WriteChange(const CString& path)
{
    CFile file(path, CFile::modeReadWrite | CFile::shareExclusive);
    WriteChange(file);
}

// The change with the file system given; the file is opened and closed
// outside it, so that only the journal's own calls are counted and failed.
void WriteChangeOver(CFaultyFileSystem& fs, const CString& path)
{
    CFile file(path, CFile::modeReadWrite | CFile::shareExclusive);
    CFileSystemOverride scope(fs);
    WriteChange(file);
}

TEST(RollbackJournal, AChangeIsWrittenInPlaceAndLeavesNoJournal)
{
    CTempFolder dir;
    const CString path = dir.File("slots.dat");
    ASSERT_TRUE(WriteRaw(path, kOld));
    WriteChange(path);
    EXPECT_TRUE(Changed() == ReadRaw(path));
    EXPECT_EQ(std::vector<std::wstring>{L"slots.dat"}, dir.Entries());
    EXPECT_FALSE(CRollbackJournal::Recover(path));
    EXPECT_TRUE(Changed() == ReadRaw(path));
}

// Every call of every step of a clean change fails in turn, alone (the
// change is undone at once) and with every later call of its step (the
// undoing fails too, and the next touch undoes the change).
TEST(RollbackJournal, WhicheverStepFailsTheFileKeepsItsOldBytes)
{
    const CFaultyFileSystem::Step steps[] = {CFaultyFileSystem::create, CFaultyFileSystem::write,
                                             CFaultyFileSystem::flush, CFaultyFileSystem::close,
                                             CFaultyFileSystem::remove};
    CTempFolder dir;
    const CString path = dir.File("slots.dat");
    ASSERT_TRUE(WriteRaw(path, kOld));
    CFaultyFileSystem counted;
    WriteChangeOver(counted, path);
    int failures = 0;
    for (const bool laterCallsFailToo : {false, true}) {
        for (CFaultyFileSystem::Step step : steps) {
            for (int n = 1; n <= counted.Calls(step); ++n) {
                ASSERT_TRUE(WriteRaw(path, kOld));
                CFaultyFileSystem fs;
                if (laterCallsFailToo)
                    fs.FailFrom(step, n, ERROR_IO_DEVICE);
                else
                    fs.FailCall(step, n, ERROR_IO_DEVICE);
                const std::string what = "step " + std::to_string(step) + " call " + std::to_string(n) +
                                         (laterCallsFailToo ? " and later" : "");
                EXPECT_THROW(WriteChangeOver(fs, path), CFileException) << what;
                if (!laterCallsFailToo) {
                    EXPECT_TRUE(kOld == ReadRaw(path)) << what;
                }
                CRollbackJournal::Recover(path);
                EXPECT_TRUE(kOld == ReadRaw(path)) << what;
                EXPECT_EQ(std::vector<std::wstring>{L"slots.dat"}, dir.Entries()) << what;
                ++failures;
            }
        }
    }
    EXPECT_GE(failures, 10);
}

// The journal a crash leaves is whole; one that could not be removed is too.
void LeaveAJournal(const CString& path)
{
    CFaultyFileSystem keepJournal;
    keepJournal.Watch(L"-journal");
    keepJournal.Fail(CFaultyFileSystem::remove, ERROR_IO_DEVICE);
    CFileSystemOverride scope(keepJournal);
    EXPECT_THROW(WriteChange(path), CFileException);
}

TEST(RollbackJournal, AJournalLeftByACrashIsUndoneAtTheNextTouch)
{
    CTempFolder dir;
    const CString path = dir.File("slots.dat");
    ASSERT_TRUE(WriteRaw(path, kOld));
    LeaveAJournal(path);
    ASSERT_TRUE(Exists(CRollbackJournal::JournalPath(path)));
    // The crash came while the change was half written.
    ASSERT_TRUE(WriteRaw(path, kOld.substr(0, kOffset) + kChange.substr(0, 300)));
    EXPECT_TRUE(CRollbackJournal::Recover(path));
    EXPECT_TRUE(kOld == ReadRaw(path));
    EXPECT_FALSE(Exists(CRollbackJournal::JournalPath(path)));
}

// A journal cut off while it was written means the file was not touched yet.
TEST(RollbackJournal, AJournalThatIsNotWholeIsOnlyRemoved)
{
    CTempFolder dir;
    const CString path = dir.File("slots.dat");
    ASSERT_TRUE(WriteRaw(path, kOld));
    LeaveAJournal(path);
    const std::string whole = ReadRaw(CRollbackJournal::JournalPath(path));
    ASSERT_GT(whole.size(), 28u);
    std::string changedByte = whole;
    changedByte[40] ^= 1;
    for (const std::string& journal : {std::string(), whole.substr(0, 10), whole.substr(0, 27),
                                       whole.substr(0, whole.size() - 1), changedByte}) {
        ASSERT_TRUE(WriteRaw(CRollbackJournal::JournalPath(path), journal));
        EXPECT_FALSE(CRollbackJournal::Recover(path)) << journal.size();
        EXPECT_TRUE(kOld == ReadRaw(path)) << journal.size();
        EXPECT_FALSE(Exists(CRollbackJournal::JournalPath(path))) << journal.size();
    }
}

} // namespace
