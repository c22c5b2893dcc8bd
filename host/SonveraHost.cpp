// SonveraHost: the sample host. It uses Sonvera.dll as a product's host does,
// through Sonvera.h and the import library alone: it creates and initialises
// the settings (CSetupFile), the user dictionary (CAppUserDic) and the voice
// dictionary (CAppUserVoiceDic), hands them to the voice dialog (CVoiceDlg),
// runs it and acts on its end code.
//
// Texts are Shift-JIS, as the library's are; run it in a console of code page 932.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Sonvera.h"
#include "host/HostVoiceDlg.h"

namespace {

const char kUsage[] =
    "usage: SonveraHost COMMAND [ARGUMENTS] [OPTIONS]\n"
    "  init DIR                    make the application folder DIR (skin, prompts, marzet.ini, work)\n"
    "                              and make it the product's (\"AppPath\")\n"
    "  user add ID PASSWORD [TEXT] add a user who may log on, encrypt and decrypt, with a voice slot\n"
    "  user list                   list the users\n"
    "  user del ID                 delete a user and the user's voice slot\n"
    "  user set ID FIELD VALUE     FIELD: password, text, group (0, 1, 2) or rights (three digits 0 or 1:\n"
    "                              log-on, encrypt, decrypt)\n"
    "                              (IDs, passwords and texts may not contain \";\")\n"
    "  enrol ID                    enrol a pass phrase through the voice dialog, store it, run the model test\n"
    "  verify ID [--purpose N]     verify through the voice dialog (N: 0 log-on, 1 encrypt, 2 decrypt,\n"
    "                              3 settings, 4 users; 0 when not given) and print its end code\n"
    "  bypass make                 make a new bypass key and store it\n"
    "  bypass write DRIVE          write the stored bypass key to DRIVE:\\marzet.key\n"
    "options:\n"
    "  --takes FILE...             takes from these WAV files instead of the microphone; the host\n"
    "                              presses the record button for the user\n"
    "  --key-drive DRIVE           (verify) press the key button for the user and choose DRIVE\n"
    "  --picture FILE.png          save a picture of the dialog at each verdict (the last one stays)\n"
    "  --quick                     run the dialog's clocks at a tenth of their length\n"
    "  --template DIR              (init) where the skin, prompts and marzet.ini come from\n"
    "                              (default: the folder \"app\" beside the host or one level up)\n";

// Exit statuses: the command did what was asked; the dialog refused or
// failed; the command line was wrong; a file or the installation failed.
enum ExitStatus { exitDone = 0, exitRefused = 1, exitUsage = 2, exitError = 3 };

const char kUserFile[] = "\\users.dat";
const int kVerifyTakes = 5;   // the take counter's total in a verification

int Usage()
{
    std::fprintf(stderr, "%s", kUsage);
    return exitUsage;
}

struct Arguments {
    std::vector<std::string> words;   // the command and its arguments
    std::vector<std::string> takes;
    char cKeyDrive = 0;
    std::string picture;
    std::string templateDir;
    int nPurpose = CVoiceDlg::purposeLogon;
    bool bQuick = false;
};

bool IsDriveLetter(const std::string& text)
{
    return (text.size() == 1 || (text.size() == 2 && text[1] == ':')) &&
           std::isalpha(static_cast<unsigned char>(text[0]));
}

// False, with the reason, when the command line cannot be read.
bool ParseArguments(int argc, char** argv, Arguments& args, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool hasValue = i + 1 < argc;
        if (word == "--takes") {
            while (i + 1 < argc && std::string(argv[i + 1]).compare(0, 2, "--") != 0)
                args.takes.push_back(argv[++i]);
            if (args.takes.empty()) {
                error = "--takes needs at least one file";
                return false;
            }
        } else if (word == "--key-drive" && hasValue && IsDriveLetter(argv[i + 1])) {
            args.cKeyDrive = static_cast<char>(std::toupper(static_cast<unsigned char>(argv[++i][0])));
        } else if (word == "--picture" && hasValue) {
            args.picture = argv[++i];
        } else if (word == "--template" && hasValue) {
            args.templateDir = argv[++i];
        } else if (word == "--purpose" && hasValue) {
            const std::string value = argv[++i];
            if (value.size() != 1 || value[0] < '0' || value[0] > '4') {
                error = "--purpose takes 0 to 4";
                return false;
            }
            args.nPurpose = value[0] - '0';
        } else if (word == "--quick") {
            args.bQuick = true;
        } else if (word.compare(0, 2, "--") == 0) {
            error = "unknown option or missing value: " + word;
            return false;
        } else {
            args.words.push_back(word);
        }
    }
    return true;
}

