// CRC-32 with the reflected polynomial 0xEDB88320: the checksum of zip and
// zlib, which the update manifest lists for every file. Both functions are
// pure and may be called from any thread, also during static initialisation.
#pragma once

#include <cstddef>
#include <cstdint>

// The standard CRC-32 of `count` bytes, except that zero bytes give
// 0xFFFFFFFF (an empty file has that CRC in the manifest comparison).
uint32_t Crc32(const void* bytes, unsigned count);

// Continues a finished CRC over further bytes: Crc32Continue(b2, n2,
// Crc32(b1, n1)) is the CRC of b1 followed by b2 (n1 > 0), and
// Crc32Continue(b, n, 0) equals Crc32(b, n) for n > 0. Zero bytes return
// `previous` unchanged.
uint32_t Crc32Continue(const void* bytes, unsigned count, uint32_t previous);

// For tests and benchmarks only: the ways Crc32 computes, each over a raw CRC
// register (no start value, no final XOR) and giving identical results.
namespace crc32_paths {
// The one-table loop, one lookup per byte: the reference.
uint32_t bytewise(uint32_t reg, const void* bytes, size_t count);
// Sixteen bytes per step through tables derived from the one above; used
// where carry-less multiplication is missing and for short pieces.
uint32_t sliced(uint32_t reg, const void* bytes, size_t count);
// Whether this CPU folds with carry-less multiplication (PCLMULQDQ and
// SSE4.1 on x86); false elsewhere.
bool clmulAvailable();
} // namespace crc32_paths
