#include "base/mem_read_stream.h"

#include <algorithm>
#include <cstring>

CSimpleMemReadStream::CSimpleMemReadStream(const void* bytes, int count)
    : size(bytes && count > 0 ? count : 0) {
    data = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(size));
    if (size > 0)
        std::memcpy(data.get(), bytes, static_cast<size_t>(size));
}

bool CSimpleMemReadStream::Seek(int64_t offset, int origin) {
    int64_t base = position;
    if (origin == eSeekOrigin_End)
        base = size;
    else if (origin == eSeekOrigin_Begin)
        base = 0;
    if (offset < -size || offset > size)
        return false;
    const int64_t target = base + offset;
    if (target < 0 || target > size)
        return false;
    position = static_cast<int32_t>(target);
    return true;
}

bool CSimpleMemReadStream::Read(void* dest, int count) {
    if (!dest || count <= 0 || !data || position < 0 || position >= size)
        return false;
    std::memset(dest, 0, static_cast<size_t>(count));
    const int32_t available = std::min(size - position, count);
    std::memcpy(dest, data.get() + position, static_cast<size_t>(available));
    position += available;
    return true;
}

int64_t CSimpleMemReadStream::Tell() const {
    return position;
}

bool CSimpleMemReadStream::Close() {
    data.reset();
    return true;
}
