// The folding CRC-32 kernel with carry-less multiplication (x86 only), called
// by crc32.cpp behind a CPU check. Other targets compute with tables.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#define LAUNCHER_CRC32_CLMUL 1

// The kernel reads aligned 16-byte blocks and needs at least four of them.
constexpr size_t kCrc32ClmulBlock = 16;
constexpr size_t kCrc32ClmulMinimum = 4 * kCrc32ClmulBlock;

// CPUID: PCLMULQDQ and SSE4.1.
bool crc32CpuHasClmul();

// Advances the raw CRC register over `count` bytes. `bytes` is aligned to
// kCrc32ClmulBlock, `count` is a multiple of it and at least
// kCrc32ClmulMinimum. Only when crc32CpuHasClmul() is true.
uint32_t crc32FoldClmul(uint32_t reg, const uint8_t* bytes, size_t count);
#endif
