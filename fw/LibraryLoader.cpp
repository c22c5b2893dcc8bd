#include "fw/LibraryLoader.h"

namespace {

CWin32LibraryLoader g_win32;
ILibraryLoader* g_current = &g_win32;

} // namespace

HMODULE CWin32LibraryLoader::Load(const char* name)
{
    return LoadLibraryA(name);
}

FARPROC CWin32LibraryLoader::Find(HMODULE module, const char* name)
{
    return GetProcAddress(module, name);
}

BOOL CWin32LibraryLoader::Free(HMODULE module)
{
    return FreeLibrary(module);
}

ILibraryLoader& GetLibraryLoader()
{
    return *g_current;
}

ILibraryLoader* SetLibraryLoader(ILibraryLoader* loader)
{
    ILibraryLoader* previous = g_current;
    g_current = loader != nullptr ? loader : &g_win32;
    return previous;
}