// The words a command takes: its name and sub-command, then at least `least`
// and at most `most` arguments after `prefix` words.
bool Takes(const Arguments& args, size_t prefix, size_t least, size_t most)
{
    if (args.words.size() < prefix)
        return false;
    const size_t count = args.words.size() - prefix;
    return count >= least && count <= most;
}

std::string FullPath(const std::string& path)
{
    char full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length > 0 && length < sizeof full ? std::string(full) : path;
}

std::string HostFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// --- init -----------------------------------------------------------------------

// The folder that holds what a new application folder starts with.
std::string TemplateFolder(const Arguments& args)
{
    if (!args.templateDir.empty())
        return FullPath(args.templateDir);
    for (const char* candidate : {"\\app", "\\..\\app"}) {
        const std::string folder = FullPath(HostFolder() + candidate);
        if (IsFolder(folder + "\\skin"))
            return folder;
    }
    return std::string();
}

// Copies the tree `from` into `to`; a file already there is kept, as a user
// may have changed it. The count of files copied, or -1 on a failure.
int CopyTree(const std::string& from, const std::string& to)
{
    if (!CreateDirectoryA(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return -1;
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((from + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return -1;
    int copied = 0;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string source = from + "\\" + name, target = to + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            const int inside = CopyTree(source, target);
            copied = inside < 0 ? -1 : copied + inside;
        } else if (CopyFileA(source.c_str(), target.c_str(), TRUE)) {
            ++copied;
        } else if (GetLastError() != ERROR_FILE_EXISTS) {
            copied = -1;
        }
    } while (copied >= 0 && FindNextFileA(search, &found));
    FindClose(search);
    return copied;
}

// The folder path with one separator at its end. A Shift-JIS character whose
// trail byte is 0x5C does not count as one: ReverseFind steps by characters.
CString WithSeparator(const std::string& folder)
{
    CString path(folder.c_str());
    if (path.IsEmpty() || path.ReverseFind('\\') != path.GetLength() - 1)
        path += '\\';
    return path;
}

// True when the full path `inner` is the folder `outer` or lies inside it,
// letter case ignored.
bool IsSameOrInside(const std::string& inner, const std::string& outer)
{
    const CString in = WithSeparator(inner), out = WithSeparator(outer);
    return in.Left(out.GetLength()).CompareNoCase(out) == 0;
}

int RunInit(const Arguments& args)
{
    const std::string app = FullPath(args.words[1]);
    const std::string from = TemplateFolder(args);
    if (from.empty()) {
        std::printf("init: no template folder (skin, wave, marzet.ini); give one with --template\n");
        return exitError;
    }
    // Copied into itself, the template would grow a copy inside the copy
    // until the path is too long; made the application folder, it would
    // hand its users and keys to every folder made from it later.
    if (IsSameOrInside(app, from)) {
        std::printf("init: %s lies in the template folder %s; choose a folder outside it\n", app.c_str(),
                    from.c_str());
        return exitUsage;
    }
    const int copied = CopyTree(from, app);
    const bool workFolder =
        CreateDirectoryA((app + "\\work").c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
    if (copied < 0 || !workFolder) {
        std::printf("init: cannot fill %s from %s (error %lu)\n", app.c_str(), from.c_str(), GetLastError());
        return exitError;
    }
    CSetupFile setup;
    setup.SetAppPath(app.c_str());
    // The write reports nothing: read back, it tells whether the registry
    // took it (a user without the rights to HKEY_LOCAL_MACHINE).
    if (setup.GetAppPath() != app.c_str()) {
        std::printf("init: cannot record %s as the application folder (\"AppPath\" in the registry)\n",
                    app.c_str());
        return exitError;
    }
    setup.Initialize();   // makes marzet.dat with the default secure settings
    CAppUserDic users;
    users.SetUserDicFilePath((app + kUserFile).c_str());
    CAppUserVoiceDic voices;
    voices.SetVoiceDicPath(app.c_str());
    CStringArray words;
    setup.GetAuthWordList(words);
    std::printf("application folder %s: %d files from %s, skin \"%s\", %d pass-phrase words\n", app.c_str(), copied,
                from.c_str(), static_cast<const char*>(setup.GetSkinCurrent()), static_cast<int>(words.GetSize()));
    return exitDone;
}

// --- the stores of an installed application folder ---------------------------------

struct Stores {
    CSetupFile setup;
    CAppUserDic users;
    CAppUserVoiceDic voices;
    CString app;

    // False when no application folder has been made.
    bool Open()
    {
        app = setup.GetAppPath();
        if (app.IsEmpty() || !IsFolder(app.str())) {
            std::printf("no application folder: make one with \"SonveraHost init DIR\"\n");
            return false;
        }
        setup.Initialize();
        users.SetUserDicFilePath(app + kUserFile);
        voices.SetVoiceDicPath(app);
        return true;
    }
};

// --- user -------------------------------------------------------------------------

bool IsRights(const std::string& value)
{
    return value.size() == 3 && value.find_first_not_of("01") == std::string::npos;
}

bool HasVoiceSlot(Stores& stores, const CString& id)
{
    CFile dictionary(stores.app + "\\marzetuvd.dat", CFile::modeRead | CFile::typeBinary | CFile::shareDenyWrite);
    return stores.voices.FindIDPos(id, stores.users.GetCertiKey(id), dictionary) >= 0;
}

int RunUserAdd(Stores& stores, const Arguments& args)
{
    const CString id = args.words[2].c_str();
    const CString text = args.words.size() > 4 ? args.words[4].c_str() : args.words[2].c_str();
    if (!stores.users.CreateUser(text, id, "", args.words[3].c_str(), 0, 1, 1, 1, "")) {
        std::printf("user %s not added: the ID is taken or not valid\n", id.str().c_str());
        return exitRefused;
    }
    stores.voices.AddUser(id, stores.users.GetCertiKey(id));
    // AddUser takes no slot, and says nothing, for an ID that is empty or
    // whose cipher text does not fit the slot's ID area: such a user could
    // never keep a voice model, so the user is not kept either.
    if (!HasVoiceSlot(stores, id)) {
        stores.users.DelUserWholeInfo(id);
        std::printf("user %s not added: the ID is empty or too long for a voice slot\n", id.str().c_str());
        return exitRefused;
    }
    std::printf("user %s added, with a voice slot\n", id.str().c_str());
    return exitDone;
}

int RunUserList(Stores& stores)
{
    CStringArray ids;
    stores.users.GetUserIDList(ids);
    std::printf("%d users\n", static_cast<int>(ids.GetSize()));
    for (int i = 0; i < ids.GetSize(); ++i) {
        CAppUserDic::USER_DICTIONARY user;
        stores.users.GetUserInfo(ids[i], user);
        std::printf("  %-16s group %d  rights %-3s  voice list \"%s\"  (%s)\n", user.strUserID.str().c_str(),
                    user.nGroup, user.strAuthority.str().c_str(), user.strVoiceList.str().c_str(),
                    user.strUserText.str().c_str());
    }
    return exitDone;
}

int RunUserDel(Stores& stores, const Arguments& args)
{
    const CString id = args.words[2].c_str();
    if (stores.users.VerifyUserInfo(id) == -1) {
        std::printf("no user %s\n", id.str().c_str());
        return exitRefused;
    }
    stores.voices.DelUser(id, stores.users.GetCertiKey(id));
    stores.users.DelUserWholeInfo(id);
    std::printf("user %s deleted, with the voice slot\n", id.str().c_str());
    return exitDone;
}

// A field of "user set" and a value it may take.
bool IsUserSetting(const std::string& field, const std::string& value)
{
    return field == "password" || field == "text" ||
           (field == "group" && (value == "0" || value == "1" || value == "2")) ||
           (field == "rights" && IsRights(value));
}

int RunUserSet(Stores& stores, const Arguments& args)
{
    const CString id = args.words[2].c_str();
    const std::string& field = args.words[3];
    const CString value = args.words[4].c_str();
    if (stores.users.VerifyUserInfo(id) == -1) {
        std::printf("no user %s\n", id.str().c_str());
        return exitRefused;
    }
    int done = 0;
    if (field == "password") {
        done = stores.users.SetPassWord(id, value);
    } else if (field == "group") {
        done = stores.users.SetGroupInfo(id, value);
    } else if (field == "rights") {
        done = stores.users.SetAuthority(id, value);
    } else {
        // USER_INFORMATION tells only whether the group is 1; the group itself
        // (2 among them) comes from the record as it is.
        CAppUserDic::USER_INFORMATION user;
        CAppUserDic::USER_DICTIONARY record;
        done = stores.users.GetUser(id, user) && stores.users.GetUserInfo(id, record) &&
               stores.users.SetUser(value, id, user.strPassword, record.nGroup, user.bAllowLogon,
                                    user.bAllowEncrypt, user.bAllowDecrypt);
    }
    std::printf("user %s: %s %s\n", id.str().c_str(), field.c_str(), done ? "set" : "NOT set");
    return done ? exitDone : exitError;
}

// The user dictionary separates a record's fields with ';' and stores a value
// as given: a password such as "x;0;key;111" would rewrite the user's group
// and rights, so no word of a user command may hold one.
bool HoldsFieldSeparator(const Arguments& args)
{
    for (size_t i = 2; i < args.words.size(); ++i)
        if (args.words[i].find(';') != std::string::npos)
            return true;
    return false;
}

int RunUser(const Arguments& args)
{
    const std::string sub = args.words.size() > 1 ? args.words[1] : "";
    const bool valid = (sub == "add" && Takes(args, 2, 2, 3)) || (sub == "list" && Takes(args, 2, 0, 0)) ||
                       (sub == "del" && Takes(args, 2, 1, 1)) ||
                       (sub == "set" && Takes(args, 2, 3, 3) && IsUserSetting(args.words[3], args.words[4]));
    if (!valid || HoldsFieldSeparator(args))
        return Usage();
    Stores stores;
    if (!stores.Open())
        return exitError;
    if (sub == "add")
        return RunUserAdd(stores, args);
    if (sub == "list")
        return RunUserList(stores);
    if (sub == "del")
        return RunUserDel(stores, args);
    return RunUserSet(stores, args);
}

// --- the voice dialog ---------------------------------------------------------------

// The dialog with what the command line asks of it; false when a take file
// cannot be used.
bool PrepareDialog(CHostVoiceDlg& dialog, const Arguments& args, const std::string& picture)
{
    if (!args.takes.empty()) {
        const std::string unreadable = dialog.UseTakes(args.takes);
        if (!unreadable.empty()) {
            std::printf("%s is not a mono 16-bit PCM WAV file\n", unreadable.c_str());
            return false;
        }
    }
    dialog.UseKeyDrive(args.cKeyDrive);
    if (args.bQuick)
        dialog.SetClockPercent(10);
    dialog.SetPicturePath(picture);
    return true;
}

// The picture of a second run of the dialog, beside the first: NAME-SUFFIX.png.
// Only a dot in the file's own name starts its extension, not one in a
// folder's; ReverseFind steps by characters, past a trail byte 0x5C.
std::string PictureOf(const std::string& picture, const char* suffix)
{
    if (picture.empty())
        return picture;
    const CString path(picture.c_str());
    const int nameStart = std::max({path.ReverseFind('\\'), path.ReverseFind('/'), path.ReverseFind(':')}) + 1;
    const int dot = path.ReverseFind('.');
    const std::string stem = dot >= nameStart ? picture.substr(0, static_cast<size_t>(dot)) : picture;
    return stem + "-" + suffix + ".png";
}

void ReportRun(const CHostVoiceDlg& dialog, INT_PTR endCode)
{
    if (dialog.TakesRanOut())
        std::printf("  the recorded takes ran out; the host closed the dialog\n");
    if (dialog.WaitedForUser())
        std::printf("  the dialog waited for the user (another press, a password or a key); the host closed it\n");
    std::printf("  end code %d\n", static_cast<int>(endCode));
}

// What a host must do after an enrolment ended with 1: the model the engine
// left in "work\<nick>.bin" goes into the user's voice slot, and the nick
// into the user's voice list.
void StoreEnrolledModel(Stores& stores, const CString& id, const CString& nick)
{
    stores.voices.SetUserVoice(id, stores.users.GetCertiKey(id), nick);
    if (stores.users.GetVoiceList(id).IsEmpty())
        stores.users.SetVoiceList(id, nick);
    else if (stores.users.VerifyNick(id, nick) == -1)
        stores.users.SetNick(id, nick);
}

int RunEnrol(const Arguments& args)
{
    Stores stores;
    if (!stores.Open())
        return exitError;
    const CString id = args.words[1].c_str();
    if (stores.users.VerifyUserInfo(id) == -1) {
        std::printf("no user %s: add the user first\n", id.str().c_str());
        return exitRefused;
    }
    // The voice dictionary keeps a model only in the user's slot; without one
    // (a user another host added) the enrolment would be thrown away.
    if (!HasVoiceSlot(stores, id)) {
        std::printf("user %s has no voice slot: delete and add the user again\n", id.str().c_str());
        return exitRefused;
    }
    CHostVoiceDlg dialog(stores.setup, stores.users, stores.voices);
    if (!PrepareDialog(dialog, args, args.picture))
        return exitUsage;
    dialog.m_nPurpose = CVoiceDlg::purposeUser;
    dialog.m_nMode = CVoiceDlg::modeEnrol;
    dialog.m_nVerifyRepeat = kVerifyTakes;
    dialog.m_strUserID = id;
    std::printf("enrolment of %s\n", id.str().c_str());
    const INT_PTR enrolled = dialog.Run();
    ReportRun(dialog, enrolled);
    if (enrolled != IDOK || !dialog.m_bTrained) {
        std::printf("  no model: nothing stored\n");
        return exitRefused;
    }
    StoreEnrolledModel(stores, id, dialog.m_strNick);
    std::printf("  model of \"%s\" stored as %s; voice list \"%s\"\n", dialog.m_strWord.str().c_str(),
                dialog.m_strNick.str().c_str(), stores.users.GetVoiceList(id).str().c_str());

    // The model test runs on the same object: it keeps the word just enrolled.
    std::printf("model test\n");
    dialog.SetPicturePath(PictureOf(args.picture, "model-test"));
    dialog.m_nMode = CVoiceDlg::modeVerify;
    dialog.m_nVerifyRepeat = CVoiceDlg::kModelTestTakes;
    const INT_PTR tested = dialog.Run();
    ReportRun(dialog, tested);
    std::printf("  model test %s (%d takes accepted)\n", tested == IDOK ? "passed" : "FAILED", dialog.m_nVerifyOK);
    return tested == IDOK ? exitDone : exitRefused;
}

int RunVerify(const Arguments& args)
{
    Stores stores;
    if (!stores.Open())
        return exitError;
    CHostVoiceDlg dialog(stores.setup, stores.users, stores.voices);
    if (!PrepareDialog(dialog, args, args.picture))
        return exitUsage;
    dialog.m_nPurpose = args.nPurpose;
    dialog.m_nMode = CVoiceDlg::modeVerify;
    dialog.m_nVerifyRepeat = kVerifyTakes;
    dialog.m_strUserID = args.words[1].c_str();
    std::printf("verification of %s, purpose %d\n", args.words[1].c_str(), args.nPurpose);
    const INT_PTR result = dialog.Run();
    ReportRun(dialog, result);
    const UINT kReplayHint = 3013;
    if (dialog.ShowedHint(kReplayHint))
        std::printf("  the copy check found a take replayed from a recording\n");
    std::printf("  %s\n", result == IDOK ? "accepted" : "refused");
    return result == IDOK ? exitDone : exitRefused;
}

// --- bypass -------------------------------------------------------------------------

// Writes the file whole or not at all: a key half written would lock the user out.
bool WriteWholeFile(const std::string& path, const CString& contents)
{
    const std::string temporary = path + ".new";
    HANDLE file =
        CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const DWORD length = static_cast<DWORD>(contents.GetLength());
    const bool whole = WriteFile(file, static_cast<const char*>(contents), length, &written, nullptr) &&
                       written == length && FlushFileBuffers(file);
    CloseHandle(file);
    if (whole && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(temporary.c_str());
    return false;
}

int RunBypass(const Arguments& args)
{
    const std::string sub = args.words.size() > 1 ? args.words[1] : "";
    const bool valid = (sub == "make" && Takes(args, 2, 0, 0)) ||
                       (sub == "write" && Takes(args, 2, 1, 1) && IsDriveLetter(args.words[2]));
    if (!valid)
        return Usage();
    Stores stores;
    if (!stores.Open())
        return exitError;
    CSetupSecure& secure = stores.setup.GetSetupSecure();
    if (sub == "make") {
        // A key that could not be made is not stored: it would replace the one kept.
        const CString key = secure.CreateBackupBypassKey();
        if (key.IsEmpty()) {
            std::printf("no bypass key could be made; the stored one is kept\n");
            return exitError;
        }
        secure.SetBackupBypassKey(key);
        std::printf("new bypass key of %d characters stored in marzet.dat\n", key.GetLength());
        return exitDone;
    }
    const CString key = secure.GetBackupBypassKey();
    if (key.IsEmpty()) {
        std::printf("no bypass key stored: make one with \"SonveraHost bypass make\"\n");
        return exitRefused;
    }
    const std::string path = std::string(1, args.words[2][0]) + ":\\marzet.key";
    if (!WriteWholeFile(path, key)) {
        std::printf("cannot write %s (error %lu)\n", path.c_str(), GetLastError());
        return exitError;
    }
    std::printf("bypass key written to %s\n", path.c_str());
    return exitDone;
}

int Run(const Arguments& args)
{
    const std::string command = args.words.empty() ? "" : args.words[0];
    if (command == "init" && Takes(args, 1, 1, 1))
        return RunInit(args);
    if (command == "user")
        return RunUser(args);
    if (command == "enrol" && Takes(args, 1, 1, 1))
        return RunEnrol(args);
    if (command == "verify" && Takes(args, 1, 1, 1))
        return RunVerify(args);
    if (command == "bypass")
        return RunBypass(args);
    return Usage();
}

}  // namespace

int main(int argc, char** argv)
{
    Arguments args;
    std::string error;
    if (!ParseArguments(argc, argv, args, error)) {
        std::fprintf(stderr, "SonveraHost: %s\n%s", error.c_str(), kUsage);
        return exitUsage;
    }
    try {
        return Run(args);
    } catch (const CFileException& failure) {
        std::printf("file error: %s\n", failure.what());
        return exitError;
    }
}
