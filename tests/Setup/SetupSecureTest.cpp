// CSetupSecure and marzet.dat; one failing step per rewrite only (the steps
// themselves are the safe writer's, failed one by one in tests/fw).
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Setup/SetupSecure.h"
#include "fw/FileException.h"
#include "fw/FileSystem.h"
#include "fw/RecordReader.h"
#include "tests/support/Bytes.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/FileError.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"
#include "userdata/Crypto.h"

namespace
{
using namespace sonvera_test;
using Settings = CSetupSecure::tagSecureSettings;

std::string Encrypt(const char* text)
{
    return CCrypto().EncryptString(text, CCrypto::GetProcessKey()).str();
}

CString Decrypt(const std::string& cipher)
{
    return CCrypto().DecryptString(CString(cipher), CCrypto::GetProcessKey());
}

// Record `index` (from 0) of a file, read with the stores' own record reader.
std::string RecordAt(const std::string& image, int index)
{
    CRecordReader records(image.data(), image.size(), "marzet.dat");
    for (int i = 0; i < index; ++i)
        records.Skip();
    return records.Next().str();
}

class SetupSecureTest : public ::testing::Test
{
protected:
    void SetUp() override { m_secure.SetSetupSecureFilePath(Dat()); }

    CString Dat() const { return m_folder.File("marzet.dat"); }

    std::vector<int> ReadSettings()
    {
        Settings s = {9, 9, 9, 9, 9, 9};
        m_secure.GetAppSettings(s);
        return {s.nSwitch1, s.nSwitch2, s.nSwitch3, s.nLogonMethod, s.nCryptMethod, s.nSwitch6};
    }

