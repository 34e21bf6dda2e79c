// Patching what an archiver records about a zip entry into an archive the
// zip writer made, for the tests of names and entry kinds.
#pragma once

#include "base/byte_order.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ziptest {

inline constexpr uint8_t kHostDos = 0;
inline constexpr uint8_t kHostUnix = 3;

// Sets "version made by", the UTF-8 flag and the external attributes of
// central record `index` (the writer adds no comments and no extra fields).
inline void setMadeBy(std::vector<uint8_t>& zip, int index, uint8_t host, bool flagged,
                      uint32_t attributes) {
    const auto le16 = [&](size_t at) { return size_t{readLe16(zip.data() + at)}; };
    const size_t end = zip.size() - 22;
    size_t record = end - (le16(end + 12) | (le16(end + 14) << 16));
    for (int i = 0; i < index; ++i)
        record += 46 + le16(record + 28);
    zip[record + 5] = host;
    zip[record + 9] = flagged ? zip[record + 9] | 0x08 : zip[record + 9] & ~0x08;
    writeLe32(zip.data() + record + 38, attributes);
}

} // namespace ziptest
