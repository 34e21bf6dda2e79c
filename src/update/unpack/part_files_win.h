// The part store's files in the temporary folder, through Win32 file
// handles. Any thread; calls on one file must not overlap (the store's owner
// serialises them).
#pragma once

#include "update/unpack/file_part_store.h"

class CPartFilesWin : public IPartFiles {
public:
    // Reads the file in pieces: any size, bounded memory.
    bool Measure(const std::wstring& path, uint32_t& crc, uint64_t& size) override;
    bool Append(const std::wstring& path, const uint8_t* bytes, size_t count) override;
};
