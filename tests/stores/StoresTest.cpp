// What every store (the user and voice dictionaries, marzet.dat) keeps to: a create
// never replaces, two hosts at once lose no update (marzet.ini neither), a cut-off
// rewrite's leftovers go.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "Setup/IniFile.h"
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

using namespace sonvera_test;

// With the cross-process lock taken out, every store failed every run at this
// count (the voice dictionary passed at 40).
const int kChanges = 80;

CString Name(char host, int i) { return CString(std::string(1, host) + std::to_string(i)); }

CSetupSecure::tagSecureSettings SettingsNumber(int i)
{
    return {i % 10, (i / 10) % 10, i % 2, 1, 0, 1};
}

std::string Model(char host, int change) { return PatternBytes(500 + change, host * 1000 + change); }

// A store: its file, the call that points an object at it (creating it when
// missing), the changes one host makes, and the check that both hosts' are there.
struct Store {
    const char* file;
    void (*open)(const CString& folder);
    void (*change)(const CString& folder, char host);
    void (*expectBoth)(const CString& folder);
};

// Host a changes the settings, host b the bypass key: a rewrite made from a
// stale read brings back the other host's old value.
void ChangeSecureSettings(const CString& folder, char host)
{
    CSetupSecure secure;
    secure.SetSetupSecureFilePath(folder + "\\marzet.dat");
    for (int i = 0; i < kChanges; ++i) {
        if (host == 'a') {
            CSetupSecure::tagSecureSettings back = {};
            secure.GetAppSettings(back);
            const CSetupSecure::tagSecureSettings last = SettingsNumber(i - 1);
            ASSERT_TRUE(i == 0 || std::memcmp(&back, &last, sizeof back) == 0) << "settings " << i - 1 << " lost";
            secure.SetAppSettings(SettingsNumber(i));
        } else {
            ASSERT_TRUE(i == 0 || secure.GetBackupBypassKey() == Name(host, i - 1)) << "key " << i - 1 << " lost";
            secure.SetBackupBypassKey(Name(host, i));
        }
    }
}

void ExpectBothSecureSettings(const CString& folder)
{
    CSetupSecure secure;
    secure.SetSetupSecureFilePath(folder + "\\marzet.dat");
    const CSetupSecure::tagSecureSettings expected = SettingsNumber(kChanges - 1);
    CSetupSecure::tagSecureSettings back = {};
    secure.GetAppSettings(back);
    EXPECT_EQ(0, std::memcmp(&back, &expected, sizeof back));
    EXPECT_EQ(Name('b', kChanges - 1), secure.GetBackupBypassKey());
}

// A rewrite made from a stale list loses the other host's users.
void AddUsers(const CString& folder, char host)
{
    CAppUserDic dic;
    dic.SetUserDicFilePath(folder + "\\users.dic");
    for (int i = 0; i < kChanges; ++i)
        ASSERT_EQ(1, dic.CreateUser("text", Name(host, i), "KEY", "pw", 0, 1, 1, 1, "aaj")) << i;
}

void ExpectBothUsers(const CString& folder)
{
    CAppUserDic dic;
    dic.SetUserDicFilePath(folder + "\\users.dic");
    CStringArray ids;
    dic.GetUserIDList(ids);
    // Each host adds users of its own names only: one lost is one fewer.
    EXPECT_EQ(2 * kChanges, ids.GetSize());
}

// A user every fourth change and new models between: two additions at once
// must not take one slot, nor one host's crash recovery undo the other's change.
void ChangeModels(const CString& folder, char host)
{
    CAppUserVoiceDic voice;
    voice.SetVoiceDicPath(folder);
    const char* nick = host == 'a' ? "aaj" : "abj";
    for (int i = 0; i < kChanges; ++i) {
        if (i % 4 == 0) {
            voice.AddUser(Name(host, i / 4), "KEY");
            continue;
        }
        ASSERT_TRUE(WriteRaw(folder + "\\work\\" + nick + ".bin", Model(host, i)));
        voice.SetUserVoice(Name(host, i / 4), "KEY", nick);
    }
}

void ExpectBothModels(const CString& folder)
{
    CAppUserVoiceDic voice;
    voice.SetVoiceDicPath(folder);
    for (char host : {'a', 'b'}) {
        const char* nick = host == 'a' ? "aaj" : "abj";
        for (int user = 0; user < kChanges / 4; ++user) {
            voice.GetUserVoice(Name(host, user), "KEY", nick);
            EXPECT_TRUE(Model(host, user * 4 + 3) == ReadRaw(folder + "\\work\\" + nick + ".bin"))
                << Name(host, user).str() << " lost its last model";
        }
    }
}

// Host a records the last user, host b the skin: a rewrite of the file from a
// stale read brings back the other host's old value, and the words written
// before either began are read whole while the other host rewrites the file.
void ChangeIniSettings(const CString& folder, char host)
{
    CIniFile ini(folder + "\\marzet.ini");
    const char* section = host == 'a' ? "DESK_WARDEN" : "VOICE_RECOG_DLL";
    for (int i = 0; i < kChanges; ++i) {
        ASSERT_EQ(CString("Sesame"), ini.ReadString("WORD_LIST", "aaj", "")) << "words lost at " << i;
        ASSERT_TRUE(i == 0 || ini.ReadString(section, "Value", "") == Name(host, i - 1)) << i - 1 << " lost";
        ASSERT_NE(0, ini.WriteString(section, "Value", Name(host, i)));
    }
}

