#include "rar_writer.h"

#include "base/byte_order.h"
#include "update/archive/rar_blocks.h"

#include <algorithm>
#include <climits>

namespace {

constexpr uint8_t kHostWindows = 2;
constexpr uint8_t kUnpackVersion = 29;
constexpr uint32_t kAttributeArchive = 0x20;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint16_t kEndFlags = 0x4000; // no volume follows
constexpr size_t kArchiveHeaderSize = 13;
constexpr size_t kLargeSizeFields = 8;

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

bool isAscii(const std::string& name) {
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

size_t fileHeaderSize(const std::string& name, uint64_t size) {
    return kRarFileHeaderFixedSize + (size > UINT32_MAX ? kLargeSizeFields : 0) + name.size();
}

} // namespace

bool appendRarFileHeader(const std::string& name, bool isDirectory, uint64_t size, uint32_t crc,
                         uint32_t dosTime, std::vector<uint8_t>& out) {
    const size_t headSize = fileHeaderSize(name, size);
    if (name.empty() || headSize > 0xFFFF)
        return false;
    const bool large = size > UINT32_MAX;
    uint16_t flags = kRarFlagAddSize;
    if (isDirectory)
        flags |= kRarFileDirectoryMask;
    if (large)
        flags |= kRarFileLarge;
    // With the Unicode flag and no zero byte in it, the name field is UTF-8.
    if (!isAscii(name))
        flags |= kRarFileUnicodeName;
    const size_t start = out.size();
    startHeader(out, kRarBlockFile, flags, static_cast<uint16_t>(headSize));
    appendLe32(out, static_cast<uint32_t>(size)); // packed
    appendLe32(out, static_cast<uint32_t>(size)); // unpacked
    out.push_back(kHostWindows);
    appendLe32(out, crc);
    appendLe32(out, dosTime);
    out.push_back(kUnpackVersion);
    out.push_back(kRarMethodStored);
    appendLe16(out, static_cast<uint16_t>(name.size()));
    appendLe32(out, isDirectory ? kAttributeDirectory : kAttributeArchive);
    if (large) {
        appendLe32(out, static_cast<uint32_t>(size >> 32)); // packed
        appendLe32(out, static_cast<uint32_t>(size >> 32)); // unpacked
    }
    out.insert(out.end(), name.begin(), name.end());
    sealHeader(out, start);
    return true;
}

bool CRarStreamWriter::put(const std::vector<uint8_t>& bytes, std::string& error) {
    if (sink.Write(bytes.data(), bytes.size()))
        return true;
    error = "cannot write the archive";
    return false;
}

bool CRarStreamWriter::start(std::string& error) {
    if (bStarted)
        return true;
    bStarted = true;
    std::vector<uint8_t> head = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
    startHeader(head, kRarBlockArchive, 0, kArchiveHeaderSize);
    appendLe16(head, 0); // reserved
    appendLe32(head, 0);
    sealHeader(head, kRarMarkerSize);
    return put(head, error);
}

bool CRarStreamWriter::AddFile(const std::string& name, IEntrySource& source, uint32_t& crc,
                               std::string& error) {
    std::vector<uint8_t> header;
    CDiscardEntrySink none;
    if (!start(error) || !crcOfSource(source, none, crc, error))
        return false;
    if (!appendRarFileHeader(name, false, source.Size(), crc, nDosTime, header)) {
        error = "bad entry name: " + name;
        return false;
    }
    return put(header, error) && copySourceChecked(source, crc, sink, error);
}

bool CRarStreamWriter::AddDirectory(const std::string& name, std::string& error) {
    std::vector<uint8_t> header;
    if (!appendRarFileHeader(name, true, 0, 0, nDosTime, header)) {
        error = "bad entry name: " + name;
        return false;
    }
    return start(error) && put(header, error);
}

bool CRarStreamWriter::Finish(std::string& error) {
    std::vector<uint8_t> end;
    startHeader(end, kRarBlockEnd, kEndFlags, kRarBlockHeaderSize);
    sealHeader(end, 0);
    return start(error) && put(end, error);
}

bool writeStoredRar(const std::vector<RarWriterEntry>& entries, uint32_t dosTime,
                    std::vector<uint8_t>& out, std::string& error) {
    uint64_t total = kRarMarkerSize + kArchiveHeaderSize + kRarBlockHeaderSize;
    for (const RarWriterEntry& entry : entries)
        total += fileHeaderSize(entry.name, entry.data.size()) + entry.data.size();
    if (total > static_cast<uint64_t>(INT_MAX)) {
        error = "the archive would reach 2 GiB";
        return false;
    }
    std::vector<uint8_t> archive;
    archive.reserve(static_cast<size_t>(total));
    CVectorEntrySink sink(archive);
    CRarStreamWriter writer(sink, dosTime);
    for (const RarWriterEntry& entry : entries) {
        CMemoryEntrySource source(entry.data);
        uint32_t crc = 0;
        if (!(entry.isDirectory ? writer.AddDirectory(entry.name, error)
                                : writer.AddFile(entry.name, source, crc, error)))
            return false;
    }
    if (!writer.Finish(error))
        return false;
    out.insert(out.end(), archive.begin(), archive.end());
    return true;
}
