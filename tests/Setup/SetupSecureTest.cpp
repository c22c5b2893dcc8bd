// CSetupSecure: the layout of a new marzet.dat, the settings and bypass-key
// round trips, records carried over byte for byte by the rewrites, damaged
// files refused with a clear file error, and rewrites interrupted at every
// step leaving the old file intact.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "Setup/SetupSecure.h"
#include "fw/FileException.h"
#include "fw/FileSystem.h"
#include "tests/Setup/SetupTestSupport.h"
#include "tests/support/FaultyFileSystem.h"
#include "userdata/Crypto.h"

using sonvera_test::Bytes;
using sonvera_test::CFaultyFileSystem;
using sonvera_test::CTempFolder;
using sonvera_test::ReadRaw;
using sonvera_test::WriteRaw;

namespace
{
std::string LengthField(size_t length)
{
    return sonvera_test::WordBytes(static_cast<unsigned long>(length));
}

std::string Record(const std::string& data)
{
    return sonvera_test::LengthRecord(data);
}

CString Encrypt(const char* text)
{
    CCrypto crypto;
    return crypto.EncryptString(text, CCrypto::GetProcessKey());
}

CString Decrypt(const std::string& cipher)
{
    CCrypto crypto;
    return crypto.DecryptString(CString(cipher), CCrypto::GetProcessKey());
}

// Splits a well-formed file into its records and whatever follows record 3.
struct Records
{
    std::string r1, r2, r3, rest;
};

Records Split(const std::string& image)
{
    Records records;
    size_t pos = 0;
    std::string* parts[3] = {&records.r1, &records.r2, &records.r3};
    for (std::string* part : parts) {
        if (image.size() < pos + 4)
            return records;
        size_t length = static_cast<unsigned char>(image[pos]) | (static_cast<unsigned char>(image[pos + 1]) << 8) |
                        (static_cast<unsigned char>(image[pos + 2]) << 16) |
                        (static_cast<size_t>(static_cast<unsigned char>(image[pos + 3])) << 24);
        *part = image.substr(pos + 4, length);
        pos += 4 + length;
    }
    records.rest = image.substr(std::min(pos, image.size()));
    return records;
}

class SetupSecureTest : public ::testing::Test
{
protected:
    void SetUp() override { m_secure.SetSetupSecureFilePath(Dat()); }

    CString Dat() const { return m_folder.File("marzet.dat"); }

    void ExpectSettings(int a, int b, int c, int d, int e, int f)
    {
        CSetupSecure::tagSecureSettings s = {9, 9, 9, 9, 9, 9};
        m_secure.GetAppSettings(s);
        EXPECT_EQ(a, s.nSwitch1);
        EXPECT_EQ(b, s.nSwitch2);
        EXPECT_EQ(c, s.nSwitch3);
        EXPECT_EQ(d, s.nLogonMethod);
        EXPECT_EQ(e, s.nCryptMethod);
        EXPECT_EQ(f, s.nSwitch6);
    }

