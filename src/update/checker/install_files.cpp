#include "update/checker/install_files.h"

#include "base/crc32.h"

bool digestFile(IInstallFiles& files, const std::wstring& path, std::vector<uint8_t>& block,
                FileDigest& digest, uint32_t& systemError) {
    systemError = 0;
    const std::unique_ptr<IReadFile> file = files.OpenFile(path, systemError);
    if (!file)
        return false;
    block.resize(kDigestBlockSize);
    digest = FileDigest();
    while (true) {
        const int64_t got = file->Read(block.data(), kDigestBlockSize);
        if (got < 0 || got > kDigestBlockSize)
            return false;
        if (got == 0)
            break;
        const auto count = static_cast<unsigned>(got);
        digest.crc = Crc32Continue(block.data(), count, digest.crc);
        digest.size += count;
    }
    if (digest.size == 0)
        digest.crc = Crc32(nullptr, 0);
    return true;
}
