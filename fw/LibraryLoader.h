// ILibraryLoader: the one seam through which a DLL is loaded by name at run
// time and its functions are looked up.
//
// Each operation behaves like the Win32 call it stands for. CLibrary uses the
// loader in force; tests install one of their own for a scope with
// CLibraryLoaderOverride, to stand in for a library that is missing, lacks a
// function or reports a chosen status.
#pragma once

#include <windows.h>

#include "fw/Api.h"

class SONVERA_API ILibraryLoader {
public:
    virtual ~ILibraryLoader() = default;

    // LoadLibraryA / GetProcAddress / FreeLibrary.
    virtual HMODULE Load(const char* name) = 0;
    virtual FARPROC Find(HMODULE module, const char* name) = 0;
    virtual BOOL Free(HMODULE module) = 0;
};

// The system's own loader.
class SONVERA_API CWin32LibraryLoader : public ILibraryLoader {
public:
    HMODULE Load(const char* name) override;
    FARPROC Find(HMODULE module, const char* name) override;
    BOOL Free(HMODULE module) override;
};

// The loader in use: the system's own unless a test installed another.
SONVERA_API ILibraryLoader& GetLibraryLoader();
// Installs `loader` (nullptr: the system's own) and returns the one it replaces.
SONVERA_API ILibraryLoader* SetLibraryLoader(ILibraryLoader* loader);

// Installs a loader for the lifetime of the object, then puts back the previous one.
class SONVERA_API CLibraryLoaderOverride {
public:
    explicit CLibraryLoaderOverride(ILibraryLoader& loader) : m_previous(SetLibraryLoader(&loader)) {}
    ~CLibraryLoaderOverride() { SetLibraryLoader(m_previous); }
    CLibraryLoaderOverride(const CLibraryLoaderOverride&) = delete;
    CLibraryLoaderOverride& operator=(const CLibraryLoaderOverride&) = delete;

private:
    ILibraryLoader* m_previous;
};
