// Writes RAR 4.x archives whose entries are stored (method 0x30): the format
// the launcher's branding archive is shipped in, and the update packages too
// large for a zip. Entries past 4 GiB carry the 64-bit size fields; names
// beyond ASCII are flagged Unicode and stored as UTF-8. Pure apart from the
// sources and sinks given; any thread.
#pragma once

#include "entry_source.h"

#include <cstdint>
#include <string>
#include <vector>

struct RarWriterEntry {
    std::string name; // components separated by '\\'
    bool isDirectory = false;
    std::vector<uint8_t> data; // empty for a directory
};

// 1980-01-01 00:00:00 as a DOS date and time: a fixed time keeps archives of
// the same folder byte-identical.
inline constexpr uint32_t kRarFixedDosTime = 0x00210000;

// The file block header of a stored entry of `size` bytes whose CRC-32 is
// `crc` (the data follows it). False for an empty name or one too long for
// the header.
bool appendRarFileHeader(const std::string& name, bool isDirectory, uint64_t size, uint32_t crc,
                         uint32_t dosTime, std::vector<uint8_t>& out);

// Streams an archive into a sink. A file is read twice from its source: its
// CRC-32 first, for the header ahead of the data, then the copy, so memory
// stays bounded by a block whatever its size. One archive per object.
class CRarStreamWriter : public IArchiveWriter {
public:
    CRarStreamWriter(IEntrySink& out, uint32_t dosTime) : sink(out), nDosTime(dosTime) {}
    // False for a bad name, a source that fails or changes between its
    // passes, or a sink that refuses bytes.
    bool AddFile(const std::string& name, IEntrySource& source, uint32_t& crc,
                 std::string& error) override;
    bool AddDirectory(const std::string& name, std::string& error);
    // The end block.
    bool Finish(std::string& error) override;

private:
    bool start(std::string& error);
    bool put(const std::vector<uint8_t>& bytes, std::string& error);

    IEntrySink& sink;
    uint32_t nDosTime;
    bool bStarted = false;
};

// Appends the archive of `entries` (in this order) to `out`: marker, archive
// header, one file block per entry, end block. False with `error` set (and
// `out` unchanged) for an empty or over-long name or an archive of 2 GiB or
// more, which no resource of the launcher can hold.
bool writeStoredRar(const std::vector<RarWriterEntry>& entries, uint32_t dosTime,
                    std::vector<uint8_t>& out, std::string& error);
