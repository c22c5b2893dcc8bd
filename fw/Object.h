// CObject: the common base of the framework's serialisable classes. It gives
// a virtual destructor and the serialisation hook; a class that stores itself
// in an archive overrides Serialize, the others inherit this empty one.
#pragma once

#include "fw/Api.h"

class CArchive;

class SONVERA_API CObject {
public:
    CObject() = default;
    virtual ~CObject() = default;
    virtual void Serialize(CArchive& ar) { (void)ar; }

protected:
    // Objects are not copied through their base.
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};
