// Helpers shared by the RAR tests: fixture loading and patching file blocks
// of a real archive (with the header CRC fixed so only the patched field is
// wrong).
#pragma once

#include "base/byte_order.h"
#include "update/archive/rar_blocks.h"

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace rartest {

inline std::vector<uint8_t> fixture(const std::string& name) {
    std::ifstream in(std::string(LAUNCHER_FIXTURES_DIR) + "/rar/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Offsets of the file blocks of an archive that starts with its marker.
inline std::vector<size_t> fileBlockOffsets(const std::vector<uint8_t>& bytes) {
    std::vector<size_t> offsets;
    size_t pos = kRarMarkerSize;
    RarBlockHeader block;
    while (pos < bytes.size() &&
           parseRarBlockHeader(bytes.data() + pos, bytes.size() - pos, block)) {
        if (block.type == kRarBlockFile)
            offsets.push_back(pos);
        pos += block.headSize + block.dataSize;
    }
    return offsets;
}

// Applies `edit` to the header of the file block at `offset`, then rewrites
// its header CRC.
inline void patchHeader(std::vector<uint8_t>& bytes, size_t offset,
                        const std::function<void(uint8_t* header)>& edit) {
    uint8_t* header = bytes.data() + offset;
    edit(header);
    const size_t headSize = readLe16(header + 5);
    const uint16_t crc = rarHeaderCrc(header, headSize);
    header[0] = static_cast<uint8_t>(crc);
    header[1] = static_cast<uint8_t>(crc >> 8);
}

} // namespace rartest