    CTempFolder m_folder;
    CSetupSecure m_secure;
};

// A new file is the encrypted defaults, then two empty records; copies share
// it. A create replaces a file.
TEST_F(SetupSecureTest, NewFileIsTheEncryptedDefaultsAndEachRewriteKeepsEveryOtherByte)
{
    const std::string image = ReadRaw(Dat());
    const std::string settings = RecordAt(image, 0);
    EXPECT_EQ(LengthRecord(settings) + std::string(8, '\0'), image);
    EXPECT_EQ(CString("000111"), Decrypt(settings));
    CSetupSecure copy(m_secure);
    m_secure.SetBackupBypassKey("shared");
    EXPECT_EQ(CString("shared"), copy.GetBackupBypassKey());
    m_secure.CreateSetupSecure(m_folder.File("second.dat"));
    EXPECT_EQ(CString("shared"), m_secure.GetBackupBypassKey());   // the remembered path stays
    m_secure.CreateSetupSecure(Dat());
    EXPECT_EQ(CString(), m_secure.GetBackupBypassKey());

    // Each field is one character of the settings text read as a digit; a
    // missing or non-digit one is 0. Bypass keys of any length round-trip.
    m_secure.SetAppSettings({9, 8, 7, 6, 5, 4});
    EXPECT_EQ(CString("987654"), Decrypt(RecordAt(ReadRaw(Dat()), 0)));
    EXPECT_EQ((std::vector<int>{9, 8, 7, 6, 5, 4}), ReadSettings());
    ASSERT_TRUE(WriteRaw(Dat(), LengthRecord(Encrypt("1x1")) + std::string(8, '\0')));
    EXPECT_EQ((std::vector<int>{1, 0, 1, 0, 0, 0}), ReadSettings());
    m_secure.SetBackupBypassKey(CString('y', 700));
    EXPECT_EQ(CString('y', 700), m_secure.GetBackupBypassKey());
    // Each rewrite first removes the copies a crashed one left, key and all.
    for (const auto& rewrite : {std::function<void()>([&] { m_secure.SetAppSettings({}); }),
                                std::function<void()>([&] { m_secure.SetBackupBypassKey("K"); })}) {
        ASSERT_TRUE(WriteRaw(Dat() + ".~tmp1", "left by a crash"));
        rewrite();
        EXPECT_EQ((std::vector<std::wstring>{L"marzet.dat", L"second.dat"}), m_folder.Entries());
    }

    const std::string settingsRecord = LengthRecord(Encrypt("101010"));
    const std::string second = LengthRecord("opaque second record");
    const std::string key = LengthRecord(Encrypt("KEY"));
    // A rewrite: the old file, the operation, and the new record's plain text at
    // `changed`; the old bytes around it stay, and the file never gets shorter.
    const struct
    {
        const char* what;
        std::string head, oldRecord, tail;   // tail: everything after the replaced record
        int changed;
        std::function<void(CSetupSecure&)> run;
        const char* plain;
    } rewrites[] = {
        {"settings over a longer record, trailer kept", "", Encrypt("000111 and more"),
         second + key + "\x01\x02trailer", 0,
         [](CSetupSecure& s) { s.SetAppSettings({1, 1, 1, 1, 1, 1}); }, "111111"},
        {"bypass key, bytes after it kept", settingsRecord + second, Encrypt("KEY"), "after", 2,
         [](CSetupSecure& s) { s.SetBackupBypassKey("NEW, AND LONGER"); }, "NEW, AND LONGER"},
        {"shorter bypass key over a longer one", settingsRecord + second, Encrypt("OLD KEY THAT IS MUCH LONGER"),
         "after", 2, [](CSetupSecure& s) { s.SetBackupBypassKey("NEW"); }, "NEW"},
    };
    for (const auto& r : rewrites) {
        SCOPED_TRACE(r.what);
        const std::string old = r.head + LengthRecord(r.oldRecord) + r.tail;
        ASSERT_TRUE(WriteRaw(Dat(), old));
        r.run(m_secure);
        const std::string rewritten = ReadRaw(Dat());
        const std::string record = RecordAt(rewritten, r.changed);
        EXPECT_EQ(CString(r.plain), Decrypt(record));
        std::string expected = r.head + LengthRecord(record) + r.tail;
        if (expected.size() < old.size())
            expected += old.substr(expected.size());
        EXPECT_EQ(expected, rewritten);
    }
}

TEST(SetupSecureBypass, KeyIsThePassPhraseUnderASeedOfLettersThenTheTime)
{
    struct tm march = {2, 5, 9, 7, 2, 2026 - 1900, 0, 0, 0};   // 2026-03-07 09:05:02
    EXPECT_EQ(CString("QXAZ260307090502"), CSetupSecure::BuildBypassSeed("QXAZ", march));

    // The key is the pass phrase encrypted under the seed of the second it was
    // made, whose letters are the C library's first four draws (its documented
    // generator, written out here) after seeding with that second.
    const time_t before = time(NULL);
    const CString key = CSetupSecure().CreateBackupBypassKey();
    const time_t after = time(NULL);
    bool matched = false;
    for (time_t t = before; t <= after && !matched; ++t) {
        unsigned int state = static_cast<unsigned int>(t);
        char letters[4];
        for (char& letter : letters) {
            state = state * 214013u + 2531011u;
            letter = static_cast<char>('A' + ((state >> 16) & 0x7FFF) % 26);
        }
        struct tm local = {};
        localtime_s(&local, &t);
        matched = CCrypto().DecryptString(key, CSetupSecure::BuildBypassSeed(letters, local)) ==
                  CCrypto::GetProcessKey();
    }
    EXPECT_TRUE(matched);
}

// The rewrites share one call to the safe writer (its steps: tests/fw): one
// failing step for the store. Every operation that reads a damaged part refuses
// it, naming the file, untouched.
TEST_F(SetupSecureTest, FailedRewritesDamagedAndMissingFilesLeaveTheFileAsItWas)
{
    m_secure.SetBackupBypassKey("KEEP-THIS-KEY");
    const std::string before = ReadRaw(Dat());
    CFaultyFileSystem faulty;
    faulty.Fail(CFaultyFileSystem::move, ERROR_IO_DEVICE);
    {
        CFileSystemOverride use(faulty);
        EXPECT_THROW(m_secure.SetBackupBypassKey("LOST"), CFileException);
    }
    EXPECT_EQ(before, ReadRaw(Dat()));
    // Past the longest text the crypto library encrypts it gives no cipher
    // text, as when it fails: the key is not stored as an empty record.
    EXPECT_THROW(m_secure.SetBackupBypassKey(CString(std::string(64 << 20 | 1, 'k'))), CFileException);
    EXPECT_EQ(before, ReadRaw(Dat()));

    enum { getSettings = 1, setSettings = 2, bypass = 4, all = 7 };
    const std::string image = ReadRaw(Dat());
    const std::string settings = LengthRecord(RecordAt(image, 0));
    std::string undecryptable = RecordAt(image, 0);
    undecryptable[10] = undecryptable[10] == 'A' ? 'B' : 'A';
    const struct
    {
        const char* what;
        std::string image;
        int refused;
    } damages[] = {
        {"empty", "", all},
        {"settings record does not decrypt", LengthRecord(undecryptable) + std::string(8, '\0'), getSettings},
        {"cut inside the bypass record", settings + WordBytes(0) + WordBytes(40) + "cut", bypass},
    };
    for (const auto& d : damages) {
        SCOPED_TRACE(d.what);
        ASSERT_TRUE(WriteRaw(Dat(), d.image));
        const std::pair<int, std::function<void()>> operations[] = {
            {getSettings, [&] { ReadSettings(); }},
            {setSettings, [&] { m_secure.SetAppSettings({1, 1, 1, 1, 1, 1}); }},
            {bypass, [&] { m_secure.GetBackupBypassKey(); }},
            {bypass, [&] { m_secure.SetBackupBypassKey("K"); }},
        };
        for (const auto& operation : operations) {
            if ((d.refused & operation.first) != 0) {
                const CFileException e = FileErrorOf(operation.second);
                EXPECT_EQ(Dat(), e.m_strFileName);
                EXPECT_TRUE(e.m_cause == CFileException::endOfFile || e.m_cause == CFileException::invalidFile)
                    << e.m_cause;
            }
        }
        EXPECT_EQ(d.image, ReadRaw(Dat()));
    }

    ASSERT_TRUE(DeleteFileW(Dat().ToWide().c_str()));
    EXPECT_EQ(CFileException::fileNotFound, FileErrorOf([&] { ReadSettings(); }).m_cause);
    EXPECT_THROW(m_secure.SetAppSettings({1, 1, 1, 1, 1, 1}), CFileException);
    EXPECT_THROW(m_secure.SetBackupBypassKey("K"), CFileException);
    EXPECT_TRUE(m_folder.Entries().empty());
}

} // namespace
