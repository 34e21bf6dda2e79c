#include "publish_command.h"

#include "pack_command.h"

#include "image_file.h"
#include "rar_writer.h"
#include "zip_writer.h"

#include "app/stamp/pe_resources.h"
#include "app/stamp/stamp_slots.h"
#include "base/utf8_text.h"
#include "update/install_path.h"
#include "update/manifest/manifest_text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// An empty file's CRC in the manifest, as the launcher computes it.
constexpr uint32_t kEmptyFileCrc = 0xFFFFFFFF;

fs::path clientPath(const std::string& folder, const std::string& path) {
    std::string generic = path;
    std::replace(generic.begin(), generic.end(), '\\', '/');
    return fs::path(folder) / generic;
}

std::vector<std::string> filesUnder(const std::vector<std::string>& paths, const std::string& add) {
    std::vector<std::string> found;
    for (const std::string& path : paths)
        if (path == add || (path.size() > add.size() && path.compare(0, add.size(), add) == 0 &&
                            path[add.size()] == '\\'))
            found.push_back(path);
    return found;
}

// Compared a block at a time: client files may be larger than memory.
bool sameBytes(const fs::path& a, const fs::path& b) {
    std::error_code ecA, ecB;
    if (fs::file_size(a, ecA) != fs::file_size(b, ecB) || ecA || ecB)
        return false;
    std::ifstream left(a, std::ios::binary), right(b, std::ios::binary);
    std::vector<char> x(kSourceBlockSize), y(kSourceBlockSize);
    while (left && right) {
        left.read(x.data(), static_cast<std::streamsize>(x.size()));
        right.read(y.data(), static_cast<std::streamsize>(y.size()));
        if (left.gcount() != right.gcount() ||
            std::memcmp(x.data(), y.data(), static_cast<size_t>(left.gcount())) != 0)
            return false;
    }
    return !left.bad() && !right.bad() && left.eof() && right.eof();
}

fs::path besideLayout(const std::string& layoutFolder, const std::string& path) {
    const fs::path p(path);
    return p.is_absolute() ? p : fs::path(layoutFolder) / p;
}

// Streams the package of `paths` to its file, the package's CRC-32 and size
// taken from the bytes as they are written.
bool packFiles(const LayoutPack& layoutPack, const std::vector<std::string>& paths,
               const std::string& clientFolder, const fs::path& out, uint64_t zipLimit,
               PublishedPack& pack, std::string& error) {
    pack.file = layoutPack.file;
    pack.type = layoutPack.type;
    pack.platform = layoutPack.platform;
    pack.infos = layoutPack.infos;
    std::vector<CFileEntrySource> sources(paths.size());
    std::vector<std::pair<size_t, uint64_t>> sizes;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!sources[i].Open(clientPath(clientFolder, paths[i]).string(), error))
            return false;
        sizes.emplace_back(paths[i].size(), sources[i].Size());
    }
    const EPackageFormat format = choosePackageFormat(sizes, zipLimit);
    CPartFileSink file;
    if (!file.Open((out / pack.file).string(), error))
        return false;
    CCrcEntrySink counted(file);
    CZipStreamWriter zip(counted);
    CRarStreamWriter rar(counted, kRarFixedDosTime);
    IArchiveWriter& writer =
        format == EPackageFormat::Zip ? static_cast<IArchiveWriter&>(zip) : rar;
    for (size_t i = 0; i < paths.size(); ++i) {
        std::string name = paths[i];
        if (format == EPackageFormat::Zip)
            std::replace(name.begin(), name.end(), '\\', '/');
        uint32_t crc = 0;
        if (!writer.AddFile(name, sources[i], crc, error)) {
            error = pack.file + ": " + error;
            return false;
        }
        const uint64_t size = sources[i].Size();
        pack.files.push_back({paths[i], size == 0 ? kEmptyFileCrc : crc, size});
    }
    if (!writer.Finish(error) || !file.Commit(error)) {
        error = pack.file + ": " + error;
        return false;
    }
    pack.crc = counted.GetCrc();
    pack.size = counted.GetCount();
    return true;
}

bool publishLauncher(const LayoutLauncher& layoutLauncher, const std::string& layoutFolder,
                     const fs::path& out, PublishedLauncher& launcher, std::string& error) {
    launcher.version = layoutLauncher.version;
    launcher.url = layoutLauncher.url;
    if (layoutLauncher.file.empty()) {
        launcher.size = *layoutLauncher.size;
        launcher.crc = layoutLauncher.crc;
        return true;
    }
    std::vector<uint8_t> image;
    if (!readImageFile(besideLayout(layoutFolder, layoutLauncher.file).string(), image, error))
        return false;
    if (!isPeImage(image.data(), image.size())) {
        error = layoutLauncher.file + ": not a PE executable";
        return false;
    }
    const StampSlotSize slotSize = [&](const StampSlot& slot) -> std::optional<size_t> {
        const auto r =
            findPeResource(image.data(), image.size(), slot.type, static_cast<uint16_t>(slot.id));
        return r ? std::optional<size_t>(r->size) : std::nullopt;
    };
    launcher.size = image.size();
    launcher.crc = computeLauncherCrcOfImage(image.data(), image.size(), 0, slotSize);
    return writeImageFile((out / "Launcher.exe").string(), image, error);
}

// Client file names go into the UTF-8 manifest and into the packages; the
// launcher installs only names its path check accepts.
bool checkClientFileName(const std::string& path, std::string& error) {
    if (findInvalidUtf8(path)) {
        error = "name is not UTF-8: " + path;
        return false;
    }
    std::wstring relative;
    const EInstallPath verdict = checkInstallPath(wideFromUtf8(path), EPathKind::File, relative);
    if (verdict != eInstallPath_Ok) {
        error = "the launcher would refuse this name (" +
                utf8FromWide(installPathProblem(verdict)) + "): " + path;
        return false;
    }
    return true;
}

