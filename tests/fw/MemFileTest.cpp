// CMemFile: a CFile in memory, as used for registry blobs.
#include <gtest/gtest.h>

#include <string>

#include "fw/MemFile.h"

namespace {

TEST(MemFile, WritesReadsAndSeeks)
{
    CMemFile file(4);   // a small grow step must not matter
    file.Write("hello world", 11);
    EXPECT_EQ(file.GetLength(), 11u);
    EXPECT_EQ(file.GetPosition(), 11u);
    file.Seek(6, CFile::begin);
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, 16), 5u);
    EXPECT_EQ(std::string(buffer, 5), "world");
    EXPECT_EQ(file.Read(buffer, 16), 0u);
    file.Seek(-5, CFile::end);
    file.Write("W", 1);
    file.SeekToBegin();
    file.ReadExact(buffer, 11);
    EXPECT_EQ(std::string(buffer, 11), "hello World");
    EXPECT_THROW(file.ReadExact(buffer, 1), CFileException);
}

TEST(MemFile, SeekPastTheEndLeavesAZeroGap)
{
    CMemFile file;
    file.Write("ab", 2);
    EXPECT_EQ(file.Seek(2, CFile::current), 4u);
    EXPECT_EQ(file.GetLength(), 2u);
    char buffer[4];
    EXPECT_EQ(file.Read(buffer, 4), 0u);
    file.Write("z", 1);
    ASSERT_EQ(file.GetSize(), 5u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(file.GetBuffer()), 5), std::string("ab\0\0z", 5));
}

TEST(MemFile, SeekBeforeTheStartIsBadSeek)
{
    CMemFile file;
    file.Write("ab", 2);
    try {
        file.Seek(-3, CFile::current);
        ADD_FAILURE() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::badSeek);
    }
    EXPECT_EQ(file.GetPosition(), 2u);
}

TEST(MemFile, AttachSetLengthAndDetach)
{
    const BYTE data[] = {1, 2, 3, 4};
    CMemFile file(data, 4);
    EXPECT_EQ(file.GetPosition(), 0u);
    EXPECT_EQ(file.GetLength(), 4u);
    file.SetLength(2);
    EXPECT_EQ(file.GetLength(), 2u);
    std::vector<BYTE> bytes = file.Detach();
    EXPECT_EQ(bytes, (std::vector<BYTE>{1, 2}));
    EXPECT_EQ(file.GetLength(), 0u);
    file.Attach(data, 3);
    EXPECT_EQ(file.Detach(), (std::vector<BYTE>{1, 2, 3}));
    EXPECT_FALSE(file.Open("x", CFile::modeRead));
}

} // namespace
