#include "update/archive/rar_unicode_name.h"

#include "base/byte_order.h"
#include "base/utf8_text.h"
#include "update/manifest/manifest_text.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace {

// Reads the compact encoding: a high byte shared by the name, then groups of
// four two-bit opcodes, each followed by its operands:
//   0  one byte, the unit's low byte (high byte 0)
//   1  one byte, the low byte under the shared high byte
//   2  two bytes, the whole unit (little-endian)
//   3  a count byte; with its top bit set a correction byte follows and
//      (count & 0x7F) + 2 units are the OEM name's bytes at the same places
//      plus the correction, under the shared high byte; without it count + 2
//      units are the OEM name's bytes unchanged.
class CCompactNameDecoder {
public:
    CCompactNameDecoder(std::string_view oemName, const uint8_t* bytes, size_t count)
        : oem(oemName), in(bytes), size(count) {}

    std::vector<uint8_t> Decode() {
        uint8_t high = 0;
        if (!next(high))
            return {};
        unsigned flags = 0;
        int flagBits = 0;
        while (pos < size) {
            if (flagBits == 0) {
                flags = in[pos++];
                flagBits = 8;
            }
            flagBits -= 2;
            if (!decodeOne((flags >> flagBits) & 3, high))
                break;
        }
        return units;
    }

private:
    bool next(uint8_t& value) {
        if (pos >= size)
            return false;
        value = in[pos++];
        return true;
    }

    void put(unsigned unit) { appendLe16(units, static_cast<uint16_t>(unit)); }

    size_t decoded() const { return units.size() / 2; }

    bool decodeOne(unsigned opcode, uint8_t high) {
        uint8_t low = 0;
        uint8_t other = 0;
        switch (opcode) {
        case 0:
            return next(low) && (put(low), true);
        case 1:
            return next(low) && (put(low | (high << 8)), true);
        case 2:
            return next(low) && next(other) && (put(low | (other << 8)), true);
        default:
            return copyFromOem(high);
        }
    }

    bool copyFromOem(uint8_t high) {
        uint8_t count = 0;
        if (!next(count))
            return false;
        uint8_t correction = 0;
        const bool corrected = (count & 0x80) != 0;
        if (corrected && !next(correction))
            return false;
        for (int left = (count & 0x7F) + 2; left > 0 && decoded() < oem.size(); --left) {
            const auto byte = static_cast<uint8_t>(oem[decoded()]);
            put(corrected ? (static_cast<uint8_t>(byte + correction) | (high << 8)) : byte);
        }
        return true;
    }

    std::string_view oem;
    const uint8_t* in;
    size_t size;
    size_t pos = 0;
    std::vector<uint8_t> units; // UTF-16LE
};

} // namespace

std::string rarUnicodeName(const uint8_t* field, size_t size) {
    const char* text = reinterpret_cast<const char*>(field);
    const void* zero = std::memchr(field, 0, size);
    if (!zero) {
        const std::string_view whole(text, size);
        return findInvalidUtf8(whole) ? std::string() : std::string(whole);
    }
    const size_t oemSize = static_cast<size_t>(static_cast<const uint8_t*>(zero) - field);
    CCompactNameDecoder decoder(std::string_view(text, oemSize), field + oemSize + 1,
                                size - oemSize - 1);
    const std::vector<uint8_t> units = decoder.Decode();
    return utf8FromWide(wideFromUtf16Le(units.data(), units.size() / 2));
}
