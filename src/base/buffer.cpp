#include "base/buffer.h"

#include "base/byte_order.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

void CBufferBase::Free() {
    capacity = 0;
    length = 0;
}

void CBufferBase::Clear() {
    length = 0;
}

bool CBufferBase::Reserve(unsigned extra) {
    if (extra > UINT_MAX - length)
        return false;
    if (capacity < length + extra)
        return SetCapacity(length + extra);
    return true;
}

CBuffer::CBuffer(unsigned initialCapacity) {
    if (initialCapacity != 0) {
        data = new uint8_t[initialCapacity];
        capacity = initialCapacity;
    }
}

CBuffer::~CBuffer() {
    delete[] data;
}

bool CBuffer::SetCapacity(unsigned newCapacity) {
    if (newCapacity == capacity)
        return true;
    if (newCapacity == 0) {
        Free();
        return true;
    }
    if (growStep > 1 && newCapacity > capacity) {
        const unsigned remainder = newCapacity % growStep;
        if (remainder != 0) {
            if (growStep - remainder > UINT_MAX - newCapacity)
                return false;
            newCapacity += growStep - remainder;
        }
    }
    uint8_t* block = new uint8_t[newCapacity];
    length = std::min(length, newCapacity);
    CopyTo(block, length);
    delete[] std::exchange(data, block);
    capacity = newCapacity;
    return true;
}

unsigned CBuffer::Append(const void* bytes, unsigned count) {
    if (count == 0 || !bytes || !Reserve(count))
        return 0;
    std::memcpy(data + length, bytes, count);
    length += count;
    return count;
}

void CBuffer::Free() {
    delete[] std::exchange(data, nullptr);
    CBufferBase::Free();
}

void CBuffer::CopyTo(void* dest, unsigned count) const {
    count = std::min(count, capacity);
    if (count != 0)
        std::memcpy(dest, data, count);
}

void CBuffer::Attach(CBuffer& other) {
    if (&other == this)
        return;
    Free();
    data = std::exchange(other.data, nullptr);
    capacity = std::exchange(other.capacity, 0);
    length = std::exchange(other.length, 0);
}

int CBuffer::FindByte(int value) const {
    // The index must fit the int result.
    const unsigned searched = std::min<unsigned>(length, INT_MAX);
    if (searched == 0)
        return -1;
    const void* found = std::memchr(data, value, searched);
    return found ? static_cast<int>(static_cast<const uint8_t*>(found) - data) : -1;
}

uint8_t* CBuffer::GetData() {
    return data;
}

uint8_t* CBuffer::GetAt(unsigned index) {
    return data && index < length ? data + index : nullptr;
}

const uint8_t* CBuffer::GetAt(unsigned index) const {
    return data && index < length ? data + index : nullptr;
}

unsigned CBuffer::GetLength() const {
    return length;
}

unsigned CBuffer::GetFreeSpace() const {
    return capacity - length;
}

uint8_t* CBuffer::GetTail(unsigned count) {
    return data && GetFreeSpace() >= count ? data + length : nullptr;
}

bool CBuffer::Commit(unsigned count) {
    if (GetFreeSpace() < count)
        return false;
    length += count;
    return true;
}

void CBuffer::ToString(std::string& out) const {
    if (length == 0)
        out.clear();
    else
        out.assign(reinterpret_cast<const char*>(data), length);
}

void CBuffer::ToWString(std::wstring& out) const {
    out.resize(length / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<wchar_t>(readLe16(data + 2 * i));
}

uint8_t* CBuffer::AppendZeroByte() {
    return AppendZeros(1) ? data : nullptr;
}

uint8_t* CBuffer::AppendZeroWord() {
    return AppendZeros(2) ? data : nullptr;
}

int CBuffer::XorRange(unsigned offset, unsigned count, const uint8_t* key, unsigned keyLength,
                      unsigned keyPos) {
    if (offset > length || count > length - offset || keyPos >= keyLength)
        return -1;
    uint8_t* byte = data + offset;
    for (unsigned i = 0; i < count; ++i) {
        byte[i] ^= key[keyPos];
        if (++keyPos == keyLength)
            keyPos = 0;
    }
    return static_cast<int>(keyPos);
}

bool CBuffer::AppendZeros(unsigned count) {
    if (count == 0)
        return true;
    if (!Reserve(count))
        return false;
    uint8_t* tail = GetTail(count);
    if (!tail)
        return false;
    std::memset(tail, 0, count);
    length += count;
    return true;
}
