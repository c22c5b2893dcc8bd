#include "fw/Library.h"

#include <cassert>

#include "fw/LibraryLoader.h"

CLibrary::~CLibrary()
{
    Free();
}

bool CLibrary::Load(const char* name)
{
    assert(m_module == nullptr);
    m_module = GetLibraryLoader().Load(name);
    return m_module != nullptr;
}

void CLibrary::Free()
{
    if (m_module != nullptr) {
        GetLibraryLoader().Free(m_module);
        m_module = nullptr;
    }
}

FARPROC CLibrary::FindAddress(const char* name) const
{
    return m_module != nullptr ? GetLibraryLoader().Find(m_module, name) : nullptr;
}
