// Small decisions of the unpacker thread, kept apart from the Win32 calls so
// they are tested natively. Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>

// A package is a RAR archive when it starts with "Rar!" (and has more than
// three bytes), a zip archive otherwise.
bool isRarPackage(const uint8_t* head, size_t count);

// The progress value posted while a package is unpacked: the bytes of the
// finished items plus the package's share done, counting the entry in work
// by the part of it already written.
uint64_t packageProgress(uint64_t processedBytes, uint64_t packageSize, uint64_t entriesDone,
                         uint64_t entryCount, uint64_t entryWritten, uint64_t entrySize);

// At most one progress message per 55 ms. Tick counts wrap after 49.7 days;
// the difference is taken modulo 2^32 so the wrap does not stop the posts.
class CProgressThrottle {
public:
    static constexpr uint32_t kIntervalMs = 55;
    // True (and the time remembered) when more than 55 ms passed since the
    // last true, or on the first call.
    bool Due(uint32_t nowTicks);

private:
    bool bStarted = false;
    uint32_t nLastTicks = 0;
};
