// sonvera-userdata-bench: how long the user-data operations a log-on needs
// take on a large installation, used the way a host uses Sonvera.dll.
//
//   sonvera-userdata-bench [users]      (default 1000 users and slots)
//
// Prints, for a dictionary of that many users and a voice dictionary of that
// many slots: loading the user dictionary, VerifyUserInfo of the last user,
// one SetPassWord (a full rewrite under the lock), FindIDPos of the last slot,
// GetUserVoice and SetUserVoice (journaled) of a 20 KB model, and beside them
// what the model update would cost as a rewrite of the voice dictionary
// through a temporary copy, and what taking a store's lock costs. Each figure
// is the median of several runs, with the first run beside it. The target is
// 100 ms each for 1000 users.
#include "Sonvera.h"
#include "host/BenchClock.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

const int kRuns = 7;
const double kTargetMs = 100.0;
const size_t kSlotSize = 125000;
const size_t kModelSize = 20480;

struct Timing {
    double firstMs;
    double medianMs;
};

Timing Measure(const std::function<void()>& step)
{
    std::vector<double> runs;
    for (int i = 0; i < kRuns; ++i) {
        const double start = NowMs();
        step();
        runs.push_back(NowMs() - start);
    }
    const double first = runs[0];
    std::sort(runs.begin(), runs.end());
    return Timing{first, runs[runs.size() / 2]};
}

void Report(const char* what, const Timing& t)
{
    std::printf("%-44s median %9.3f ms   first %9.3f ms   %s\n", what, t.medianMs, t.firstMs,
                t.medianMs <= kTargetMs ? "ok" : "OVER 100 ms");
}

void AppendWord(std::string& out, size_t value)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool WriteWhole(const std::string& path, const std::string& bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    const BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
    return ok && done == bytes.size();
}

CString UserId(int i)
{
    CString id;
    id.Format("user%04d", i);
    return id;
}

CString CertiKey(int i) { return CString("00112233AABB") + UserId(i); }

// The dictionary file of `users` records, written directly in its format;
// their cipher texts are kept in `ciphers`.
bool MakeUserDictionary(const std::string& path, int users, std::vector<CString>& ciphers)
{
    CCrypto crypto;
    const CString passPhrase = CCrypto::GetProcessKey();
    std::string image;
    for (int i = 0; i < users; ++i) {
        CString record;
        record.Format("%s;user text %d;password%d;0;%s;111;aaj,abj,acj;", UserId(i).GetString(), i, i,
                      CertiKey(i).GetString());
        const CString cipher = crypto.EncryptString(record, passPhrase);
        ciphers.push_back(cipher);
        AppendWord(image, static_cast<size_t>(cipher.GetLength()));
        image.append(cipher.GetString(), static_cast<size_t>(cipher.GetLength()));
    }
    return WriteWhole(path, image);
}

// A voice dictionary of `slots` user slots, each with a 20 KB "aaj" model.
bool MakeVoiceDictionary(const std::string& path, int slots)
{
    CCrypto crypto;
    const CString passPhrase = CCrypto::GetProcessKey();
    std::string slot(kSlotSize, '\0');
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    for (int i = 0; i < slots && ok; ++i) {
        std::fill(slot.begin(), slot.end(), '\0');
        std::string head;
        AppendWord(head, 1);
        const CString id = crypto.EncryptString(UserId(i), passPhrase);
        AppendWord(head, static_cast<size_t>(id.GetLength()));
        head.append(id.GetString(), static_cast<size_t>(id.GetLength()));
        slot.replace(0, head.size(), head);
        std::string key;
        const CString certi = crypto.EncryptString(CertiKey(i), passPhrase);
        AppendWord(key, static_cast<size_t>(certi.GetLength()));
        key.append(certi.GetString(), static_cast<size_t>(certi.GetLength()));
        slot.replace(184, key.size(), key);
        std::string model;
        AppendWord(model, kModelSize);
        for (size_t b = 0; b < kModelSize; ++b)
            model += static_cast<char>((b * 31 + static_cast<size_t>(i)) & 0xFF);
        slot.replace(428, model.size(), model);
        DWORD done = 0;
        ok = WriteFile(h, slot.data(), static_cast<DWORD>(slot.size()), &done, nullptr) && done == slot.size();
    }
    CloseHandle(h);
    return ok;
}

std::string MakeFolder()
{
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    char name[MAX_PATH] = {};
    std::snprintf(name, sizeof name, "%ssonvera-userdata-bench-%lu", base, GetCurrentProcessId());
    CreateDirectoryA(name, nullptr);
    CreateDirectoryA((std::string(name) + "\\work").c_str(), nullptr);
    return name;
}

void RemoveFolder(const std::string& folder)
{
    DeleteFileA((folder + "\\users.dic").c_str());
    DeleteFileA((folder + "\\marzetuvd.dat").c_str());
    DeleteFileA((folder + "\\marzet.dat").c_str());
    DeleteFileA((folder + "\\work\\aaj.bin").c_str());
    RemoveDirectoryA((folder + "\\work").c_str());
    RemoveDirectoryA(folder.c_str());
}

