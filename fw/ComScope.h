// CComScope: COM set up on the calling thread for as long as the scope lives.
// A thread that already runs COM keeps its own set-up; scopes nest cheaply.
#pragma once

#include <objbase.h>

class CComScope {
public:
    CComScope() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~CComScope()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    CComScope(const CComScope&) = delete;
    CComScope& operator=(const CComScope&) = delete;

private:
    HRESULT m_hr;
};
