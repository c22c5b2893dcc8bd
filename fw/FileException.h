// CFileException: the one error type of the file layer. A failed system call
// (a BOOL plus GetLastError) is turned into it once, where the call is made.
// Thrown by value, caught by reference.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "fw/Api.h"
#include "fw/String.h"

class SONVERA_API CFileException : public std::exception {
public:
    enum {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };

    CFileException(int cause = none, LONG osError = -1, const CString& fileName = CString(),
                   const char* apiName = "");

    const char* what() const noexcept override { return m_strWhat.c_str(); }

    // The cause that a Win32 error code stands for.
    static int OsErrorToCause(LONG osError);
    // Throws the exception for a failed call whose GetLastError value is given.
    [[noreturn]] static void ThrowOsError(LONG osError, const CString& fileName, const char* apiName);
    // Throws the exception for the cause, without an OS error.
    [[noreturn]] static void Throw(int cause, const CString& fileName, const char* apiName);

    static const char* CauseName(int cause);

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
    CString m_strApiName;

private:
    std::string m_strWhat;
};
