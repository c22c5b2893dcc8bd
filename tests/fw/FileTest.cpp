// CFile on disk: opening modes, reading, writing, seeking and lengths, and the
// failures that must reach the caller as CFileException with the right cause.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <stdexcept>
#include <string>

#include "fw/File.h"
#include "fw/FileException.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"

namespace {

using sonvera_test::CFaultyFileSystem;
using sonvera_test::CTempFolder;
using sonvera_test::ReadRaw;
using sonvera_test::WriteRaw;

// The exception a call raises; fails the test when it raises none.
template <typename F>
CFileException CaughtFrom(F call)
{
    try {
        call();
    } catch (const CFileException& e) {
        return e;
    }
    ADD_FAILURE() << "no CFileException";
    return CFileException();
}

TEST(FileOpen, MissingFileIsReportedNotThrownByOpen)
{
    CTempFolder dir;
    const std::string path = dir.File("missing.dat").str();
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(path.c_str(), CFile::modeRead, &error));
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(error.m_lOsError, static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(error.m_strFileName, path.c_str());
    EXPECT_FALSE(file.Open(path.c_str(), CFile::modeRead));   // no error object: still just FALSE
}

TEST(FileOpen, ConstructorThrowsWithCauseAndPath)
{
    CTempFolder dir;
    const std::string path = dir.File("nofolder\\x.dat").str();
    const CFileException e = CaughtFrom([&] { CFile file(path.c_str(), CFile::modeRead); });
    EXPECT_EQ(e.m_cause, CFileException::badPath);
    EXPECT_EQ(e.m_strFileName, path.c_str());
    const std::string text = e.what();
    EXPECT_NE(text.find(path), std::string::npos);
    EXPECT_NE(text.find("CreateFile"), std::string::npos);
}

TEST(FileOpen, CreateTruncatesUnlessNoTruncate)
{
    CTempFolder dir;
    const std::string path = dir.File("f.dat").str();
    ASSERT_TRUE(WriteRaw(path, "old contents"));
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
        EXPECT_EQ(file.GetLength(), 12u);
        file.Write("OLD", 3);
    }
    EXPECT_EQ(ReadRaw(path), "OLD contents");
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        EXPECT_EQ(file.GetLength(), 0u);
    }
    EXPECT_EQ(ReadRaw(path), "");
    const std::string fresh = dir.File("fresh.dat").str();
    { CFile file(fresh.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite); }
    EXPECT_EQ(ReadRaw(fresh), "");
}

TEST(FileOpen, CreateNewRefusesAnExistingFile)
{
    CTempFolder dir;
    const std::string path = dir.File("f.dat").str();
    ASSERT_TRUE(WriteRaw(path, "x"));
    const CFileException e = CaughtFrom([&] { CFile file(path.c_str(), CFile::modeCreateNew | CFile::modeWrite); });
    EXPECT_EQ(e.m_lOsError, static_cast<LONG>(ERROR_FILE_EXISTS));
    EXPECT_EQ(ReadRaw(path), "x");
}

// An object whose file is open would lose it (and its handle) to a second
// open: that is a bug in the caller, caught where it happens.
TEST(FileOpen, OpeningAnOpenFileIsAMisuse)
{
    CTempFolder dir;
    const std::string first = dir.File("first.dat").str();
    ASSERT_TRUE(WriteRaw(first, "1"));
    CFile file(first.c_str(), CFile::modeRead);
    EXPECT_THROW(file.Open(dir.File("second.dat"), CFile::modeCreate | CFile::modeWrite), std::logic_error);
    EXPECT_TRUE(file.IsOpen());
    EXPECT_EQ(file.GetFilePath(), first.c_str());
    EXPECT_FALSE(sonvera_test::Exists(dir.File("second.dat")));
    file.Close();
    EXPECT_TRUE(file.Open(first.c_str(), CFile::modeRead));
}

