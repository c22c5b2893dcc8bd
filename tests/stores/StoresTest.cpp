// What every store keeps to, the user dictionary, the voice dictionary and
// the secure settings marzet.dat alike:
//   - only "not found" means absent: a failing existence check, or a file
//     that appears between the check and the create, is never replaced;
//   - two hosts changing the same store at once lose no update and get no
//     error (a second process of this program is the second host);
//   - what an interrupted rewrite left beside the store is gone the next time
//     the store is touched.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "Setup/SetupSecure.h"
#include "fw/FileException.h"
#include "fw/FileSystem.h"
#include "tests/support/Bytes.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RawFile.h"
#include "tests/support/SecondHost.h"
#include "tests/support/TempFolder.h"
#include "userdata/AppUserDic.h"
#include "userdata/AppUserVoiceDic.h"

namespace {

using sonvera_test::CFaultyFileSystem;
using sonvera_test::CSecondHost;
using sonvera_test::CTempFolder;
using sonvera_test::ReadRaw;
using sonvera_test::WriteRaw;

const int kChanges = 200;

// A store as a host sets it up: the file it keeps in the application folder
// and the call that points an object at it (and creates it when missing).
struct Store {
    const char* name;
    const char* file;
    void (*open)(const CString& folder);
};

const Store kStores[] = {
    {"user dictionary", "users.dic", [](const CString& folder) { CAppUserDic().SetUserDicFilePath(folder + "\\users.dic"); }},
    {"voice dictionary", "marzetuvd.dat", [](const CString& folder) { CAppUserVoiceDic().SetVoiceDicPath(folder); }},
    {"secure settings", "marzet.dat",
     [](const CString& folder) { CSetupSecure().SetSetupSecureFilePath(folder + "\\marzet.dat"); }},
};

void PrintTo(const Store& store, std::ostream* out) { *out << store.name; }

class StoreTest : public ::testing::TestWithParam<Store> {
protected:
    CString Path() const { return m_folder.File(GetParam().file); }

