#include "fw/FileException.h"

#include <cstdio>

namespace {

struct OsErrorCause {
    LONG osError;
    int cause;
};

const OsErrorCause kOsErrorCauses[] = {
    {ERROR_FILE_NOT_FOUND, CFileException::fileNotFound},
    {ERROR_PATH_NOT_FOUND, CFileException::badPath},
    {ERROR_TOO_MANY_OPEN_FILES, CFileException::tooManyOpenFiles},
    {ERROR_ACCESS_DENIED, CFileException::accessDenied},
    {ERROR_INVALID_HANDLE, CFileException::fileNotFound},
    {ERROR_BAD_FORMAT, CFileException::invalidFile},
    {ERROR_INVALID_ACCESS, CFileException::accessDenied},
    {ERROR_INVALID_DRIVE, CFileException::badPath},
    {ERROR_CURRENT_DIRECTORY, CFileException::removeCurrentDir},
    {ERROR_NOT_SAME_DEVICE, CFileException::badPath},
    {ERROR_NO_MORE_FILES, CFileException::fileNotFound},
    {ERROR_WRITE_PROTECT, CFileException::accessDenied},
    {ERROR_BAD_UNIT, CFileException::hardIO},
    {ERROR_NOT_READY, CFileException::hardIO},
    {ERROR_BAD_COMMAND, CFileException::hardIO},
    {ERROR_CRC, CFileException::hardIO},
    {ERROR_BAD_LENGTH, CFileException::badSeek},
    {ERROR_SEEK, CFileException::badSeek},
    {ERROR_NOT_DOS_DISK, CFileException::invalidFile},
    {ERROR_SECTOR_NOT_FOUND, CFileException::badSeek},
    {ERROR_WRITE_FAULT, CFileException::accessDenied},
    {ERROR_READ_FAULT, CFileException::badSeek},
    {ERROR_SHARING_VIOLATION, CFileException::sharingViolation},
    {ERROR_LOCK_VIOLATION, CFileException::lockViolation},
    {ERROR_WRONG_DISK, CFileException::badPath},
    {ERROR_SHARING_BUFFER_EXCEEDED, CFileException::tooManyOpenFiles},
    {ERROR_HANDLE_EOF, CFileException::endOfFile},
    {ERROR_HANDLE_DISK_FULL, CFileException::diskFull},
    {ERROR_BAD_NETPATH, CFileException::badPath},
    {ERROR_NETWORK_ACCESS_DENIED, CFileException::accessDenied},
    {ERROR_BAD_NET_NAME, CFileException::badPath},
    {ERROR_FILE_EXISTS, CFileException::accessDenied},
    {ERROR_CANNOT_MAKE, CFileException::accessDenied},
    {ERROR_DISK_FULL, CFileException::diskFull},
    {ERROR_INVALID_NAME, CFileException::badPath},
    {ERROR_NEGATIVE_SEEK, CFileException::badSeek},
    {ERROR_SEEK_ON_DEVICE, CFileException::badSeek},
    {ERROR_DIR_NOT_EMPTY, CFileException::removeCurrentDir},
    {ERROR_BAD_PATHNAME, CFileException::badPath},
    {ERROR_LOCK_FAILED, CFileException::lockViolation},
    {ERROR_BUSY, CFileException::accessDenied},
    {ERROR_ALREADY_EXISTS, CFileException::accessDenied},
    {ERROR_FILENAME_EXCED_RANGE, CFileException::badPath},
    {ERROR_DIRECTORY, CFileException::badPath},
    {ERROR_OPERATION_ABORTED, CFileException::hardIO},
    {ERROR_IO_DEVICE, CFileException::hardIO},
};

const char* const kCauseNames[] = {
    "none", "genericException", "fileNotFound", "badPath", "tooManyOpenFiles",
    "accessDenied", "invalidFile", "removeCurrentDir", "directoryFull", "badSeek",
    "hardIO", "sharingViolation", "lockViolation", "diskFull", "endOfFile",
};

} // namespace

CFileException::CFileException(int cause, LONG osError, const CString& fileName, const char* apiName)
    : m_cause(cause), m_lOsError(osError), m_strFileName(fileName), m_strApiName(apiName)
{
    CString text;
    text.Format("%s failed on \"%s\": %s (OS error %ld)", m_strApiName.IsEmpty() ? "file call" : m_strApiName.GetString(),
                m_strFileName.GetString(), CauseName(m_cause), static_cast<long>(m_lOsError));
    m_strWhat = text.str();
}

int CFileException::OsErrorToCause(LONG osError)
{
    for (const OsErrorCause& entry : kOsErrorCauses) {
        if (entry.osError == osError)
            return entry.cause;
    }
    return genericException;
}

void CFileException::ThrowOsError(LONG osError, const CString& fileName, const char* apiName)
{
    throw CFileException(OsErrorToCause(osError), osError, fileName, apiName);
}

void CFileException::Throw(int cause, const CString& fileName, const char* apiName)
{
    throw CFileException(cause, -1, fileName, apiName);
}

const char* CFileException::CauseName(int cause)
{
    if (cause < 0 || cause > endOfFile)
        return "unknown";
    return kCauseNames[cause];
}
