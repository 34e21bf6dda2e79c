// Growable heap byte buffer with a virtual interface. A buffer belongs to one
// thread at a time and does no locking; buffers that cross threads are handed
// over with Attach by the receiving side.
#pragma once

#include <cstdint>
#include <string>

// Sizes are 32-bit on every target: a buffer never holds more than 4 GiB - 1.
class CBufferBase {
public:
    CBufferBase() = default;
    CBufferBase(const CBufferBase&) = delete;
    CBufferBase& operator=(const CBufferBase&) = delete;
    virtual ~CBufferBase() = default;

    // Makes the allocated block exactly `newCapacity` bytes (subject to the
    // implementation's rounding); shrinking below the used length truncates.
    virtual bool SetCapacity(unsigned newCapacity) = 0;
    // Copies `count` bytes to the end; returns the number appended.
    virtual unsigned Append(const void* bytes, unsigned count) = 0;
    // Forgets the block: capacity and length become 0.
    virtual void Free();
    // Marks every byte unused, keeps the block.
    virtual void Clear();
    // Ensures room for `extra` more bytes after the used ones. False when
    // length + extra does not fit in 32 bits or the growth fails.
    virtual bool Reserve(unsigned extra);

protected:
    unsigned capacity = 0;
    unsigned length = 0; // always <= capacity
};

// Owns its block exclusively (allocated with new[]). Allocation failure is not
// a result: std::bad_alloc propagates to the caller. Not copyable; ownership
// moves only through Attach.
class CBuffer : public CBufferBase {
public:
    CBuffer() = default;
    // Allocates exactly `initialCapacity` bytes; the buffer starts empty.
    explicit CBuffer(unsigned initialCapacity);
    ~CBuffer() override;

    // Growth rounds the requested capacity up to a multiple of growStep when
    // growStep > 1; shrinking is never rounded. False when the rounded size
    // does not fit in 32 bits.
    bool SetCapacity(unsigned newCapacity) override;
    // Returns `count`, or 0 (buffer unchanged) when `bytes` is null or the
    // buffer could not grow.
    unsigned Append(const void* bytes, unsigned count) override;
    void Free() override;

    // Copies the first `count` bytes of the block (at most the capacity) to
    // `dest`.
    virtual void CopyTo(void* dest, unsigned count) const;
    // Frees this buffer and takes `other`'s block; `other` is left empty.
    virtual void Attach(CBuffer& other);
    // Index of the first used byte equal to (unsigned char)value, or -1.
    virtual int FindByte(int value) const;
    virtual uint8_t* GetData();
    // Byte `index` of the used bytes, or null when out of range.
    virtual uint8_t* GetAt(unsigned index);
    virtual unsigned GetLength() const;
    virtual unsigned GetFreeSpace() const;
    // Where `count` more bytes can be written directly (ReadFile, inflate...),
    // or null when the free space is smaller; Commit(count) then keeps them.
    virtual uint8_t* GetTail(unsigned count);
    virtual bool Commit(unsigned count);
    virtual void ToString(std::string& out) const;
    // The used bytes read as UTF-16LE code units, one wchar_t per unit (a
    // trailing odd byte is ignored).
    virtual void ToWString(std::wstring& out) const;
    // Append a terminator that counts in the length; return the block, or null
    // when the buffer could not grow.
    virtual uint8_t* AppendZeroByte();
    virtual uint8_t* AppendZeroWord();
    // XORs bytes [offset, offset + count) with the key, starting at key byte
    // `keyPos` and wrapping. Returns the key position after the last byte, so
    // a stream can be processed in pieces; -1 (bytes unchanged) when the range
    // is outside the used bytes or keyPos >= keyLength.
    virtual int XorRange(unsigned offset, unsigned count, const uint8_t* key, unsigned keyLength,
                         unsigned keyPos);

    const uint8_t* GetData() const { return data; }
    const uint8_t* GetAt(unsigned index) const;
    // Appends `count` zero bytes.
    bool AppendZeros(unsigned count);

private:
    uint8_t* data = nullptr; // null while capacity is 0

public:
    // Capacity granularity for growth; 0 or 1 means exact sizes. The owner
    // sets it directly (constructors set 0).
    unsigned growStep = 0;
};