    CTempFolder m_folder;
    CSetupSecure m_secure;
};

// ---- new file -----------------------------------------------------------

TEST_F(SetupSecureTest, NewFileIsTheEncryptedDefaultsThenTwoEmptyRecords)
{
    std::string image = ReadRaw(Dat());
    ASSERT_GE(image.size(), 12u);
    size_t length = static_cast<unsigned char>(image[0]) | (static_cast<unsigned char>(image[1]) << 8) |
                    (static_cast<unsigned char>(image[2]) << 16) |
                    (static_cast<size_t>(static_cast<unsigned char>(image[3])) << 24);
    ASSERT_GT(length, 0u);
    ASSERT_EQ(4 + length + 8, image.size());
    std::string cipher = image.substr(4, length);
    EXPECT_EQ(std::string::npos, cipher.find('\0'));
    EXPECT_EQ(CString("000111"), Decrypt(cipher));
    EXPECT_EQ(std::string(8, '\0'), image.substr(4 + length));
}

TEST_F(SetupSecureTest, NewFileReadsBackAsTheDefaults)
{
    ExpectSettings(0, 0, 0, 1, 1, 1);
}

TEST_F(SetupSecureTest, BypassKeyOfANewFileIsTheDecryptionOfAnEmptyRecord)
{
    EXPECT_EQ(Decrypt(""), m_secure.GetBackupBypassKey());
}

TEST_F(SetupSecureTest, SettingThePathOfAnExistingFileLeavesItByteIdentical)
{
    CSetupSecure::tagSecureSettings s = {1, 1, 0, 0, 1, 1};
    m_secure.SetAppSettings(s);
    m_secure.SetBackupBypassKey("KEY-1");
    std::string before = ReadRaw(Dat());
    CSetupSecure other;
    other.SetSetupSecureFilePath(Dat());
    EXPECT_EQ(before, ReadRaw(Dat()));
    CSetupSecure::tagSecureSettings back = {};
    other.GetAppSettings(back);
    EXPECT_EQ(0, memcmp(&s, &back, sizeof(s)));
}

TEST_F(SetupSecureTest, CreateReplacesAFileButKeepsTheRememberedPath)
{
    m_secure.SetBackupBypassKey("stored");
    CString second = m_folder.File("second.dat");
    m_secure.CreateSetupSecure(second);
    EXPECT_EQ(CString("stored"), m_secure.GetBackupBypassKey());   // still the first file
    CSetupSecure other;
    other.SetSetupSecureFilePath(second);
    EXPECT_EQ(Decrypt(""), other.GetBackupBypassKey());

    m_secure.CreateSetupSecure(Dat());   // replaces the stored key with an empty record
    EXPECT_EQ(Decrypt(""), m_secure.GetBackupBypassKey());
    EXPECT_EQ(2u, m_folder.Entries().size());   // marzet.dat and second.dat, no leftovers
}

TEST_F(SetupSecureTest, CopiesActOnTheSameFile)
{
    CSetupSecure copy(m_secure);
    m_secure.SetBackupBypassKey("shared");
    EXPECT_EQ(CString("shared"), copy.GetBackupBypassKey());
    CSetupSecure assigned;
    assigned = m_secure;
    EXPECT_EQ(CString("shared"), assigned.GetBackupBypassKey());
}

// ---- settings -----------------------------------------------------------

TEST_F(SetupSecureTest, SettingsRoundTripAndKeepTheStoredBypassKey)
{
    m_secure.SetBackupBypassKey("BYPASS-KEY-0001");
    CSetupSecure::tagSecureSettings s = {1, 0, 1, 0, 1, 0};
    m_secure.SetAppSettings(s);
    ExpectSettings(1, 0, 1, 0, 1, 0);
    EXPECT_EQ(CString("BYPASS-KEY-0001"), m_secure.GetBackupBypassKey());
}

TEST_F(SetupSecureTest, SettingsTextIsSixDigitsReadCharacterByCharacter)
{
    CSetupSecure::tagSecureSettings s = {9, 8, 7, 6, 5, 4};
    m_secure.SetAppSettings(s);
    EXPECT_EQ(CString("987654"), Decrypt(Split(ReadRaw(Dat())).r1));
    ExpectSettings(9, 8, 7, 6, 5, 4);
}

TEST_F(SetupSecureTest, ShortOrNonDigitSettingsTextLeavesTheMissingFieldsZero)
{
    std::string image = ReadRaw(Dat());
    Records records = Split(image);
    ASSERT_TRUE(WriteRaw(Dat(), Record(Encrypt("1x1").str()) + Record(records.r2) + Record(records.r3)));
    ExpectSettings(1, 0, 1, 0, 0, 0);
}

TEST_F(SetupSecureTest, SettingsRewriteCarriesRecordTwoThreeAndTrailingBytesOver)
{
    std::string tail = Record("second record kept") + Record(Encrypt("KEY").str()) + "\x01\x02trailer";
    ASSERT_TRUE(WriteRaw(Dat(), Record(Encrypt("000111").str()) + tail));
    CSetupSecure::tagSecureSettings s = {1, 1, 1, 1, 1, 1};
    m_secure.SetAppSettings(s);
    std::string image = ReadRaw(Dat());
    Records records = Split(image);
    EXPECT_EQ(CString("111111"), Decrypt(records.r1));
    EXPECT_EQ(tail, image.substr(4 + records.r1.size()));
    EXPECT_EQ(CString("KEY"), m_secure.GetBackupBypassKey());
}

TEST_F(SetupSecureTest, SettingsRewriteMovesLaterRecordsWhenRecordOneChangesLength)
{
    // A record 1 of another length than the new cipher text: the records after it must follow it.
    std::string tail = Record("") + Record(Encrypt("MOVED").str());
    ASSERT_TRUE(WriteRaw(Dat(), Record(Encrypt("000111 and much more text than six digits").str()) + tail));
    CSetupSecure::tagSecureSettings s = {0, 1, 0, 1, 0, 1};
    m_secure.SetAppSettings(s);
    ExpectSettings(0, 1, 0, 1, 0, 1);
    EXPECT_EQ(CString("MOVED"), m_secure.GetBackupBypassKey());
}

// ---- bypass key ---------------------------------------------------------

TEST_F(SetupSecureTest, BypassKeyRoundTripsAlsoShorterOverLonger)
{
    CString longKey(Encrypt("a long text that stands in for a real bypass key"));
    m_secure.SetBackupBypassKey(longKey);
    EXPECT_EQ(longKey, m_secure.GetBackupBypassKey());
    const size_t longLength = ReadRaw(Dat()).size();
    m_secure.SetBackupBypassKey("short");
    EXPECT_EQ(CString("short"), m_secure.GetBackupBypassKey());
    Records records = Split(ReadRaw(Dat()));
    EXPECT_EQ(CString("short"), Decrypt(records.r3));
    // The file is never shortened: what the longer key took stays behind it.
    EXPECT_EQ(longLength, ReadRaw(Dat()).size());
    ExpectSettings(0, 0, 0, 1, 1, 1);
}

TEST_F(SetupSecureTest, BypassKeysOfManyLengthsAndShiftJisRoundTrip)
{
    for (const CString& key : {CString("K"), CString('x', 50), CString('y', 700),
                               CString("\x83\x6f\x83\x43\x83\x70\x83\x58\x8c\xae")}) {
        m_secure.SetBackupBypassKey(key);
        EXPECT_EQ(key, m_secure.GetBackupBypassKey());
    }
    ExpectSettings(0, 0, 0, 1, 1, 1);
}

TEST_F(SetupSecureTest, BypassKeyRewriteKeepsRecordsOneTwoAndTheBytesAfterRecordThree)
{
    std::string head = Record(Encrypt("101010").str()) + Record("opaque second record");
    const std::string old = head + Record(Encrypt("OLD KEY THAT IS LONG").str()) + "after";
    ASSERT_TRUE(WriteRaw(Dat(), old));
    m_secure.SetBackupBypassKey("NEW");
    std::string image = ReadRaw(Dat());
    EXPECT_EQ(head, image.substr(0, head.size()));
    Records records = Split(image);
    EXPECT_EQ(CString("NEW"), Decrypt(records.r3));
    // The bytes after record 3 follow the new record; the file keeps its
    // length, so the old file's last bytes stay behind them.
    EXPECT_EQ("after", records.rest.substr(0, 5));
    EXPECT_EQ(old.size(), image.size());
    EXPECT_EQ(old.substr(image.size() - (records.rest.size() - 5)), records.rest.substr(5));
    ExpectSettings(1, 0, 1, 0, 1, 0);
}

TEST(SetupSecureBypass, SeedTextIsLettersThenYearMonthDayHourMinuteSecond)
{
    struct tm when = {};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 2;   // March
    when.tm_mday = 7;
    when.tm_hour = 9;
    when.tm_min = 5;
    when.tm_sec = 2;
    const char letters[4] = {'Q', 'X', 'A', 'Z'};
    EXPECT_EQ(CString("QXAZ260307090502"), CSetupSecure::BuildBypassSeed(letters, when));

    when.tm_year = 2000 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 31;
    when.tm_hour = 23;
    when.tm_min = 59;
    when.tm_sec = 58;
    const char others[4] = {'A', 'B', 'C', 'D'};
    EXPECT_EQ(CString("ABCD001231235958"), CSetupSecure::BuildBypassSeed(others, when));
}

// The key is the pass phrase encrypted under the seed: re-making the seed
// from the second the key was made must decrypt it back to the pass phrase.
TEST(SetupSecureBypass, NewKeyIsThePassPhraseEncryptedUnderTheTimeSeed)
{
    CSetupSecure secure;
    time_t before = time(NULL);
    CString key = secure.CreateBackupBypassKey();
    time_t after = time(NULL);
    ASSERT_FALSE(key.IsEmpty());
    EXPECT_EQ(-1, key.Find(CCrypto::GetProcessKey()));
    bool matched = false;
    for (time_t t = before; t <= after && !matched; ++t) {
        srand(static_cast<unsigned int>(t));
        char letters[4];
        for (char& letter : letters)
            letter = static_cast<char>('A' + rand() % 26);
        struct tm local = {};
        localtime_s(&local, &t);
        CCrypto crypto;
        matched = crypto.DecryptString(key, CSetupSecure::BuildBypassSeed(letters, local)) ==
                  CCrypto::GetProcessKey();
    }
    EXPECT_TRUE(matched);
}

// ---- damaged files ------------------------------------------------------

class SetupSecureDamagedTest : public SetupSecureTest
{
protected:
    // Installs a damaged image and checks that every operation refuses it
    // with a file error naming the file, and that the writes leave it as it was.
    void ExpectRefused(const std::string& image, bool settingsReadable)
    {
        ASSERT_TRUE(WriteRaw(Dat(), image));
        CSetupSecure::tagSecureSettings s = {};
        if (settingsReadable)
            EXPECT_NO_THROW(m_secure.GetAppSettings(s));
        else
            ExpectFileError([&] { m_secure.GetAppSettings(s); });
        ExpectFileError([&] { m_secure.GetBackupBypassKey(); });
        ExpectFileError([&] { m_secure.SetBackupBypassKey("K"); });
        if (!settingsReadable)
            ExpectFileError([&] { m_secure.SetAppSettings(s); });
        EXPECT_EQ(image, ReadRaw(Dat()));
        EXPECT_EQ(1u, m_folder.Entries().size());
    }