// What a file held open in each share mode lets a second open do.
TEST(FileOpen, ShareModesLetOthersInOnlyAsFarAsTheySay)
{
    CTempFolder dir;
    const std::string path = dir.File("f.dat").str();
    ASSERT_TRUE(WriteRaw(path, "x"));
    const struct {
        UINT share;
        bool readerGetsIn, writerGetsIn;
    } cases[] = {
        {CFile::shareExclusive, false, false},
        {CFile::shareDenyWrite, true, false},
        {CFile::shareDenyRead, false, true},
        {CFile::shareDenyNone, true, true},
    };
    for (const auto& c : cases) {
        CFile first(path.c_str(), CFile::modeRead | c.share);
        for (const UINT second : {CFile::modeRead | CFile::shareDenyNone, CFile::modeWrite | CFile::shareDenyNone}) {
            const bool expected = second == (CFile::modeRead | CFile::shareDenyNone) ? c.readerGetsIn : c.writerGetsIn;
            CFile other;
            CFileException error;
            EXPECT_EQ(expected, other.Open(path.c_str(), second, &error) != FALSE) << c.share << " " << second;
            if (!expected) {
                EXPECT_EQ(error.m_cause, CFileException::sharingViolation) << c.share << " " << second;
            }
        }
    }
}

TEST(FileOpen, ShiftJisPathsReachTheSystemIntact)
{
    CTempFolder dir;
    const std::string path = dir.File("\x95\x5C.dat").str();   // 表.dat
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write("sjis", 4);
        EXPECT_EQ(file.GetFileName(), "\x95\x5C.dat");
    }
    ASSERT_EQ(dir.Entries().size(), 1u);
    EXPECT_EQ(dir.Entries()[0], L"\u8868.dat");
    EXPECT_EQ(ReadRaw(path), "sjis");
    EXPECT_TRUE(CFile::Exists(path.c_str()));
    EXPECT_FALSE(CFile::Exists(path.c_str(), TRUE));
    EXPECT_TRUE(CFile::Exists(dir.Path().GetString(), TRUE));
    EXPECT_FALSE(CFile::Exists(dir.Path().GetString()));
}

TEST(FileReadWrite, RoundTripWithSeeksAndLengths)
{
    CTempFolder dir;
    const std::string path = dir.File("f.dat").str();
    CFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
    file.Write("0123456789", 10);
    EXPECT_EQ(file.GetPosition(), 10u);
    EXPECT_EQ(file.GetLength(), 10u);
    EXPECT_EQ(file.Seek(-4, CFile::end), 6u);
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, 16), 4u);   // short only at the end
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(file.Read(buffer, 16), 0u);
    file.SeekToBegin();
    EXPECT_EQ(file.Seek(2, CFile::current), 2u);
    file.ReadExact(buffer, 3);
    EXPECT_EQ(std::string(buffer, 3), "234");
    file.SetLength(4);
    EXPECT_EQ(file.GetLength(), 4u);
    EXPECT_EQ(file.GetPosition(), 4u);
    file.SetLength(8);                      // extension reads as zeros
    file.SeekToBegin();
    EXPECT_EQ(file.Read(buffer, 16), 8u);
    EXPECT_EQ(std::string(buffer, 8), std::string("0123\0\0\0\0", 8));
    EXPECT_EQ(file.SeekToEnd(), 8u);
    file.Flush();
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    file.Close();   // closing twice is harmless
}

TEST(FileReadWrite, AppendWritesLandAtTheEndWhateverThePosition)
{
    CTempFolder dir;
    const std::string path = dir.File("log.txt").str();
    ASSERT_TRUE(WriteRaw(path, "first\n"));
    const UINT flags = CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite | CFile::modeAppend |
                       CFile::shareDenyNone;
    CFile mine(path.c_str(), flags);
    CFile other(path.c_str(), flags);
    other.Write("other\n", 6);          // another writer appends meanwhile
    mine.SeekToBegin();
    char first = 0;
    EXPECT_EQ(mine.Read(&first, 1), 1u);   // append access still reads
    EXPECT_EQ(first, 'f');
    mine.Write("mine\n", 5);            // neither over "first" nor over "other"
    mine.Close();
    other.Close();
    EXPECT_EQ(ReadRaw(path), "first\nother\nmine\n");
}

TEST(FileReadWrite, ReadExactPastTheEndRaisesEndOfFile)
{
    CTempFolder dir;
    const std::string path = dir.File("f.dat").str();
    ASSERT_TRUE(WriteRaw(path, "abc"));
    CFile file(path.c_str(), CFile::modeRead);
    char buffer[8];
    const CFileException e = CaughtFrom([&] { file.ReadExact(buffer, 4); });
    EXPECT_EQ(e.m_cause, CFileException::endOfFile);
    EXPECT_EQ(e.m_strFileName, path.c_str());
}

