#include "stamp_writer.h"

#include "app/stamp/pe_resources.h"
#include "app/stamp/stamp_slots.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

struct LocatedSlot {
    const StampSlot* slot;
    PeResource where;
};

std::string peErrorText(PeError e) {
    switch (e) {
    case PeError::NotPe:
        return "not a PE executable";
    case PeError::NoResources:
        return "has no stamp slots";
    default:
        return "has a damaged resource directory";
    }
}

// The slot's resource, checked to be the size and begin with the marker the
// launcher expects; anything else is not one of our slots.
std::optional<LocatedSlot> locate(const std::vector<uint8_t>& image, const StampSlot& slot,
                                  std::string& error) {
    PeError pe = PeError::None;
    const auto where =
        findPeResource(image.data(), image.size(), slot.type, static_cast<uint16_t>(slot.id), &pe);
    if (!where) {
        error = pe == PeError::NotPe || pe == PeError::Malformed
                    ? "the file " + peErrorText(pe)
                    : std::string("the file has no ") + slot.type + " slot";
        return std::nullopt;
    }
    const std::string marker = stampMarker(slot);
    if (where->size != slot.totalSize ||
        std::memcmp(image.data() + where->fileOffset, marker.c_str(), marker.size() + 1) != 0) {
        error = std::string("the ") + slot.type + " resource is not a stamp slot";
        return std::nullopt;
    }
    return LocatedSlot{&slot, *where};
}

// The bytes a slot's value area receives, or an error when they do not fit.
std::optional<std::vector<uint8_t>>
encodeValue(const StampSlot& slot, const std::vector<std::string>& items, std::string& error) {
    if (!slot.isList && items.size() != 1) {
        error = std::string(slot.type) + " takes exactly one value";
        return std::nullopt;
    }
    std::vector<uint8_t> area;
    for (const std::string& item : items) {
        if (item.find('\0') != std::string::npos || (slot.isList && item.empty())) {
            error = std::string(slot.type) + ": empty or zero bytes in a value";
            return std::nullopt;
        }
        area.insert(area.end(), item.begin(), item.end());
        area.push_back(0);
    }
    if (area.size() > slot.valueSize) {
        error = std::string(slot.type) + ": value too long (needs " + std::to_string(area.size()) +
                " bytes with its terminators, the slot holds " + std::to_string(slot.valueSize) +
                ")";
        return std::nullopt;
    }
    // The rest stays zero: it holds the list's closing empty string when
    // there is room, and clears any longer value stamped before.
    area.resize(slot.valueSize, 0);
    return area;
}

} // namespace

std::string stampImage(std::vector<uint8_t>& image, const StampValues& values) {
    std::vector<std::pair<LocatedSlot, std::vector<uint8_t>>> writes;
    for (const auto& [type, items] : values) {
        const StampSlot* slot = findStampSlot(type);
        if (slot == nullptr)
            return "unknown slot " + type;
        std::string error;
        const auto located = locate(image, *slot, error);
        if (!located)
            return error;
        auto area = encodeValue(*slot, items, error);
        if (!area)
            return error;
        writes.emplace_back(*located, std::move(*area));
    }
    for (const auto& [located, area] : writes) {
        const size_t valueStart = located.where.fileOffset + stampMarker(*located.slot).size() + 1;
        std::copy(area.begin(), area.end(), image.begin() + static_cast<ptrdiff_t>(valueStart));
    }
    return {};
}

std::vector<std::string> showStamps(const std::vector<uint8_t>& image, std::string& error) {
    std::vector<std::string> lines;
    for (const StampSlot& slot : kStampSlots) {
        const auto located = locate(image, slot, error);
        if (!located)
            return {};
        const uint8_t* bytes = image.data() + located->where.fileOffset;
        if (slot.isList) {
            for (const std::string& item : readStampListFrom(slot, bytes, located->where.size))
                lines.push_back(std::string(slot.type) + "=" + item);
        } else {
            lines.push_back(std::string(slot.type) + "=" +
                            readStampValueFrom(slot, bytes, located->where.size));
        }
    }
    return lines;
}
