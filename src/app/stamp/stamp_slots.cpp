#include "app/stamp/stamp_slots.h"

#include "base/crc32.h"

#include <algorithm>

const std::array<StampSlot, 6> kStampSlots = {{
    {"SERVER_URL", 132, 146, 129, true},
    {"UPDATE_PATH", 133, 147, 129, false},
    {"LANGUAGE", 134, 48, 33, false},
    {"AFFILIATE_ID", 135, 84, 65, false},
    {"REFERRER_ID", 136, 83, 65, false},
    {"PROMOCODE", 137, 81, 65, false},
}};

const StampSlot* findStampSlot(std::string_view type) {
    for (const StampSlot& slot : kStampSlots)
        if (type == slot.type)
            return &slot;
    return nullptr;
}

std::string stampMarker(const StampSlot& slot) {
    // Built at run time: a literal of the whole marker would be a second
    // occurrence in the image and move the slot boundary.
    std::string marker = slot.type;
    marker += "_HERE";
    marker += ':';
    return marker;
}

namespace {

// The value area of a slot as far as the resource really holds it.
std::string_view valueArea(const StampSlot& slot, const uint8_t* bytes, size_t size) {
    const size_t start = stampMarker(slot).size() + 1;
    if (bytes == nullptr || size <= start)
        return {};
    return {reinterpret_cast<const char*>(bytes) + start, size - start};
}

std::string_view untilZero(std::string_view s) {
    return s.substr(0, std::min(s.find('\0'), s.size()));
}

} // namespace

std::string readStampValueFrom(const StampSlot& slot, const uint8_t* bytes, size_t size) {
    return std::string(untilZero(valueArea(slot, bytes, size)));
}

std::vector<std::string> readStampListFrom(const StampSlot& slot, const uint8_t* bytes,
                                           size_t size) {
    std::vector<std::string> list;
    std::string_view rest = valueArea(slot, bytes, size);
    while (!rest.empty()) {
        const std::string_view item = untilZero(rest);
        if (item.empty())
            break;
        list.emplace_back(item);
        rest.remove_prefix(std::min(item.size() + 1, rest.size()));
    }
    return list;
}

namespace {

size_t findLast(const uint8_t* image, size_t length, const std::string& needle) {
    const std::string_view hay(reinterpret_cast<const char*>(image), length);
    return hay.rfind(needle);
}

// Offsets where included and left-out stretches meet, ascending; the image
// length is always the last one.
std::vector<size_t> slotBoundaries(const uint8_t* image, size_t length,
                                   const StampSlotSize& slotSize) {
    std::vector<size_t> bounds{length};
    for (const StampSlot& slot : kStampSlots) {
        const size_t p = findLast(image, length, stampMarker(slot));
        if (p == std::string_view::npos)
            continue;
        const std::optional<size_t> s = slotSize(slot);
        if (!s || *s == 0)
            continue;
        // A resource that claims to reach past the image is cut at its end.
        bounds.push_back(p);
        bounds.push_back(std::min(p + *s - 1, length));
    }
    std::stable_sort(bounds.begin(), bounds.end());
    return bounds;
}

uint32_t crcOfRange(const uint8_t* image, size_t from, size_t to, uint32_t crc) {
    return Crc32Continue(image + from, static_cast<unsigned>(to - from), crc);
}

} // namespace

uint32_t computeLauncherCrcOfImage(const uint8_t* image, size_t length, int variant,
                                   const StampSlotSize& slotSize) {
    uint32_t crc = 0xFFFFFFFFu;
    if (image == nullptr || length == 0)
        return crc;
    size_t previous = 0;
    bool include = true;
    for (const size_t bound : slotBoundaries(image, length, slotSize)) {
        if (variant == 0 && bound <= previous)
            continue;
        if (include && bound > previous)
            crc = crcOfRange(image, previous, bound, crc);
        include = !include;
        previous = bound;
    }
    return crc;
}
