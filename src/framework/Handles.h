#pragma once
#include <windows.h>

#include <utility>

// One move-only owner per handle kind, defined by a traits type that gives
// its invalid value and its close function. Handles that are invalid as NULL
// and those invalid as INVALID_HANDLE_VALUE are different types so that one
// cannot be checked against the other's sentinel.
template <typename T, typename Traits>
class CUniqueResource
{
    static T Invalid() { return Traits::Invalid(); }

public:
public:
    CUniqueResource() = default;
    explicit CUniqueResource(T value) : m_value(value) {}
    ~CUniqueResource() { reset(); }

    CUniqueResource(const CUniqueResource&) = delete;
    CUniqueResource& operator=(const CUniqueResource&) = delete;
    CUniqueResource(CUniqueResource&& other) noexcept : m_value(other.release()) {}
    CUniqueResource& operator=(CUniqueResource&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    T get() const { return m_value; }
    bool valid() const { return m_value != Invalid(); }
    explicit operator bool() const { return valid(); }

    void reset(T value = Traits::Invalid())
    {
        if (m_value != Invalid())
            Traits::Close(m_value);
        m_value = value;
    }
    T release() { return std::exchange(m_value, Invalid()); }

    // For APIs that return the handle through an out-parameter: whatever was
    // held is closed first.
    T* put()
    {
        reset();
        return &m_value;
    }

private:
    T m_value = Traits::Invalid();
};

template <typename T, void (*CloseFn)(T)>
struct NullInvalid
{
    static T Invalid() { return nullptr; }
    static void Close(T value) { CloseFn(value); }
};

template <void (*CloseFn)(HANDLE)>
struct InvalidHandleValueInvalid
{
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE value) { CloseFn(value); }
};

inline void CloseKernelHandle(HANDLE h) { ::CloseHandle(h); }
inline void CloseFindHandle(HANDLE h) { ::FindClose(h); }
inline void CloseRegistryKey(HKEY h) { ::RegCloseKey(h); }
inline void CloseModule(HMODULE h) { ::FreeLibrary(h); }
inline void CloseBitmap(HBITMAP h) { ::DeleteObject(h); }

// Processes, threads, events, tokens: invalid as NULL.
using unique_handle = CUniqueResource<HANDLE, NullInvalid<HANDLE, CloseKernelHandle>>;
// Files from CreateFile and find handles: invalid as INVALID_HANDLE_VALUE.
using unique_hfile = CUniqueResource<HANDLE, InvalidHandleValueInvalid<CloseKernelHandle>>;
using unique_hfind = CUniqueResource<HANDLE, InvalidHandleValueInvalid<CloseFindHandle>>;
using unique_hkey = CUniqueResource<HKEY, NullInvalid<HKEY, CloseRegistryKey>>;
using unique_hmodule = CUniqueResource<HMODULE, NullInvalid<HMODULE, CloseModule>>;
using unique_hbitmap = CUniqueResource<HBITMAP, NullInvalid<HBITMAP, CloseBitmap>>;

// COM interface pointers: released once, invalid as null.
template <typename Interface>
void ReleaseInterface(Interface* pointer)
{
    pointer->Release();
}
template <typename Interface>
using unique_com = CUniqueResource<Interface*, NullInvalid<Interface*, ReleaseInterface<Interface>>>;

// Memory the system hands out with LocalAlloc (security descriptors,
// access-control lists): invalid as null.
inline void FreeLocalMemory(HLOCAL memory) { ::LocalFree(memory); }
using unique_hlocal = CUniqueResource<HLOCAL, NullInvalid<HLOCAL, FreeLocalMemory>>;
// SIDs from AllocateAndInitializeSid.
inline void FreeSidMemory(PSID sid) { ::FreeSid(sid); }
using unique_sid = CUniqueResource<PSID, NullInvalid<PSID, FreeSidMemory>>;
