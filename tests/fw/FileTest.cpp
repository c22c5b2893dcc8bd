// CFile, and the failures that must reach the caller as CFileException with
// the right cause.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fw/File.h"
#include "fw/FileException.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/FileError.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace sonvera_test;

class FileTest : public ::testing::Test {
protected:
    CTempFolder dir;
    const std::string path = dir.File("f.dat").str();
};

TEST_F(FileTest, OpensReportMissingFilesAndCreateOnlyAsTold)
{
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(path.c_str(), CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
    EXPECT_FALSE(file.Open(path.c_str(), CFile::modeRead));   // no error object: still just FALSE

    ASSERT_TRUE(WriteRaw(path, "old contents"));
    const CFileException exists =
        FileErrorOf([&] { CFile file(path.c_str(), CFile::modeCreateNew | CFile::modeWrite); });
    EXPECT_EQ(exists.m_lOsError, static_cast<LONG>(ERROR_FILE_EXISTS));
    EXPECT_EQ(ReadRaw(path), "old contents");
    { CFile file(path.c_str(), CFile::modeCreate | CFile::modeWrite); }
    EXPECT_EQ(ReadRaw(path), "");
}

// What a file held open in each share mode lets a second open do.
TEST_F(FileTest, ShareModesLetOthersInOnlyAsFarAsTheySay)
{
    ASSERT_TRUE(WriteRaw(path, "x"));
    const struct {
        UINT share;
        bool readerGetsIn, writerGetsIn;
    } cases[] = {
        {CFile::shareExclusive, false, false},
        {CFile::shareDenyWrite, true, false},
        {CFile::shareDenyNone, true, true},
    };
    for (const auto& c : cases) {
        CFile first(path.c_str(), CFile::modeRead | c.share);
        for (const bool writer : {false, true}) {
            const bool expected = writer ? c.writerGetsIn : c.readerGetsIn;
            CFile other;
            CFileException error;
            const UINT mode = (writer ? CFile::modeWrite : CFile::modeRead) | CFile::shareDenyNone;
            EXPECT_EQ(expected, other.Open(path.c_str(), mode, &error) != FALSE) << c.share << " " << writer;
            if (!expected) {
                EXPECT_EQ(error.m_cause, CFileException::sharingViolation) << c.share << " " << writer;
            }
        }
    }

    // A Shift-JIS name reaches the system as the character it is.
    const std::string sjis = dir.File("\x95\x5C.dat").str();   // 表.dat
    { CFile file(sjis.c_str(), CFile::modeCreate | CFile::modeWrite); }
    EXPECT_TRUE(CFile::Exists(sjis.c_str()));
    EXPECT_FALSE(CFile::Exists(sjis.c_str(), TRUE));
    EXPECT_TRUE(CFile::Exists(dir.Path().GetString(), TRUE));
    EXPECT_FALSE(CFile::Exists(dir.Path().GetString()));
}

TEST_F(FileTest, RoundTripWithSeeksAndLengthsAndAppendsBehindAnotherWriter)
{
    CFile file(path.c_str(), CFile::modeCreate | CFile::modeReadWrite);
    file.Write("0123456789", 10);
    EXPECT_EQ(file.GetPosition(), 10u);
    EXPECT_EQ(file.Seek(-4, CFile::end), 6u);
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, 16), 4u);   // short only at the end
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(file.Read(buffer, 16), 0u);
    file.SeekToBegin();
    EXPECT_EQ(file.Seek(2, CFile::current), 2u);
    file.ReadExact(buffer, 3);
    EXPECT_EQ(std::string(buffer, 3), "234");
    EXPECT_EQ(FileErrorOf([&] { file.Seek(-10, CFile::current); }).m_cause, CFileException::badSeek);
    EXPECT_EQ(file.GetPosition(), 5u);
    file.SetLength(4);
    file.Seek(2, CFile::current);   // past the new end: a write there leaves zeros before it
    file.Write("z", 1);
    file.SeekToBegin();
    EXPECT_EQ(file.Read(buffer, 16), 7u);
    EXPECT_EQ(std::string(buffer, 7), std::string("0123\0\0z", 7));
    file.Seek(-1, CFile::end);   // one byte left of the two asked for
    EXPECT_EQ(FileErrorOf([&] { file.ReadExact(buffer, 2); }).m_cause, CFileException::endOfFile);
    file.Close();

    ASSERT_TRUE(WriteRaw(path, "first\n"));
    const UINT flags = CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite | CFile::modeAppend |
                       CFile::shareDenyNone;
    CFile mine(path.c_str(), flags);
    CFile other(path.c_str(), flags);
    other.Write("other\n", 6);   // another writer appends meanwhile
    mine.SeekToBegin();
    char first = 0;
    EXPECT_EQ(mine.Read(&first, 1), 1u);   // append access still reads
    EXPECT_EQ(first, 'f');
    mine.Write("mine\n", 5);   // neither over "first" nor over "other"
    mine.Close();
    other.Close();
    EXPECT_EQ(ReadRaw(path), "first\nother\nmine\n");
}

