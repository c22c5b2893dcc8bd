// EncryptFileStream and DecryptFileStream: any file comes back byte for byte,
// and any change, cut, reordering or wrong key fails without leaving an output
// behind or touching an existing destination.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StreamFormat.h"
#include "tests/support/Bytes.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"
#include "ZivazoDi.h"

namespace {

using sonvera_test::CTempFolder;
using sonvera_test::Exists;
using sonvera_test::PatternBytes;
using sonvera_test::ReadRaw;
using sonvera_test::WriteRaw;

const char kKey[] = "file key \x83\x4C\x81\x5B";  // file key キー
const int kChunk = 1024;

class FileStream : public ::testing::Test {
protected:
    std::string P(const std::string& name) const { return folder_.File(name.c_str()).str(); }

    int Encrypt(const std::string& from, const std::string& to, int chunk = kChunk,
                int flags = ZIVAZO_FILE_REPLACE, const char* key = kKey)
    {
        progress_ = -1;
        return EncryptFileStream(nullptr, flags, P(from).c_str(), P(to).c_str(), key, &progress_,
                                 chunk);
    }

    int Decrypt(const std::string& from, const std::string& to, int flags = ZIVAZO_FILE_REPLACE,
                const char* key = kKey)
    {
        progress_ = -1;
        return DecryptFileStream(nullptr, flags, P(from).c_str(), P(to).c_str(), key, &progress_, 0);
    }

    // Encrypts plain into "enc" and returns the encrypted bytes.
    std::string MakeEncrypted(const std::string& plain, int chunk = kChunk)
    {
        WriteRaw(P("plain"), plain);
        EXPECT_EQ(Encrypt("plain", "enc", chunk), ZIVAZO_FILE_OK);
        return ReadRaw(P("enc"));
    }

    // Decrypting the given bytes must fail with the result and leave "out"
    // exactly as it was and no other file behind.
    void ExpectRefused(const std::string& encrypted, int expected, const char* what)
    {
        WriteRaw(P("bad"), encrypted);
        WriteRaw(P("out"), "old");
        const std::vector<std::wstring> before = folder_.Entries();
        EXPECT_EQ(Decrypt("bad", "out"), expected) << what;
        EXPECT_EQ(ReadRaw(P("out")), (std::string("old"))) << what;
        EXPECT_EQ(folder_.Entries(), before) << what;
        EXPECT_NE(progress_, 100) << what;
    }

