#include "base/log/zcl_container.h"

#include "base/byte_order.h"

#include <cstring>

namespace {

constexpr size_t kLengthOffset = 4;

// Records the true length of the unfinished record at `offset`.
EZclWalk patchOpenRecord(IZclFile& file, uint64_t offset, uint64_t fileSize) {
    const uint64_t length = fileSize - offset;
    if (length > UINT32_MAX)
        return eZclWalk_Foreign;
    uint8_t field[4];
    writeLe32(field, static_cast<uint32_t>(length));
    return file.writeAt(offset + kLengthOffset, field, sizeof(field)) ? eZclWalk_Ready
                                                                      : eZclWalk_Failed;
}

} // namespace

EZclWalk walkZclRecords(IZclFile& file) {
    const std::optional<uint64_t> fileSize = file.size();
    if (!fileSize)
        return eZclWalk_Failed;
    // Every step moves on by at least one header, so the walk ends.
    uint64_t offset = 0;
    for (;;) {
        if (offset > 0 && offset == *fileSize)
            return eZclWalk_Ready;
        uint8_t header[kZclHeaderSize];
        if (offset > *fileSize || file.readAt(offset, header, sizeof(header)) < sizeof(header) ||
            std::memcmp(header, kZclMagic, sizeof(kZclMagic)) != 0)
            return eZclWalk_Foreign;
        const uint32_t length = readLe32(header + kLengthOffset);
        if (length == 0)
            return patchOpenRecord(file, offset, *fileSize);
        if (length < kZclHeaderSize)
            return eZclWalk_Foreign;
        offset += length;
    }
}

bool appendZclHeader(IZclFile& file) {
    uint8_t header[kZclHeaderSize] = {};
    std::memcpy(header, kZclMagic, sizeof(kZclMagic));
    return file.append(header, sizeof(header));
}
