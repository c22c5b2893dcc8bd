// The sample host: what a product built on Sonvera.dll does, end to end.
//
// It installs an application folder, reads and writes the settings, keeps
// the encrypted secure settings and bypass key, creates a user in the
// encrypted user dictionary, enrols the user's spoken pass phrase with the
// speech engine from five recorded takes, stores the model in the voice
// dictionary, and then verifies fresh takes of the same speaker, other
// speakers saying the same word, and a replayed recording.
//
// Usage: sonvera-demo <application folder> <folder of {digit}_{speaker}_{take}.wav>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Sonvera.h"
#include "engine/DialogEngineSetup.h"
#include "host/takes/TakeFileWaveIn.h"

namespace {

const int kTakeMs = SDialogEngineSetup::kTakeMs;
const int kTickMs = 100;
const int kEnrolTakes = SDialogEngineSetup::kEnrolTakes;
const char kNick[] = "aaj";
const char kWord[] = "zero";

// The speech engine is loaded by name, as the product's hosts find it beside
// the library; only the calls the dialog makes are used.
struct Engine {
    HMODULE module = nullptr;
    int (*Initialize)() = nullptr;
    int (*SetbNetVersion)(int) = nullptr;
    int (*PutDir)(const char*) = nullptr;
    int (*PutMode)(int) = nullptr;
    int (*PutMaxRepeat)(int) = nullptr;
    int (*AnalParams)(int, int, int, int) = nullptr;
    int (*NoiseParams)(int, int, int, int) = nullptr;
    int (*EngineParams)(int, int, int, int) = nullptr;
    int (*CopyParams)(double) = nullptr;
    int (*SetbSpeech)(int) = nullptr;
    int (*SameWordDist)(float) = nullptr;
    int (*HMMParams)(int, double, double, double, double) = nullptr;
    int (*EPDParams)(int, int, int, int) = nullptr;
    int (*Security)(float) = nullptr;
    int (*PutID)(const char*) = nullptr;
    int (*PutPW)(const char*) = nullptr;
    int (*PutNick)(const char*) = nullptr;
    int (*GetEndpointShort)(const short*, int, int) = nullptr;
    int (*GetErrorNumber)() = nullptr;
    int (*CheckSexSpeech)(const short*, int, int) = nullptr;
    int (*Train)() = nullptr;
    int (*VCopy)() = nullptr;
    int (*Verify)() = nullptr;
    int (*GetbUpdate)() = nullptr;
    int (*DestructMemories)() = nullptr;
    int (*Destruct)() = nullptr;

    template <typename F>
    bool Bind(F& function, const char* name)
    {
        function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
        if (function == nullptr)
            std::printf("  engine: %s is missing\n", name);
        return function != nullptr;
    }

    bool Load()
    {
        module = LoadLibraryA("MarzetPcJpn38.dll");
        if (module == nullptr)
            return false;
        return Bind(Initialize, "VRE_Initialize") && Bind(SetbNetVersion, "VRE_SetbNetVersion") &&
               Bind(PutDir, "VRE_PutDir") && Bind(PutMode, "VRE_PutMode") &&
               Bind(PutMaxRepeat, "VRE_PutMaxRepeat") && Bind(AnalParams, "VRE_AnalParams") &&
               Bind(NoiseParams, "VRE_NoiseParams") && Bind(EngineParams, "VRE_EngineParams") &&
               Bind(CopyParams, "VRE_CopyParams") && Bind(SetbSpeech, "VRE_SetbSpeech") &&
               Bind(SameWordDist, "VRE_SameWordDist") && Bind(HMMParams, "VRE_HMMParams") &&
               Bind(EPDParams, "VRE_EPDParams") && Bind(Security, "VRE_Security") &&
               Bind(PutID, "VRE_PutID") && Bind(PutPW, "VRE_PutPW") && Bind(PutNick, "VRE_PutNick") &&
               Bind(GetEndpointShort, "VRE_GetEndpointShort") &&
               Bind(GetErrorNumber, "VRE_GetErrorNumber") && Bind(CheckSexSpeech, "VRE_CheckSexSpeech") &&
               Bind(Train, "VRE_Train") && Bind(VCopy, "VRE_VCopy") && Bind(Verify, "VRE_Verify") &&
               Bind(GetbUpdate, "VRE_GetbUpdate") && Bind(DestructMemories, "VRE_DestructMemories") &&
               Bind(Destruct, "VRE_Destruct");
    }

