#include "update/unpack/file_read_stream_win.h"

#include <algorithm>
#include <cstring>

std::unique_ptr<CFileReadStream> CFileReadStream::Open(const std::wstring& path) {
    CFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER fileSize{};
    if (!file.isOpen() || !::GetFileSizeEx(file.get(), &fileSize) || fileSize.QuadPart < 0)
        return nullptr;
    return std::unique_ptr<CFileReadStream>(new CFileReadStream(file.release(), fileSize.QuadPart));
}

bool CFileReadStream::Seek(int64_t offset, int origin) {
    const int64_t base = origin == eSeekOrigin_End     ? size
                         : origin == eSeekOrigin_Begin ? 0
                                                       : position;
    if (!file.isOpen() || offset < -size || offset > size)
        return false;
    const int64_t target = base + offset;
    if (target < 0 || target > size)
        return false;
    position = target;
    return true;
}

bool CFileReadStream::Read(void* dest, int count) {
    if (!file.isOpen() || dest == nullptr || count <= 0 || position >= size)
        return false;
    std::memset(dest, 0, static_cast<size_t>(count));
    const DWORD wanted = static_cast<DWORD>(std::min<int64_t>(count, size - position));
    LARGE_INTEGER at{};
    at.QuadPart = position;
    DWORD read = 0;
    if (!::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
        !::ReadFile(file.get(), dest, wanted, &read, nullptr))
        return false;
    position += read;
    return true;
}

bool CFileReadStream::Close() {
    return file.close();
}
