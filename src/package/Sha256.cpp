#include "package/Sha256.h"

#include <cstring>

// The first 32 bits of the fractional parts of the cube roots of the first
// 64 primes; aligned for the processor's way, which loads them four at once.
alignas(16) const DWORD SHA256_ROUND_CONSTANTS[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

std::string Sha256Hex(const BYTE digest[SHA256_DIGEST_SIZE])
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (DWORD i = 0; i < SHA256_DIGEST_SIZE; ++i)
        (text += digits[digest[i] >> 4]) += digits[digest[i] & 15];
    return text;
}

namespace
{
constexpr DWORD INITIAL_STATE[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                    0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

inline DWORD RotateRight(DWORD x, unsigned n) { return (x >> n) | (x << (32 - n)); }

inline DWORD LoadBE32(const BYTE* p)
{
    return (static_cast<DWORD>(p[0]) << 24) | (static_cast<DWORD>(p[1]) << 16) | (static_cast<DWORD>(p[2]) << 8) |
           static_cast<DWORD>(p[3]);
}

inline void StoreBE32(BYTE* p, DWORD value)
{
    p[0] = static_cast<BYTE>(value >> 24);
    p[1] = static_cast<BYTE>(value >> 16);
    p[2] = static_cast<BYTE>(value >> 8);
    p[3] = static_cast<BYTE>(value);
}

// Chosen once per process: the processor does not change under it.
CSha256::CompressFn BestCompress()
{
    static const CSha256::CompressFn best = [] {
        const CSha256::CompressFn hardware = Sha256ProcessorCompress();
        return hardware ? hardware : &CSha256::CompressPortable;
    }();
    return best;
}
} // namespace

void CSha256::CompressPortable(DWORD state[8], const BYTE* blocks, size_t count)
{
    for (; count != 0; --count, blocks += SHA256_BLOCK_SIZE)
    {
        DWORD w[64];
        for (int t = 0; t < 16; ++t)
            w[t] = LoadBE32(blocks + 4 * t);
        for (int t = 16; t < 64; ++t)
        {
            const DWORD s0 = RotateRight(w[t - 15], 7) ^ RotateRight(w[t - 15], 18) ^ (w[t - 15] >> 3);
            const DWORD s1 = RotateRight(w[t - 2], 17) ^ RotateRight(w[t - 2], 19) ^ (w[t - 2] >> 10);
            w[t] = w[t - 16] + s0 + w[t - 7] + s1;
        }
        DWORD a = state[0], b = state[1], c = state[2], d = state[3];
        DWORD e = state[4], f = state[5], g = state[6], h = state[7];
        for (int t = 0; t < 64; ++t)
        {
            const DWORD s1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
            const DWORD choice = (e & f) ^ (~e & g);
            const DWORD t1 = h + s1 + choice + SHA256_ROUND_CONSTANTS[t] + w[t];
            const DWORD s0 = RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
            const DWORD majority = (a & b) ^ (a & c) ^ (b & c);
            const DWORD t2 = s0 + majority;
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

CSha256::CSha256() : m_pfnCompress(BestCompress()) { Reset(); }

bool CSha256::UsesProcessorInstructions() { return BestCompress() != &CSha256::CompressPortable; }

void CSha256::Reset()
{
    std::memcpy(m_state, INITIAL_STATE, sizeof m_state);
    m_nBuffered = 0;
    m_nTotal = 0;
}

void CSha256::Update(const void* data, size_t count)
{
    const BYTE* bytes = static_cast<const BYTE*>(data);
    m_nTotal += count;
    if (m_nBuffered != 0)
    {
        const size_t take = count < SHA256_BLOCK_SIZE - m_nBuffered ? count : SHA256_BLOCK_SIZE - m_nBuffered;
        std::memcpy(m_buffer + m_nBuffered, bytes, take);
        m_nBuffered += take;
        bytes += take;
        count -= take;
        if (m_nBuffered < SHA256_BLOCK_SIZE)
            return;
        m_pfnCompress(m_state, m_buffer, 1);
        m_nBuffered = 0;
    }
    // Whole blocks straight from the caller's memory.
    const size_t blocks = count / SHA256_BLOCK_SIZE;
    if (blocks != 0)
        m_pfnCompress(m_state, bytes, blocks);
    bytes += blocks * SHA256_BLOCK_SIZE;
    count -= blocks * SHA256_BLOCK_SIZE;
    std::memcpy(m_buffer, bytes, count);
    m_nBuffered = count;
}

void CSha256::Final(BYTE digest[SHA256_DIGEST_SIZE])
{
    // The padding: a one bit, zeros, and the message's length in bits,
    // big-endian, ending a block.
    const ULONGLONG bits = m_nTotal * 8;
    BYTE tail[2 * SHA256_BLOCK_SIZE] = {};
    std::memcpy(tail, m_buffer, m_nBuffered);
    tail[m_nBuffered] = 0x80;
    const size_t length = m_nBuffered + 1 + 8 <= SHA256_BLOCK_SIZE ? SHA256_BLOCK_SIZE : 2 * SHA256_BLOCK_SIZE;
    for (int i = 0; i < 8; ++i)
        tail[length - 1 - i] = static_cast<BYTE>(bits >> (8 * i));
    m_pfnCompress(m_state, tail, length / SHA256_BLOCK_SIZE);
    for (int i = 0; i < 8; ++i)
        StoreBE32(digest + 4 * i, m_state[i]);
    Reset();
}