bool readLayout(const std::string& layoutPath, PublishLayout& layout, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!readImageFile(layoutPath, bytes, error))
        return false;
    return parsePublishLayout(std::string(bytes.begin(), bytes.end()), layout, error);
}

} // namespace

bool collectClientFiles(const std::string& folder, std::vector<std::string>& paths,
                        std::string& error) {
    paths.clear();
    const fs::path root(folder);
    std::error_code ec;
    if (!fs::is_directory(root, ec)) {
        error = "not a folder: " + folder;
        return false;
    }
    fs::recursive_directory_iterator it(root, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::u8string generic = it->path().lexically_relative(root).generic_u8string();
        std::string path(generic.begin(), generic.end());
        if (!checkClientFileName(path, error))
            return false;
        std::replace(path.begin(), path.end(), '/', '\\');
        if (it->is_symlink(ec) || !(it->is_directory(ec) || it->is_regular_file(ec))) {
            error = "neither a file nor a folder: " + path;
            return false;
        }
        if (it->is_regular_file(ec))
            paths.push_back(path);
    }
    if (ec) {
        error = folder + ": " + ec.message();
        return false;
    }
    std::sort(paths.begin(), paths.end());
    return true;
}

bool assignClientFiles(const PublishLayout& layout, const std::string& clientFolder,
                       const std::string& layoutFolder, const std::vector<std::string>& paths,
                       std::map<size_t, std::vector<std::string>>& assigned, std::string& error) {
    assigned.clear();
    std::set<std::string> listed;
    std::optional<size_t> restPack;
    for (size_t i = 0; i < layout.packs.size(); ++i) {
        std::set<std::string> files;
        for (const std::string& add : layout.packs[i].adds) {
            const std::vector<std::string> found = filesUnder(paths, add);
            if (found.empty()) {
                error = layout.packs[i].file + ": add matches no file: " + add;
                return false;
            }
            files.insert(found.begin(), found.end());
        }
        if (layout.packs[i].rest) {
            if (restPack) {
                error = "rest in more than one pack";
                return false;
            }
            restPack = i;
        }
        listed.insert(files.begin(), files.end());
        assigned[i].assign(files.begin(), files.end());
    }
    if (restPack)
        for (const std::string& path : paths)
            if (!listed.count(path))
                assigned[*restPack].push_back(path);
    std::set<std::string> published;
    for (size_t i = 0; i < layout.packs.size(); ++i)
        published.insert(assigned[i].begin(), assigned[i].end());
    for (size_t i = 0; i < layout.packs.size(); ++i) {
        if (layout.packs[i].type != "increment")
            continue;
        const fs::path old = besideLayout(layoutFolder, layout.packs[i].from);
        for (const std::string& path : published)
            if (!sameBytes(clientPath(clientFolder, path), clientPath(old.string(), path)))
                assigned[i].push_back(path);
    }
    for (auto& [index, files] : assigned)
        std::sort(files.begin(), files.end());
    return true;
}

EPackageFormat choosePackageFormat(const std::vector<std::pair<size_t, uint64_t>>& nameAndDataSizes,
                                   uint64_t zipLimit) {
    return zipStoredSize(nameAndDataSizes) < zipLimit ? EPackageFormat::Zip
                                                      : EPackageFormat::StoredRar;
}

bool publishRelease(const std::string& clientFolder, const std::string& layoutPath,
                    const std::string& outFolder, std::string& error, uint64_t zipLimit) {
    PublishLayout layout;
    std::vector<std::string> paths;
    std::map<size_t, std::vector<std::string>> assigned;
    const std::string layoutFolder = fs::path(layoutPath).parent_path().string();
    if (!readLayout(layoutPath, layout, error) || !collectClientFiles(clientFolder, paths, error) ||
        !assignClientFiles(layout, clientFolder, layoutFolder, paths, assigned, error))
        return false;
    const fs::path out(outFolder);
    std::error_code ec;
    fs::create_directories(out, ec);
    if (ec) {
        error = outFolder + ": " + ec.message();
        return false;
    }
    PublishedRelease release{
        layout.modification, layout.clientVersion, std::nullopt, {}, layout.ignores};
    if (layout.launcher) {
        release.launcher.emplace();
        if (!publishLauncher(*layout.launcher, layoutFolder, out, *release.launcher, error))
            return false;
    }
    for (size_t i = 0; i < layout.packs.size(); ++i) {
        PublishedPack pack;
        if (!packFiles(layout.packs[i], assigned[i], clientFolder, out, zipLimit, pack, error))
            return false;
        release.packs.push_back(std::move(pack));
    }
    const std::string xml = writeManifestXml(release);
    std::vector<ZipWriterEntry> members(1);
    members[0].name = "update.xml";
    members[0].data.assign(xml.begin(), xml.end());
    std::vector<uint8_t> rxml;
    return writeImageFile((out / "update.xml").string(), members[0].data, error) &&
           writeZip(members, rxml, error) &&
           writeImageFile((out / "update.rxml").string(), rxml, error);
}

int publishCommand(const std::vector<std::string>& args) {
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: launcher-tool publish CLIENT_FOLDER LAYOUT.txt OUT_FOLDER\n");
        return 2;
    }
    std::string error;
    if (!publishRelease(args[0], args[1], args[2], error)) {
        std::fprintf(stderr, "launcher-tool: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
