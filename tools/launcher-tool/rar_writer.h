// Writes RAR 4.x archives whose entries are stored (method 0x30): the format
// the launcher's branding archive is shipped in. Pure; any thread.
#pragma once

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

// Appends the archive of `entries` (in this order) to `out`: marker, archive
// header, one file block per entry, end block. False with `error` set (and
// `out` unchanged) for an empty or over-long name or an archive of 2 GiB or
// more, which the launcher's reader could not address.
bool writeStoredRar(const std::vector<RarWriterEntry>& entries, uint32_t dosTime,
                    std::vector<uint8_t>& out, std::string& error);
