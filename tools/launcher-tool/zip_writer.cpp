#include "zip_writer.h"

#include "base/byte_order.h"

#include <zlib.h>

#include <algorithm>

namespace {

constexpr uint16_t kFlagUtf8Name = 0x0800;

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint16_t kVersion = 20;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kMaxNameSize = 259;
constexpr size_t kMaxEntries = 0xFFFF;
constexpr size_t kDeflateBlock = 0x10000;

// Raw deflate at the highest level, streamed: the output goes to the next
// sink a block at a time. zlib gives the same bytes however the input is cut
// into pieces, so both passes of an entry agree.
class CDeflateSink : public IEntrySink {
public:
    explicit CDeflateSink(IEntrySink& next) : target(next), block(kDeflateBlock) {
        ready = deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) ==
                Z_OK;
    }
    ~CDeflateSink() override {
        if (ready)
            deflateEnd(&stream);
    }
    CDeflateSink(const CDeflateSink&) = delete;
    CDeflateSink& operator=(const CDeflateSink&) = delete;

    bool Write(const uint8_t* bytes, size_t count) override {
        for (size_t done = 0; done < count;) {
            const size_t piece = std::min<size_t>(count - done, 0x40000000u);
            stream.next_in = const_cast<Bytef*>(bytes + done);
            stream.avail_in = static_cast<uInt>(piece);
            if (!pump(Z_NO_FLUSH))
                return false;
            done += piece;
        }
        return true;
    }
    bool Finish() { return pump(Z_FINISH); }

private:
    bool pump(int flush) {
        if (!ready)
            return false;
        for (;;) {
            stream.next_out = block.data();
            stream.avail_out = static_cast<uInt>(block.size());
            const int result = deflate(&stream, flush);
            if (result == Z_STREAM_ERROR)
                return false;
            const size_t produced = block.size() - stream.avail_out;
            if (produced > 0 && !target.Write(block.data(), produced))
                return false;
            if (flush == Z_FINISH ? result == Z_STREAM_END
                                  : stream.avail_in == 0 && stream.avail_out != 0)
                return true;
        }
    }

    IEntrySink& target;
    std::vector<uint8_t> block;
    z_stream stream{};
    bool ready = false;
};

struct PackedEntry {
    uint16_t method = kStored;
    uint32_t crc = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;
};

// The first pass: CRC-32 and deflated size; the method is deflate only when
// that makes the entry smaller.
bool measureEntry(IEntrySource& source, PackedEntry& packed, std::string& error) {
    packed.size = source.Size();
    if (packed.size == 0)
        return true;
    CDiscardEntrySink none;
    CCrcEntrySink deflatedCount(none);
    CDeflateSink deflater(deflatedCount);
    if (!crcOfSource(source, deflater, packed.crc, error) || !deflater.Finish()) {
        if (error.empty())
            error = "zlib failed";
        return false;
    }
    packed.packedSize = packed.size;
    if (deflatedCount.GetCount() < packed.size) {
        packed.method = kDeflated;
        packed.packedSize = deflatedCount.GetCount();
    }
    return true;
}

// The second pass: the entry's data as measured.
bool writeEntryData(IEntrySource& source, const PackedEntry& packed, IEntrySink& out,
                    std::string& error) {
    if (packed.method == kStored)
        return copySourceChecked(source, packed.crc, out, error);
    CCrcEntrySink written(out);
    CDeflateSink deflater(written);
    if (!copySourceChecked(source, packed.crc, deflater, error))
        return false;
    if (!deflater.Finish() || written.GetCount() != packed.packedSize) {
        error = "cannot write the archive";
        return false;
    }
    return true;
}

