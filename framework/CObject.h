#pragma once

#include <memory>

class CObject;

// Run-time class record: a class's registered name, its size, its base class
// and, for classes with a default constructor, a way to create an instance.
struct CRuntimeClass {
    const char* m_lpszClassName;
    int m_nObjectSize;
    std::unique_ptr<CObject> (*m_pfnCreateObject)();
    const CRuntimeClass* m_pBaseClass;

    // Null when the class cannot be created dynamically.
    std::unique_ptr<CObject> CreateObject() const;
    bool IsDerivedFrom(const CRuntimeClass* base) const;
};

// Builds the record of class T, which names its base through T::Base.
template <class T>
CRuntimeClass MakeRuntimeClass(const char* name)
{
    return { name, static_cast<int>(sizeof(T)),
             []() -> std::unique_ptr<CObject> { return std::make_unique<T>(); },
             &T::Base::RuntimeClass };
}

class CObject {
public:
    static const CRuntimeClass RuntimeClass;

    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;

    bool IsKindOf(const CRuntimeClass* cls) const;

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};
