#include "base/crc32.h"

#include "base/crc32_clmul.h"

#include <array>
#include <utility>

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320;
constexpr size_t kSlice = 16;

using CrcTable = std::array<uint32_t, 256>;
using SliceTables = std::array<CrcTable, kSlice>;

// Entry i: i shifted right eight times, each shift XORed with the polynomial
// when the bit shifted out is 1.
constexpr CrcTable makeByteTable() {
    CrcTable table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t entry = i;
        for (int bit = 0; bit < 8; ++bit)
            entry = (entry & 1) ? (entry >> 1) ^ kPolynomial : entry >> 1;
        table[i] = entry;
    }
    return table;
}

// Table k holds what byte b contributes to the register when k more bytes
// follow it; table 0 is the byte table.
constexpr SliceTables makeSliceTables() {
    SliceTables tables{};
    tables[0] = makeByteTable();
    for (size_t k = 1; k < kSlice; ++k) {
        for (size_t b = 0; b < 256; ++b) {
            const uint32_t previous = tables[k - 1][b];
            tables[k][b] = (previous >> 8) ^ tables[0][previous & 0xFF];
        }
    }
    return tables;
}

// Constant-initialised: ready before any code runs, static initialisers of
// other files included, and read-only afterwards.
constexpr SliceTables kTables = makeSliceTables();
constexpr const CrcTable& kByteTable = kTables[0];

// The contribution of byte J of a 16-byte step; the first four bytes are
// combined with the register.
template <size_t J>
uint32_t sliceTerm(uint32_t reg, const uint8_t* bytes) {
    if constexpr (J < 4)
        return kTables[kSlice - 1 - J][((reg >> (8 * J)) ^ bytes[J]) & 0xFF];
    else
        return kTables[kSlice - 1 - J][bytes[J]];
}

template <size_t... J>
uint32_t sliceStep(uint32_t reg, const uint8_t* bytes, std::index_sequence<J...>) {
    return (sliceTerm<J>(reg, bytes) ^ ...);
}

uint32_t update(uint32_t reg, const uint8_t* bytes, size_t count) {
#ifdef LAUNCHER_CRC32_CLMUL
    if (count >= kCrc32ClmulMinimum + kCrc32ClmulBlock - 1 && crc32_paths::clmulAvailable()) {
        const size_t misalignment = reinterpret_cast<uintptr_t>(bytes) % kCrc32ClmulBlock;
        const size_t head = misalignment == 0 ? 0 : kCrc32ClmulBlock - misalignment;
        reg = crc32_paths::sliced(reg, bytes, head);
        bytes += head;
        count -= head;
        const size_t folded = count - count % kCrc32ClmulBlock;
        reg = crc32FoldClmul(reg, bytes, folded);
        bytes += folded;
        count -= folded;
    }
#endif
    return crc32_paths::sliced(reg, bytes, count);
}

} // namespace

namespace crc32_paths {

uint32_t bytewise(uint32_t reg, const void* bytes, size_t count) {
    const uint8_t* byte = static_cast<const uint8_t*>(bytes);
    for (size_t i = 0; i < count; ++i)
        reg = kByteTable[(reg ^ byte[i]) & 0xFF] ^ (reg >> 8);
    return reg;
}

uint32_t sliced(uint32_t reg, const void* bytes, size_t count) {
    const uint8_t* byte = static_cast<const uint8_t*>(bytes);
    for (; count >= kSlice; count -= kSlice, byte += kSlice)
        reg = sliceStep(reg, byte, std::make_index_sequence<kSlice>());
    return bytewise(reg, byte, count);
}

bool clmulAvailable() {
#ifdef LAUNCHER_CRC32_CLMUL
    static const bool available = crc32CpuHasClmul();
    return available;
#else
    return false;
#endif
}

} // namespace crc32_paths

uint32_t Crc32(const void* bytes, unsigned count) {
    // With nothing to process the final XOR applies to 0, not to the start
    // value; manifests list empty files with this CRC.
    if (count == 0)
        return 0xFFFFFFFF;
    return ~update(0xFFFFFFFF, static_cast<const uint8_t*>(bytes), count);
}

uint32_t Crc32Continue(const void* bytes, unsigned count, uint32_t previous) {
    if (count == 0)
        return previous;
    return ~update(~previous, static_cast<const uint8_t*>(bytes), count);
}
