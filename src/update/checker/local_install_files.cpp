#include "update/checker/local_install_files.h"

#include "update/manifest/manifest_text.h"

#include "base/utf8_text.h"

#include <cerrno>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class CLocalReadFile : public IReadFile {
public:
    explicit CLocalReadFile(const fs::path& path) : stream(path, std::ios::binary) {}
    bool isOpen() const { return stream.is_open(); }
    int64_t Read(void* dest, uint32_t count) override {
        stream.read(static_cast<char*>(dest), static_cast<std::streamsize>(count));
        if (stream.bad())
            return -1;
        return static_cast<int64_t>(stream.gcount());
    }

private:
    std::ifstream stream;
};

EFolderEntryKind kindOf(const fs::directory_entry& entry) {
    std::error_code ec;
    if (entry.is_symlink(ec))
        return EFolderEntryKind::Link;
    if (entry.is_directory(ec))
        return EFolderEntryKind::Folder;
    if (entry.is_regular_file(ec))
        return EFolderEntryKind::File;
    return EFolderEntryKind::Other;
}

// Names are decoded as UTF-8 text, like the manifest's paths.
std::wstring wideName(const fs::path& name) {
    const std::u8string utf8 = name.u8string();
    return wideFromUtf8(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

fs::path utf8Path(const std::wstring& name) {
    const std::string utf8 = utf8FromWide(name);
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

// The entry of `folder` named `name` ignoring case (manifest paths are kept
// in lower case, as Windows compares them); `name` itself when none is.
fs::path entryIgnoringCase(const fs::path& folder, const std::wstring& name) {
    std::error_code ec;
    const fs::path exact = folder / fs::path(utf8Path(name));
    if (fs::exists(fs::symlink_status(exact, ec)))
        return exact;
    const std::wstring wanted = lowerWide(name);
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec))
        if (lowerWide(wideName(it->path().filename())) == wanted)
            return it->path();
    return exact;
}

} // namespace

fs::path CLocalInstallFiles::resolve(const std::wstring& path) const {
    fs::path full = root;
    size_t begin = 0;
    while (begin < path.size()) {
        size_t end = path.find_first_of(L"\\/", begin);
        if (end == std::wstring::npos)
            end = path.size();
        if (end > begin)
            full = entryIgnoringCase(full, path.substr(begin, end - begin));
        begin = end + 1;
    }
    return full;
}

std::unique_ptr<IReadFile> CLocalInstallFiles::OpenFile(const std::wstring& path,
                                                        uint32_t& systemError) {
    const fs::path full = resolve(path);
    std::error_code ec;
    if (!fs::is_regular_file(full, ec)) {
        systemError = ec ? static_cast<uint32_t>(ec.value()) : static_cast<uint32_t>(ENOENT);
        return nullptr;
    }
    auto file = std::make_unique<CLocalReadFile>(full);
    if (!file->isOpen()) {
        systemError = static_cast<uint32_t>(EACCES);
        return nullptr;
    }
    return file;
}

bool CLocalInstallFiles::ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries) {
    entries.clear();
    std::error_code ec;
    fs::directory_iterator it(resolve(folder), ec), end;
    for (; !ec && it != end; it.increment(ec))
        entries.push_back({wideName(it->path().filename()), kindOf(*it)});
    return !ec;
}

bool CLocalInstallFiles::RemoveFile(const std::wstring& path) {
    std::error_code ec;
    return fs::remove(resolve(path), ec);
}

bool CLocalInstallFiles::RemoveEmptyFolder(const std::wstring& folder) {
    std::error_code ec;
    const fs::path full = resolve(folder);
    return fs::is_empty(full, ec) && fs::remove(full, ec);
}
