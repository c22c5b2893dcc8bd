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

// Paths and user IDs name the same file and user in any letter case.
std::vector<SKeptModel>::iterator Entry(const CString& strModelPath, const CString& strUserID)
{
    return std::find_if(g_kept.begin(), g_kept.end(), [&](const SKeptModel& kept) {
        return kept.strModelPath.CompareNoCase(strModelPath) == 0 && kept.strUserID.CompareNoCase(strUserID) == 0;
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
        g_kept.push_back(SKeptModel{strModelPath, strUserID, model});
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