    // Dialog start and the set-up before recording, in the dialog's order,
    // with the dialog's values.
    void Start(const CString& appFolder, int mode, const char* userId)
    {
        using Setup = SDialogEngineSetup;
        Initialize();
        SetbNetVersion(Setup::kNetVersion);
        PutDir(appFolder);
        PutMode(mode);
        if (mode == Setup::kModeEnrol)
            PutMaxRepeat(Setup::kEnrolTakes);
        AnalParams(Setup::kSampleRate, Setup::kTakeMs, Setup::kFrameLength, Setup::kFrameShift);
        NoiseParams(Setup::kNoiseSubtraction, Setup::kFixedNoiseFloorDb, Setup::kNoiseFloorMarginDb,
                    Setup::kAdaptiveNoiseFloor);
        EngineParams(Setup::kCepstra, Setup::kMelChannels, Setup::kMinTrainTakes, Setup::kMaxTemplateFrames);
        CopyParams(Setup::kReplaySensitivity);
        SetbSpeech(Setup::kSpeechFlag);
        SameWordDist(Setup::kSameWordRatio);
        HMMParams(Setup::kModelKind, Setup::kSpreadFloor, Setup::kAdaptMargin, Setup::kAdaptRate, Setup::kMaxDrift);
        EPDParams(Setup::kMarginMs, Setup::kMaxGapMs, Setup::kMinSpeechMs, Setup::kQuietPower);
        Security(Setup::kSecurity);
        PutMode(mode);
        PutID(userId);
        PutPW(kWord);
        PutNick(kNick);
        if (mode == Setup::kModeVerify)
            Security(Setup::kSecurity);
    }

