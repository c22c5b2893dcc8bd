#include "fw/Object.h"

const CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), 0xFFFF, nullptr};

const CRuntimeClass* CObject::GetRuntimeClass() const
{
    return &classCObject;
}

CObject::~CObject() = default;

void CObject::Serialize(CArchive&) {}

bool CObject::IsKindOf(const CRuntimeClass* cls) const
{
    for (const CRuntimeClass* c = GetRuntimeClass(); c != nullptr; c = c->m_pBaseClass) {
        if (c == cls)
            return true;
    }
    return false;
}