    template <class F>
    void ExpectFileError(F operation)
    {
        try {
            operation();
            ADD_FAILURE() << "a damaged file was accepted";
        } catch (const CFileException& e) {
            EXPECT_TRUE(e.m_cause == CFileException::endOfFile || e.m_cause == CFileException::invalidFile)
                << e.what();
            EXPECT_EQ(Dat(), e.m_strFileName);
        }
    }
};

TEST_F(SetupSecureDamagedTest, EmptyFile)
{
    ExpectRefused("", false);
}

TEST_F(SetupSecureDamagedTest, LengthFieldCutShort)
{
    ExpectRefused(Bytes({0x05, 0x00}), false);
}

TEST_F(SetupSecureDamagedTest, FirstLengthRunsPastTheEnd)
{
    ExpectRefused(LengthField(100) + "only a few bytes", false);
}

TEST_F(SetupSecureDamagedTest, HugeLengthIsRefusedBeforeAnythingIsAllocated)
{
    ExpectRefused(LengthField(0xFFFFFFF0u) + std::string(20, 'A'), false);
}

TEST_F(SetupSecureDamagedTest, TruncatedInsideTheBypassRecord)
{
    std::string good = ReadRaw(Dat());
    Records records = Split(good);
    ExpectRefused(Record(records.r1) + Record(records.r2) + LengthField(40) + "cut", true);
}

TEST_F(SetupSecureDamagedTest, FileEndsAfterRecordOne)
{
    Records records = Split(ReadRaw(Dat()));
    ExpectRefused(Record(records.r1), true);
}

TEST_F(SetupSecureDamagedTest, GarbageBytes)
{
    std::string garbage;
    unsigned int x = 12345;
    for (int i = 0; i < 300; ++i) {
        x = x * 1103515245u + 12345u;
        garbage += static_cast<char>((x >> 16) & 0xFF);
    }
    garbage[3] = '\x7F';   // makes the first length far larger than the file
    ExpectRefused(garbage, false);
}

// A settings record that does not decrypt would read as all zeros and switch
// the log-on and encryption methods: it is the damaged file it is.
TEST_F(SetupSecureDamagedTest, ASettingsRecordThatDoesNotDecryptIsAFileError)
{
    Records records = Split(ReadRaw(Dat()));
    std::string changed = records.r1;
    changed[10] = changed[10] == 'A' ? 'B' : 'A';
    const std::string image = Record(changed) + Record(records.r2) + Record(records.r3);
    ASSERT_TRUE(WriteRaw(Dat(), image));
    CSetupSecure::tagSecureSettings s = {};
    ExpectFileError([&] { m_secure.GetAppSettings(s); });
    EXPECT_EQ(image, ReadRaw(Dat()));
}

TEST_F(SetupSecureDamagedTest, MissingFileIsAFileNotFoundError)
{
    ASSERT_TRUE(DeleteFileW(Dat().ToWide().c_str()));
    CSetupSecure::tagSecureSettings s = {};
    try {
        m_secure.GetAppSettings(s);
        ADD_FAILURE() << "a missing file was read";
    } catch (const CFileException& e) {
        EXPECT_EQ(CFileException::fileNotFound, e.m_cause);
    }
    EXPECT_THROW(m_secure.SetAppSettings(s), CFileException);
    EXPECT_THROW(m_secure.SetBackupBypassKey("K"), CFileException);
    EXPECT_FALSE(CSetupSecure::IsFileExist(Dat(), 0));   // not created by the writes
}

// ---- interrupted rewrites -----------------------------------------------

// One failing step of the safe rewrite, and the file system that makes it fail.
struct RewriteFault
{
    const char* step;
    void (*arm)(CFaultyFileSystem& fs);
};

const RewriteFault kRewriteFaults[] = {
    {"temporary not created", [](CFaultyFileSystem& fs) { fs.Watch(L".~tmp"); fs.Fail(CFaultyFileSystem::create, ERROR_WRITE_PROTECT); }},
    {"write takes nothing", [](CFaultyFileSystem& fs) { fs.LimitWrites(0, 0); }},
    {"disk full", [](CFaultyFileSystem& fs) { fs.LimitWrites(0, ERROR_DISK_FULL); }},
    {"flush fails", [](CFaultyFileSystem& fs) { fs.Fail(CFaultyFileSystem::flush, ERROR_IO_DEVICE); }},
    {"replace fails", [](CFaultyFileSystem& fs) { fs.Fail(CFaultyFileSystem::move, ERROR_IO_DEVICE); }},
};

class SetupSecureFaultTest : public SetupSecureTest, public ::testing::WithParamInterface<RewriteFault>
{
};

TEST_P(SetupSecureFaultTest, FailedRewriteLeavesTheOldFileAndTheBypassKey)
{
    m_secure.SetBackupBypassKey("KEEP-THIS-KEY");
    std::string before = ReadRaw(Dat());
    CFaultyFileSystem faulty;
    GetParam().arm(faulty);
    {
        CFileSystemOverride use(faulty);
        CSetupSecure::tagSecureSettings s = {1, 1, 1, 1, 1, 1};
        EXPECT_THROW(m_secure.SetAppSettings(s), CFileException);
        EXPECT_THROW(m_secure.SetBackupBypassKey("LOST"), CFileException);
        EXPECT_THROW(m_secure.CreateSetupSecure(Dat()), CFileException);
    }
    EXPECT_EQ(before, ReadRaw(Dat()));
    EXPECT_EQ(CString("KEEP-THIS-KEY"), m_secure.GetBackupBypassKey());
    ExpectSettings(0, 0, 0, 1, 1, 1);
    EXPECT_EQ(1u, m_folder.Entries().size());   // no temporary file left behind
}

INSTANTIATE_TEST_SUITE_P(EveryStep, SetupSecureFaultTest, ::testing::ValuesIn(kRewriteFaults));

TEST_F(SetupSecureTest, DiskFullIsToldApartFromOtherWriteErrors)
{
    CFaultyFileSystem faulty;
    faulty.LimitWrites(0, ERROR_DISK_FULL);
    CFileSystemOverride use(faulty);
    try {
        m_secure.SetBackupBypassKey("K");
        ADD_FAILURE() << "the write succeeded on a full disk";
    } catch (const CFileException& e) {
        EXPECT_EQ(CFileException::diskFull, e.m_cause);
    }
}

TEST_F(SetupSecureTest, ShortWritesAreCompletedByTheWriteLoop)
{
    CFaultyFileSystem faulty;
    faulty.writeChunk = 3;
    {
        CFileSystemOverride use(faulty);
        m_secure.SetBackupBypassKey("WRITTEN IN PIECES");
        CSetupSecure::tagSecureSettings s = {0, 1, 1, 0, 0, 1};
        m_secure.SetAppSettings(s);
    }
    EXPECT_GT(faulty.Calls(CFaultyFileSystem::write), 10);
    EXPECT_EQ(CString("WRITTEN IN PIECES"), m_secure.GetBackupBypassKey());
    ExpectSettings(0, 1, 1, 0, 0, 1);
}
} // namespace
