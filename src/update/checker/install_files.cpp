#include "update/checker/install_files.h"

#include "base/crc32.h"

#include <algorithm>

EDigest digestFile(IInstallFiles& files, const std::wstring& path, const CheckerControl& control,
                   std::vector<uint8_t>& block, FileDigest& digest, uint32_t& systemError) {
    systemError = 0;
    const std::unique_ptr<IReadFile> file = files.OpenFile(path, systemError);
    if (!file)
        return EDigest::Unreadable;
    block.resize(kDigestBlockSize);
    digest = FileDigest();
    while (true) {
        if (control.stopped())
            return EDigest::Stopped;
        const int64_t got = file->Read(block.data(), kDigestBlockSize);
        if (got < 0 || got > kDigestBlockSize)
            return EDigest::Unreadable;
        if (got == 0)
            break;
        const auto count = static_cast<unsigned>(got);
        digest.crc = Crc32Continue(block.data(), count, digest.crc);
        digest.size += count;
    }
    if (digest.size == 0)
        digest.crc = Crc32(nullptr, 0);
    return EDigest::Ok;
}

bool readSmallFile(IInstallFiles& files, const std::wstring& path, size_t maxSize,
                   std::vector<uint8_t>& bytes) {
    bytes.clear();
    uint32_t systemError = 0;
    const std::unique_ptr<IReadFile> file = files.OpenFile(path, systemError);
    if (!file)
        return false;
    constexpr size_t kPiece = 64 * 1024;
    while (bytes.size() <= maxSize) {
        const size_t at = bytes.size();
        const size_t want = std::min(kPiece, maxSize + 1 - at);
        bytes.resize(at + want);
        const int64_t got = file->Read(bytes.data() + at, static_cast<uint32_t>(want));
        if (got < 0 || static_cast<uint64_t>(got) > want)
            break;
        bytes.resize(at + static_cast<size_t>(got));
        if (got == 0)
            return true;
    }
    bytes.clear();
    return false;
}
