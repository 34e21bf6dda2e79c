// Folds the data 512 bits at a time in four lanes, then 128 bits at a time,
// then reduces the last 128 bits with Barrett reduction, all in the
// bit-reflected domain (Intel's white paper "Fast CRC Computation for Generic
// Polynomials Using PCLMULQDQ Instruction").
#include "base/crc32_clmul.h"

#ifdef LAUNCHER_CRC32_CLMUL

#include <cpuid.h>
#include <immintrin.h>

// The build has no -m flags: only these functions use the instructions, and
// Crc32 checks the CPU before calling them.
#define CRC32_SIMD __attribute__((target("pclmul,sse4.1")))
#if defined(__i386__)
// 32-bit Windows keeps the incoming stack only 4-byte aligned; a spilled
// __m128i needs 16.
#define CRC32_SIMD_ENTRY CRC32_SIMD __attribute__((force_align_arg_pointer))
#else
#define CRC32_SIMD_ENTRY CRC32_SIMD
#endif

namespace {

// x^n mod P for the reflected polynomial, bit-reflected; the low quadword
// multiplies the low half of a lane, the high quadword the high half.
constexpr long long kFold512Low = 0x154442bd4;  // k1
constexpr long long kFold512High = 0x1c6e41596; // k2
constexpr long long kFold128Low = 0x1751997d0;  // k3
constexpr long long kFold128High = 0x0ccaa009e; // k4
constexpr long long kFold64 = 0x163cd6124;      // k5
constexpr long long kPolynomial = 0x1db710641;  // P'
constexpr long long kBarrettMu = 0x1f7011641;   // mu'

// acc * x^distance + next, with the distance encoded in `k`.
CRC32_SIMD inline __m128i foldInto(__m128i acc, __m128i next, __m128i k) {
    const __m128i low = _mm_clmulepi64_si128(acc, k, 0x00);
    const __m128i high = _mm_clmulepi64_si128(acc, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

// The 32-bit register that the 128 bits of `acc` leave.
CRC32_SIMD inline uint32_t reduce128(__m128i acc) {
    const __m128i lowDwords = _mm_setr_epi32(-1, 0, -1, 0);

    // 128 -> 96 bits.
    const __m128i k128 = _mm_set_epi64x(kFold128High, kFold128Low);
    acc = _mm_xor_si128(_mm_srli_si128(acc, 8), _mm_clmulepi64_si128(acc, k128, 0x10));

    // 96 -> 64 bits.
    const __m128i k64 = _mm_set_epi64x(0, kFold64);
    const __m128i upper = _mm_srli_si128(acc, 4);
    acc = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(acc, lowDwords), k64, 0x00), upper);

    // Barrett reduction: 64 -> 32 bits.
    const __m128i barrett = _mm_set_epi64x(kBarrettMu, kPolynomial);
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(acc, lowDwords), barrett, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, lowDwords), barrett, 0x00);
    return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(acc, t), 1));
}

} // namespace

bool crc32CpuHasClmul() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return false;
    return (ecx & bit_PCLMUL) != 0 && (ecx & bit_SSE4_1) != 0;
}

CRC32_SIMD_ENTRY uint32_t crc32FoldClmul(uint32_t reg, const uint8_t* bytes, size_t count) {
    const __m128i* block = reinterpret_cast<const __m128i*>(bytes);
    const __m128i* const end = block + count / kCrc32ClmulBlock;

    __m128i lane0 = _mm_load_si128(block);
    __m128i lane1 = _mm_load_si128(block + 1);
    __m128i lane2 = _mm_load_si128(block + 2);
    __m128i lane3 = _mm_load_si128(block + 3);
    lane0 = _mm_xor_si128(lane0, _mm_cvtsi32_si128(static_cast<int>(reg)));
    block += 4;

    // Four independent lanes keep the multiplier busy while each result is
    // pending.
    const __m128i k512 = _mm_set_epi64x(kFold512High, kFold512Low);
    for (; end - block >= 4; block += 4) {
        lane0 = foldInto(lane0, _mm_load_si128(block), k512);
        lane1 = foldInto(lane1, _mm_load_si128(block + 1), k512);
        lane2 = foldInto(lane2, _mm_load_si128(block + 2), k512);
        lane3 = foldInto(lane3, _mm_load_si128(block + 3), k512);
    }

    const __m128i k128 = _mm_set_epi64x(kFold128High, kFold128Low);
    __m128i acc = foldInto(lane0, lane1, k128);
    acc = foldInto(acc, lane2, k128);
    acc = foldInto(acc, lane3, k128);
    for (; block != end; ++block)
        acc = foldInto(acc, _mm_load_si128(block), k128);
    return reduce128(acc);
}

#endif
