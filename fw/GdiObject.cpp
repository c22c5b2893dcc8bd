#include "fw/GdiObject.h"

#include <cassert>

CGdiObject& CGdiObject::operator=(CGdiObject&& other) noexcept
{
    if (this != &other) {
        DeleteObject();
        m_hObject = other.Detach();
    }
    return *this;
}

BOOL CGdiObject::Attach(HGDIOBJ handle)
{
    assert(m_hObject == nullptr && "a GDI owner takes one handle at a time");
    m_hObject = handle;
    return handle != nullptr;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ handle = m_hObject;
    m_hObject = nullptr;
    return handle;
}

BOOL CGdiObject::DeleteObject()
{
    if (m_hObject == nullptr)
        return TRUE;
    const BOOL deleted = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return deleted;
}
