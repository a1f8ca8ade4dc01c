#include "framework/CObject.h"

const CRuntimeClass CObject::RuntimeClass = { "CObject", static_cast<int>(sizeof(CObject)),
                                              nullptr, nullptr };

std::unique_ptr<CObject> CRuntimeClass::CreateObject() const
{
    return m_pfnCreateObject ? m_pfnCreateObject() : nullptr;
}

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const
{
    for (const CRuntimeClass* cls = this; cls; cls = cls->m_pBaseClass)
        if (cls == base)
            return true;
    return false;
}

const CRuntimeClass* CObject::GetRuntimeClass() const
{
    return &RuntimeClass;
}

bool CObject::IsKindOf(const CRuntimeClass* cls) const
{
    return GetRuntimeClass()->IsDerivedFrom(cls);
}