TEST(FileReadWrite, WriteToAReadOnlyOpenIsDenied)
{
    CTempFolder dir;
    const std::string path = dir.File("f.dat").str();
    ASSERT_TRUE(WriteRaw(path, "abc"));
    CFile file(path.c_str(), CFile::modeRead);
    const CFileException e = CaughtFrom([&] { file.Write("x", 1); });
    EXPECT_EQ(e.m_cause, CFileException::accessDenied);
    EXPECT_EQ(e.m_strApiName, "WriteFile");
    file.Close();
    EXPECT_EQ(ReadRaw(path), "abc");
}

TEST(FileReadWrite, NegativeSeekIsBadSeek)
{
    CTempFolder dir;
    const std::string path = dir.File("f.dat").str();
    ASSERT_TRUE(WriteRaw(path, "abc"));
    CFile file(path.c_str(), CFile::modeRead);
    const CFileException e = CaughtFrom([&] { file.Seek(-10, CFile::begin); });
    EXPECT_EQ(e.m_cause, CFileException::badSeek);
}

TEST(FileFaults, ShortWritesAndReadsAreCompleted)
{
    CTempFolder dir;
    const std::string path = dir.File("f.dat").str();
    CFaultyFileSystem fs;
    fs.writeChunk = 3;
    fs.readChunk = 2;
    CFileSystemOverride scope(fs);
    const std::string text = "a longer text written three bytes at a time";
    {
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        file.Write(text.data(), static_cast<UINT>(text.size()));
    }
    EXPECT_GT(fs.Calls(CFaultyFileSystem::write), 10);
    EXPECT_EQ(ReadRaw(path), text);
    CFile file(path.c_str(), CFile::modeRead);
    std::string back(text.size(), '\0');
    file.ReadExact(&back[0], static_cast<UINT>(back.size()));
    EXPECT_EQ(back, text);
}

TEST(FileFaults, DiskFullIsToldApartFromOtherWriteErrors)
{
    // An error of 0: the write reports success with nothing taken.
    struct Case {
        DWORD osError;
        int cause;
    };
    const Case cases[] = {
        {ERROR_DISK_FULL, CFileException::diskFull},
        {ERROR_HANDLE_DISK_FULL, CFileException::diskFull},
        {0, CFileException::diskFull},
        {ERROR_IO_DEVICE, CFileException::hardIO},
        {ERROR_ACCESS_DENIED, CFileException::accessDenied},
    };
    for (const Case& c : cases) {
        CTempFolder dir;
        const std::string path = dir.File("f.dat").str();
        CFaultyFileSystem fs;
        fs.LimitWrites(5, c.osError);
        CFileSystemOverride scope(fs);
        CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        const CFileException e = CaughtFrom([&] { file.Write("0123456789", 10); });
        EXPECT_EQ(e.m_cause, c.cause) << c.osError;
        EXPECT_EQ(fs.BytesWritten(), 5);
    }
}

TEST(FileFaults, FailedFlushAndCloseAreRaised)
{
    CTempFolder dir;
    const std::string path = dir.File("f.dat").str();
    CFaultyFileSystem fs;
    CFileSystemOverride scope(fs);
    CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    fs.Fail(CFaultyFileSystem::flush, ERROR_IO_DEVICE);
    EXPECT_EQ(CaughtFrom([&] { file.Flush(); }).m_strApiName, "FlushFileBuffers");
    fs.Fail(CFaultyFileSystem::close, ERROR_IO_DEVICE);
    EXPECT_EQ(CaughtFrom([&] { file.Close(); }).m_cause, CFileException::hardIO);
    EXPECT_FALSE(file.IsOpen());
}

TEST(FileFaults, OverrideIsUndoneAtTheEndOfItsScope)
{
    CTempFolder dir;
    const std::string path = dir.File("f.dat").str();
    ASSERT_TRUE(WriteRaw(path, "x"));
    {
        CFaultyFileSystem fs;
        fs.Watch(L"f.dat");
        fs.Fail(CFaultyFileSystem::open, ERROR_IO_DEVICE);
        CFileSystemOverride scope(fs);
        EXPECT_FALSE(CFile().Open(path.c_str(), CFile::modeRead));
    }
    EXPECT_TRUE(CFile().Open(path.c_str(), CFile::modeRead));
}

