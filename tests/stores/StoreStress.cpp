// sonvera-store-stress: a fuzz and stress run over the stores and the
// recorder, not a test: damaged and hostile files, random operations with
// hostile arguments, a file call failing at a random step, and the recorder
// driven in random order. It checks that nothing crashes, that only the file
// layer's exception (or a misuse caught as std::logic_error, which must not
// happen here) comes out, and that an operation that fails leaves its store
// as it was.
//
//   sonvera-store-stress [rounds] [seed]      (default 2000 rounds, seed 1)
//
// Prints how many operations ran, how many failed with a file error, and any
// broken promise; the exit code is the number of broken promises (0: none).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "Setup/SetupSecure.h"
#include "fw/FileException.h"
#include "fw/FileSystem.h"
#include "fw/RollbackJournal.h"
#include "tests/support/Bytes.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RawFile.h"
#include "tests/support/TempFolder.h"
#include "userdata/AppUserDic.h"
#include "userdata/AppUserVoiceDic.h"
#include "voice/WaveRecorder.h"

namespace {

using sonvera_test::CFaultyFileSystem;
using sonvera_test::ReadRaw;
using sonvera_test::WriteRaw;

std::mt19937 g_random;
long g_operations = 0;
long g_fileErrors = 0;
long g_broken = 0;

int Below(int n) { return static_cast<int>(g_random() % static_cast<unsigned>(n)); }

void Broken(const std::string& what)
{
    ++g_broken;
    std::printf("BROKEN: %s\n", what.c_str());
}

// Texts a hostile caller hands in: empty, separators, long, Shift-JIS lead
// bytes cut off, and ordinary ones.
CString HostileText()
{
    static const char* const kTexts[] = {"", ";", ",", "a;b", "u1", "U1", "aaj", "ABJ", "\x82", "\x93\xfa\x96\x7b",
                                         "x;y;z;w;v;u;t;s", "\xff\xff", "afj,aaj,abj"};
    if (Below(8) == 0)
        return CString(std::string(static_cast<size_t>(Below(600)), static_cast<char>('a' + Below(26))));
    return kTexts[Below(sizeof kTexts / sizeof kTexts[0])];
}

// A file damaged the ways a disk or a person damages one.
std::string Damaged(std::string bytes)
{
    const int damage = Below(6);
    if (bytes.empty() || damage == 0)
        return bytes + sonvera_test::PatternBytes(static_cast<size_t>(Below(300)), g_random());
    const size_t at = g_random() % bytes.size();
    switch (damage) {
    case 1:
        bytes[at] = static_cast<char>(bytes[at] ^ (1 << Below(8)));
        break;
    case 2:
        bytes.resize(at);
        break;
    case 3:
        if (at + 4 <= bytes.size())
            bytes.replace(at, 4, sonvera_test::WordBytes(g_random()));
        break;
    case 4:
        bytes.insert(at, sonvera_test::PatternBytes(static_cast<size_t>(1 + Below(50)), g_random()));
        break;
    default:
        bytes = sonvera_test::PatternBytes(static_cast<size_t>(Below(3000)), g_random());
        break;
    }
    return bytes;
}

// A file system that fails one call of a random step, or none.
void ArmRandomFault(CFaultyFileSystem& fs)
{
    static const CFaultyFileSystem::Step kSteps[] = {
        CFaultyFileSystem::open, CFaultyFileSystem::create, CFaultyFileSystem::read,  CFaultyFileSystem::write,
        CFaultyFileSystem::flush, CFaultyFileSystem::close, CFaultyFileSystem::move, CFaultyFileSystem::remove};
    static const DWORD kErrors[] = {ERROR_IO_DEVICE, ERROR_DISK_FULL, ERROR_WRITE_PROTECT, ERROR_NETNAME_DELETED};
    if (Below(3) == 0)
        return;
    fs.FailCall(kSteps[Below(sizeof kSteps / sizeof kSteps[0])], 1 + Below(6), kErrors[Below(4)]);
    if (Below(4) == 0)
        fs.writeChunk = static_cast<DWORD>(1 + Below(64));
}

// Runs one operation under a random fault: a file error is allowed and then
// the store must be as it was before.
void Operate(const char* what, const CString& store, const std::function<void()>& operation,
             const std::function<void()>& settle = nullptr)
{
    ++g_operations;
    const std::string before = ReadRaw(store);
    CFaultyFileSystem fs;
    ArmRandomFault(fs);
    try {
        CFileSystemOverride scope(fs);
        operation();
        return;
    } catch (const CFileException&) {
        ++g_fileErrors;
    } catch (const std::exception& e) {
        Broken(std::string(what) + ": unexpected exception " + e.what());
        return;
    }
    if (settle)
        settle();
    if (ReadRaw(store) != before)
        Broken(std::string(what) + ": a failed operation changed its store");
}

void StressUserDictionary(const CString& folder)
{
    const CString path = folder + "\\users.dic";
    CAppUserDic seed;
    seed.SetUserDicFilePath(path);
    for (int i = 0; i < 4; ++i)
        seed.CreateUser("text", CString(("u" + std::to_string(i)).c_str()), "KEY", "pw", 0, 1, 1, 1, "aaj,abj");
    if (Below(2) == 0)
        WriteRaw(path, Damaged(ReadRaw(path)));

    CAppUserDic dic;
    try {
        dic.SetUserDicFilePath(path);
    } catch (const CFileException&) {
        ++g_fileErrors;
        return;
    }
    for (int n = 0; n < 6; ++n) {
        const CString id = Below(2) ? CString(("u" + std::to_string(Below(5))).c_str()) : HostileText();
        const CString value = HostileText();
        switch (Below(10)) {
        case 0: Operate("CreateUser", path, [&] { dic.CreateUser(value, id, "K", value, Below(3), 1, 0, 1, value); }); break;
        case 1: Operate("SetPassWord", path, [&] { dic.SetPassWord(id, value); }); break;
        case 2: Operate("DelUserWholeInfo", path, [&] { dic.DelUserWholeInfo(id); }); break;
        case 3: Operate("SetNick", path, [&] { dic.SetNick(id, value); }); break;
        case 4: Operate("DelNick", path, [&] { dic.DelNick(id, value); }); break;
        case 5: Operate("SetUserWholeInfo", path, [&] { dic.SetUserWholeInfo(id + ";" + value); }); break;
        case 6: Operate("SetUser", path, [&] { dic.SetUser(value, id, value, Below(2), 1, 1, 1); }); break;
        default: {
            ++g_operations;
            CAppUserDic::USER_INFORMATION info;
            CStringArray list;
            dic.GetUser(id, info);
            dic.VerifyNick(id, value);
            dic.VerifyPassWord(id, value);
            dic.GetNickList(id, list);
            dic.GetUserIDList(list);
            break;
        }
        }
    }
}

void StressVoiceDictionary(const CString& folder)
{
    const CString path = folder + "\\marzetuvd.dat";
    CAppUserVoiceDic voice;
    voice.SetVoiceDicPath(folder);
    for (int i = 0; i < 3; ++i)
        voice.AddUser(CString(("u" + std::to_string(i)).c_str()), "K");
    if (Below(2) == 0)
        WriteRaw(path, Damaged(ReadRaw(path)));
    const char* const kNicks[] = {"aaj", "ABJ", "acj", "agj", ""};
    // A touch without a change puts back what a failed change left half done.
    const auto settle = [&] { voice.DelUserVoice("nobody", "K", "aaj"); };
    for (int n = 0; n < 6; ++n) {
        const CString id = Below(2) ? CString(("u" + std::to_string(Below(4))).c_str()) : HostileText();
        const char* nick = kNicks[Below(5)];
        WriteRaw(folder + "\\work\\" + nick + ".bin",
                 sonvera_test::PatternBytes(static_cast<size_t>(Below(2) ? Below(21000) : 20655), g_random()));
        switch (Below(5)) {
        case 0: Operate("AddUser", path, [&] { voice.AddUser(id, HostileText()); }, settle); break;
        case 1: Operate("DelUser", path, [&] { voice.DelUser(id, "K"); }, settle); break;
        case 2: Operate("SetUserVoice", path, [&] { voice.SetUserVoice(id, "K", nick); }, settle); break;
        case 3: Operate("DelUserVoice", path, [&] { voice.DelUserVoice(id, "K", nick); }, settle); break;
        default: Operate("GetUserVoice", path, [&] { voice.GetUserVoice(id, "K", nick); }, settle); break;
        }
    }
}

void StressSecureSettings(const CString& folder)
{
    const CString path = folder + "\\marzet.dat";
    CSetupSecure secure;
    secure.SetSetupSecureFilePath(path);
    secure.SetBackupBypassKey("FIRST KEY OF SOME LENGTH");
    if (Below(2) == 0)
        WriteRaw(path, Damaged(ReadRaw(path)));
    for (int n = 0; n < 6; ++n) {
        switch (Below(4)) {
        case 0: {
            CSetupSecure::tagSecureSettings s = {Below(10), Below(2), Below(2), Below(2), Below(2), Below(2)};
            Operate("SetAppSettings", path, [&] { secure.SetAppSettings(s); });
            break;
        }
        case 1: Operate("SetBackupBypassKey", path, [&] { secure.SetBackupBypassKey(HostileText()); }); break;
        case 2: {
            CSetupSecure::tagSecureSettings s = {};
            Operate("GetAppSettings", path, [&] { secure.GetAppSettings(s); });
            break;
        }
        default: Operate("GetBackupBypassKey", path, [&] { secure.GetBackupBypassKey(); }); break;
        }
    }
}

// A wave-in device that answers at random, the way drivers fail.
class CRandomWaveIn : public IWaveInDevice
{
public:
    MMRESULT Open(HWAVEIN* device, const WAVEFORMATEX*) override
    {
        *device = reinterpret_cast<HWAVEIN>(0x42);
        return Answer();
    }
    MMRESULT PrepareHeader(HWAVEIN, WAVEHDR* header) override { return Touch(header); }
    MMRESULT UnprepareHeader(HWAVEIN, WAVEHDR*) override { return Answer(); }
    MMRESULT AddBuffer(HWAVEIN, WAVEHDR* header) override { return Touch(header); }
    MMRESULT Start(HWAVEIN) override { return Answer(); }
    MMRESULT Stop(HWAVEIN) override { return Answer(); }
    MMRESULT Reset(HWAVEIN) override { return Answer(); }
    MMRESULT Close(HWAVEIN) override { return Answer(); }

private:
    static MMRESULT Answer() { return Below(4) == 0 ? MMSYSERR_ERROR : MMSYSERR_NOERROR; }
    // The driver writes the whole buffer it was given: the header must stay
    // inside the block (a write past it would corrupt the heap).
    static MMRESULT Touch(WAVEHDR* header)
    {
        if (header->lpData != nullptr && header->dwBufferLength > 0) {
            header->lpData[0] = 1;
            header->lpData[header->dwBufferLength - 1] = 1;
        }
        return Answer();
    }
};

class CRecorderOver : public CWaveRecorder
{
public:
    explicit CRecorderOver(IWaveInDevice& device) : CWaveRecorder(3000, 100, device) {}
};

void StressRecorder()
{
    CRandomWaveIn device;
    CRecorderOver recorder(device);
    for (int n = 0; n < 30; ++n) {
        ++g_operations;
        switch (Below(7)) {
        case 0: recorder.SetDuration(Below(6) - 1); break;
        case 1: recorder.AllocBuffer(); break;
        case 2: recorder.FreeBuffer(); break;
        case 3: recorder.Start(); break;
        case 4: recorder.Stop(); break;
        case 5: recorder.PrepareHeader(); break;
        default: {
            const int count = recorder.GetSampleCount();
            for (int i : {-1, 0, count - 1, count, count + 1, 200000})
                recorder.GetSample(i);
            break;
        }
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    g_random.seed(argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1u);
    const DWORD start = GetTickCount();
    for (int round = 0; round < rounds; ++round) {
        sonvera_test::CTempFolder folder;
        CreateDirectoryA(folder.File("work"), nullptr);
        try {
            switch (round % 4) {
            case 0: StressUserDictionary(folder.Path()); break;
            case 1: StressVoiceDictionary(folder.Path()); break;
            case 2: StressSecureSettings(folder.Path()); break;
            default: StressRecorder(); break;
            }
        } catch (const CFileException&) {
            ++g_fileErrors;   // setting a round up on a damaged file
        } catch (const std::exception& e) {
            Broken(std::string("round ") + std::to_string(round) + ": unexpected exception " + e.what());
        }
    }
    std::printf("%d rounds, %ld operations, %ld file errors (injected or damage), %ld broken promises, %lu s\n",
                rounds, g_operations, g_fileErrors, g_broken, (GetTickCount() - start) / 1000);
    return static_cast<int>(g_broken);
}
