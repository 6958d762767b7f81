// The SHA-256 compression with the x86 SHA instructions (SHA256RNDS2,
// SHA256MSG1, SHA256MSG2), where the processor has them: four to eight times
// as fast as the portable code. Compiled for these instructions function by
// function, so the rest of the program runs on any x86 processor.
#include "package/Sha256.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>

#include "portable/VectorState.h"

namespace
{
// The instructions keep the eight working words in two registers: A, B, E, F
// in one (A in the highest element) and C, D, G, H in the other. Two rounds
// take the (C, D, G, H) and (A, B, E, F) of before and give the new
// (A, B, E, F); the new (C, D, G, H) is the old (A, B, E, F). So the two
// registers swap roles every two rounds and are back after four.
__attribute__((target("sha,sse4.1,ssse3"))) void CompressWithShaInstructions(DWORD state[8], const BYTE* blocks,
                                                                              size_t count)
{
    // Each 32-bit word of the message is big-endian.
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);

    // state[0..3] = a, b, c, d and state[4..7] = e, f, g, h, lowest element
    // first, into (A, B, E, F) and (C, D, G, H).
    __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i efgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    abcd = _mm_shuffle_epi32(abcd, 0xB1);             // b a d c
    efgh = _mm_shuffle_epi32(efgh, 0x1B);             // h g f e
    __m128i abef = _mm_alignr_epi8(abcd, efgh, 8);    // f e b a
    __m128i cdgh = _mm_blend_epi16(efgh, abcd, 0xF0); // h g d c

    for (; count != 0; --count, blocks += SHA256_BLOCK_SIZE)
    {
        const __m128i savedAbef = abef;
        const __m128i savedCdgh = cdgh;
        // The message words of the last four groups of four, W[t..t+3].
        __m128i words[4];
        for (int group = 0; group < 16; ++group)
        {
            __m128i& w = words[group & 3];
            if (group < 4)
            {
                w = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * group)),
                                     byteSwap);
            }
            else
            {
                // W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16]: MSG1
                // gives W[t-16] + s0(W[t-15]) for four words, the words
                // W[t-7..t-4] are the previous two groups shifted by one,
                // and MSG2 adds s1 of the words two back, the last two from
                // its own first results.
                const __m128i& last = words[(group - 1) & 3];
                const __m128i& beforeLast = words[(group - 2) & 3];
                __m128i sum = _mm_sha256msg1_epu32(w, words[(group - 3) & 3]);
                sum = _mm_add_epi32(sum, _mm_alignr_epi8(last, beforeLast, 4));
                w = _mm_sha256msg2_epu32(sum, last);
            }
            const __m128i withConstants =
                _mm_add_epi32(w, _mm_load_si128(reinterpret_cast<const __m128i*>(SHA256_ROUND_CONSTANTS + 4 * group)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, withConstants);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(withConstants, 0x0E));
        }
        abef = _mm_add_epi32(abef, savedAbef);
        cdgh = _mm_add_epi32(cdgh, savedCdgh);
    }

    // Back to a, b, c, d and e, f, g, h.
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B); // a b e f
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1); // g h c d
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

bool ProcessorHasShaInstructions()
{
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return false;
    const bool ssse3 = (ecx & bit_SSSE3) != 0;
    const bool sse41 = (ecx & bit_SSE4_1) != 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx))
        return false;
    return ssse3 && sse41 && (ebx & bit_SHA) != 0;
}
} // namespace

CSha256::CompressFn Sha256ProcessorCompress()
{
    if (ProcessorHasShaInstructions() && SystemSavesVectorRegisters())
        return &CompressWithShaInstructions;
    return nullptr;
}

#else

CSha256::CompressFn Sha256ProcessorCompress() { return nullptr; }

#endif