TEST_F(FileTest, FailuresCarryTheirCauseAndShortWritesAndReadsAreCompleted)
{
    ASSERT_TRUE(WriteRaw(path, "abc"));
    CFile file(path.c_str(), CFile::modeRead);
    EXPECT_EQ(FileErrorOf([&] { file.Write("x", 1); }).m_cause, CFileException::accessDenied);
    EXPECT_EQ(FileErrorOf([&] { CFile::Remove(dir.File("b.dat")); }).m_cause, CFileException::fileNotFound);
    file.Close();
    CFile::Remove(path.c_str());
    EXPECT_TRUE(dir.Entries().empty());
    CFaultyFileSystem fs;
    CFileSystemOverride scope(fs);
    CFile written(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    fs.Fail(CFaultyFileSystem::flush, ERROR_IO_DEVICE);
    EXPECT_EQ(FileErrorOf([&] { written.Flush(); }).m_strApiName, "FlushFileBuffers");
    fs.Fail(CFaultyFileSystem::close, ERROR_IO_DEVICE);
    EXPECT_EQ(FileErrorOf([&] { written.Close(); }).m_cause, CFileException::hardIO);
    EXPECT_FALSE(written.IsOpen());

    CFaultyFileSystem chunked;
    chunked.writeChunk = 3;
    chunked.readChunk = 2;
    CFileSystemOverride chunkedScope(chunked);
    const std::string text = "a longer text written three bytes at a time";
    {
        CFile writer(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        writer.Write(text.data(), static_cast<UINT>(text.size()));
    }
    EXPECT_EQ(ReadRaw(path), text);
    CFile reader(path.c_str(), CFile::modeRead);
    std::string back(text.size(), '\0');
    reader.ReadExact(&back[0], static_cast<UINT>(back.size()));
    EXPECT_EQ(back, text);
    // A failure of the last piece fails the read: it is no shorter file.
    reader.SeekToBegin();
    chunked.FailCall(CFaultyFileSystem::read, static_cast<int>(text.size() + 1) / 2, ERROR_IO_DEVICE);
    EXPECT_EQ(FileErrorOf([&] { reader.Read(&back[0], static_cast<UINT>(back.size())); }).m_cause,
              CFileException::hardIO);

    // An error of 0: the write reports success with nothing taken.
    for (const DWORD error : {DWORD(ERROR_DISK_FULL), DWORD(0)}) {
        CFaultyFileSystem full;
        full.writeChunk = 5;
        full.FailCall(CFaultyFileSystem::write, 2, error);
        CFileSystemOverride fullScope(full);
        CFile limited(dir.File("full.dat"), CFile::modeCreate | CFile::modeWrite);
        const CFileException e = FileErrorOf([&] { limited.Write("0123456789", 10); });
        EXPECT_EQ(e.m_cause, CFileException::diskFull) << error;
    }
}

// A file longer than its caller takes is refused before anything is read
// into memory for it: a damaged one of any length must not exhaust memory,
// nor, past 4 GiB, pass for its length cut to 32 bits.
TEST_F(FileTest, ReadWholeRefusesAFileLongerThanItsCallerTakesBeforeReadingIt)
{
    const std::string contents = "0123456789";
    ASSERT_TRUE(WriteRaw(path, contents));
    const std::vector<BYTE> whole = CFile::ReadWhole(path.c_str(), contents.size());
    EXPECT_EQ(std::string(whole.begin(), whole.end()), contents);

    CFaultyFileSystem fs;
    CFileSystemOverride scope(fs);
    EXPECT_EQ(FileErrorOf([&] { CFile::ReadWhole(path.c_str(), contents.size() - 1); }).m_cause,
              CFileException::invalidFile);
    EXPECT_EQ(ReadRaw(path), contents);
    CFile(path.c_str(), CFile::modeWrite).SetLength(0x100000000ULL + contents.size());
    EXPECT_EQ(FileErrorOf([&] { CFile::ReadWhole(path.c_str(), contents.size()); }).m_cause,
              CFileException::invalidFile);
    EXPECT_EQ(fs.Calls(CFaultyFileSystem::read), 0);
}

// Only "not found" means absent: a caller that took any other failure of the
// check for "absent" would create the file anew over the one that is there.
// A name no file can have (a quoted path, a wildcard) is not found either.
TEST_F(FileTest, OnlyNotFoundMeansAbsentAndABriefSharingViolationIsWaitedOut)
{
    ASSERT_TRUE(WriteRaw(path, "x"));
    const std::pair<DWORD, int> cases[] = {
        {ERROR_FILE_NOT_FOUND, CFileException::none},     {ERROR_PATH_NOT_FOUND, CFileException::none},
        {ERROR_BAD_NETPATH, CFileException::badPath},     {ERROR_ACCESS_DENIED, CFileException::accessDenied},
        {ERROR_NOT_READY, CFileException::hardIO},        {ERROR_NETNAME_DELETED, CFileException::genericException},
        {ERROR_INVALID_NAME, CFileException::none},
    };
    for (const auto& c : cases) {
        CFaultyFileSystem fs;
        fs.Fail(CFaultyFileSystem::attributes, c.first);
        CFileSystemOverride scope(fs);
        // A null path names nothing and asks the file system nothing.
        EXPECT_FALSE(CFile::Exists(nullptr) || CFile::Exists(nullptr, TRUE)) << c.first;
        if (c.second == CFileException::none) {
            EXPECT_FALSE(CFile::Exists(path.c_str())) << c.first;
            continue;
        }
        EXPECT_EQ(FileErrorOf([&] { CFile::Exists(path.c_str()); }).m_cause, c.second) << c.first;
    }
    EXPECT_TRUE(CFile::Exists(path.c_str()));   // the override is undone at the end of its scope

    // Another process in the way (sharing, or access while a file is replaced)
    // usually clears in a moment: the open is tried again; a lasting one is raised.
    const std::pair<DWORD, int> errors[] = {{ERROR_SHARING_VIOLATION, CFileException::sharingViolation},
                                            {ERROR_ACCESS_DENIED, CFileException::accessDenied}};
    for (const auto& error : errors) {
        CFaultyFileSystem brief;
        brief.FailTimes(CFaultyFileSystem::open, 3, error.first);
        CFaultyFileSystem lasting;
        lasting.Fail(CFaultyFileSystem::open, error.first);
        {
            CFileSystemOverride scope(brief);
            EXPECT_TRUE(CFile().Open(path.c_str(), CFile::modeRead)) << error.first;
        }
        CFileSystemOverride scope(lasting);
        EXPECT_EQ(FileErrorOf([&] { CFile file(path.c_str(), CFile::modeWrite); }).m_cause, error.second);
    }
    EXPECT_EQ(ReadRaw(path), "x");
}

} // namespace
