#include "update/archive/entry_sink.h"

#include "base/buffer.h"
#include "base/crc32.h"

#include <algorithm>
#include <cstring>

CBufferEntrySink::CBufferEntrySink(CBuffer& target, uint64_t firstGuess, uint64_t limit)
    : out(target), guess(std::min(firstGuess, limit)),
      nLimit(std::min<uint64_t>(limit, UINT32_MAX)) {}

bool CBufferEntrySink::Write(const uint8_t* bytes, size_t count) {
    const uint64_t used = out.GetLength();
    if (count > nLimit - used)
        return false;
    if (!out.GetTail(static_cast<unsigned>(count))) {
        // Doubling keeps appends linear; the limit bounds it.
        const uint64_t wanted =
            std::min(nLimit, std::max({guess, 2 * used, used + static_cast<uint64_t>(count)}));
        if (!out.Reserve(static_cast<unsigned>(wanted - used)))
            return false;
    }
    return out.Append(bytes, static_cast<unsigned>(count)) == count;
}

bool CMemoryEntrySink::Write(const uint8_t* bytes, size_t count) {
    if (count > room)
        return false;
    std::memcpy(block, bytes, count);
    block += count;
    room -= count;
    return true;
}

bool CCrcEntrySink::Write(const uint8_t* bytes, size_t count) {
    // Crc32Continue takes 32-bit counts; pieces are far smaller, but a sink
    // must not trust its caller.
    for (size_t done = 0; done < count;) {
        const auto piece = static_cast<unsigned>(std::min<size_t>(count - done, 0x40000000u));
        crc = Crc32Continue(bytes + done, piece, crc);
        done += piece;
    }
    total += count;
    return target.Write(bytes, count);
}
