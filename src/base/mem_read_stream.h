// A minimal read-stream interface (what the RAR reader consumes) and its
// in-memory implementation. Streams do no locking: one thread at a time.
#pragma once

#include "base/unk.h"

#include <cstdint>
#include <memory>

// Origin values of ISimpleReadStream::Seek. Any other value counts from the
// current position.
enum ESeekOrigin {
    eSeekOrigin_Current = 0,
    eSeekOrigin_End = 1,
    eSeekOrigin_Begin = 2,
};

// Positions are 64-bit: a package on disk may be larger than 4 GiB. One
// read moves at most `count` bytes.
class ISimpleReadStream : public IUnk {
public:
    virtual bool Seek(int64_t offset, int origin) = 0;
    virtual bool Read(void* dest, int count) = 0;
    virtual int64_t Tell() const = 0;
    virtual bool Close() = 0;
};

// Keeps its own copy of the bytes: the caller's memory is not referred to
// after construction.
class CSimpleMemReadStream : public ISimpleReadStream {
public:
    // A null pointer or a negative count give an empty stream.
    CSimpleMemReadStream(const void* bytes, int count);

    // Moves to base + offset; the end itself is a valid position. False (and
    // the position unchanged) when the target is before the start or past the
    // end.
    bool Seek(int64_t offset, int origin) override;
    // Zero-fills all `count` bytes of `dest`, then copies what is left of the
    // stream, up to `count` bytes. A short read succeeds; only Tell() tells
    // how much was read. False for a null `dest`, `count` <= 0, at the end of
    // the stream and after Close().
    bool Read(void* dest, int count) override;
    int64_t Tell() const override;
    // Releases the copy of the bytes.
    bool Close() override;

private:
    std::unique_ptr<uint8_t[]> data;
    int32_t position = 0;
    int32_t size = 0;
};