    CTempFolder m_folder;
};

INSTANTIATE_TEST_SUITE_P(EveryStore, StoreTest, ::testing::ValuesIn(kStores),
                         [](const ::testing::TestParamInfo<Store>& info) {
                             return std::string(info.param.file).substr(0, std::string(info.param.file).find('.'));
                         });

// ---- never replaced by a create -------------------------------------------

// A network share that blinks during the check answers with an error that is
// not "not found": the store must give up, not start again empty.
TEST_P(StoreTest, AFailingExistenceCheckIsAnErrorAndReplacesNothing)
{
    const std::string precious = sonvera_test::PatternBytes(250000, 3);
    ASSERT_TRUE(WriteRaw(Path(), precious));
    CFaultyFileSystem fs;
    fs.Watch(CString(GetParam().file).ToWide().c_str());
    fs.Fail(CFaultyFileSystem::attributes, ERROR_BAD_NETPATH);
    {
        CFileSystemOverride scope(fs);
        EXPECT_THROW(GetParam().open(m_folder.Path()), CFileException);
    }
    EXPECT_TRUE(precious == ReadRaw(Path())) << "the store was replaced";
}

// The file appears between the check and the create (another host made it):
// the create must not replace it.
TEST_P(StoreTest, AFileThatAppearedAfterTheCheckIsKept)
{
    const std::string precious = sonvera_test::PatternBytes(250000, 4);
    ASSERT_TRUE(WriteRaw(Path(), precious));
    CFaultyFileSystem fs;
    fs.Watch(CString(GetParam().file).ToWide().c_str());
    fs.Fail(CFaultyFileSystem::attributes, ERROR_FILE_NOT_FOUND);
    {
        CFileSystemOverride scope(fs);
        try {
            GetParam().open(m_folder.Path());
        } catch (const CFileException&) {
            // Refusing is as good as going on with the file that is there.
        }
    }
    EXPECT_TRUE(precious == ReadRaw(Path())) << "the store was replaced";
}

// ---- two hosts at once ------------------------------------------------------

CString BypassKey(char host, int i) { return CString(std::string(1, host) + "-key-" + std::to_string(i)); }

CSetupSecure::tagSecureSettings SettingsNumber(int i)
{
    CSetupSecure::tagSecureSettings s = {i % 10, (i / 10) % 10, i % 2, 1, 0, 1};
    return s;
}

// Host a changes the settings, host b the bypass key: each rewrite carries
// the other record over, so a rewrite made from a stale read brings back the
// other host's old value.
void ChangeSecureSettings(const CString& folder, char host)
{
    CSetupSecure secure;
    secure.SetSetupSecureFilePath(folder + "\\marzet.dat");
    for (int i = 0; i < kChanges; ++i) {
        if (host == 'a') {
            secure.SetAppSettings(SettingsNumber(i));
            const CSetupSecure::tagSecureSettings expected = SettingsNumber(i);
            CSetupSecure::tagSecureSettings back = {};
            secure.GetAppSettings(back);
            ASSERT_EQ(0, memcmp(&back, &expected, sizeof back)) << i;
        } else {
            secure.SetBackupBypassKey(BypassKey(host, i));
            ASSERT_EQ(BypassKey(host, i), secure.GetBackupBypassKey()) << i;
        }
    }
}

CString UserName(char host, int i) { return CString(std::string(1, host) + std::to_string(i)); }

// Each host adds its own users; a rewrite made from a list read before the
// other host's change loses that host's users.
void AddUsers(const CString& folder, char host)
{
    CAppUserDic dic;
    dic.SetUserDicFilePath(folder + "\\users.dic");
    for (int i = 0; i < kChanges; ++i)
        ASSERT_EQ(1, dic.CreateUser("text", UserName(host, i), "KEY", "pw", 0, 1, 1, 1, "aaj")) << i;
}

std::string Model(char host, int change) { return sonvera_test::PatternBytes(500 + change, host * 1000 + change); }

// Each host adds a user every tenth change and stores a new model for its
// latest user in between; two additions at once must not take the same slot.
void ChangeModels(const CString& folder, char host)
{
    CAppUserVoiceDic voice;
    voice.SetVoiceDicPath(folder);
    const char* nick = host == 'a' ? "aaj" : "abj";
    for (int i = 0; i < kChanges; ++i) {
        const CString user = UserName(host, i / 10);
        if (i % 10 == 0) {
            voice.AddUser(user, "KEY");
            continue;
        }
        ASSERT_TRUE(WriteRaw(folder + "\\work\\" + nick + ".bin", Model(host, i)));
        voice.SetUserVoice(user, "KEY", nick);
    }
}

void Change(const Store& store, const CString& folder, char host)
{
    if (std::string(store.file) == "marzet.dat")
        ChangeSecureSettings(folder, host);
    else if (std::string(store.file) == "users.dic")
        AddUsers(folder, host);
    else
        ChangeModels(folder, host);
}

void ExpectBothHostsChanges(const Store& store, const CString& folder)
{
    if (std::string(store.file) == "marzet.dat") {
        CSetupSecure secure;
        secure.SetSetupSecureFilePath(folder + "\\marzet.dat");
        const CSetupSecure::tagSecureSettings expected = SettingsNumber(kChanges - 1);
        CSetupSecure::tagSecureSettings back = {};
        secure.GetAppSettings(back);
        EXPECT_EQ(0, memcmp(&back, &expected, sizeof back));
        EXPECT_EQ(BypassKey('b', kChanges - 1), secure.GetBackupBypassKey());
    } else if (std::string(store.file) == "users.dic") {
        CAppUserDic dic;
        dic.SetUserDicFilePath(folder + "\\users.dic");
        CStringArray ids;
        dic.GetUserIDList(ids);
        EXPECT_EQ(2 * kChanges, ids.GetSize());
        for (char host : {'a', 'b'})
            for (int i = 0; i < kChanges; ++i)
                EXPECT_LE(0, dic.VerifyUserInfo(UserName(host, i))) << UserName(host, i).str();
    } else {
        CAppUserVoiceDic voice;
        voice.SetVoiceDicPath(folder);
        for (char host : {'a', 'b'}) {
            const char* nick = host == 'a' ? "aaj" : "abj";
            for (int user = 0; user < kChanges / 10; ++user) {
                voice.GetUserVoice(UserName(host, user), "KEY", nick);
                EXPECT_TRUE(Model(host, user * 10 + 9) == ReadRaw(folder + "\\work\\" + nick + ".bin"))
                    << UserName(host, user).str() << " lost its last model";
            }
        }
    }
}

TEST_P(StoreTest, TwoHostsChangingItAtOnceLoseNoUpdate)
{
    if (CSecondHost::IsSecondHost()) {
        Change(GetParam(), CSecondHost::Folder(), 'b');
        return;
    }
    ASSERT_TRUE(CreateDirectoryA(m_folder.File("work"), nullptr));
    GetParam().open(m_folder.Path());
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() +
                             std::string(".") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    CSecondHost second(name.c_str(), m_folder.Path());
    ASSERT_TRUE(second.Started());
    second.Go();
    Change(GetParam(), m_folder.Path(), 'a');
    ASSERT_EQ(0u, second.Wait()) << "the second host failed";
    ExpectBothHostsChanges(GetParam(), m_folder.Path());
}

// ---- leftovers ----------------------------------------------------------------

// A rewrite cut off by a crash leaves its temporary file (a whole copy of the
// store, or of a model) beside the file it was for.
struct Leftover {
    const char* store;
    const char* leftover;
    void (*touch)(const CString& folder);
};

const Leftover kLeftovers[] = {
    {"user dictionary", "users.dic.~tmp0000BEEF",
     [](const CString& folder) { CAppUserDic().SetUserDicFilePath(folder + "\\users.dic"); }},
    {"secure settings", "marzet.dat.~tmp0000BEEF",
     [](const CString& folder) { CSetupSecure().SetSetupSecureFilePath(folder + "\\marzet.dat"); }},
    {"model file", "work\\aaj.bin.~tmp0000BEEF",
     [](const CString& folder) {
         CAppUserVoiceDic voice;
         voice.SetVoiceDicPath(folder);
         voice.AddUser("u", "K");
         WriteRaw(folder + "\\work\\aaj.bin", "model");
         voice.SetUserVoice("u", "K", "aaj");
         voice.GetUserVoice("u", "K", "aaj");
     }},
};

TEST(StoreLeftovers, AreGoneTheNextTimeTheStoreIsTouched)
{
    for (const Leftover& c : kLeftovers) {
        CTempFolder folder;
        ASSERT_TRUE(CreateDirectoryA(folder.File("work"), nullptr));
        ASSERT_TRUE(WriteRaw(folder.File(c.leftover), "secret plain text of a cut-off rewrite"));
        c.touch(folder.Path());
        EXPECT_FALSE(sonvera_test::Exists(folder.File(c.leftover))) << c.store;
    }
}

} // namespace
