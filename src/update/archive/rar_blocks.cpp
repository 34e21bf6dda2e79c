#include "update/archive/rar_blocks.h"

#include "base/byte_order.h"
#include "base/crc32.h"
#include "update/archive/rar_unicode_name.h"

#include <cstring>

namespace {

const uint8_t kRarPrefix[6] = {'R', 'a', 'r', '!', 0x1A, 0x07};
const uint8_t kRar14Marker[4] = {'R', 'E', '~', '^'};

} // namespace

ERarMarker classifyRarMarker(const uint8_t* bytes, size_t count) {
    if (count >= sizeof(kRar14Marker) && std::memcmp(bytes, kRar14Marker, 4) == 0)
        return eRarMarker_Rar14;
    if (count < kRarMarkerSize || std::memcmp(bytes, kRarPrefix, sizeof(kRarPrefix)) != 0)
        return eRarMarker_None;
    if (bytes[6] == 0x00)
        return eRarMarker_Rar15;
    if (bytes[6] == 0x01)
        return eRarMarker_Rar50;
    return eRarMarker_None;
}

bool parseRarBlockHeader(const uint8_t* bytes, size_t count, RarBlockHeader& out) {
    if (count < kRarBlockHeaderSize)
        return false;
    out.crc = readLe16(bytes);
    out.type = bytes[2];
    out.flags = readLe16(bytes + 3);
    out.headSize = readLe16(bytes + 5);
    out.dataSize = 0;
    if (out.headSize < kRarBlockHeaderSize)
        return false;
    // File blocks always carry their packed size there, whatever the flag says.
    if ((out.flags & kRarFlagAddSize) || out.type == kRarBlockFile) {
        if (count < kRarBlockHeaderSize + 4 || out.headSize < kRarBlockHeaderSize + 4)
            return false;
        out.dataSize = readLe32(bytes + 7);
    }
    return true;
}

uint16_t rarHeaderCrc(const uint8_t* header, size_t headSize) {
    return static_cast<uint16_t>(Crc32Continue(header + 2, static_cast<unsigned>(headSize - 2), 0) &
                                 0xFFFF);
}

bool parseRarFileHeader(const uint8_t* header, size_t headSize, RarFileHeader& out,
                        std::string& error) {
    if (headSize < kRarFileHeaderFixedSize) {
        error = "file header shorter than its fixed fields";
        return false;
    }
    out.flags = readLe16(header + 3);
    out.packedSize = readLe32(header + 7);
    out.unpackedSize = readLe32(header + 11);
    out.hostOs = header[15];
    out.fileCrc = readLe32(header + 16);
    out.fileTime = readLe32(header + 20);
    out.unpackVersion = header[24];
    out.method = header[25];
    const size_t nameSize = readLe16(header + 26);
    out.attributes = readLe32(header + 28);
    size_t pos = kRarFileHeaderFixedSize;
    if (out.flags & kRarFileLarge) {
        if (headSize < pos + 8) {
            error = "file header too short for its 64-bit sizes";
            return false;
        }
        out.packedSize |= static_cast<uint64_t>(readLe32(header + pos)) << 32;
        out.unpackedSize |= static_cast<uint64_t>(readLe32(header + pos + 4)) << 32;
        pos += 8;
    }
    if (nameSize > headSize - pos) {
        error = "file name reaches past its header";
        return false;
    }
    const char* name = reinterpret_cast<const char*>(header + pos);
    // A Unicode name follows the narrow one after a zero byte; the narrow
    // part is the name. Names are C strings either way.
    const void* zero = std::memchr(name, 0, nameSize);
    const size_t narrowSize =
        zero ? static_cast<size_t>(static_cast<const char*>(zero) - name) : nameSize;
    out.name.assign(name, narrowSize);
    out.unicodeName.clear();
    if (out.flags & kRarFileUnicodeName)
        out.unicodeName = rarUnicodeName(header + pos, nameSize);
    // RAR on Unix stores names in the packer's locale, UTF-8 on any current
    // system, without the Unicode flag; a name that is not UTF-8 stays OEM.
    else if (out.hostOs == kRarHostUnix)
        out.unicodeName = rarUnicodeName(header + pos, narrowSize);
    return true;
}

EEntryKind RarFileHeader::kind() const {
    if (isDirectory())
        return EEntryKind::Folder;
    if (hostOs != kRarHostUnix)
        return EEntryKind::File;
    const EEntryKind byMode = entryKindFromUnixMode(attributes);
    // A folder is a folder by its flags; mode bits alone do not make one.
    return byMode == EEntryKind::Folder ? EEntryKind::Special : byMode;
}
