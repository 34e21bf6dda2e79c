// Where an archive reader puts an entry's bytes while it unpacks them, so an
// entry of any size passes through a bounded amount of memory. Sinks belong
// to the thread that runs the reader.
#pragma once

#include <cstddef>
#include <cstdint>

class CBuffer;

// Pieces handed to a sink are at most this long unless the caller asks for
// less.
inline constexpr size_t kEntryChunkSize = 0x10000;

class IEntrySink {
public:
    virtual ~IEntrySink() = default;
    // The next `count` (> 0) bytes of the entry, in order. False makes the
    // reader stop and fail the entry.
    virtual bool Write(const uint8_t* bytes, size_t count) = 0;
};

// Appends to a CBuffer: the in-memory extraction. The first growth reserves
// `firstGuess` bytes, later ones double; nothing past `limit` bytes in all is
// accepted (a header's size may lie, the limit is what the caller believes).
class CBufferEntrySink : public IEntrySink {
public:
    CBufferEntrySink(CBuffer& target, uint64_t firstGuess, uint64_t limit);
    bool Write(const uint8_t* bytes, size_t count) override;

private:
    CBuffer& out;
    uint64_t guess;
    uint64_t nLimit;
};

// Copies into a caller's block of `capacity` bytes; refuses what would not
// fit.
class CMemoryEntrySink : public IEntrySink {
public:
    CMemoryEntrySink(void* dest, size_t capacity)
        : block(static_cast<uint8_t*>(dest)), room(capacity) {}
    bool Write(const uint8_t* bytes, size_t count) override;

private:
    uint8_t* block;
    size_t room;
};

// Takes the bytes and keeps nothing: for entries that are read (a solid
// archive needs them decoded, their CRC checked) but not written.
class CDiscardEntrySink : public IEntrySink {
public:
    bool Write(const uint8_t*, size_t) override { return true; }
};

// Passes the bytes on and keeps their running CRC-32 and count.
class CCrcEntrySink : public IEntrySink {
public:
    explicit CCrcEntrySink(IEntrySink& next) : target(next) {}
    bool Write(const uint8_t* bytes, size_t count) override;

    uint32_t GetCrc() const { return crc; }
    uint64_t GetCount() const { return total; }

private:
    IEntrySink& target;
    uint32_t crc = 0;
    uint64_t total = 0;
};
