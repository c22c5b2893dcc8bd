// CArchiveException: raised when a load runs out of data or meets bytes that
// do not follow the archive layout. Thrown by value, caught by reference.
#pragma once

#include <exception>
#include <string>

#include "fw/Api.h"
#include "fw/String.h"

class SONVERA_API CArchiveException : public std::exception {
public:
    enum {
        none,
        genericException,
        readOnly,
        endOfFile,
        writeOnly,
        badIndex,
        badClass,
        badSchema
    };

    explicit CArchiveException(int cause = none, const CString& fileName = CString());

    const char* what() const noexcept override { return m_strWhat.c_str(); }

    int m_cause;
    CString m_strFileName;

private:
    std::string m_strWhat;
};
