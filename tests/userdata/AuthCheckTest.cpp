// The voice dialog's checks that need no dialog: which purposes a user may
// ask for, the ID and password match, and the bypass key file and its drives.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UserDataTestSupport.h"
#include "userdata/AuthCheck.h"
#include "userdata/BypassKeyFile.h"

namespace {

using sonvera_test::Items;
using sonvera_test::UserDicTest;

TEST_F(UserDicTest, PurposesFollowTheUsersRecordAndThePasswordMustMatch)
{
    ASSERT_EQ(1, m_dic.CreateUser("t", "Taro", "K", "pw", 0, 0, 0, 0, "aaj"));
    const struct {
        const char* group;
        const char* authority;   // log on, encrypt, decrypt
        int purpose, allowed;
    } cases[] = {
        {"0", "100", 0, 1}, {"0", "011", 0, 0},   // Logon
        {"0", "010", 1, 1}, {"0", "101", 1, 0},   // Encrypt
        {"0", "001", 2, 1}, {"0", "110", 2, 0},   // Decrypt
        {"0", "000", 3, 1}, {"2", "000", 3, 1}, {"1", "111", 3, 0},   // Setting: never group 1
        {"1", "000", 4, 1},                       // User: always
        {"0", "111", 5, 0}, {"0", "111", -1, 0},  // anything else: never
    };
    for (const auto& c : cases) {
        ASSERT_EQ(1, m_dic.SetAuthority("Taro", c.authority));
        ASSERT_EQ(1, m_dic.SetGroupInfo("Taro", c.group));
        EXPECT_EQ(c.allowed, CAuthCheck::IsUserAllowed(m_dic, "taro", c.purpose)) << c.authority << " " << c.purpose;
        EXPECT_EQ(0, CAuthCheck::IsUserAllowed(m_dic, "Hanako", c.purpose));
    }

    // The ID matches in any case, the password only as stored.
    AddAlice();
    EXPECT_EQ(CAuthCheck::passwordMatches, CAuthCheck::CheckPassword(m_dic, "aLiCe", "Secret"));
    EXPECT_EQ(CAuthCheck::passwordDiffers, CAuthCheck::CheckPassword(m_dic, "Alice", "secret"));
    EXPECT_EQ(CAuthCheck::passwordNoSuchUser, CAuthCheck::CheckPassword(m_dic, "Bob", "Secret"));
}

UINT FakeDrives(const char* root)
{
    const std::string r = root;
    if (r == "A:\\" || r == "Z:\\")
        return DRIVE_REMOVABLE;
    return r == "D:\\" ? DRIVE_CDROM : r == "C:\\" ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
}

// The thread's error mode at the last open of a file.
class CErrorModeAtOpen : public CWin32FileSystem {
public:
    HANDLE Open(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) override
    {
        mode = GetThreadErrorMode();
        return CWin32FileSystem::Open(path, access, share, disposition, flags);
    }
    DWORD mode = 0;
};

TEST(BypassKeyFile, DrivesLinesAndTheKeyFile)
{
    CStringArray lines;
    lines.Add("left over");
    CBypassKeyFile::ListKeyDrives(lines, FakeDrives);
    EXPECT_EQ((std::vector<std::string>{"(A:) Removable Drive", "(D:) CD-ROM Drive", "(Z:) Removable Drive"}),
              Items(lines));

    const struct {
        const char* line;
        int ok;
        const char* path;
    } cases[] = {{"(E:) Removable Drive", 1, "E:\\marzet.key"}, {"x:y:z", 1, "x:\\marzet.key"},
                 {":E", 0, ""}, {"no colon", 0, ""}, {"", 0, ""}};
    for (const auto& c : cases) {
        CString path = "previous";
        EXPECT_EQ(c.ok, CBypassKeyFile::KeyPathFromLine(c.line, path)) << c.line;
        EXPECT_EQ(c.path, path.str());
    }

    // The whole file must equal the stored key. No file is told so before
    // the stored key is read: damaged settings that hold it are no matter.
    const struct {
        const char* contents;   // nullptr: no file
        const char* key;        // nullptr: unreadable
        CBypassKeyFile::KeyCheck expected;
    } files[] = {
        {"Ab+9/xYz==", "Ab+9/xYz==", CBypassKeyFile::keyMatches},
        {"Ab+9/xYz==\r\n", "Ab+9/xYz==", CBypassKeyFile::keyDiffers},   // a line end after the key
        {"ab+9/xyz==", "Ab+9/xYz==", CBypassKeyFile::keyDiffers},
        {"Ab+9", "Ab+9/xYz==", CBypassKeyFile::keyDiffers},
        {"", "", CBypassKeyFile::keyDiffers},                           // no key made yet
        {nullptr, nullptr, CBypassKeyFile::keyMissing},
    };
    for (const auto& c : files) {
        sonvera_test::CTempFolder folder;
        const CString path = folder.File("marzet.key");
        if (c.contents != nullptr) {
            ASSERT_TRUE(sonvera_test::WriteRaw(path.str(), c.contents));
        }
        const auto storedKey = [&c] { return c.key != nullptr ? CString(c.key) : throw CFileException(); };
        EXPECT_EQ(c.expected, CBypassKeyFile::CheckKeyFile(path, storedKey))
            << (c.contents ? c.contents : "no file");
    }

    // A drive listed without its medium (an empty card-reader slot) is told by
    // the "no key" message alone, not first by the system's "insert a disk" box.
    const DWORD before = GetThreadErrorMode();
    CErrorModeAtOpen opens;
    {
        CFileSystemOverride scope(opens);
        sonvera_test::CTempFolder folder;
        EXPECT_EQ(CBypassKeyFile::keyMissing,
                  CBypassKeyFile::CheckKeyFile(folder.File("marzet.key"), [] { return CString("K"); }));
    }
    EXPECT_NE(0u, opens.mode & SEM_FAILCRITICALERRORS);
    EXPECT_EQ(before, GetThreadErrorMode());
}

}  // namespace
