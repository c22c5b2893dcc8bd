// CLibrary: a DLL loaded by name, for as long as the object lives.
//
// For libraries the product must not depend on at link time: the DLL is
// loaded where it is needed and freed when the object goes, on every way out.
// Loading and lookups go through the loader in force (fw/LibraryLoader.h).
#pragma once

#include <windows.h>

#include "fw/Api.h"

class SONVERA_API CLibrary {
public:
    CLibrary() = default;
    ~CLibrary();
    CLibrary(const CLibrary&) = delete;
    CLibrary& operator=(const CLibrary&) = delete;

    // false when the library cannot be loaded. A second load on a loaded object is a bug.
    bool Load(const char* name);
    void Free();
    bool IsLoaded() const { return m_module != nullptr; }

    // The named function as a pointer of type F, or nullptr when the library lacks it.
    template <class F>
    F Find(const char* name) const
    {
        return reinterpret_cast<F>(reinterpret_cast<void*>(FindAddress(name)));
    }

private:
    FARPROC FindAddress(const char* name) const;

    HMODULE m_module = nullptr;
};
