#include "update/unpack/part_files_win.h"

#include "base/crc32.h"
#include "base/scoped_handle_win.h"

#include <algorithm>
#include <vector>

namespace {

constexpr DWORD kReadPiece = 0x40000;

} // namespace

bool CPartFilesWin::Measure(const std::wstring& path, uint32_t& crc, uint64_t& size) {
    return MeasureUnlessStopped(path, crc, size, {});
}

bool CPartFilesWin::MeasureUnlessStopped(const std::wstring& path, uint32_t& crc, uint64_t& size,
                                         const std::function<bool()>& stopRequested) {
    crc = 0;
    size = 0;
    CFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen())
        return false;
    std::vector<uint8_t> piece(kReadPiece);
    uint32_t running = 0;
    uint64_t total = 0;
    for (;;) {
        if (stopRequested && stopRequested())
            return false;
        DWORD read = 0;
        if (!::ReadFile(file.get(), piece.data(), kReadPiece, &read, nullptr))
            return false;
        if (read == 0)
            break;
        running = Crc32Continue(piece.data(), read, running);
        total += read;
    }
    crc = running;
    size = total;
    return true;
}

bool CPartFilesWin::Append(const std::wstring& path, const uint8_t* bytes, size_t count) {
    CFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen())
        return false;
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(file.get(), zero, nullptr, FILE_END))
        return false;
    for (size_t done = 0; done < count;) {
        const auto piece = static_cast<DWORD>(std::min<size_t>(count - done, 0x40000000u));
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes + done, piece, &written, nullptr) || written != piece)
            return false;
        done += piece;
    }
    return file.close();
}
