#include "base/log/log_file_io_win.h"

#include <algorithm>
#include <climits>

namespace {

// Largest piece handed to one ReadFile/WriteFile call.
constexpr size_t kLargestIo = 1u << 30;

OVERLAPPED overlappedAt(uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

} // namespace

bool writeAllBytes(HANDLE file, const void* bytes, size_t count) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    while (count > 0) {
        const DWORD piece = static_cast<DWORD>(std::min(count, kLargestIo));
        DWORD written = 0;
        if (!::WriteFile(file, p, piece, &written, nullptr) || written == 0)
            return false;
        p += written;
        count -= written;
    }
    return true;
}

size_t readBytesAt(HANDLE file, uint64_t offset, void* dest, size_t count) {
    // On a handle opened without FILE_FLAG_OVERLAPPED the OVERLAPPED record
    // only carries the offset; the call stays synchronous.
    OVERLAPPED at = overlappedAt(offset);
    DWORD read = 0;
    const DWORD piece = static_cast<DWORD>(std::min(count, kLargestIo));
    if (!::ReadFile(file, dest, piece, &read, &at))
        return 0;
    return read;
}

bool writeBytesAt(HANDLE file, uint64_t offset, const void* bytes, size_t count) {
    if (count > kLargestIo)
        return false;
    OVERLAPPED at = overlappedAt(offset);
    DWORD written = 0;
    return ::WriteFile(file, bytes, static_cast<DWORD>(count), &written, &at) && written == count;
}

bool seekToEnd(HANDLE file) {
    LARGE_INTEGER zero{};
    return ::SetFilePointerEx(file, zero, nullptr, FILE_END) != FALSE;
}

std::optional<uint64_t> fileSizeOf(HANDLE file) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size) || size.QuadPart < 0)
        return std::nullopt;
    return static_cast<uint64_t>(size.QuadPart);
}

std::optional<std::string> utf8FromWide(const wchar_t* text, size_t length) {
    if (length == 0)
        return std::string();
    // Three UTF-8 bytes at most per UTF-16 unit must still fit in an int.
    if (length > INT_MAX / 3)
        return std::nullopt;
    const int units = static_cast<int>(length);
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::nullopt;
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, units, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring wideFromCodePage(unsigned codePage, const std::string& text) {
    if (text.empty() || text.size() > INT_MAX)
        return {};
    const int bytes = static_cast<int>(text.size());
    const int n = ::MultiByteToWideChar(codePage, 0, text.data(), bytes, nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), bytes, out.data(), n);
    return out;
}

std::wstring wideFromAnsi(const std::string& text) {
    return wideFromCodePage(CP_ACP, text);
}
