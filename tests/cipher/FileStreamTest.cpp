// EncryptFileStream and DecryptFileStream: any change, cut, reordering or
// wrong key fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "ZivazoDi.h"
#include "tests/support/Bytes.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"

namespace {

using namespace sonvera_test;
using Names = std::vector<std::wstring>;

const char kKey[] = "file key \x83\x4C\x81\x5B";  // file key キー
const int kChunk = 1024;
const size_t kRecord = kChunk + 16;  // a chunk and its tag
const size_t kHeader = 24;

class FileStream : public ::testing::Test {
protected:
    int Encrypt(const std::string& from, const std::string& to, int chunk = kChunk,
                int flags = ZIVAZO_FILE_REPLACE)
    {
        progress_ = -1;
        return EncryptFileStream(nullptr, flags, P(from), P(to), kKey, &progress_, chunk);
    }

    int Decrypt(const std::string& from, const std::string& to, const char* key = kKey)
    {
        progress_ = -1;
        return DecryptFileStream(nullptr, ZIVAZO_FILE_REPLACE, P(from), P(to), key, &progress_, 0);
    }

    // The full path of a file in the scratch folder, alive as long as the test.
    const char* P(const std::string& name)
    {
        return paths_.emplace(name, folder_.File(name.c_str()).str()).first->second.c_str();
    }

