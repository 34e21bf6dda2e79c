// The parsed update manifest: lookup tables built by the checker from the
// manifest text and owned by it. Paths are wide, lower case, '\\'-separated
// and relative to the install folder.
#pragma once

#include "update/install_path.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

enum EPackType {
    ptFull = 0,
    ptExt = 1,
    ptInt = 2,
    ptAdd = 3,
    ptIncrement = 4,
    ptNone = 5,
};

// 0 fits every system; 1 and 2 only a 32- or 64-bit one.
enum EPackPlatform {
    ppAny = 0,
    pp32 = 1,
    pp64 = 2,
};

struct PackInfo {
    EPackType type = ptNone;
    int platform = ppAny;
    std::wstring file;
    uint32_t crc = 0;
    uint64_t size = 0;
};

struct FileEntry {
    std::wstring pack;
    std::wstring exec; // the EXEC of the package's ExtApp, else empty
    EPackType type = ptNone;
    uint32_t crc = 0;
    uint64_t size = 0;
};

struct IncrementPack {
    bool usable = true;
    std::wstring pack;
    uint64_t size = 0;
    std::map<std::wstring, FileEntry> files;
};

struct ExtApp {
    std::wstring pack;
    std::wstring name;
    std::wstring exec;
    std::wstring help; // "\n" sequences already turned into line breaks
    std::wstring cmdl;
    bool sel = true;
};

struct IntApp {
    std::wstring pack;
    std::wstring exec;
    std::wstring name;
};

struct OldFileEntry {
    std::wstring pack;
    uint32_t crc = 0;
    uint64_t size = 0;
};

struct LauncherInfo {
    std::string version;
    uint64_t size = 0;
    std::optional<uint32_t> crc;
    std::string url;
};

struct BrokenPath {
    std::wstring path; // lower case, as written
    EInstallPath problem = eInstallPath_Ok;
};

using FileTable = std::map<std::wstring, FileEntry>;
using OldFileTable = std::map<std::wstring, OldFileEntry>;

struct UpdateManifest {
    std::map<std::wstring, PackInfo> packs;
    FileTable files;
    std::vector<IncrementPack> increments;
    std::vector<ExtApp> extApps;
    std::vector<IntApp> intApps;
    std::set<std::wstring> ignoredPaths;
    std::set<std::wstring> ignoredNames;
    // FILE entries whose path fails checkInstallPath (it would leave the
    // install folder, name a device or stream, or alias another file): damaged
    // entries, kept out of every table so nothing is ever read or deleted by
    // them, and listed here for the log.
    std::vector<BrokenPath> brokenPaths;
    // Root attributes the checker compares with the previous manifest.
    std::string modification;
    std::string clientVersion;
    std::optional<LauncherInfo> launcher;
};

// The manifest of the last finished update ("update.xml" in the install
// folder).
struct OldManifest {
    OldFileTable files;
    std::string modification;
    std::string clientVersion;
};
