// The part store's files in the temporary folder, through Win32 file
// handles. Any thread; calls on one file must not overlap (the store's owner
// serialises them).
#pragma once

#include "update/unpack/file_part_store.h"

#include <functional>

class CPartFilesWin : public IPartFiles {
public:
    // Reads the file in pieces: any size, bounded memory.
    bool Measure(const std::wstring& path, uint32_t& crc, uint64_t& size) override;
    // The same, asking `stopRequested` before every piece: a part of
    // gigabytes must not hold up a thread that is told to stop. False (0, 0)
    // when stopped, as without a file.
    static bool MeasureUnlessStopped(const std::wstring& path, uint32_t& crc, uint64_t& size,
                                     const std::function<bool()>& stopRequested);
    bool Append(const std::wstring& path, const uint8_t* bytes, size_t count) override;
};