void ExpectBothIniSettings(const CString& folder)
{
    CIniFile ini(folder + "\\marzet.ini");
    EXPECT_EQ(Name('a', kChanges - 1), ini.ReadString("DESK_WARDEN", "Value", ""));
    EXPECT_EQ(Name('b', kChanges - 1), ini.ReadString("VOICE_RECOG_DLL", "Value", ""));
    EXPECT_EQ(CString("Sesame"), ini.ReadString("WORD_LIST", "aaj", ""));
}

const Store kStores[] = {
    {"users.dic", [](const CString& folder) { CAppUserDic().SetUserDicFilePath(folder + "\\users.dic"); },
     AddUsers, ExpectBothUsers},
    {"marzetuvd.dat", [](const CString& folder) { CAppUserVoiceDic().SetVoiceDicPath(folder); }, ChangeModels,
     ExpectBothModels},
    {"marzet.dat", [](const CString& folder) { CSetupSecure().SetSetupSecureFilePath(folder + "\\marzet.dat"); },
     ChangeSecureSettings, ExpectBothSecureSettings},
};

// marzet.ini is made by its first write, which ChangeAtOnce's open stands for.
const Store kSettingsFile = {
    "marzet.ini",
    [](const CString& folder) { CIniFile(folder + "\\marzet.ini").WriteString("WORD_LIST", "aaj", "Sesame"); },
    ChangeIniSettings, ExpectBothIniSettings};

// Host a (this program) and host b (this program run again for the running
// test) change the store at once.
void ChangeAtOnce(const Store& store, const CString& folder)
{
    if (CSecondHost::IsSecondHost()) {
        store.change(CSecondHost::Folder(), 'b');
        return;
    }
    ASSERT_TRUE(CreateDirectoryA(folder + "\\work", nullptr));
    store.open(folder);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    CSecondHost second((std::string(test->test_suite_name()) + "." + test->name()).c_str(), folder);
    second.Go();
    store.change(folder, 'a');
    ASSERT_EQ(0u, second.Wait()) << "the second host failed";
    store.expectBoth(folder);
}

// A share that blinks during the existence check, or a file another host
// makes between the check and the create: the store is never started anew.
TEST(EveryStore, NeverReplacesAnExistingFileByACreate)
{
    for (const Store& store : kStores) {
        for (DWORD checkError : {DWORD(ERROR_BAD_NETPATH), DWORD(ERROR_FILE_NOT_FOUND)}) {
            CTempFolder folder;
            const std::string precious = PatternBytes(250000, checkError);
            ASSERT_TRUE(WriteRaw(folder.File(store.file), precious));
            CFaultyFileSystem fs;
            fs.Watch(CString(store.file).ToWide().c_str());
            fs.Fail(CFaultyFileSystem::attributes, checkError);
            {
                CFileSystemOverride scope(fs);
                if (checkError == ERROR_FILE_NOT_FOUND)
                    store.open(folder.Path());   // the create finds the file and leaves it
                else
                    EXPECT_THROW(store.open(folder.Path()), CFileException) << store.file;
            }
            EXPECT_TRUE(precious == ReadRaw(folder.File(store.file))) << store.file << " replaced after " << checkError;
        }
    }
}

class TwoHosts : public ::testing::TestWithParam<Store> {};

TEST_P(TwoHosts, ChangingAStoreAtOnceLoseNoUpdate)
{
    CTempFolder folder;
    ChangeAtOnce(GetParam(), folder.Path());
}

INSTANTIATE_TEST_SUITE_P(EveryStore, TwoHosts, ::testing::Values(kStores[0], kStores[1], kStores[2], kSettingsFile),
                         [](const ::testing::TestParamInfo<Store>& info) {
                             std::string file = info.param.file;
                             std::replace(file.begin(), file.end(), '.', '_');
                             return file;
                         });

// A user who may read a store's folder but not write in it (a program folder,
// a read-only share) opens the store that is there: only making it, or
// changing it, takes the lock beside it. (The voice dictionary's open first
// puts back a change a crash cut off, which needs the lock.)
TEST(StoreInAFolderThatMayOnlyBeRead, OpensAsItIs)
{
    for (const Store& store : {kStores[0], kStores[2]}) {
        CTempFolder folder;
        store.open(folder.Path());
        CFaultyFileSystem readOnly;
        readOnly.Watch(folder.Path().ToWide().c_str());
        readOnly.Fail(CFaultyFileSystem::create, ERROR_ACCESS_DENIED);
        CFileSystemOverride scope(readOnly);
        EXPECT_NO_THROW(store.open(folder.Path())) << store.file;
    }
}

// A crash mid-rewrite leaves a temporary copy of the store or model beside it.
TEST(StoreLeftovers, AreGoneTheNextTimeTheStoreIsTouched)
{
    const struct {
        const char* leftover;
        void (*touch)(const CString& folder);
    } cases[] = {
        {"users.dic.~tmp0000BEEF", kStores[0].open},
        {"marzet.dat.~tmp0000BEEF", kStores[2].open},
        {"work\\aaj.bin.~tmp0000BEEF",
         [](const CString& folder) {
             CAppUserVoiceDic voice;
             voice.SetVoiceDicPath(folder);
             voice.AddUser("u", "K");
             voice.GetUserVoice("u", "K", "aaj");
         }},
    };
    for (const auto& c : cases) {
        for (bool storeThere : {false, true}) {
            CTempFolder folder;
            ASSERT_TRUE(CreateDirectoryA(folder.File("work"), nullptr));
            if (storeThere)
                c.touch(folder.Path());
            ASSERT_TRUE(WriteRaw(folder.File(c.leftover), "secret plain text of a cut-off rewrite"));
            c.touch(folder.Path());
            EXPECT_FALSE(Exists(folder.File(c.leftover))) << c.leftover << (storeThere ? " beside the store" : "");
        }
    }
}

} // namespace
