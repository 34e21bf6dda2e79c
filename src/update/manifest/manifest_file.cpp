#include "update/manifest/manifest_file.h"

#include "update/manifest/manifest_receive.h"
#include "update/manifest/manifest_text.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Through UTF-8, so the folder names the same file on every platform
// (wchar_t holds UTF-16 on Windows and code points on Linux).
fs::path pathOf(const std::wstring& text) {
    const std::string utf8 = utf8FromWide(text);
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

// A name nobody else uses in our own folder: the clock and a counter make
// it unique per call, the existence test covers a leftover of a crash.
fs::path newTemporaryPath(const fs::path& folder) {
    static std::atomic<uint64_t> counter{0};
    const auto ticks =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = folder / ("update.xml." + std::to_string(ticks) + "-" +
                                       std::to_string(++counter) + ".tmp");
        std::error_code ec;
        if (fs::symlink_status(candidate, ec).type() == fs::file_type::not_found)
            return candidate;
    }
    return {};
}

bool writeWholeText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.is_open())
        return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

} // namespace

bool loadManifestFile(const std::wstring& installFolder, std::string& text) {
    text.clear();
    const fs::path path = pathOf(installFolder) / pathOf(kManifestFileName);
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        return false;
    const uintmax_t size = fs::file_size(path, ec);
    if (ec || size > kMaxManifestFileSize)
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return false;
    std::string bytes(static_cast<size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad() || static_cast<uintmax_t>(in.gcount()) != size)
        return false;
    text = std::move(bytes);
    return true;
}

bool saveManifestFile(const std::wstring& installFolder, const std::string& text) {
    if (!shouldSaveManifest(installFolder, text))
        return false;
    const fs::path folder = pathOf(installFolder);
    const fs::path temporary = newTemporaryPath(folder);
    if (temporary.empty())
        return false;
    std::error_code ec;
    if (writeWholeText(temporary, text)) {
        fs::rename(temporary, folder / pathOf(kManifestFileName), ec);
        if (!ec)
            return true;
    }
    fs::remove(temporary, ec);
    return false;
}