// The fields local and central headers share, from "version needed" on.
void putCommon(std::vector<uint8_t>& out, const std::string& name, const PackedEntry& packed) {
    appendLe16(out, kVersion);
    // Bit 11: the name is UTF-8, which readers need to know beyond ASCII.
    const bool ascii = std::all_of(name.begin(), name.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    appendLe16(out, ascii ? 0 : kFlagUtf8Name);
    appendLe16(out, packed.method);
    appendLe16(out, kZipFixedDosTime);
    appendLe16(out, kZipFixedDosDate);
    appendLe32(out, packed.crc);
    appendLe32(out, static_cast<uint32_t>(packed.packedSize));
    appendLe32(out, static_cast<uint32_t>(packed.size));
    appendLe16(out, static_cast<uint16_t>(name.size()));
    appendLe16(out, 0); // extra field length
}

} // namespace

uint64_t zipStoredSize(const std::vector<std::pair<size_t, uint64_t>>& nameAndDataSizes) {
    uint64_t total = kEndRecordSize;
    for (const auto& [nameSize, dataSize] : nameAndDataSizes)
        total += kLocalHeaderSize + kCentralHeaderSize + 2 * nameSize + dataSize;
    return total;
}

bool CZipStreamWriter::put(const std::vector<uint8_t>& bytes) {
    offset += bytes.size();
    return bytes.empty() || sink.Write(bytes.data(), bytes.size());
}

bool CZipStreamWriter::AddFile(const std::string& name, IEntrySource& source, uint32_t& crc,
                               std::string& error) {
    if (name.empty() || name.size() > kMaxNameSize) {
        error = "zip entry name empty or longer than 259 bytes: " + name;
        return false;
    }
    if (entryCount == kMaxEntries) {
        error = "more than 65535 entries in one zip archive";
        return false;
    }
    if (source.Size() >= kZipArchiveLimit) {
        error = "zip entry too large: " + name;
        return false;
    }
    PackedEntry packed;
    if (!measureEntry(source, packed, error))
        return false;
    if (offset + kLocalHeaderSize + name.size() + packed.packedSize >= kZipArchiveLimit) {
        error = "zip archive of 2 GiB or more";
        return false;
    }
    std::vector<uint8_t> header;
    appendLe32(header, kLocalSignature);
    putCommon(header, name, packed);
    header.insert(header.end(), name.begin(), name.end());
    appendLe32(central, kCentralSignature);
    appendLe16(central, kVersion); // made by
    putCommon(central, name, packed);
    appendLe16(central, 0); // comment length
    appendLe16(central, 0); // disk
    appendLe16(central, 0); // internal attributes
    appendLe32(central, 0); // external attributes
    appendLe32(central, static_cast<uint32_t>(offset));
    central.insert(central.end(), name.begin(), name.end());
    ++entryCount;
    if (!put(header)) {
        error = "cannot write the archive";
        return false;
    }
    if (!writeEntryData(source, packed, sink, error))
        return false;
    offset += packed.packedSize;
    crc = packed.crc;
    return true;
}

bool CZipStreamWriter::Finish(std::string& error) {
    std::vector<uint8_t> end;
    appendLe32(end, kEndSignature);
    appendLe16(end, 0);
    appendLe16(end, 0);
    appendLe16(end, static_cast<uint16_t>(entryCount));
    appendLe16(end, static_cast<uint16_t>(entryCount));
    appendLe32(end, static_cast<uint32_t>(central.size()));
    appendLe32(end, static_cast<uint32_t>(offset));
    appendLe16(end, 0); // comment length
    if (offset + central.size() + end.size() >= kZipArchiveLimit) {
        error = "zip archive of 2 GiB or more";
        return false;
    }
    if (!put(central) || !put(end)) {
        error = "cannot write the archive";
        return false;
    }
    return true;
}

bool writeZip(const std::vector<ZipWriterEntry>& entries, std::vector<uint8_t>& out,
              std::string& error) {
    std::vector<uint8_t> archive;
    CVectorEntrySink sink(archive);
    CZipStreamWriter writer(sink);
    for (const ZipWriterEntry& entry : entries) {
        CMemoryEntrySource source(entry.data);
        uint32_t crc = 0;
        if (!writer.AddFile(entry.name, source, crc, error))
            return false;
    }
    if (!writer.Finish(error))
        return false;
    out.insert(out.end(), archive.begin(), archive.end());
    return true;
}