    CTempFolder folder_;
    int progress_ = -1;
};

class FileRoundTrip : public FileStream, public ::testing::WithParamInterface<size_t> {};

TEST_P(FileRoundTrip, GivesBackTheFileByteForByte)
{
    const std::string plain = PatternBytes(GetParam());
    const std::string encrypted = MakeEncrypted(plain);
    EXPECT_EQ(progress_, 100);
    EXPECT_EQ(encrypted.size(), zv_stream_encrypted_size(plain.size(), kChunk));
    ASSERT_EQ(Decrypt("enc", "back"), ZIVAZO_FILE_OK);
    EXPECT_EQ(progress_, 100);
    EXPECT_EQ(ReadRaw(P("back")), plain);
    EXPECT_EQ(folder_.Entries(), (std::vector<std::wstring>{L"back", L"enc", L"plain"}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, FileRoundTrip,
                         ::testing::Values(0, 1, kChunk - 1, kChunk, kChunk + 1, 3 * kChunk,
                                           3 * kChunk + 7));

TEST_F(FileStream, RoundTripsSeveralMegabytesInTheDefaultChunks)
{
    const std::string plain = PatternBytes(5 * 1024 * 1024 + 17);
    const std::string encrypted = MakeEncrypted(plain, 0);
    EXPECT_EQ(encrypted.size(), zv_stream_encrypted_size(plain.size(), ZIVAZO_DEFAULT_CHUNK));
    ASSERT_EQ(Decrypt("enc", "back"), ZIVAZO_FILE_OK);
    EXPECT_EQ(ReadRaw(P("back")), plain);
}

TEST_F(FileStream, EncryptsTheSameFileDifferentlyEachTime)
{
    const std::string first = MakeEncrypted(PatternBytes(100));
    const std::string second = MakeEncrypted(PatternBytes(100));
    EXPECT_EQ(first.size(), second.size());
    EXPECT_NE(first, second);
}

TEST_F(FileStream, HandlesShiftJisPathsAndReplacesInPlace)
{
    const std::string name = "\x83\x65\x83\x58\x83\x67.dat";  // テスト.dat
    WriteRaw(P(name), PatternBytes(3000));
    ASSERT_EQ(Encrypt(name, name), ZIVAZO_FILE_OK);
    EXPECT_NE(ReadRaw(P(name)), PatternBytes(3000));
    ASSERT_EQ(Decrypt(name, name), ZIVAZO_FILE_OK);
    EXPECT_EQ(ReadRaw(P(name)), PatternBytes(3000));
    EXPECT_EQ(folder_.Entries(), std::vector<std::wstring>{L"\u30c6\u30b9\u30c8.dat"});
}

// ---- Damage -----------------------------------------------------------------

TEST_F(FileStream, RefusesAnyChangedByte)
{
    const std::string good = MakeEncrypted(PatternBytes(2 * kChunk + 100));
    const size_t record = kChunk + ZV_TAG_BYTES;
    const size_t positions[] = {0,  4,  8,  12, 23,                // magic, version, size, nonce
                                24, 24 + kChunk, 24 + record - 1,  // first chunk: data and tag
                                24 + record + 5, good.size() - 1};  // later chunks
    for (size_t position : positions) {
        std::string bad = good;
        bad[position] ^= 0x20;
        const int expected = position < 8 ? ZIVAZO_FILE_E_FORMAT : ZIVAZO_FILE_E_AUTH;
        ExpectRefused(bad, expected, ("byte " + std::to_string(position)).c_str());
    }
}

TEST_F(FileStream, RefusesATruncatedFile)
{
    const std::string good = MakeEncrypted(PatternBytes(2 * kChunk + 100));
    const size_t record = kChunk + ZV_TAG_BYTES;
    const size_t lengths[] = {0, 10, 24, 24 + 15, 24 + record, 24 + 2 * record,
                              good.size() - 1};
    for (size_t length : lengths) {
        const std::string cut(good.begin(), good.begin() + length);
        const int expected = length < 24 ? ZIVAZO_FILE_E_FORMAT : ZIVAZO_FILE_E_AUTH;
        ExpectRefused(cut, expected, ("cut at " + std::to_string(length)).c_str());
    }
}

TEST_F(FileStream, RefusesDroppedSwappedOrRepeatedChunks)
{
    const std::string good = MakeEncrypted(PatternBytes(3 * kChunk + 100));
    const size_t record = kChunk + ZV_TAG_BYTES;
    auto chunk = [&](size_t i) {
        return std::string(good.begin() + 24 + i * record,
                                    good.begin() + std::min(good.size(), 24 + (i + 1) * record));
    };
    auto assemble = [&](std::initializer_list<size_t> order) {
        std::string bytes(good.begin(), good.begin() + 24);
        for (size_t i : order) {
            const std::string c = chunk(i);
            bytes.insert(bytes.end(), c.begin(), c.end());
        }
        return bytes;
    };
    ASSERT_EQ(assemble({0, 1, 2, 3}), good);
    ExpectRefused(assemble({0, 2, 3}), ZIVAZO_FILE_E_AUTH, "middle chunk dropped");
    ExpectRefused(assemble({1, 0, 2, 3}), ZIVAZO_FILE_E_AUTH, "chunks swapped");
    ExpectRefused(assemble({0, 1, 2}), ZIVAZO_FILE_E_AUTH, "last chunk dropped");
    ExpectRefused(assemble({0, 1, 2, 2, 3}), ZIVAZO_FILE_E_AUTH, "chunk repeated");
    ExpectRefused(assemble({0, 1, 2, 3, 3}), ZIVAZO_FILE_E_AUTH, "last chunk repeated");
}

TEST_F(FileStream, RefusesAChunkFromAnotherFile)
{
    const std::string first = MakeEncrypted(PatternBytes(2 * kChunk, 1));
    const std::string second = MakeEncrypted(PatternBytes(2 * kChunk, 2));
    std::string mixed = first;
    std::copy(second.begin() + 24, second.begin() + 24 + kChunk + ZV_TAG_BYTES, mixed.begin() + 24);
    ExpectRefused(mixed, ZIVAZO_FILE_E_AUTH, "chunk of another file");
}

TEST_F(FileStream, RefusesAWrongKey)
{
    const std::string good = MakeEncrypted(PatternBytes(500));
    WriteRaw(P("out"), "old");
    EXPECT_EQ(Decrypt("enc", "out", ZIVAZO_FILE_REPLACE, "file key"), ZIVAZO_FILE_E_AUTH);
    EXPECT_EQ(ReadRaw(P("out")), (std::string("old")));
    EXPECT_EQ(Decrypt("enc", "new", ZIVAZO_FILE_REPLACE, ""), ZIVAZO_FILE_E_AUTH);
    EXPECT_FALSE(Exists(P("new")));
    EXPECT_EQ(folder_.Entries(), (std::vector<std::wstring>{L"enc", L"out", L"plain"}));
}

TEST_F(FileStream, RefusesAFileThatWasNeverEncrypted)
{
    ExpectRefused(PatternBytes(5000), ZIVAZO_FILE_E_FORMAT, "plain file");
}

// ---- Destination --------------------------------------------------------------

TEST_F(FileStream, LeavesAnExistingDestinationAloneWithoutTheReplaceFlag)
{
    WriteRaw(P("plain"), PatternBytes(10));
    WriteRaw(P("enc"), "keep");
    EXPECT_EQ(Encrypt("plain", "enc", kChunk, 0), ZIVAZO_FILE_E_EXISTS);
    EXPECT_EQ(ReadRaw(P("enc")), std::string("keep"));
    EXPECT_EQ(Encrypt("plain", "enc2", kChunk, 0), ZIVAZO_FILE_OK);
    EXPECT_EQ(Decrypt("enc2", "enc", 0), ZIVAZO_FILE_E_EXISTS);
    EXPECT_EQ(folder_.Entries(), (std::vector<std::wstring>{L"enc", L"enc2", L"plain"}));
}

TEST_F(FileStream, ReplacesAnExistingDestinationWithTheFlag)
{
    WriteRaw(P("plain"), PatternBytes(10));
    WriteRaw(P("back"), PatternBytes(99999, 7));
    ASSERT_EQ(Encrypt("plain", "enc"), ZIVAZO_FILE_OK);
    ASSERT_EQ(Decrypt("enc", "back"), ZIVAZO_FILE_OK);
    EXPECT_EQ(ReadRaw(P("back")), PatternBytes(10));
}

TEST_F(FileStream, ReportsADestinationThatCannotBeWritten)
{
    WriteRaw(P("plain"), PatternBytes(10));
    CreateDirectoryA(P("folder").c_str(), nullptr);
    EXPECT_EQ(Encrypt("plain", "folder"), ZIVAZO_FILE_E_DESTINATION);
    EXPECT_EQ(Encrypt("plain", "missing\\enc"), ZIVAZO_FILE_E_DESTINATION);
    RemoveDirectoryA(P("folder").c_str());
    EXPECT_EQ(folder_.Entries(), std::vector<std::wstring>{L"plain"});
}

// A decryption cut off by a crash leaves its temporary file, decrypted plain
// text, beside the destination; the next decryption to it removes that. A
// temporary another decryption still has open is left to it.
TEST_F(FileStream, RemovesThePlainTextACutOffDecryptionLeftBehind)
{
    WriteRaw(P("plain"), PatternBytes(3000));
    ASSERT_EQ(Encrypt("plain", "enc"), ZIVAZO_FILE_OK);
    const std::string leftover = P("out.zv0000012A0001.tmp");
    const std::string live = P("out.zv0000012B0001.tmp");
    WriteRaw(leftover, "payroll, decrypted");
    WriteRaw(live, "being written");
    HANDLE writing = CreateFileA(live.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writing, INVALID_HANDLE_VALUE);
    WriteRaw(P("other.zv0000012A0001.tmp"), "another destination's");
    ASSERT_EQ(Decrypt("enc", "out"), ZIVAZO_FILE_OK);
    CloseHandle(writing);
    EXPECT_EQ(ReadRaw(P("out")), PatternBytes(3000));
    EXPECT_FALSE(Exists(leftover));
    EXPECT_TRUE(Exists(live));
    EXPECT_TRUE(Exists(P("other.zv0000012A0001.tmp")));
}

// ---- Arguments and progress ---------------------------------------------------

TEST_F(FileStream, RefusesBadArguments)
{
    WriteRaw(P("plain"), PatternBytes(10));
    const std::string from = P("plain"), to = P("enc");
    int progress = -1;
    EXPECT_EQ(EncryptFileStream(nullptr, 0, nullptr, to.c_str(), kKey, &progress, 0),
              ZIVAZO_FILE_E_ARGUMENT);
    EXPECT_EQ(EncryptFileStream(nullptr, 0, from.c_str(), nullptr, kKey, nullptr, 0),
              ZIVAZO_FILE_E_ARGUMENT);
    EXPECT_EQ(EncryptFileStream(nullptr, 0, from.c_str(), to.c_str(), nullptr, nullptr, 0),
              ZIVAZO_FILE_E_ARGUMENT);
    EXPECT_EQ(EncryptFileStream(nullptr, 0x10, from.c_str(), to.c_str(), kKey, nullptr, 0),
              ZIVAZO_FILE_E_ARGUMENT);
    EXPECT_EQ(EncryptFileStream(nullptr, 0, from.c_str(), to.c_str(), kKey, nullptr, -1),
              ZIVAZO_FILE_E_ARGUMENT);
    EXPECT_EQ(EncryptFileStream(nullptr, 0, from.c_str(), to.c_str(), kKey, nullptr,
                                ZIVAZO_MAX_CHUNK + 1),
              ZIVAZO_FILE_E_ARGUMENT);
    EXPECT_EQ(EncryptFileStream(nullptr, 0, from.c_str(), "", kKey, nullptr, 0),
              ZIVAZO_FILE_E_ARGUMENT);
    EXPECT_EQ(DecryptFileStream(nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0),
              ZIVAZO_FILE_E_ARGUMENT);
    EXPECT_EQ(progress, 0);
    EXPECT_EQ(folder_.Entries(), std::vector<std::wstring>{L"plain"});
}

TEST_F(FileStream, ReportsAMissingSource)
{
    EXPECT_EQ(Encrypt("absent", "enc"), ZIVAZO_FILE_E_SOURCE);
    EXPECT_EQ(Decrypt("absent", "out"), ZIVAZO_FILE_E_SOURCE);
    EXPECT_TRUE(folder_.Entries().empty());
}

TEST_F(FileStream, AcceptsTheSmallestAndLargestChunkSizes)
{
    WriteRaw(P("plain"), PatternBytes(40));
    ASSERT_EQ(Encrypt("plain", "enc", 1), ZIVAZO_FILE_OK);
    EXPECT_EQ(ReadRaw(P("enc")).size(), zv_stream_encrypted_size(40, 1));
    ASSERT_EQ(Decrypt("enc", "back"), ZIVAZO_FILE_OK);
    EXPECT_EQ(ReadRaw(P("back")), PatternBytes(40));
    ASSERT_EQ(Encrypt("plain", "enc", ZIVAZO_MAX_CHUNK), ZIVAZO_FILE_OK);
    ASSERT_EQ(Decrypt("enc", "back"), ZIVAZO_FILE_OK);
    EXPECT_EQ(ReadRaw(P("back")), PatternBytes(40));
}

// Collects the progress messages posted to a message-only window.
std::vector<int> PostedPercentages(HWND window)
{
    const UINT message = RegisterWindowMessageA(ZIVAZO_PROGRESS_MESSAGE_NAME);
    std::vector<int> percentages;
    MSG msg;
    while (PeekMessageA(&msg, window, message, message, PM_REMOVE))
        percentages.push_back(static_cast<int>(msg.wParam));
    return percentages;
}

TEST_F(FileStream, PostsRisingProgressToTheOwnerUpToTheEnd)
{
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                  nullptr);
    ASSERT_NE(window, nullptr);
    WriteRaw(P("plain"), PatternBytes(50 * kChunk));
    int progress = -1;
    ASSERT_EQ(EncryptFileStream(window, 0, P("plain").c_str(), P("enc").c_str(), kKey, &progress,
                                kChunk),
              ZIVAZO_FILE_OK);
    EXPECT_EQ(progress, 100);
    std::vector<int> posted = PostedPercentages(window);
    ASSERT_GE(posted.size(), 10u);
    EXPECT_EQ(posted.front(), 0);
    EXPECT_EQ(posted.back(), 100);
    for (size_t i = 1; i < posted.size(); ++i) EXPECT_GT(posted[i], posted[i - 1]);

    ASSERT_EQ(DecryptFileStream(window, 0, P("enc").c_str(), P("back").c_str(), kKey, &progress, 0),
              ZIVAZO_FILE_OK);
    posted = PostedPercentages(window);
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.back(), 100);
    DestroyWindow(window);
}

}  // namespace
