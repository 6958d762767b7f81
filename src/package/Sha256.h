#pragma once
// SHA-256 (FIPS 180-4) of the package library, for the check a package
// carries over its own bytes and for systems without a SHA-256 of their own
// (Windows 9x, NT before XP SP3). Where the processor has the SHA
// instructions and the system saves the vector registers, the blocks go
// through them; else through portable code. Both give the same digest.
#include <cstddef>
#include <string>

#include "portable/Win32Api.h"

constexpr DWORD SHA256_DIGEST_SIZE = 32;
constexpr DWORD SHA256_BLOCK_SIZE = 64;

// A SHA-256 computation: ours, or one the system offers.
class ISha256
{
public:
    virtual ~ISha256() = default;
    virtual void Update(const void* data, size_t count) = 0;
    // The digest of everything given; the computation starts anew afterwards.
    virtual void Final(BYTE digest[SHA256_DIGEST_SIZE]) = 0;
};

class CSha256 : public ISha256
{
public:
    CSha256();
    void Update(const void* data, size_t count) override;
    void Final(BYTE digest[SHA256_DIGEST_SIZE]) override;

    // Whether this process hashes with the processor's SHA instructions.
    static bool UsesProcessorInstructions();
    // Forces the portable code (tests compare the two ways).
    void UsePortableCode() { m_pfnCompress = &CompressPortable; }

    using CompressFn = void (*)(DWORD state[8], const BYTE* blocks, size_t count);
    static void CompressPortable(DWORD state[8], const BYTE* blocks, size_t count);

private:
    void Reset();

    DWORD m_state[8];
    BYTE m_buffer[SHA256_BLOCK_SIZE];
    size_t m_nBuffered;
    ULONGLONG m_nTotal;
    CompressFn m_pfnCompress;
};

// The 64 round constants of the standard.
extern const DWORD SHA256_ROUND_CONSTANTS[64];

// A digest as 64 lower-case hexadecimal digits, as sha256sum prints it.
std::string Sha256Hex(const BYTE digest[SHA256_DIGEST_SIZE]);

// The hardware way: the SHA compression with the processor's instructions,
// or null where the processor or the system cannot run them.
CSha256::CompressFn Sha256ProcessorCompress();
