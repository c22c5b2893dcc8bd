#include "userdata/ModelPutBack.h"

#include <cstring>

#include "fw/File.h"
#include "fw/FileException.h"
#include "fw/SafeFileWriter.h"
#include "userdata/AppUserVoiceDic.h"

namespace model_putback {

namespace {

const BYTE kFileWasThere = 1;
const BYTE kNoFile = 0;

void RemoveIfThere(const CString& strPath)
{
    // Only "not found" means absent: Exists raises on any other failure.
    if (CFile::Exists(strPath))
        CFile::Remove(strPath);
}

}  // namespace

CString RecordPath(const CString& strModelPath)
{
    return strModelPath + ".~putback";
}

void Record(const CString& strModelPath, bool bFound, const std::vector<BYTE>& contents)
{
    const size_t length = bFound ? contents.size() : 0;
    std::vector<BYTE> record(1 + length);
    record[0] = bFound ? kFileWasThere : kNoFile;
    if (length > 0)
        std::memcpy(record.data() + 1, contents.data(), length);
    CSafeFileWriter::WriteFile(RecordPath(strModelPath), record);
}

bool Recover(const CString& strModelPath)
{
    const CString recordPath = RecordPath(strModelPath);
    // A record cut off while it was written never reached its place, and
    // nothing was fetched after it.
    CSafeFileWriter::RemoveLeftovers(recordPath);
    if (!CFile::Exists(recordPath))
        return false;
    const std::vector<BYTE> record = CFile::ReadWhole(recordPath, 1 + CAppUserVoiceDic::kModelArea);
    if (!record.empty() && record[0] == kFileWasThere) {
        CSafeFileWriter::RemoveLeftovers(strModelPath);
        CSafeFileWriter::WriteFile(strModelPath, record.data() + 1, static_cast<UINT>(record.size() - 1));
    } else {
        // No file there before the fetch, so none may be left with the
        // fetched model in it; so too for a record that is not one of ours
        // (they are written whole): better no model than another user's.
        RemoveIfThere(strModelPath);
    }
    CFile::Remove(recordPath);
    return true;
}

void Clear(const CString& strModelPath)
{
    RemoveIfThere(RecordPath(strModelPath));
}

}  // namespace model_putback
