// Writes zip archives the launcher's zip reader opens: update packages and
// "update.rxml". Entries are deflated (raw deflate, zlib) unless that does
// not make them smaller, then stored. No zip64, no archive comment, no data
// descriptors. Pure apart from the sources and sinks given; any thread.
#pragma once

#include "entry_source.h"

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

struct ZipWriterEntry {
    std::string name; // '/'-separated, UTF-8 (flagged as such when not ASCII)
    std::vector<uint8_t> data;
};

// 1980-01-01 00:00:00 in DOS form, so archives of the same files are
// byte-identical.
inline constexpr uint16_t kZipFixedDosTime = 0x0000;
inline constexpr uint16_t kZipFixedDosDate = 0x0021;

// Archives reach this size at most: the launcher's reader cannot address
// more.
inline constexpr uint64_t kZipArchiveLimit = INT_MAX;

// The size of the archive of entries with these name lengths and sizes when
// every entry is stored: no archive of them is larger.
uint64_t zipStoredSize(const std::vector<std::pair<size_t, uint64_t>>& nameAndDataSizes);

// Streams an archive into a sink. Each entry is read twice from its source,
// first deflated only to learn its packed size, then written: memory stays
// bounded by a block whatever the entry's size, and the bytes are the same
// as from writeZip. One archive per object.
class CZipStreamWriter : public IArchiveWriter {
public:
    explicit CZipStreamWriter(IEntrySink& out) : sink(out) {}
    // False for an empty or over-long name, more than 65535 entries, an
    // archive that would reach kZipArchiveLimit, a source that fails or
    // changes between its passes, or a sink that refuses bytes.
    bool AddFile(const std::string& name, IEntrySource& source, uint32_t& crc,
                 std::string& error) override;
    // The central directory and the end record.
    bool Finish(std::string& error) override;

private:
    bool put(const std::vector<uint8_t>& bytes);

    IEntrySink& sink;
    uint64_t offset = 0;
    std::vector<uint8_t> central;
    uint32_t entryCount = 0;
};

// Appends the archive of `entries` (in this order) to `out`. False with
// `error` (and `out` unchanged) as CZipStreamWriter fails.
bool writeZip(const std::vector<ZipWriterEntry>& entries, std::vector<uint8_t>& out,
              std::string& error);
