// The six stamped slots: fixed-size resources that a distributor fills after
// the build (server list, update path, language, campaign codes), and the
// launcher checksum that leaves them out so one published value fits every
// personalised copy.
//
// A slot's bytes are its marker ("<TYPE>_HERE:"), one zero byte, then the
// value area. The full marker text must occur nowhere else in the image, so
// it is only ever assembled at run time (stampMarker).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct StampSlot {
    const char* type; // resource type name, also the first half of the marker
    int id;           // numeric resource id
    unsigned totalSize;
    unsigned valueSize; // bytes after the marker's zero byte
    bool isList;        // zero-terminated strings ended by an empty one
};

// In checksum order.
extern const std::array<StampSlot, 6> kStampSlots;

const StampSlot* findStampSlot(std::string_view type);
std::string stampMarker(const StampSlot& slot);

// The value of a slot from its resource bytes: the text after the marker's
// zero byte up to the next zero byte or the end of the slot. Empty for a
// missing or too short slot.
std::string readStampValueFrom(const StampSlot& slot, const uint8_t* bytes, size_t size);

// The list held by a slot: strings up to the first empty one or the end of
// the slot, never reading past it.
std::vector<std::string> readStampListFrom(const StampSlot& slot, const uint8_t* bytes,
                                           size_t size);

// Size of a slot's resource in the executable the checksum is for; nullopt
// when the resource is missing.
using StampSlotSize = std::function<std::optional<size_t>(const StampSlot&)>;

// The launcher checksum of `image`: CRC-32 run from register 0 (Crc32Continue
// from 0xFFFFFFFF) over the image without the slots. Variant 0 skips repeated
// boundaries; variant 1 toggles on every boundary. Both agree when the slots
// do not overlap.
uint32_t computeLauncherCrcOfImage(const uint8_t* image, size_t length, int variant,
                                   const StampSlotSize& slotSize);
