#include "update/unpack/unpack_rules.h"

#include <cstring>

bool isRarPackage(const uint8_t* head, size_t count) {
    return head != nullptr && count > 3 && std::memcmp(head, "Rar!", 4) == 0;
}

uint64_t packageProgress(uint64_t processedBytes, uint64_t packageSize, uint64_t entriesDone,
                         uint64_t entryCount, uint64_t entryWritten, uint64_t entrySize) {
    if (entryCount == 0)
        return processedBytes;
    double done = static_cast<double>(entriesDone);
    if (entrySize > 0 && entryWritten <= entrySize)
        done += static_cast<double>(entryWritten) / static_cast<double>(entrySize);
    const double share =
        done >= static_cast<double>(entryCount) ? 1.0 : done / static_cast<double>(entryCount);
    return processedBytes + static_cast<uint64_t>(static_cast<double>(packageSize) * share);
}

bool CProgressThrottle::Due(uint32_t nowTicks) {
    if (bStarted && nowTicks - nLastTicks <= kIntervalMs)
        return false;
    bStarted = true;
    nLastTicks = nowTicks;
    return true;
}
