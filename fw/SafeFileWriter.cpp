#include "fw/SafeFileWriter.h"

#include <memory>

#include "fw/BusyRetry.h"
#include "fw/FileLock.h"
#include "fw/FileSystem.h"

namespace {

// Attempts at a fresh temporary name before giving up (names collide only
// with leftovers or a concurrent writer).
const int kNameAttempts = 16;

// The attributes a rewritten file keeps. A read-only target is refused, not
// rewritten. Archive is always set, as any write sets it, so that a backup
// sees the new contents.
const DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

struct LocalFreeDeleter {
    void operator()(void* memory) const { LocalFree(memory); }
};

[[noreturn]] void ThrowLastError(const CString& path, const char* apiName)
{
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), path, apiName);
}

CString UniqueSuffix()
{
    static LONG counter = 0;
    const LONG n = InterlockedIncrement(&counter);
    CString suffix;
    suffix.Format("%08lX", static_cast<unsigned long>((GetCurrentProcessId() << 16) ^ GetTickCount() ^ (static_cast<DWORD>(n) * 2654435761u)));
    return suffix;
}

// Hands every temporary file an interrupted rewrite of the target left
// behind to `use`; returns how many it took (use returns true).
template <class Use>
int VisitLeftovers(const CString& targetPath, Use use)
{
    const CString prefix = CSafeFileWriter::TempPrefix(targetPath);
    // The folder part, up to the last separator on a character boundary.
    int cut = 0;
    for (int i = 0; i < prefix.GetLength(); i += prefix.CharLengthAt(i)) {
        if (prefix.CharLengthAt(i) == 1 && (prefix[i] == '\\' || prefix[i] == '/' || prefix[i] == ':'))
            cut = i + 1;
    }
    const CString folder = prefix.Left(cut);
    const CString namePrefix = prefix.Mid(cut);

    IFileSystem& fs = GetFileSystem();
    WIN32_FIND_DATAW found;
    ZeroMemory(&found, sizeof found);
    HANDLE find = fs.FindFirst((prefix + "*").ToWide().c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int taken = 0;
    do {
        // The pattern may also match short 8.3 names; only the long name counts.
        const CString name = CString::FromWide(found.cFileName);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && name.GetLength() > namePrefix.GetLength() &&
            name.Left(namePrefix.GetLength()).CompareNoCase(namePrefix) == 0 && use(folder + name))
            ++taken;
    } while (fs.FindNext(find, &found));
    fs.FindClose(find);
    return taken;
}

} // namespace

CString CSafeFileWriter::TempPrefix(const CString& targetPath)
{
    return targetPath + ".~tmp";
}

CSafeFileWriter::CSafeFileWriter(const CString& targetPath) : m_strTarget(targetPath), m_bDone(false)
{
    CreateTemp();
}

CSafeFileWriter::~CSafeFileWriter()
{
    if (!m_bDone)
        Discard();
}

void CSafeFileWriter::CreateTemp()
{
    CFileException error;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        m_strTemp = TempPrefix(m_strTarget) + UniqueSuffix();
        if (m_file.Open(m_strTemp, CFile::modeReadWrite | CFile::modeCreateNew | CFile::shareExclusive, &error))
            return;
        if (error.m_lOsError != ERROR_FILE_EXISTS && error.m_lOsError != ERROR_ALREADY_EXISTS)
            break;
    }
    m_bDone = true;   // nothing was created, so nothing is to be removed
    throw error;
}

void CSafeFileWriter::Write(const void* data, UINT size)
{
    try {
        m_file.Write(data, size);
    } catch (...) {
        Discard();
        throw;
    }
}

bool CSafeFileWriter::Finish(DWORD moveFlags)
{
    if (m_bDone)
        throw CFileException(CFileException::genericException, -1, m_strTarget, "Commit");
    try {
        m_file.Flush();
        m_file.Close();
        if (moveFlags & MOVEFILE_REPLACE_EXISTING)
            KeepTargetRights();
        const std::wstring from = m_strTemp.ToWide();
        const std::wstring to = m_strTarget.ToWide();
        CBusyRetry retry;
        while (!GetFileSystem().Move(from.c_str(), to.c_str(), moveFlags)) {
            const DWORD error = GetLastError();
            if ((moveFlags & MOVEFILE_REPLACE_EXISTING) == 0 &&
                (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)) {
                Discard();
                return false;
            }
            if (!retry.Again(error))
                CFileException::ThrowOsError(static_cast<LONG>(error), m_strTarget, "MoveFileEx");
        }
    } catch (...) {
        Discard();
        throw;
    }
    m_bDone = true;
    return true;
}

