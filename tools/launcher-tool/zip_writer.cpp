#include "zip_writer.h"

#include "base/byte_order.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace {

constexpr uint16_t kFlagUtf8Name = 0x0800;

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint16_t kVersion = 20;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr size_t kMaxArchive = static_cast<size_t>(INT_MAX);

struct ZStreamEnd {
    void operator()(z_stream* stream) const { deflateEnd(stream); }
};

// Raw deflate at the highest level; false when zlib fails.
bool deflateRaw(const std::vector<uint8_t>& data, std::vector<uint8_t>& packed) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    const std::unique_ptr<z_stream, ZStreamEnd> owner(&stream);
    packed.resize(deflateBound(&stream, static_cast<uLong>(data.size())));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = packed.data();
    stream.avail_out = static_cast<uInt>(packed.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
        return false;
    packed.resize(stream.total_out);
    return true;
}

struct PackedEntry {
    uint16_t method = kStored;
    uint32_t crc = 0;
    std::vector<uint8_t> deflated; // empty when stored
};

bool packEntry(const ZipWriterEntry& entry, PackedEntry& packed, std::string& error) {
    if (entry.name.empty() || entry.name.size() > 259) {
        error = "zip entry name empty or longer than 259 bytes: " + entry.name;
        return false;
    }
    if (entry.data.size() >= kMaxArchive) {
        error = "zip entry too large: " + entry.name;
        return false;
    }
    packed.crc =
        static_cast<uint32_t>(crc32(0, entry.data.data(), static_cast<uInt>(entry.data.size())));
    if (!entry.data.empty() && deflateRaw(entry.data, packed.deflated) &&
        packed.deflated.size() < entry.data.size()) {
        packed.method = kDeflated;
    } else {
        packed.deflated.clear();
    }
    return true;
}

// The fields local and central headers share, from "version needed" on.
void putCommon(std::vector<uint8_t>& out, const ZipWriterEntry& entry, const PackedEntry& packed) {
    appendLe16(out, kVersion);
    // Bit 11: the name is UTF-8, which readers need to know beyond ASCII.
    const bool ascii = std::all_of(entry.name.begin(), entry.name.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    appendLe16(out, ascii ? 0 : kFlagUtf8Name);
    appendLe16(out, packed.method);
    appendLe16(out, kZipFixedDosTime);
    appendLe16(out, kZipFixedDosDate);
    appendLe32(out, packed.crc);
    appendLe32(out, static_cast<uint32_t>(packed.method == kDeflated ? packed.deflated.size()
                                                                     : entry.data.size()));
    appendLe32(out, static_cast<uint32_t>(entry.data.size()));
    appendLe16(out, static_cast<uint32_t>(entry.name.size()));
    appendLe16(out, 0); // extra field length
}

} // namespace

bool writeZip(const std::vector<ZipWriterEntry>& entries, std::vector<uint8_t>& out,
              std::string& error) {
    if (entries.size() > 0xFFFF) {
        error = "more than 65535 entries in one zip archive";
        return false;
    }
    std::vector<uint8_t> archive;
    std::vector<uint8_t> central;
    for (const ZipWriterEntry& entry : entries) {
        PackedEntry packed;
        if (!packEntry(entry, packed, error))
            return false;
        const auto offset = static_cast<uint32_t>(archive.size());
        appendLe32(archive, kLocalSignature);
        putCommon(archive, entry, packed);
        archive.insert(archive.end(), entry.name.begin(), entry.name.end());
        const std::vector<uint8_t>& body =
            packed.method == kDeflated ? packed.deflated : entry.data;
        archive.insert(archive.end(), body.begin(), body.end());
        if (archive.size() >= kMaxArchive) {
            error = "zip archive of 2 GiB or more";
            return false;
        }
        appendLe32(central, kCentralSignature);
        appendLe16(central, kVersion); // made by
        putCommon(central, entry, packed);
        appendLe16(central, 0); // comment length
        appendLe16(central, 0); // disk
        appendLe16(central, 0); // internal attributes
        appendLe32(central, 0); // external attributes
        appendLe32(central, offset);
        central.insert(central.end(), entry.name.begin(), entry.name.end());
    }
    const auto directoryOffset = static_cast<uint32_t>(archive.size());
    archive.insert(archive.end(), central.begin(), central.end());
    appendLe32(archive, kEndSignature);
    appendLe16(archive, 0);
    appendLe16(archive, 0);
    appendLe16(archive, static_cast<uint32_t>(entries.size()));
    appendLe16(archive, static_cast<uint32_t>(entries.size()));
    appendLe32(archive, static_cast<uint32_t>(central.size()));
    appendLe32(archive, directoryOffset);
    appendLe16(archive, 0); // comment length
    if (archive.size() >= kMaxArchive) {
        error = "zip archive of 2 GiB or more";
        return false;
    }
    out.insert(out.end(), archive.begin(), archive.end());
    return true;
}
