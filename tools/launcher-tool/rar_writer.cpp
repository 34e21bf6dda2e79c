#include "rar_writer.h"

#include "base/byte_order.h"
#include "base/crc32.h"
#include "update/archive/rar_blocks.h"

#include <climits>

namespace {

constexpr uint8_t kHostWindows = 2;
constexpr uint8_t kUnpackVersion = 29;
constexpr uint32_t kAttributeArchive = 0x20;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint16_t kEndFlags = 0x4000; // no volume follows

// Fills in the CRC of the header that starts at `start` and runs to the end.
void sealHeader(std::vector<uint8_t>& out, size_t start) {
    const uint16_t crc = rarHeaderCrc(out.data() + start, out.size() - start);
    out[start] = static_cast<uint8_t>(crc);
    out[start + 1] = static_cast<uint8_t>(crc >> 8);
}

void startHeader(std::vector<uint8_t>& out, uint8_t type, uint16_t flags, uint16_t headSize) {
    appendLe16(out, 0);
    out.push_back(type);
    appendLe16(out, flags);
    appendLe16(out, headSize);
}

void writeFileBlock(const RarWriterEntry& entry, uint32_t dosTime, std::vector<uint8_t>& out) {
    const size_t start = out.size();
    const auto size = static_cast<uint32_t>(entry.data.size());
    uint16_t flags = kRarFlagAddSize;
    if (entry.isDirectory)
        flags |= kRarFileDirectoryMask;
    startHeader(out, kRarBlockFile, flags,
                static_cast<uint16_t>(kRarFileHeaderFixedSize + entry.name.size()));
    appendLe32(out, size); // packed
    appendLe32(out, size); // unpacked
    out.push_back(kHostWindows);
    appendLe32(out, Crc32Continue(entry.data.data(), size, 0));
    appendLe32(out, dosTime);
    out.push_back(kUnpackVersion);
    out.push_back(kRarMethodStored);
    appendLe16(out, static_cast<uint16_t>(entry.name.size()));
    appendLe32(out, entry.isDirectory ? kAttributeDirectory : kAttributeArchive);
    out.insert(out.end(), entry.name.begin(), entry.name.end());
    sealHeader(out, start);
    out.insert(out.end(), entry.data.begin(), entry.data.end());
}

} // namespace

bool writeStoredRar(const std::vector<RarWriterEntry>& entries, uint32_t dosTime,
                    std::vector<uint8_t>& out, std::string& error) {
    uint64_t total = kRarMarkerSize + 13 + kRarBlockHeaderSize;
    for (const RarWriterEntry& entry : entries) {
        if (entry.name.empty() || entry.name.size() > 0xFFFF - kRarFileHeaderFixedSize) {
            error = "bad entry name: " + entry.name;
            return false;
        }
        total += kRarFileHeaderFixedSize + entry.name.size() + entry.data.size();
    }
    if (total > static_cast<uint64_t>(INT_MAX)) {
        error = "the archive would reach 2 GiB";
        return false;
    }
    out.reserve(out.size() + static_cast<size_t>(total));
    const uint8_t marker[kRarMarkerSize] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
    out.insert(out.end(), marker, marker + kRarMarkerSize);
    const size_t archiveHeader = out.size();
    startHeader(out, kRarBlockArchive, 0, 13);
    appendLe16(out, 0); // reserved
    appendLe32(out, 0);
    sealHeader(out, archiveHeader);
    for (const RarWriterEntry& entry : entries)
        writeFileBlock(entry, dosTime, out);
    const size_t end = out.size();
    startHeader(out, kRarBlockEnd, kEndFlags, kRarBlockHeaderSize);
    sealHeader(out, end);
    return true;
}