void CSafeFileWriter::KeepTargetRights()
{
    // Attributes before the DACL, which may not let this process change them.
    if (KeepTargetAttributes())
        KeepTargetDacl();
}

bool CSafeFileWriter::KeepTargetAttributes()
{
    IFileSystem& fs = GetFileSystem();
    const DWORD attributes = fs.GetAttributes(m_strTarget.ToWide().c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return false;   // nothing to keep: a new file takes what its folder gives
        ThrowLastError(m_strTarget, "GetFileAttributes");
    }
    // Windows' move refuses a read-only target, Wine's replaces it; refused
    // here, a store marked read-only is never rewritten.
    if (attributes & FILE_ATTRIBUTE_READONLY)
        CFileException::ThrowOsError(ERROR_ACCESS_DENIED, m_strTarget, "MoveFileEx");
    if (!fs.SetAttributes(m_strTemp.ToWide().c_str(), (attributes & kKeptAttributes) | FILE_ATTRIBUTE_ARCHIVE))
        ThrowLastError(m_strTarget, "SetFileAttributes");
    return true;
}

void CSafeFileWriter::KeepTargetDacl()
{
    IFileSystem& fs = GetFileSystem();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!fs.GetSecurity(m_strTarget.ToWide().c_str(), DACL_SECURITY_INFORMATION, &descriptor))
        ThrowLastError(m_strTarget, "GetNamedSecurityInfo");
    const std::unique_ptr<void, LocalFreeDeleter> owned(descriptor);
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) ||
        !GetSecurityDescriptorControl(descriptor, &control, &revision))
        ThrowLastError(m_strTarget, "GetSecurityDescriptorDacl");
    // A target without a DACL (as on a FAT volume) grants everyone everything:
    // the rights the temporary has from its folder are never wider, and a
    // volume without security is never asked to set any.
    if (!present || dacl == nullptr)
        return;
    // Unprotected, the inherited entries are taken afresh from the folder,
    // which is the target's own; protected, the list is copied as it stands.
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                        : UNPROTECTED_DACL_SECURITY_INFORMATION);
    if (!fs.SetDacl(m_strTemp.ToWide().c_str(), what, dacl))
        ThrowLastError(m_strTarget, "SetNamedSecurityInfo");
}

void CSafeFileWriter::Commit()
{
    Finish(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool CSafeFileWriter::CommitAsNew()
{
    return Finish(MOVEFILE_WRITE_THROUGH);
}

void CSafeFileWriter::Discard()
{
    m_file.Abort();
    // Best effort: the failure that brought us here is the one worth reporting.
    GetFileSystem().Delete(m_strTemp.ToWide().c_str());
    m_bDone = true;
}

void CSafeFileWriter::WriteFile(const CString& targetPath, const void* data, UINT size)
{
    CSafeFileWriter writer(targetPath);
    writer.Write(data, size);
    writer.Commit();
}

void CSafeFileWriter::WriteFile(const CString& targetPath, const std::vector<BYTE>& data)
{
    WriteFile(targetPath, data.data(), static_cast<UINT>(data.size()));
}

bool CSafeFileWriter::WriteNewFile(const CString& targetPath, const void* data, UINT size)
{
    CSafeFileWriter writer(targetPath);
    writer.Write(data, size);
    return writer.CommitAsNew();
}

int CSafeFileWriter::RemoveLeftovers(const CString& targetPath)
{
    return VisitLeftovers(targetPath,
                          [](const CString& path) { return GetFileSystem().Delete(path.ToWide().c_str()) != FALSE; });
}

void CSafeFileWriter::PrepareStore(const CString& targetPath, const std::function<std::vector<BYTE>()>& newContents)
{
    const auto any = [](const CString&) { return true; };
    if (CFile::Exists(targetPath, FALSE) && VisitLeftovers(targetPath, any) == 0)
        return;
    CFileLock lock(targetPath);
    RemoveLeftovers(targetPath);
    // Only "not found" means absent (Exists raises on any other failure).
    if (!CFile::Exists(targetPath, FALSE)) {
        const std::vector<BYTE> bytes = newContents();
        WriteNewFile(targetPath, bytes.data(), static_cast<UINT>(bytes.size()));
    }
}
