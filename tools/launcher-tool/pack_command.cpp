#include "pack_command.h"

#include "image_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool archiveName(const fs::path& relative, std::string& name, std::string& error) {
    const std::u8string generic = relative.generic_u8string();
    name.assign(generic.begin(), generic.end());
    if (!isPlainAscii(name)) {
        error = "name is not printable ASCII: " + name;
        return false;
    }
    std::replace(name.begin(), name.end(), '/', '\\');
    return true;
}

bool addEntry(const fs::directory_entry& item, const fs::path& root,
              std::vector<RarWriterEntry>& entries, std::string& error) {
    RarWriterEntry entry;
    if (!archiveName(item.path().lexically_relative(root), entry.name, error))
        return false;
    std::error_code ec;
    if (item.is_symlink(ec) || !(item.is_directory(ec) || item.is_regular_file(ec))) {
        error = "neither a file nor a folder: " + entry.name;
        return false;
    }
    entry.isDirectory = item.is_directory(ec);
    if (!entry.isDirectory && !readImageFile(item.path().string(), entry.data, error))
        return false;
    entries.push_back(std::move(entry));
    return true;
}

} // namespace

bool collectPackEntries(const std::string& folder, std::vector<RarWriterEntry>& entries,
                        std::string& error) {
    const fs::path root(folder);
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        error = "not a folder: " + folder;
        return false;
    }
    fs::recursive_directory_iterator it(root, ec), end;
    for (; !ec && it != end; it.increment(ec))
        if (!addEntry(*it, root, entries, error))
            return false;
    if (ec) {
        error = folder + ": " + ec.message();
        return false;
    }
    std::sort(entries.begin(), entries.end(),
              [](const RarWriterEntry& a, const RarWriterEntry& b) { return a.name < b.name; });
    return true;
}

bool isPlainAscii(const std::string& name) {
    return std::all_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x7F;
    });
}

int packCommand(const std::vector<std::string>& args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: launcher-tool pack FOLDER OUT.rar\n");
        return 2;
    }
    std::vector<RarWriterEntry> entries;
    std::vector<uint8_t> archive;
    std::string error;
    if (!collectPackEntries(args[0], entries, error) ||
        !writeStoredRar(entries, kRarFixedDosTime, archive, error) ||
        !writeImageFile(args[1], archive, error)) {
        std::fprintf(stderr, "launcher-tool: pack: %s\n", error.c_str());
        return 1;
    }
    std::printf("%zu entries, %zu bytes\n", entries.size(), archive.size());
    return 0;
}
