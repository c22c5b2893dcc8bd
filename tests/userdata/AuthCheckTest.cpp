// The voice dialog's checks that need no dialog: which purposes a user may
// ask for, the ID and password match, and the bypass key file and its drives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UserDicTestSupport.h"
#include "userdata/AuthCheck.h"
#include "userdata/BypassKeyFile.h"

namespace {

using sonvera_test::CTempFolder;
using sonvera_test::WriteRaw;
using udtest::Texts;
using udtest::UserDicTest;

// --- purposes ---------------------------------------------------------------

struct PurposeCase {
    int group;
    const char* authority;   // log on, encrypt, decrypt
    int purpose;
    int allowed;
};

class PurposeCheck : public ::testing::TestWithParam<PurposeCase> {
protected:
    sonvera_test::CTempFolder m_folder;
};

TEST_P(PurposeCheck, FollowsTheUsersRecord)
{
    const PurposeCase& c = GetParam();
    CAppUserDic users;
    users.SetUserDicFilePath(m_folder.File("users.dic"));
    ASSERT_EQ(1, users.CreateUser("t", "Taro", "K", "pw", 0, 0, 0, 0, "aaj"));
    ASSERT_EQ(1, users.SetAuthority("Taro", c.authority));
    ASSERT_EQ(1, users.SetGroupInfo("Taro", CString(std::to_string(c.group))));
    EXPECT_EQ(c.allowed, CAuthCheck::IsUserAllowed(users, "taro", c.purpose));
    EXPECT_EQ(0, CAuthCheck::IsUserAllowed(users, "Hanako", c.purpose));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PurposeCheck,
    ::testing::Values(PurposeCase{0, "100", 0, 1}, PurposeCase{0, "011", 0, 0},   // Logon
                      PurposeCase{0, "010", 1, 1}, PurposeCase{0, "101", 1, 0},   // Encrypt
                      PurposeCase{0, "001", 2, 1}, PurposeCase{0, "110", 2, 0},   // Decrypt
                      PurposeCase{0, "000", 3, 1}, PurposeCase{2, "000", 3, 1},   // Setting
                      PurposeCase{1, "111", 3, 0},
                      PurposeCase{1, "000", 4, 1},                                // User
                      PurposeCase{0, "111", 5, 0}, PurposeCase{0, "111", -1, 0}));

// --- password -----------------------------------------------------------------

TEST_F(UserDicTest, PasswordMatchesIdInAnyCaseButOnlyTheStoredPassword)
{
    AddAlice();
    EXPECT_EQ(CAuthCheck::passwordMatches, CAuthCheck::CheckPassword(m_dic, "aLiCe", "Secret"));
    EXPECT_EQ(CAuthCheck::passwordDiffers, CAuthCheck::CheckPassword(m_dic, "Alice", "secret"));
    EXPECT_EQ(CAuthCheck::passwordDiffers, CAuthCheck::CheckPassword(m_dic, "Alice", ""));
    EXPECT_EQ(CAuthCheck::passwordNoSuchUser, CAuthCheck::CheckPassword(m_dic, "Bob", "Secret"));
    EXPECT_EQ(CAuthCheck::passwordNoSuchUser, CAuthCheck::CheckPassword(m_dic, "", ""));
}

// --- bypass key drives ----------------------------------------------------------

UINT FakeDrives(const char* root)
{
    switch (root[0]) {
    case 'A':
        return DRIVE_REMOVABLE;
    case 'C':
        return DRIVE_FIXED;
    case 'D':
        return DRIVE_CDROM;
    case 'F':
        return DRIVE_REMOTE;
    case 'Z':
        return std::string(root) == "Z:\\" ? DRIVE_REMOVABLE : DRIVE_UNKNOWN;
    default:
        return DRIVE_NO_ROOT_DIR;
    }
}

UINT NoDrives(const char*)
{
    return DRIVE_NO_ROOT_DIR;
}

TEST(BypassKeyDrives, OnlyRemovableAndCdRomDrivesAreListedInLetterOrder)
{
    CStringArray lines;
    lines.Add("left over");
    CBypassKeyFile::ListKeyDrives(lines, FakeDrives);
    EXPECT_EQ((std::vector<std::string>{"(A:) Removable Drive", "(D:) CD-ROM Drive", "(Z:) Removable Drive"}),
              Texts(lines));
    CBypassKeyFile::ListKeyDrives(lines, NoDrives);
    EXPECT_EQ(0, lines.GetSize());
}

struct KeyPathCase {
    const char* line;
    int ok;
    const char* path;
};

class BypassKeyPath : public ::testing::TestWithParam<KeyPathCase> {};

TEST_P(BypassKeyPath, ComesFromTheLettersBeforeTheFirstColon)
{
    CString path = "previous";
    EXPECT_EQ(GetParam().ok, CBypassKeyFile::KeyPathFromLine(GetParam().line, path));
    EXPECT_EQ(GetParam().path, path.str());
}

INSTANTIATE_TEST_SUITE_P(Cases, BypassKeyPath,
                         ::testing::Values(KeyPathCase{"(E:) Removable Drive", 1, "E:\\marzet.key"},
                                           KeyPathCase{"(Q:) CD-ROM Drive", 1, "Q:\\marzet.key"},
                                           KeyPathCase{"x:y:z", 1, "x:\\marzet.key"},
                                           KeyPathCase{":E", 0, ""},
                                           KeyPathCase{"no colon", 0, ""},
                                           KeyPathCase{"", 0, ""}));

// --- bypass key file --------------------------------------------------------------

struct KeyFileCase {
    const char* name;
    const char* contents;   // nullptr: no file
    const char* key;
    CBypassKeyFile::KeyCheck expected;
};

class BypassKeyFileCheck : public ::testing::TestWithParam<KeyFileCase> {};

TEST_P(BypassKeyFileCheck, WholeFileMustEqualTheStoredKey)
{
    const KeyFileCase& c = GetParam();
    CTempFolder folder;
    const CString path = folder.File("marzet.key");
    if (c.contents != nullptr) {
        ASSERT_TRUE(WriteRaw(path.str(), c.contents));
    }
    EXPECT_EQ(c.expected, CBypassKeyFile::CheckKeyFile(path, c.key));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BypassKeyFileCheck,
    ::testing::Values(KeyFileCase{"same", "Ab+9/xYz==", "Ab+9/xYz==", CBypassKeyFile::keyMatches},
                      KeyFileCase{"line end after", "Ab+9/xYz==\r\n", "Ab+9/xYz==", CBypassKeyFile::keyDiffers},
                      KeyFileCase{"other case", "ab+9/xyz==", "Ab+9/xYz==", CBypassKeyFile::keyDiffers},
                      KeyFileCase{"shorter", "Ab+9", "Ab+9/xYz==", CBypassKeyFile::keyDiffers},
                      KeyFileCase{"empty file", "", "Ab+9/xYz==", CBypassKeyFile::keyDiffers},
                      KeyFileCase{"no key made", "", "", CBypassKeyFile::keyDiffers},
                      KeyFileCase{"no file", nullptr, "Ab+9/xYz==", CBypassKeyFile::keyMissing}),
    [](const ::testing::TestParamInfo<KeyFileCase>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            ch = ch == ' ' ? '_' : ch;
        return name;
    });

}  // namespace
