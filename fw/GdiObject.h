// CGdiObject: the owner of one GDI object handle, deleted with the owner.
// Attach takes a handle over (a second one on a live owner is a bug), Detach
// hands it on. The kinds (CBitmap, CRgn, CFont, CPen, CBrush) add their
// creation calls. An object must not be selected into a DC when its owner
// ends: declare it before the CDC that selects it, so the DC's scope restores
// the selection first.
#pragma once

#include <windows.h>

#include "fw/Api.h"

class SONVERA_API CGdiObject {
public:
    CGdiObject() = default;
    ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    CGdiObject(CGdiObject&& other) noexcept : m_hObject(other.Detach()) {}
    CGdiObject& operator=(CGdiObject&& other) noexcept;

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    bool IsNull() const { return m_hObject == nullptr; }

    // Takes ownership; FALSE for a null handle.
    BOOL Attach(HGDIOBJ handle);
    HGDIOBJ Detach();
    // Deletes the handle when there is one; TRUE when nothing is left.
    BOOL DeleteObject();

protected:
    HGDIOBJ m_hObject = nullptr;
};