    void Stop()
    {
        DestructMemories();
        Destruct();
    }
};

void Section(const char* title)
{
    std::printf("\n== %s\n", title);
}

// One take through the recorder, as the dialog's timer would run it.
std::vector<short> RecordTake(CTakeFileWaveIn& source)
{
    CTakeFileRecorder recorder(kTakeMs, kTickMs, source);
    recorder.SetDuration(kTakeMs / 1000);
    recorder.AllocBuffer();
    recorder.Start();
    recorder.Stop();
    std::vector<short> samples(static_cast<size_t>(recorder.GetSampleCount()));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = recorder.GetSample(static_cast<int>(i));
    return samples;
}

std::string TakePath(const std::string& folder, const char* speaker, int take)
{
    return folder + "\\0_" + speaker + "_" + std::to_string(take) + ".wav";
}

void InstallSettings(CSetupFile& setup, const CString& appFolder)
{
    Section("settings");
    CreateDirectoryA(appFolder, nullptr);
    setup.SetAppPath(appFolder);
    setup.Initialize();

    CIniFile ini(appFolder + "\\marzet.ini");
    const char* const words[] = {"zero", "one", "two", "three", "four", "five"};
    const char* const nicks[] = {"aaj", "abj", "acj", "adj", "aej", "afj"};
    for (int i = 0; i < 6; ++i)
        ini.WriteString("WORD_LIST", nicks[i], words[i]);
    ini.WriteString("VOICE_RECOG_DLL", "SkinList", "Blue, Green");
    setup.SetSkinChange("Blue");
    setup.SetAppLastPos(10, 20, 530, 400);
    setup.SetScrWaitTime(300);

    std::printf("application folder  %s\n", static_cast<const char*>(setup.GetAppPath()));
    std::printf("host folder         %s\n", static_cast<const char*>(setup.GetAppExecutePath()));
    std::printf("current skin        %s\n", static_cast<const char*>(setup.GetSkinCurrent()));
    CStringArray skins;
    setup.GetSkinList(skins);
    std::printf("installed skins     %d\n", static_cast<int>(skins.GetSize()));
    CStringArray wordList;
    setup.GetAuthWordList(wordList);
    std::printf("pass-phrase words   %d, \"%s\" is nick %s\n", static_cast<int>(wordList.GetSize()), kWord,
                static_cast<const char*>(setup.GetAuthNick("ZERO")));
    const RECT position = setup.GetAppLastPos();
    std::printf("last window         %ld,%ld,%ld,%ld\n", position.left, position.top, position.right,
                position.bottom);
    std::printf("screen-saver wait   %u s\n", setup.GetScrWaitTime());

    CSystemInfo system;
    std::printf("Windows version     code %d, boot mode %d\n", system.GetOSVersion(), system.GetBootMode());
}

void ShowSecureSettings(CSetupFile& setup, const CString& appFolder)
{
    Section("secure settings and bypass key");
    CSetupSecure::tagSecureSettings secure = setup.GetSecureAppSettings();
    std::printf("switches            %d %d %d %d %d %d\n", secure.nSwitch1, secure.nSwitch2, secure.nSwitch3,
                secure.nLogonMethod, secure.nCryptMethod, secure.nSwitch6);

    CSetupSecure store;
    store.SetSetupSecureFilePath(appFolder + "\\marzet.dat");
    const CString key = store.CreateBackupBypassKey();
    store.SetBackupBypassKey(key);
    const CString stored = store.GetBackupBypassKey();
    std::printf("new bypass key      %d characters, stored and read back %s\n", key.GetLength(),
                stored == key ? "intact" : "DIFFERENT");
    secure.nLogonMethod = 0;   // password first, then voice
    setup.SetSecureAppSettings(secure);
    std::printf("log-on method now   %d; bypass key still %s\n", setup.GetSecureAppSettings().nLogonMethod,
                store.GetBackupBypassKey() == key ? "intact" : "LOST");
}

CString CreateDemoUser(CAppUserDic& users, const CString& appFolder, const char* userId)
{
    Section("user dictionary");
    users.SetUserDicFilePath(appFolder + "\\users.dat");
    if (users.VerifyUserInfo(userId) == -1)
        users.CreateUser("George", userId, "", "secret", 1, 1, 1, 1, "");
    CStringArray ids;
    users.GetUserIDList(ids);
    std::printf("users               %d\n", static_cast<int>(ids.GetSize()));
    std::printf("password \"secret\"   %s\n", users.VerifyPassWord(userId, "secret") != -1 ? "matches" : "refused");
    std::printf("password \"SECRET\"   %s\n", users.VerifyPassWord(userId, "SECRET") != -1 ? "matches" : "refused");
    const CString certiKey = users.GetCertiKey(userId);
    std::printf("certi key           %s\n", static_cast<const char*>(certiKey));
    return certiKey;
}

// Enrolment as the dialog runs it: five takes, each checked, then training.
bool Enrol(Engine& engine, const CString& appFolder, const std::string& takes, const char* userId)
{
    Section("enrolment");
    CTakeFileWaveIn source;
    engine.Start(appFolder, 1, userId);
    int accepted = 0;
    for (int take = 0; take < kEnrolTakes; ++take) {
        if (!source.QueueFile(TakePath(takes, "george", take))) {
            std::printf("take %d: no recording\n", take);
            return false;
        }
        std::vector<short> samples = RecordTake(source);
        const int count = static_cast<int>(samples.size());
        const bool speech = engine.GetEndpointShort(samples.data(), count, 0) != 0;
        const bool usable = speech && engine.CheckSexSpeech(samples.data(), count, accepted) != 0;
        std::printf("take %d: %s\n", take + 1, usable ? "usable" : speech ? "refused" : "no speech");
        accepted += usable ? 1 : 0;
    }
    const bool trained = accepted == kEnrolTakes && engine.Train() != 0;
    std::printf("model               %s\n", trained ? "trained" : "NOT trained");
    engine.Stop();
    return trained;
}

struct Verdicts {
    int accepted = 0;
    int replays = 0;
    int takes = 0;
};

// Verification as the dialog runs it: the model comes out of the voice
// dictionary into the engine's work file, then each take is judged.
Verdicts VerifyTakes(Engine& engine, CAppUserVoiceDic& voices, const CString& appFolder, const char* userId,
                     const CString& certiKey, const std::vector<std::string>& files)
{
    Verdicts verdicts;
    CTakeFileWaveIn source;
    for (const std::string& file : files) {
        if (!source.QueueFile(file))
            continue;
        voices.GetUserVoice(userId, certiKey, kNick);
        engine.Start(appFolder, 2, userId);
        std::vector<short> samples = RecordTake(source);
        const int count = static_cast<int>(samples.size());
        ++verdicts.takes;
        if (engine.GetEndpointShort(samples.data(), count, 0) && engine.CheckSexSpeech(samples.data(), count, 0)) {
            verdicts.replays += engine.VCopy() == 0 ? 1 : 0;
            verdicts.accepted += engine.Verify() != 0 ? 1 : 0;
        }
        engine.Stop();
    }
    return verdicts;
}

std::vector<std::string> TakeFiles(const std::string& folder, const char* speaker, int first, int last)
{
    std::vector<std::string> files;
    for (int take = first; take <= last; ++take)
        files.push_back(TakePath(folder, speaker, take));
    return files;
}

int RunVoice(const CString& appFolder, const std::string& takes, CAppUserDic& users, const char* userId,
             const CString& certiKey)
{
    Engine engine;
    if (!engine.Load()) {
        std::printf("the speech engine MarzetPcJpn38.dll cannot be loaded\n");
        return 1;
    }
    CreateDirectoryA(appFolder + "\\work", nullptr);
    if (!Enrol(engine, appFolder, takes, userId))
        return 1;

    CAppUserVoiceDic voices;
    voices.SetVoiceDicPath(appFolder);
    voices.AddUser(userId, certiKey);
    voices.SetUserVoice(userId, certiKey, kNick);
    // A first nick starts the voice list; further ones are appended.
    if (users.GetVoiceList(userId).IsEmpty())
        users.SetVoiceList(userId, kNick);
    else if (users.VerifyNick(userId, kNick) == -1)
        users.SetNick(userId, kNick);
    std::printf("stored in           marzetuvd.dat, voice list \"%s\"\n",
                static_cast<const char*>(users.GetVoiceList(userId)));

    Section("verification");
    const Verdicts genuine = VerifyTakes(engine, voices, appFolder, userId, certiKey,
                                         TakeFiles(takes, "george", 5, 9));
    std::vector<std::string> others = TakeFiles(takes, "jackson", 0, 6);
    for (const std::string& file : TakeFiles(takes, "nicolas", 0, 6))
        others.push_back(file);
    for (const std::string& file : TakeFiles(takes, "theo", 0, 2))
        others.push_back(file);
    const Verdicts impostors = VerifyTakes(engine, voices, appFolder, userId, certiKey, others);
    const Verdicts replays = VerifyTakes(engine, voices, appFolder, userId, certiKey,
                                         TakeFiles(takes, "george", 0, 4));
    std::printf("george, fresh takes      %d of %d accepted\n", genuine.accepted, genuine.takes);
    std::printf("other speakers, same word %d of %d accepted\n", impostors.accepted, impostors.takes);
    std::printf("enrolment takes replayed  %d of %d caught as replays\n", replays.replays, replays.takes);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: sonvera-demo <application folder> <takes folder>\n");
        return 2;
    }
    const CString appFolder = argv[1];
    const std::string takes = argv[2];
    const char* const userId = "george";

    try {
        CSetupFile setup;
        InstallSettings(setup, appFolder);
        ShowSecureSettings(setup, appFolder);
        CAppUserDic users;
        const CString certiKey = CreateDemoUser(users, appFolder, userId);
        return RunVoice(appFolder, takes, users, userId, certiKey);
    } catch (const CFileException& error) {
        std::printf("file error: %s\n", error.what());
        return 1;
    }
}
