// CFileLock: one holder of a store at a time, across processes, with a
// bounded wait, and nothing left behind, also when a holder dies.
#include <gtest/gtest.h>

#include "fw/FileException.h"
#include "fw/FileLock.h"
#include "fw/FileSystem.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/FileError.h"
#include "tests/support/RawFile.h"
#include "tests/support/SecondHost.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace sonvera_test;

int CauseOfLock(const CString& store, DWORD waitMs)
{
    return FileErrorOf([&] { CFileLock lock(store, waitMs); }).m_cause;
}

TEST(FileLock, KeepsASecondHolderOutUntilTheFirstLetsGoAndGivesTheFileErrorWhenNoLockCanBeMade)
{
    CTempFolder dir;
    const CString store = dir.File("store.dat");
    {
        CFileLock first(store);
        EXPECT_TRUE(Exists(CFileLock::LockPath(store)));
        EXPECT_EQ(CFileException::lockViolation, CauseOfLock(store, 50));
        EXPECT_EQ(CFileException::none, CauseOfLock(dir.File("other.dat"), 50));
    }
    EXPECT_EQ(CFileException::none, CauseOfLock(store, 50));

    EXPECT_EQ(CFileException::badPath, CauseOfLock(dir.File("none\\store.dat"), 60000));
    // A folder the user may not write in denies the lock file for good: no
    // other holder keeps it, and waiting longer would not help.
    CFaultyFileSystem files;
    files.Watch(L".~lock");
    files.Fail(CFaultyFileSystem::create, ERROR_ACCESS_DENIED);
    const CFileSystemOverride faults(files);
    EXPECT_EQ(CFileException::accessDenied, CauseOfLock(store, 60000));
}

// The second host takes the lock, says so and dies holding it: the first
// host is kept out while it lives and gets the lock once it is gone.
TEST(FileLock, AHolderInAnotherProcessKeepsItUntilItDies)
{
    if (CSecondHost::IsSecondHost()) {
        const CString store = CSecondHost::Folder() + "\\store.dat";
        new CFileLock(store);   // never let go: the process ends holding it
        WriteRaw(CSecondHost::Folder() + "\\held", "");
        Sleep(1000);
        TerminateProcess(GetCurrentProcess(), 0);
    }
    CTempFolder dir;
    const CString store = dir.File("store.dat");
    CSecondHost second("FileLock.AHolderInAnotherProcessKeepsItUntilItDies", dir.Path());
    second.Go();
    for (int i = 0; i < 1000 && !Exists(dir.File("held")); ++i)
        Sleep(10);
    ASSERT_TRUE(Exists(dir.File("held")));
    EXPECT_EQ(CFileException::lockViolation, CauseOfLock(store, 50));
    EXPECT_EQ(CFileException::none, CauseOfLock(store, 30000));
    EXPECT_EQ(0u, second.Wait());
    EXPECT_FALSE(Exists(CFileLock::LockPath(store)));
}

} // namespace
