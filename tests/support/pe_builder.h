// Builds small PE images with named resources for the stamp tests, so each
// case states the exact bytes it needs (and can damage them).
#pragma once

#include "app/stamp/stamp_slots.h"
#include "base/byte_order.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testpe {

struct Resource {
    std::string type;
    uint16_t id;
    std::vector<uint8_t> bytes;
};

inline void put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    writeLe16(v.data() + at, static_cast<uint16_t>(x));
}
inline void put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    writeLe32(v.data() + at, x);
}

// resize + copy rather than insert: GCC 12 reports a false array-bounds
// error for the inlined insert at -O2 and above.
inline void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
    const size_t at = to.size();
    to.resize(at + bytes.size());
    std::copy(bytes.begin(), bytes.end(), to.begin() + static_cast<ptrdiff_t>(at));
}

// A PE32 image: headers in the first 0x200 bytes, one section ".rsrc" at
// RVA 0x1000 and file offset 0x200 holding the resource tree.
inline std::vector<uint8_t> buildImage(const std::vector<Resource>& resources,
                                       const std::vector<uint8_t>& trailer = {}) {
    constexpr uint32_t kRva = 0x1000, kRaw = 0x200;
    // Resource section: root dir, then per resource: a type dir, a name dir,
    // a data entry, the type name string and the data.
    std::vector<uint8_t> rsrc(16 + 8 * resources.size(), 0);
    put16(rsrc, 12, static_cast<uint32_t>(resources.size())); // named entries
    for (size_t i = 0; i < resources.size(); ++i) {
        const Resource& r = resources[i];
        const size_t typeDir = rsrc.size();
        rsrc.resize(typeDir + 16 + 8 + 16 + 8 + 16, 0);
        const size_t nameDir = typeDir + 24;
        const size_t dataEntry = nameDir + 24;
        put16(rsrc, typeDir + 14, 1);
        put32(rsrc, typeDir + 16, r.id);
        put32(rsrc, typeDir + 20, 0x80000000u | static_cast<uint32_t>(nameDir));
        put16(rsrc, nameDir + 14, 1);
        put32(rsrc, nameDir + 16, 0x409);
        put32(rsrc, nameDir + 20, static_cast<uint32_t>(dataEntry));
        const size_t name = rsrc.size();
        rsrc.resize(name + 2 + 2 * r.type.size(), 0);
        put16(rsrc, name, static_cast<uint32_t>(r.type.size()));
        for (size_t k = 0; k < r.type.size(); ++k)
            put16(rsrc, name + 2 + 2 * k, static_cast<uint8_t>(r.type[k]));
        const size_t data = (rsrc.size() + 7) & ~size_t{7};
        rsrc.resize(data, 0);
        append(rsrc, r.bytes);
        put32(rsrc, dataEntry, kRva + static_cast<uint32_t>(data));
        put32(rsrc, dataEntry + 4, static_cast<uint32_t>(r.bytes.size()));
        put32(rsrc, 16 + 8 * i, 0x80000000u | static_cast<uint32_t>(name));
        put32(rsrc, 16 + 8 * i + 4, 0x80000000u | static_cast<uint32_t>(typeDir));
    }

    std::vector<uint8_t> image(kRaw, 0);
    image[0] = 'M';
    image[1] = 'Z';
    put32(image, 0x3C, 0x40);
    put32(image, 0x40, 0x00004550);
    put16(image, 0x44, 0x14C);   // i386
    put16(image, 0x46, 1);       // one section
    put16(image, 0x54, 224);     // optional header size
    put16(image, 0x58, 0x10B);   // PE32
    put32(image, 0x58 + 92, 16); // data directories
    put32(image, 0x58 + 96 + 16, kRva);
    put32(image, 0x58 + 96 + 20, static_cast<uint32_t>(rsrc.size()));
    const size_t section = 0x58 + 224;
    const char name[] = ".rsrc";
    for (size_t k = 0; k < 5; ++k)
        image[section + k] = static_cast<uint8_t>(name[k]);
    put32(image, section + 8, static_cast<uint32_t>(rsrc.size()));
    put32(image, section + 12, kRva);
    put32(image, section + 16, static_cast<uint32_t>(rsrc.size()));
    put32(image, section + 20, kRaw);
    append(image, rsrc);
    append(image, trailer);
    return image;
}

// An unstamped slot as the launcher's resource script lays it out.
inline Resource emptySlot(const StampSlot& slot) {
    const std::string marker = stampMarker(slot);
    Resource r{slot.type, static_cast<uint16_t>(slot.id), std::vector<uint8_t>(slot.totalSize, 0)};
    std::copy(marker.begin(), marker.end(), r.bytes.begin());
    return r;
}

inline std::vector<uint8_t> launcherLikeImage() {
    std::vector<Resource> slots;
    for (const StampSlot& slot : kStampSlots)
        slots.push_back(emptySlot(slot));
    return buildImage(slots, std::vector<uint8_t>(300, 0xAB));
}

} // namespace testpe
