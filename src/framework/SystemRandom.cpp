#include "framework/SystemRandom.h"

#include "framework/Handles.h"
#include "framework/SystemLibrary.h"

namespace
{
constexpr ULONG BCRYPT_USE_SYSTEM_PREFERRED_RNG_FLAG = 0x00000002;
constexpr DWORD PROVIDER_RSA_FULL = 1;
constexpr DWORD CONTEXT_VERIFY_ONLY = 0xF0000000;

template <typename Function>
Function Procedure(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
                  : nullptr;
}

bool FromBCrypt(void* buffer, DWORD count)
{
    typedef LONG(WINAPI * GenRandomFn)(void*, BYTE*, ULONG, ULONG);
    const unique_hmodule bcrypt(LoadSystemLibrary("bcrypt.dll"));
    const auto generate = Procedure<GenRandomFn>(bcrypt.get(), "BCryptGenRandom");
    return generate &&
           generate(nullptr, static_cast<BYTE*>(buffer), count, BCRYPT_USE_SYSTEM_PREFERRED_RNG_FLAG) == 0;
}

bool FromAdvapi(void* buffer, DWORD count)
{
    typedef BOOLEAN(WINAPI * RtlGenRandomFn)(void*, ULONG);
    typedef BOOL(WINAPI * AcquireFn)(ULONG_PTR*, LPCSTR, LPCSTR, DWORD, DWORD);
    typedef BOOL(WINAPI * GenRandomFn)(ULONG_PTR, DWORD, BYTE*);
    typedef BOOL(WINAPI * ReleaseFn)(ULONG_PTR, DWORD);
    const unique_hmodule advapi(LoadSystemLibrary("advapi32.dll"));
    // RtlGenRandom is exported under this name only.
    if (const auto generate = Procedure<RtlGenRandomFn>(advapi.get(), "SystemFunction036"))
        if (generate(buffer, count))
            return true;
    const auto acquire = Procedure<AcquireFn>(advapi.get(), "CryptAcquireContextA");
    const auto generate = Procedure<GenRandomFn>(advapi.get(), "CryptGenRandom");
    const auto release = Procedure<ReleaseFn>(advapi.get(), "CryptReleaseContext");
    ULONG_PTR provider = 0;
    if (!acquire || !generate || !release ||
        !acquire(&provider, nullptr, nullptr, PROVIDER_RSA_FULL, CONTEXT_VERIFY_ONLY))
        return false;
    const bool generated = generate(provider, count, static_cast<BYTE*>(buffer)) != FALSE;
    release(provider, 0);
    return generated;
}
} // namespace

bool SystemRandomBytes(void* buffer, DWORD count)
{
    if (FromBCrypt(buffer, count) || FromAdvapi(buffer, count))
        return true;
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return false;
}
