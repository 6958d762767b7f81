#pragma once
// A minimal run-time class facility: an object can tell the name of its class
// and whether it is of a given class or one derived from it. Nothing is
// created dynamically and nothing is serialized.

struct CRuntimeClass
{
    const char* m_lpszClassName;
    const CRuntimeClass* m_pBaseClass; // null for the root class

    bool IsDerivedFrom(const CRuntimeClass* base) const
    {
        for (const CRuntimeClass* cls = this; cls; cls = cls->m_pBaseClass)
        {
            if (cls == base)
                return true;
        }
        return false;
    }
};

// The root of the classes that carry run-time class information.
class CObject
{
public:
    static const CRuntimeClass classCObject;

    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
    virtual ~CObject() = default;

    bool IsKindOf(const CRuntimeClass* cls) const { return GetRuntimeClass()->IsDerivedFrom(cls); }

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

inline const CRuntimeClass CObject::classCObject = {"CObject", nullptr};
