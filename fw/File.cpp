#include "fw/File.h"

#include "fw/BusyRetry.h"
#include "fw/FileSystem.h"

#include <stdexcept>

namespace {

DWORD AccessFor(UINT flags)
{
    // Append access without write access: the system itself puts every write
    // at the end, so no write can land on bytes already there.
    if (flags & CFile::modeAppend)
        return FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE |
               ((flags & 3u) == CFile::modeReadWrite ? FILE_GENERIC_READ : 0);
    switch (flags & 3u) {
    case CFile::modeWrite:
        return GENERIC_WRITE;
    case CFile::modeReadWrite:
        return GENERIC_READ | GENERIC_WRITE;
    default:
        return GENERIC_READ;
    }
}

DWORD ShareFor(UINT flags)
{
    const DWORD deleting = (flags & CFile::shareAllowDelete) ? FILE_SHARE_DELETE : 0;
    switch (flags & 0x70u) {
    case CFile::shareDenyWrite:
        return FILE_SHARE_READ | deleting;
    case CFile::shareDenyRead:
        return FILE_SHARE_WRITE | deleting;
    case CFile::shareDenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE | deleting;
    default:
        return deleting;
    }
}

DWORD DispositionFor(UINT flags)
{
    if (flags & CFile::modeCreateNew)
        return CREATE_NEW;
    if (flags & CFile::modeCreate)
        return (flags & CFile::modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    return OPEN_EXISTING;
}

// Largest single read or write handed to the system at once.
const UINT kMaxChunk = 1u << 30;

} // namespace

CFile::CFile() : m_hFile(INVALID_HANDLE_VALUE) {}

CFile::CFile(const char* path, UINT openFlags) : m_hFile(INVALID_HANDLE_VALUE)
{
    CFileException error;
    if (!Open(path, openFlags, &error))
        throw error;
}

CFile::~CFile()
{
    Abort();
}

BOOL CFile::Open(const char* path, UINT openFlags, CFileException* error)
{
    if (IsOpen())
        throw std::logic_error("CFile::Open: \"" + m_strFileName.str() + "\" is still open");
    m_strFileName = path;
    const std::wstring wide = m_strFileName.ToWide();
    IFileSystem& fs = GetFileSystem();
    CBusyRetry retry;
    HANDLE h;
    do {
        h = fs.Open(wide.c_str(), AccessFor(openFlags), ShareFor(openFlags), DispositionFor(openFlags),
                    FILE_ATTRIBUTE_NORMAL);
    } while (h == INVALID_HANDLE_VALUE && retry.Again(GetLastError()));
    if (h == INVALID_HANDLE_VALUE) {
        const LONG osError = static_cast<LONG>(GetLastError());
        if (error != nullptr)
            *error = CFileException(CFileException::OsErrorToCause(osError), osError, m_strFileName, "CreateFile");
        return FALSE;
    }
    m_hFile = h;
    return TRUE;
}

UINT CFile::Read(void* buffer, UINT count)
{
    auto* out = static_cast<BYTE*>(buffer);
    UINT total = 0;
    // A read may come back short before the end (a pipe, an injected fault); keep
    // asking until the request is met or the file has nothing more.
    while (total < count) {
        const UINT ask = (count - total) < kMaxChunk ? (count - total) : kMaxChunk;
        DWORD done = 0;
        if (!GetFileSystem().Read(m_hFile, out + total, ask, &done))
            ThrowLastError("ReadFile");
        if (done == 0)
            break;
        total += done;
    }
    return total;
}

void CFile::ReadExact(void* buffer, UINT count)
{
    if (Read(buffer, count) != count)
        CFileException::Throw(CFileException::endOfFile, m_strFileName, "ReadFile");
}

void CFile::Write(const void* buffer, UINT count)
{
    const auto* in = static_cast<const BYTE*>(buffer);
    UINT total = 0;
    while (total < count) {
        const UINT ask = (count - total) < kMaxChunk ? (count - total) : kMaxChunk;
        DWORD done = 0;
        if (!GetFileSystem().Write(m_hFile, in + total, ask, &done))
            ThrowLastError("WriteFile");
        // A write that takes nothing and reports no error means the volume is full.
        if (done == 0)
            throw CFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName, "WriteFile");
        total += done;
    }
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from)
{
    const DWORD method = from == current ? FILE_CURRENT : (from == end ? FILE_END : FILE_BEGIN);
    ULONGLONG position = 0;
    if (!GetFileSystem().Seek(m_hFile, offset, method, &position))
        ThrowLastError("SetFilePointerEx");
    return position;
}

ULONGLONG CFile::GetLength() const
{
    ULONGLONG size = 0;
    if (!GetFileSystem().GetSize(m_hFile, &size))
        ThrowLastError("GetFileSizeEx");
    return size;
}

ULONGLONG CFile::GetPosition() const
{
    ULONGLONG position = 0;
    if (!GetFileSystem().Seek(m_hFile, 0, FILE_CURRENT, &position))
        ThrowLastError("SetFilePointerEx");
    return position;
}

void CFile::SetLength(ULONGLONG newLength)
{
    Seek(static_cast<LONGLONG>(newLength), begin);
    if (!GetFileSystem().SetEnd(m_hFile))
        ThrowLastError("SetEndOfFile");
}

void CFile::Flush()
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    if (!GetFileSystem().Flush(m_hFile))
        ThrowLastError("FlushFileBuffers");
}

void CFile::Close()
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    HANDLE h = m_hFile;
    m_hFile = INVALID_HANDLE_VALUE;
    if (!GetFileSystem().Close(h))
        ThrowLastError("CloseHandle");
}

void CFile::Abort()
{
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    GetFileSystem().Close(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

BOOL CFile::Exists(const char* path, BOOL folderWanted)
{
    if (path == nullptr)
        return FALSE;
    const std::wstring wide = CString(path).ToWide();
    const DWORD attributes = GetFileSystem().GetAttributes(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // A name no file can have (quotes, wildcards) is as certainly not
        // there; an exported IsFileExist handed one must answer, not raise.
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
            return FALSE;
        CFileException::ThrowOsError(static_cast<LONG>(error), path, "GetFileAttributes");
    }
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return isFolder == (folderWanted != FALSE);
}

void CFile::Remove(const char* path)
{
    const CString name(path);
    const std::wstring wide = name.ToWide();
    CBusyRetry retry;
    while (!GetFileSystem().Delete(wide.c_str())) {
        if (!retry.Again(GetLastError()))
            CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), name, "DeleteFile");
    }
}

std::vector<BYTE> CFile::ReadWhole(const char* path, ULONGLONG maxLength)
{
    CFile file(path, modeRead | typeBinary | shareDenyWrite);
    const ULONGLONG length = file.GetLength();
    // A damaged or planted file of any length must neither exhaust memory nor,
    // cut to 32 bits, pass for its first bytes.
    if (length > maxLength)
        CFileException::Throw(CFileException::invalidFile, path, "file size");
    std::vector<BYTE> bytes(static_cast<size_t>(length));
    if (!bytes.empty())
        file.ReadExact(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}

void CFile::ThrowLastError(const char* apiName) const
{
    CFileException::ThrowOsError(static_cast<LONG>(GetLastError()), m_strFileName, apiName);
}
