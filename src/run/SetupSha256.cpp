#include "run/SetupSha256.h"

#include <windows.h>

#include "framework/Handles.h"
#include "framework/SystemLibrary.h"

namespace
{
typedef LONG(WINAPI* OpenAlgorithmFn)(void** algorithm, LPCWSTR id, LPCWSTR implementation, ULONG flags);
typedef LONG(WINAPI* CloseAlgorithmFn)(void* algorithm, ULONG flags);
typedef LONG(WINAPI* CreateHashFn)(void* algorithm, void** hash, BYTE* object, ULONG objectSize, BYTE* secret,
                                   ULONG secretSize, ULONG flags);
typedef LONG(WINAPI* HashDataFn)(void* hash, BYTE* input, ULONG count, ULONG flags);
typedef LONG(WINAPI* FinishHashFn)(void* hash, BYTE* output, ULONG size, ULONG flags);
typedef LONG(WINAPI* DestroyHashFn)(void* hash);

template <typename Function>
Function Procedure(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// The system's SHA-256 through bcrypt.dll, loaded from the system folder by
// full path and looked up at run time (Windows XP and 9x have no
// bcrypt.dll). Its failure after a good start (which the system documents
// for no reason but bad arguments) gives a digest of zeros, which no
// recorded package has.
class CSystemSha256 : public ISha256
{
public:
    bool Start()
    {
        m_library.reset(LoadSystemLibrary("bcrypt.dll"));
        if (!m_library)
            return false;
        const auto open = Procedure<OpenAlgorithmFn>(m_library.get(), "BCryptOpenAlgorithmProvider");
        m_close = Procedure<CloseAlgorithmFn>(m_library.get(), "BCryptCloseAlgorithmProvider");
        m_create = Procedure<CreateHashFn>(m_library.get(), "BCryptCreateHash");
        m_data = Procedure<HashDataFn>(m_library.get(), "BCryptHashData");
        m_finish = Procedure<FinishHashFn>(m_library.get(), "BCryptFinishHash");
        m_destroy = Procedure<DestroyHashFn>(m_library.get(), "BCryptDestroyHash");
        if (!open || !m_close || !m_create || !m_data || !m_finish || !m_destroy)
            return false;
        if (open(&m_algorithm, L"SHA256", nullptr, 0) != 0)
        {
            m_algorithm = nullptr;
            return false;
        }
        return NewHash();
    }

    ~CSystemSha256() override
    {
        if (m_hash)
            m_destroy(m_hash);
        if (m_algorithm)
            m_close(m_algorithm, 0);
    }

    void Update(const void* data, size_t count) override
    {
        const BYTE* bytes = static_cast<const BYTE*>(data);
        while (count != 0 && !m_failed)
        {
            const ULONG piece = count > 0x40000000u ? 0x40000000u : static_cast<ULONG>(count);
            m_failed = m_data(m_hash, const_cast<BYTE*>(bytes), piece, 0) != 0;
            bytes += piece;
            count -= piece;
        }
    }

    void Final(BYTE digest[SHA256_DIGEST_SIZE]) override
    {
        if (m_failed || m_finish(m_hash, digest, SHA256_DIGEST_SIZE, 0) != 0)
            ::ZeroMemory(digest, SHA256_DIGEST_SIZE);
        m_destroy(m_hash);
        m_hash = nullptr;
        m_failed = !NewHash();
    }

private:
    bool NewHash() { return m_create(m_algorithm, &m_hash, nullptr, 0, nullptr, 0, 0) == 0; }

    unique_hmodule m_library;
    CloseAlgorithmFn m_close = nullptr;
    CreateHashFn m_create = nullptr;
    HashDataFn m_data = nullptr;
    FinishHashFn m_finish = nullptr;
    DestroyHashFn m_destroy = nullptr;
    void* m_algorithm = nullptr;
    void* m_hash = nullptr;
    bool m_failed = false;
};
} // namespace

std::unique_ptr<ISha256> MakeSetupSha256(std::string& way)
{
    if (CSha256::UsesProcessorInstructions())
    {
        way = "the processor's SHA instructions";
        return std::make_unique<CSha256>();
    }
    auto system = std::make_unique<CSystemSha256>();
    if (system->Start())
    {
        way = "the system's SHA-256 (BCrypt)";
        return system;
    }
    way = "the setup's own SHA-256 code";
    return std::make_unique<CSha256>();
}
