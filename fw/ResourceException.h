// CResourceException: a window-system resource (a window class, a window, a
// GDI object) could not be made. Raised once, where the call failed, with
// the call's name, what it was making and the Win32 error.
#pragma once

#include <windows.h>

#include <exception>
#include <string>

#include "fw/Api.h"
#include "fw/String.h"

class SONVERA_API CResourceException : public std::exception {
public:
    CResourceException(const char* apiName, const CString& resourceName, LONG osError);

    const char* what() const noexcept override { return m_strWhat.c_str(); }

    // Throws the exception for a call that just failed, with its GetLastError value.
    [[noreturn]] static void ThrowLastError(const char* apiName, const CString& resourceName);

    CString m_strApiName;
    CString m_strResourceName;
    LONG m_lOsError;

private:
    std::string m_strWhat;
};
