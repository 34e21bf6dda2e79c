#include "app/stamp/pe_resources.h"

#include "base/byte_order.h"

#include <vector>

namespace {

// Bounds-checked little-endian reads over the image.
class CImageReader {
public:
    CImageReader(const uint8_t* data, size_t length) : data_(data), length_(length) {}

    bool has(size_t offset, size_t count) const {
        return offset <= length_ && count <= length_ - offset;
    }
    std::optional<uint16_t> u16(size_t offset) const {
        if (!has(offset, 2))
            return std::nullopt;
        return readLe16(data_ + offset);
    }
    std::optional<uint32_t> u32(size_t offset) const {
        if (!has(offset, 4))
            return std::nullopt;
        return readLe32(data_ + offset);
    }

private:
    const uint8_t* data_;
    size_t length_;
};

struct Section {
    uint32_t virtualAddress;
    uint32_t virtualSize;
    uint32_t rawOffset;
    uint32_t rawSize;
};

struct PeLayout {
    uint32_t resourceRva = 0;
    std::vector<Section> sections;
};

constexpr uint32_t kPeSignature = 0x00004550; // "PE\0\0"
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kHighBit = 0x80000000u;
constexpr size_t kMaxDirectoryEntries = 4096;

std::optional<PeLayout> readLayout(const CImageReader& r, PeError& error) {
    error = PeError::NotPe;
    if (r.u16(0) != 0x5A4D) // "MZ"
        return std::nullopt;
    const auto peOffset = r.u32(0x3C);
    if (!peOffset || r.u32(*peOffset) != kPeSignature)
        return std::nullopt;
    const size_t fileHeader = size_t{*peOffset} + 4;
    const auto sectionCount = r.u16(fileHeader + 2);
    const auto optionalSize = r.u16(fileHeader + 16);
    const size_t optional = fileHeader + 20;
    const auto magic = r.u16(optional);
    if (!sectionCount || !optionalSize || !magic)
        return std::nullopt;
    if (*magic != kMagicPe32 && *magic != kMagicPe32Plus)
        return std::nullopt;

    error = PeError::Malformed;
    const size_t dirCountAt = optional + (*magic == kMagicPe32 ? 92 : 108);
    const auto dirCount = r.u32(dirCountAt);
    if (!dirCount)
        return std::nullopt;
    PeLayout layout;
    if (*dirCount > 2) {
        const auto rva = r.u32(dirCountAt + 4 + 2 * 8);
        if (!rva)
            return std::nullopt;
        layout.resourceRva = *rva;
    }
    const size_t table = optional + *optionalSize;
    for (size_t i = 0; i < *sectionCount; ++i) {
        const size_t s = table + i * 40;
        const auto va = r.u32(s + 12), vs = r.u32(s + 8), rs = r.u32(s + 16), ro = r.u32(s + 20);
        if (!va || !vs || !rs || !ro)
            return std::nullopt;
        layout.sections.push_back({*va, *vs, *ro, *rs});
    }
    error = PeError::None;
    return layout;
}

std::optional<size_t> rvaToOffset(const PeLayout& layout, uint32_t rva) {
    for (const Section& s : layout.sections) {
        const uint32_t span = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
        if (rva >= s.virtualAddress && rva - s.virtualAddress < span &&
            rva - s.virtualAddress < s.rawSize)
            return size_t{s.rawOffset} + (rva - s.virtualAddress);
    }
    return std::nullopt;
}

// Looks up an entry of one directory level, by name (typeName non-null) or
// by id. Returns the entry's OffsetToData field.
std::optional<uint32_t> findEntry(const CImageReader& r, size_t root, size_t dir,
                                  const std::string* typeName, uint16_t id) {
    const auto named = r.u16(dir + 12), ids = r.u16(dir + 14);
    if (!named || !ids)
        return std::nullopt;
    const size_t count = size_t{*named} + *ids;
    for (size_t i = 0; i < count && i < kMaxDirectoryEntries; ++i) {
        const size_t e = dir + 16 + i * 8;
        const auto name = r.u32(e), target = r.u32(e + 4);
        if (!name || !target)
            return std::nullopt;
        const bool isNamed = (*name & kHighBit) != 0;
        if (typeName == nullptr) {
            if (!isNamed && (*name & 0xFFFF) == id)
                return target;
            continue;
        }
        if (!isNamed)
            continue;
        const size_t str = root + (*name & ~kHighBit);
        const auto len = r.u16(str);
        if (!len || *len != typeName->size() || !r.has(str + 2, size_t{*len} * 2))
            continue;
        bool same = true;
        for (size_t k = 0; k < *len && same; ++k)
            same = r.u16(str + 2 + k * 2) == static_cast<uint8_t>((*typeName)[k]);
        if (same)
            return target;
    }
    return std::nullopt;
}

// The first entry of a directory (the first language of a resource).
std::optional<uint32_t> firstEntry(const CImageReader& r, size_t dir) {
    const auto named = r.u16(dir + 12), ids = r.u16(dir + 14);
    if (!named || !ids || size_t{*named} + *ids == 0)
        return std::nullopt;
    return r.u32(dir + 16 + 4);
}

} // namespace

bool isPeImage(const uint8_t* image, size_t length) {
    PeError error;
    return image != nullptr && readLayout(CImageReader(image, length), error).has_value();
}

std::optional<PeResource> findPeResource(const uint8_t* image, size_t length,
                                         const std::string& typeName, uint16_t id,
                                         PeError* errorOut) {
    PeError localError;
    PeError& error = errorOut ? *errorOut : localError;
    error = PeError::NotPe;
    if (image == nullptr)
        return std::nullopt;
    const CImageReader r(image, length);
    const std::optional<PeLayout> layout = readLayout(r, error);
    if (!layout)
        return std::nullopt;
    error = PeError::NoResources;
    const std::optional<size_t> root =
        layout->resourceRva ? rvaToOffset(*layout, layout->resourceRva) : std::nullopt;
    if (!root)
        return std::nullopt;

    // type -> name/id -> language -> data entry; each step must point to a
    // subdirectory except the last.
    const auto typeDir = findEntry(r, *root, *root, &typeName, 0);
    if (!typeDir || !(*typeDir & kHighBit))
        return std::nullopt;
    const auto nameDir = findEntry(r, *root, *root + (*typeDir & ~kHighBit), nullptr, id);
    if (!nameDir || !(*nameDir & kHighBit))
        return std::nullopt;
    const auto data = firstEntry(r, *root + (*nameDir & ~kHighBit));
    error = PeError::Malformed;
    if (!data || (*data & kHighBit))
        return std::nullopt;
    const size_t dataEntry = *root + *data;
    const auto rva = r.u32(dataEntry), size = r.u32(dataEntry + 4);
    if (!rva || !size)
        return std::nullopt;
    const std::optional<size_t> offset = rvaToOffset(*layout, *rva);
    if (!offset || !r.has(*offset, *size))
        return std::nullopt;
    error = PeError::None;
    return PeResource{*offset, *size};
}