// The count of users given on the command line: a whole number from 1 on,
// or 0 when the text is not one (a typing slip must not be measured as
// some other count).
int UserCount(const char* text)
{
    char* end = nullptr;
    errno = 0;
    const long count = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || count < 1 || count > INT_MAX)
        return 0;
    return static_cast<int>(count);
}

} // namespace

int main(int argc, char** argv)
{
    const int users = argc > 1 ? UserCount(argv[1]) : 1000;
    if (users == 0) {
        std::fprintf(stderr, "usage: sonvera-userdata-bench [users]   (a whole number from 1 on)\n");
        return 2;
    }
    const std::string folder = MakeFolder();
    const std::string dicPath = folder + "\\users.dic";
    const CString last = UserId(users - 1);

    std::printf("Sonvera user data, %d users and slots, %d runs each\n", users, kRuns);
    // The first use of the pass phrase derives its key; a host pays that once
    // per process, so it is taken out of the figures and shown alone.
    {
        CCrypto crypto;
        const double start = NowMs();
        crypto.DecryptString(crypto.EncryptString("warm-up", CCrypto::GetProcessKey()), CCrypto::GetProcessKey());
        std::printf("%-44s %9.3f ms (once per process)\n", "first use of the pass phrase", NowMs() - start);
    }
    std::vector<CString> ciphers;
    if (!MakeUserDictionary(dicPath, users, ciphers)) {
        std::printf("could not write the test files in %s\n", folder.c_str());
        RemoveFolder(folder);
        return 1;
    }

    int failures = 0;
    try {
        CAppUserDic dic;
        Report("load the user dictionary", Measure([&] { dic.SetUserDicFilePath(dicPath.c_str()); }));
        // What the load costs beyond decrypting: the same decrypts alone.
        Report("  of which: DecryptString of every record", Measure([&] {
                   CCrypto crypto;
                   const CString passPhrase = CCrypto::GetProcessKey();
                   for (const CString& cipher : ciphers)
                       crypto.DecryptString(cipher, passPhrase);
               }));
        int found = -1;
        Report("VerifyUserInfo of the last user", Measure([&] { found = dic.VerifyUserInfo(last); }));
        if (found != users - 1) {
            std::printf("  VerifyUserInfo gave %d, expected %d\n", found, users - 1);
            ++failures;
        }
        int round = 0;
        Report("SetPassWord (rewrites the whole file)", Measure([&] {
                   CString value;
                   value.Format("new%d", ++round);
                   dic.SetPassWord(last, value);
               }));

        // Made only now: the first flush of a rewrite would otherwise also
        // pay for writing this large file out to the disk.
        if (!MakeVoiceDictionary(folder + "\\marzetuvd.dat", users)) {
            std::printf("could not write the voice dictionary in %s\n", folder.c_str());
            RemoveFolder(folder);
            return 1;
        }
        CAppUserVoiceDic voice;
        voice.SetVoiceDicPath(folder.c_str());
        int slot = -1;
        Report("FindIDPos of the last slot", Measure([&] {
                   CFile file((folder + "\\marzetuvd.dat").c_str(), CFile::modeRead | CFile::typeBinary);
                   slot = voice.FindIDPos(last, CertiKey(users - 1), file);
               }));
        if (slot != users - 1) {
            std::printf("  FindIDPos gave %d, expected %d\n", slot, users - 1);
            ++failures;
        }
        Report("GetUserVoice of a 20 KB model (last slot)",
               Measure([&] { voice.GetUserVoice(last, CertiKey(users - 1), "aaj"); }));
        WIN32_FILE_ATTRIBUTE_DATA model = {};
        if (!GetFileAttributesExA((folder + "\\work\\aaj.bin").c_str(), GetFileExInfoStandard, &model) ||
            model.nFileSizeLow != kModelSize) {
            std::printf("  GetUserVoice did not give the %u-byte model\n", static_cast<unsigned>(kModelSize));
            ++failures;
        }
        Report("SetUserVoice of a 20 KB model (journaled)",
               Measure([&] { voice.SetUserVoice(last, CertiKey(users - 1), "aaj"); }));
        // The same update made all or nothing the other way: the whole voice
        // dictionary copied to a temporary file, flushed and moved into place.
        const std::string voiceFile = folder + "\\marzetuvd.dat";
        const std::string copy = voiceFile + ".~copy";
        Report("  vs the dictionary rewritten through a copy", Measure([&] {
                   CopyFileA(voiceFile.c_str(), copy.c_str(), FALSE);
                   HANDLE h = CreateFileA(copy.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                   FlushFileBuffers(h);
                   CloseHandle(h);
                   MoveFileExA(copy.c_str(), voiceFile.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
               }));
        // What a store's lock costs: its lock file opened unshared, deleted on close.
        const std::string lock = voiceFile + ".~lock";
        Report("a store's lock taken and let go", Measure([&] {
                   HANDLE h = CreateFileA(lock.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                                          FILE_FLAG_DELETE_ON_CLOSE, nullptr);
                   CloseHandle(h);
               }));
        CSetupSecure secure;
        secure.SetSetupSecureFilePath((folder + "\\marzet.dat").c_str());
        Report("SetBackupBypassKey (lock, read, rewrite)", Measure([&] { secure.SetBackupBypassKey("KEY"); }));
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        ++failures;
    }
    RemoveFolder(folder);
    return failures == 0 ? 0 : 1;
}
