// CObject: the framework's common base for classes that keep its virtual
// layout: the run-time class query, the virtual destructor and the
// serialisation hook, in that slot order.
#pragma once

#include <windows.h>

#include "fw/Api.h"

class CArchive;

// The run-time description of a class: its name, size, schema and base.
struct CRuntimeClass {
    const char* m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;
    const CRuntimeClass* m_pBaseClass;
};

class SONVERA_API CObject {
public:
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject();
    // Does nothing; classes with a stored form override it.
    virtual void Serialize(CArchive& ar);

    static const CRuntimeClass classCObject;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};
