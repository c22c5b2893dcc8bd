#include "userdata/TrainedModels.h"

#include <algorithm>
#include <mutex>

namespace trained_models {

namespace {

struct SKeptModel {
    CString strModelPath;
    CString strUserID;
    std::vector<BYTE> model;
};

// A host stores from its user-interface thread, but nothing stops it from
// using another one.
std::mutex g_mutex;
std::vector<SKeptModel> g_kept;

// The long form of a full folder path ending in a backslash. A folder that
// is not there (a work folder removed since) keeps its own name under the
// long form of its parent.
CString LongFolder(const CString& strFolder)
{
    char folder[MAX_PATH];
    const DWORD folderLength = GetLongPathNameA(strFolder, folder, MAX_PATH);
    if (folderLength != 0 && folderLength < MAX_PATH) {
        CString path(folder);
        if (path.Right(1) != "\\")
            path += "\\";
        return path;
    }
    const int parentEnd = strFolder.Left(strFolder.GetLength() - 1).ReverseFind('\\');
    if (parentEnd < 0)
        return strFolder;
    return LongFolder(strFolder.Left(parentEnd + 1)) + strFolder.Mid(parentEnd + 1);
}

// The model file's path as one text whichever form a caller named its folder
// in: the dialog names it after the settings' application folder, a host
// after the one it gave its voice dictionary, which may carry a trailing
// backslash or a short name. The file itself may be missing (a host may store
// after it is gone), and so may its folder.
CString SameFormPath(const CString& strModelPath)
{
    char full[MAX_PATH];
    char* name = nullptr;
    const DWORD fullLength = GetFullPathNameA(strModelPath, MAX_PATH, full, &name);
    if (fullLength == 0 || fullLength >= MAX_PATH || name == nullptr || name == full)
        return strModelPath;
    const CString fileName(name);
    *name = '\0';
    return LongFolder(CString(full)) + fileName;
}

// Paths and user IDs name the same file and user in any letter case.
std::vector<SKeptModel>::iterator Entry(const CString& strModelPath, const CString& strUserID)
{
    const CString path = SameFormPath(strModelPath);
    return std::find_if(g_kept.begin(), g_kept.end(), [&](const SKeptModel& kept) {
        return kept.strModelPath.CompareNoCase(path) == 0 && kept.strUserID.CompareNoCase(strUserID) == 0;
    });
}

}  // namespace

void Keep(const CString& strModelPath, const CString& strUserID, const std::vector<BYTE>& model)
{
    const std::lock_guard<std::mutex> guard(g_mutex);
    const auto entry = Entry(strModelPath, strUserID);
    if (entry != g_kept.end())
        entry->model = model;
    else
        g_kept.push_back(SKeptModel{SameFormPath(strModelPath), strUserID, model});
}

bool Find(const CString& strModelPath, const CString& strUserID, std::vector<BYTE>& model)
{
    const std::lock_guard<std::mutex> guard(g_mutex);
    const auto entry = Entry(strModelPath, strUserID);
    if (entry == g_kept.end())
        return false;
    model = entry->model;
    return true;
}

void Forget(const CString& strModelPath, const CString& strUserID)
{
    const std::lock_guard<std::mutex> guard(g_mutex);
    const auto entry = Entry(strModelPath, strUserID);
    if (entry != g_kept.end())
        g_kept.erase(entry);
}

}  // namespace trained_models
