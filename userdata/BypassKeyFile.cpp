#include "userdata/BypassKeyFile.h"

#include <vector>

#include "fw/File.h"
#include "fw/FileException.h"

namespace {

const char kKeyFileName[] = "\\marzet.key";

UINT SystemDriveType(const char* pszRoot)
{
    return GetDriveTypeA(pszRoot);
}

// While it lives, a drive without its medium (an empty card-reader slot, a
// CD-ROM drive without a disc) fails this thread's file calls with
// ERROR_NOT_READY instead of stopping them on the system's "insert a disk" box.
class CNoDiskBoxScope {
public:
    CNoDiskBoxScope() { SetThreadErrorMode(GetThreadErrorMode() | SEM_FAILCRITICALERRORS, &m_dwPrevious); }
    ~CNoDiskBoxScope() { SetThreadErrorMode(m_dwPrevious, nullptr); }
    CNoDiskBoxScope(const CNoDiskBoxScope&) = delete;
    CNoDiskBoxScope& operator=(const CNoDiskBoxScope&) = delete;

private:
    DWORD m_dwPrevious = 0;
};

}  // namespace

void CBypassKeyFile::ListKeyDrives(CStringArray& arrLines, PFN_DRIVE_TYPE pfnDriveType)
{
    if (pfnDriveType == nullptr)
        pfnDriveType = SystemDriveType;
    arrLines.RemoveAll();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        CString drive;
        drive.Format("%c:", letter);
        CString line;
        switch (pfnDriveType(drive + "\\")) {
        case DRIVE_REMOVABLE:
            line.Format("(%s) Removable Drive", drive.GetString());
            break;
        case DRIVE_CDROM:
            line.Format("(%s) CD-ROM Drive", drive.GetString());
            break;
        default:
            continue;
        }
        arrLines.Add(line);
    }
}

int CBypassKeyFile::KeyPathFromLine(const CString& strLine, CString& strPath)
{
    const int colon = strLine.Find(':');
    if (colon <= 0) {
        strPath.Empty();
        return 0;
    }
    strPath = strLine.Mid(colon - 1, 2) + kKeyFileName;
    return 1;
}

CBypassKeyFile::KeyCheck CBypassKeyFile::CheckKeyFile(const CString& strPath,
                                                      const std::function<CString()>& storedKey)
{
    // The drive list shows every removable drive, with its medium or not: one
    // without answers "missing" like any other drive without the key.
    const CNoDiskBoxScope noDiskBox;
    CFile file;
    if (!file.Open(strPath, CFile::modeRead | CFile::shareDenyWrite | CFile::typeBinary))
        return keyMissing;
    // Outside the reading's guard: an unreadable stored key is no missing file.
    const CString strKey = storedKey();
    try {
        // A file of another length cannot hold the key; it is not read at all.
        if (strKey.IsEmpty() || file.GetLength() != static_cast<ULONGLONG>(strKey.GetLength()))
            return keyDiffers;
        std::vector<char> contents(static_cast<size_t>(strKey.GetLength()));
        file.ReadExact(contents.data(), static_cast<UINT>(contents.size()));
        return CString(contents.data(), static_cast<int>(contents.size())) == strKey ? keyMatches : keyDiffers;
    } catch (const CFileException&) {
        return keyMissing;
    }
}