// Only "not found" means absent. Any other failure of the check is no answer,
// and a caller that took it for "absent" would create the file anew over the
// one that is there.
TEST(FileExistence, OnlyNotFoundMeansAbsent)
{
    CTempFolder dir;
    const std::string path = dir.File("users.dic").str();
    ASSERT_TRUE(WriteRaw(path, "x"));
    struct Case {
        DWORD error;
        int cause;   // none: answers FALSE
    };
    const Case cases[] = {
        {ERROR_FILE_NOT_FOUND, CFileException::none},     {ERROR_PATH_NOT_FOUND, CFileException::none},
        {ERROR_BAD_NETPATH, CFileException::badPath},     {ERROR_ACCESS_DENIED, CFileException::accessDenied},
        {ERROR_NOT_READY, CFileException::hardIO},        {ERROR_NETNAME_DELETED, CFileException::genericException},
    };
    for (const Case& c : cases) {
        CFaultyFileSystem fs;
        fs.Fail(CFaultyFileSystem::attributes, c.error);
        CFileSystemOverride scope(fs);
        if (c.cause == CFileException::none) {
            EXPECT_FALSE(CFile::Exists(path.c_str())) << c.error;
            continue;
        }
        const CFileException e = CaughtFrom([&] { CFile::Exists(path.c_str()); });
        EXPECT_EQ(e.m_cause, c.cause) << c.error;
        EXPECT_EQ(e.m_lOsError, static_cast<LONG>(c.error));
        EXPECT_EQ(e.m_strFileName, path.c_str());
    }
    EXPECT_FALSE(CFile::Exists(nullptr));
}

// Another process in the way (a sharing violation, an access refused while a
// file is being replaced) usually clears in a moment: the open is tried again
// before it fails.
TEST(FileFaults, ABriefSharingViolationIsWaitedOut)
{
    CTempFolder dir;
    const std::string path = dir.File("f.dat").str();
    ASSERT_TRUE(WriteRaw(path, "x"));
    for (DWORD error : {static_cast<DWORD>(ERROR_SHARING_VIOLATION), static_cast<DWORD>(ERROR_ACCESS_DENIED)}) {
        CFaultyFileSystem fs;
        fs.FailTimes(CFaultyFileSystem::open, 3, error);
        CFileSystemOverride scope(fs);
        CFile file;
        EXPECT_TRUE(file.Open(path.c_str(), CFile::modeRead)) << error;
        EXPECT_EQ(4, fs.Calls(CFaultyFileSystem::open)) << error;
    }
    // One that lasts (another process holding the file, a read-only file
    // opened for writing) is raised with its cause.
    const std::pair<DWORD, int> lastingErrors[] = {{ERROR_SHARING_VIOLATION, CFileException::sharingViolation},
                                                   {ERROR_ACCESS_DENIED, CFileException::accessDenied}};
    for (const auto& lastingError : lastingErrors) {
        CFaultyFileSystem lasting;
        lasting.Fail(CFaultyFileSystem::open, lastingError.first);
        CFileSystemOverride scope(lasting);
        EXPECT_EQ(CaughtFrom([&] { CFile file(path.c_str(), CFile::modeWrite); }).m_cause, lastingError.second);
        EXPECT_GT(lasting.Calls(CFaultyFileSystem::open), 4);
    }
    EXPECT_EQ(ReadRaw(path), "x");
}

TEST(FileNames, RemoveAndRename)
{
    CTempFolder dir;
    const std::string a = dir.File("a.dat").str();
    const std::string b = dir.File("b.dat").str();
    ASSERT_TRUE(WriteRaw(a, "1"));
    CFile::Rename(a.c_str(), b.c_str());
    EXPECT_EQ(ReadRaw(b), "1");
    EXPECT_EQ(CaughtFrom([&] { CFile::Rename(a.c_str(), b.c_str()); }).m_cause, CFileException::fileNotFound);
    CFile::Remove(b.c_str());
    EXPECT_FALSE(CFile::Exists(b.c_str()));
    EXPECT_EQ(CaughtFrom([&] { CFile::Remove(b.c_str()); }).m_cause, CFileException::fileNotFound);
}

} // namespace
