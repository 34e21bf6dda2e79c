// Writes zip archives the launcher's zip reader opens: update packages and
// "update.rxml". Entries are deflated (raw deflate, zlib) unless that does
// not make them smaller, then stored. No zip64, no archive comment, no data
// descriptors. Pure; any thread.
#pragma once

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

// Appends the archive of `entries` (in this order) to `out`. False with
// `error` (and `out` unchanged) for an empty or over-long name, more than
// 65535 entries, or an archive of 2 GiB or more, which the launcher's reader
// cannot address.
bool writeZip(const std::vector<ZipWriterEntry>& entries, std::vector<uint8_t>& out,
              std::string& error);