    // Writes a temporary file of "out" as the process with the id made it;
    // when stale, last written before any running process started.
    std::string WriteTemp(DWORD processId, const char* sequence, bool stale = false)
    {
        char name[32];
        snprintf(name, sizeof name, "out.zv%08lX%s.tmp", static_cast<unsigned long>(processId), sequence);
        WriteRaw(P(name), "plain text, decrypted");
        const FILETIME longAgo = {0, 0x01C00000};  // in 2000
        HANDLE file = CreateFileA(P(name), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_TRUE(!stale || SetFileTime(file, nullptr, nullptr, &longAgo));
        CloseHandle(file);
        return name;
    }

    CTempFolder folder_;
    std::map<std::string, std::string> paths_;
    int progress_ = -1;
};

TEST_F(FileStream, GivesBackTheFileByteForByte)
{
    const struct {
        size_t plain;
        int chunk;
        size_t encrypted;  // header, data, and a tag per chunk
    } sizes[] = {{0, kChunk, 40}, {1024, kChunk, 1064}, {1025, kChunk, 1081}, {40, 1, 704}, {40, ZIVAZO_MAX_CHUNK, 80},
                 {5 * 1024 * 1024 + 17, 0, 5 * 1024 * 1024 + 17 + 24 + 81 * 16}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(s.plain);
        WriteRaw(P("plain"), PatternBytes(s.plain));
        ASSERT_EQ(Encrypt("plain", "enc", s.chunk), ZIVAZO_FILE_OK);
        EXPECT_EQ(progress_, 100);
        EXPECT_EQ(ReadRaw(P("enc")).size(), s.encrypted);
        ASSERT_EQ(Decrypt("enc", "back"), ZIVAZO_FILE_OK);
        EXPECT_EQ(progress_, 100);
        EXPECT_EQ(ReadRaw(P("back")), PatternBytes(s.plain));
    }
}

TEST_F(FileStream, OpensAFileEncryptedEarlierAndEncryptsInPlaceDifferentlyEachTime)
{
    // Worked out apart from this library: key "file key", chunks of 16 bytes,
    // nonce base a0 a1 ... ab, the bytes 0 to 39.
    WriteRaw(P("enc"), FromHex("5a7646730100000010000000a0a1a2a3a4a5a6a7a8a9aaab"
                                 "730b59886afa3a133cbbd9b822f9c7032eced1ba799d2baebc0201e4cf39b389"
                                 "a5cb72165b1aa73a8fc9604de2f56206ec699ade9ba807fd48bcce4b940b0342"
                                 "a2de0e3f29b7e326874bbf4692502db477cb5dd4bcfd3cdb"));
    ASSERT_EQ(Decrypt("enc", "back", "file key"), ZIVAZO_FILE_OK);
    std::string expected;
    for (char byte = 0; byte < 40; ++byte) expected += byte;
    EXPECT_EQ(ReadRaw(P("back")), expected);

    const std::string name = "\x83\x65\x83\x58\x83\x67.dat";  // テスト.dat
    WriteRaw(P(name), PatternBytes(3000));
    ASSERT_EQ(Encrypt(name, name), ZIVAZO_FILE_OK);
    const std::string first = ReadRaw(P(name));
    ASSERT_EQ(Decrypt(name, name), ZIVAZO_FILE_OK);
    ASSERT_EQ(Encrypt(name, name), ZIVAZO_FILE_OK);
    EXPECT_NE(ReadRaw(P(name)), first);
    EXPECT_EQ(folder_.Entries(), (Names{L"back", L"enc", L"\u30c6\u30b9\u30c8.dat"}));
}

// ---- Damage -----------------------------------------------------------------

std::string Flip(std::string bytes, size_t at)
{
    bytes[at] ^= 0x20;
    return bytes;
}

std::string ChunkSize(std::string bytes, unsigned long size)
{
    return bytes.replace(8, 4, WordBytes(size));
}

// The header, then the given chunks of a good file in the given order.
std::string Chunks(const std::string& good, std::initializer_list<size_t> order)
{
    std::string bytes = good.substr(0, kHeader);
    for (size_t i : order) bytes += good.substr(kHeader + i * kRecord, kRecord);
    return bytes;
}

struct Damage {
    const char* what;
    std::string (*make)(const std::string& good);  // good: 3 full chunks and one of 100 bytes
    int expected;
    const char* key = kKey;
};

class FileDamage : public FileStream, public ::testing::WithParamInterface<Damage> {};

// What any failed run leaves behind is the fault test's; here, the refusal.
TEST_P(FileDamage, IsRefusedAndNeverReportedDone)
{
    SCOPED_TRACE(GetParam().what);
    WriteRaw(P("plain"), PatternBytes(3 * kChunk + 100));
    ASSERT_EQ(Encrypt("plain", "enc"), ZIVAZO_FILE_OK);
    WriteRaw(P("bad"), GetParam().make(ReadRaw(P("enc"))));
    EXPECT_EQ(Decrypt("bad", "out", GetParam().key), GetParam().expected);
    EXPECT_NE(progress_, 100);
}

const int kFormat = ZIVAZO_FILE_E_FORMAT, kAuth = ZIVAZO_FILE_E_AUTH;
using S = const std::string&;
const Damage kDamages[] = {
    {"magic changed", [](S g) { return Flip(g, 0); }, kFormat},
    {"version changed", [](S g) { return Flip(g, 4); }, kFormat},
    {"reserved byte set", [](S g) { return Flip(g, 6); }, kFormat},
    {"no chunk size", [](S g) { return ChunkSize(g, 0); }, kFormat},
    {"chunk size past the largest", [](S g) { return ChunkSize(g, ZIVAZO_MAX_CHUNK + 1); }, kFormat},
    {"chunk size changed", [](S g) { return Flip(g, 8); }, kAuth},
    {"nonce base changed", [](S g) { return Flip(g, 23); }, kAuth},
    {"first chunk's tag changed", [](S g) { return Flip(g, kHeader + kRecord - 1); }, kAuth},
    {"last chunk's tag changed", [](S g) { return Flip(g, g.size() - 1); }, kAuth},
    {"cut in the header", [](S g) { return g.substr(0, 10); }, kFormat},
    {"header only", [](S g) { return g.substr(0, kHeader); }, kAuth},
    {"cut inside the first tag", [](S g) { return g.substr(0, kHeader + 15); }, kAuth},
    {"last byte cut", [](S g) { return g.substr(0, g.size() - 1); }, kAuth},
    {"middle chunk dropped", [](S g) { return Chunks(g, {0, 2, 3}); }, kAuth},
    {"last chunk dropped", [](S g) { return Chunks(g, {0, 1, 2}); }, kAuth},
    {"last chunk repeated", [](S g) { return Chunks(g, {0, 1, 2, 3, 3}); }, kAuth},
    {"wrong key", [](S g) { return g; }, kAuth, "file key"},
};

INSTANTIATE_TEST_SUITE_P(Damages, FileDamage, ::testing::ValuesIn(kDamages));

// This program started suspended, as another process on the computer: one
// that has ended (its handle held, so that no new process takes its id while
// the test runs), or one that runs for as long as the object lives, as one
// that took a crashed run's id would.
struct CTestProcess : PROCESS_INFORMATION {
    explicit CTestProcess(bool ended) : PROCESS_INFORMATION{}
    {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        EXPECT_TRUE(CreateProcessW(self, nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                                   &startup, this));
        CloseHandle(hThread);
        if (ended)
            End();
    }
    ~CTestProcess()
    {
        End();
        CloseHandle(hProcess);
    }
    void End()
    {
        TerminateProcess(hProcess, 1);
        WaitForSingleObject(hProcess, INFINITE);
    }
};

TEST_F(FileStream, RefusesBadArgumentsPostsRisingProgressAndRemovesCutOffPlainText)
{
    WriteRaw(P("plain"), "text");
    WriteRaw(P("kept"), "old");
    CreateDirectoryA(P("folder"), nullptr);
    // Both directions start in one shared step that checks these; the encryption stands for both.
    const struct {
        int flags;
        const char *source, *destination, *key;
        int chunk, expected;
    } cases[] = {
        {0, nullptr, P("enc"), kKey, 0, ZIVAZO_FILE_E_ARGUMENT},
        {0, P("plain"), nullptr, kKey, 0, ZIVAZO_FILE_E_ARGUMENT},
        {0, P("plain"), "", kKey, 0, ZIVAZO_FILE_E_ARGUMENT},
        {0, P("plain"), P("enc"), nullptr, 0, ZIVAZO_FILE_E_ARGUMENT},
        {0x10, P("plain"), P("enc"), kKey, 0, ZIVAZO_FILE_E_ARGUMENT},
        {0, P("plain"), P("enc"), kKey, -1, ZIVAZO_FILE_E_ARGUMENT},
        {0, P("plain"), P("enc"), kKey, ZIVAZO_MAX_CHUNK + 1, ZIVAZO_FILE_E_ARGUMENT},
        {0, P("absent"), P("enc"), kKey, 0, ZIVAZO_FILE_E_SOURCE},
        {ZIVAZO_FILE_REPLACE, P("plain"), P("folder"), kKey, 0, ZIVAZO_FILE_E_DESTINATION},
        {0, P("plain"), P("missing\\enc"), kKey, 0, ZIVAZO_FILE_E_DESTINATION},
        {0, P("plain"), P("kept"), kKey, 0, ZIVAZO_FILE_E_EXISTS},
    };
    for (const auto& c : cases) {
        int progress = -1;
        EXPECT_EQ(EncryptFileStream(nullptr, c.flags, c.source, c.destination, c.key, &progress, c.chunk),
                  c.expected)
            << (c.source ? c.source : "-") << " -> " << (c.destination ? c.destination : "-");
        EXPECT_EQ(progress, 0);
    }
    RemoveDirectoryA(P("folder"));

    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    WriteRaw(P("plain"), PatternBytes(50 * kChunk));
    ASSERT_EQ(EncryptFileStream(window, 0, P("plain"), P("enc"), kKey, nullptr, kChunk), ZIVAZO_FILE_OK);
    const UINT message = RegisterWindowMessageA(ZIVAZO_PROGRESS_MESSAGE_NAME);
    std::vector<int> posted;
    MSG msg;
    while (PeekMessageA(&msg, window, message, message, PM_REMOVE))
        posted.push_back(static_cast<int>(msg.wParam));
    DestroyWindow(window);
    ASSERT_GE(posted.size(), 10u);
    EXPECT_EQ(posted.front(), 0);
    EXPECT_EQ(posted.back(), 100);
    for (size_t i = 1; i < posted.size(); ++i) EXPECT_GT(posted[i], posted[i - 1]);

    // A crashed decryption's temporary (plain text) is removed by the next one
    // to the same destination, unless another decryption still has it open.
    WriteRaw(P("plain"), PatternBytes(3000));
    ASSERT_EQ(Encrypt("plain", "enc"), ZIVAZO_FILE_OK);
    const CTestProcess crashed(true), newcomer(false);
    WriteTemp(crashed.dwProcessId, "0001");
    WriteTemp(0xFFFFFF00, "0001");   // one whose process is gone without a trace
    WriteRaw(P("out.zv0000012B0001.tmp"), "being written");
    WriteRaw(P("other.zv0000012A0001.tmp"), "another destination's");
    // A crashed run's id, taken by a process started after its last write,
    // and a run of that process itself, still going; so too a crashed run's
    // id that this very process took.
    WriteTemp(newcomer.dwProcessId, "0001", true);
    const std::string going = WriteTemp(newcomer.dwProcessId, "0002");
    WriteTemp(GetCurrentProcessId(), "FFF0", true);
    HANDLE writing = CreateFileA(P("out.zv0000012B0001.tmp"), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writing, INVALID_HANDLE_VALUE);
    ASSERT_EQ(Decrypt("enc", "out"), ZIVAZO_FILE_OK);
    CloseHandle(writing);
    EXPECT_EQ(ReadRaw(P("out")), PatternBytes(3000));
    Names left{L"enc", L"kept", L"other.zv0000012A0001.tmp", L"out", L"out.zv0000012B0001.tmp",
               std::wstring(going.begin(), going.end()), L"plain"};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(folder_.Entries(), left);
}

} // namespace
