// The checker's decisions that need no file: whether the launcher is
// outdated, whether two releases are the same, which packages to fetch
// (incremental packages included) and the queue built from them. Pure; any
// thread.
#pragma once

#include "update/manifest/manifest_tables.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

// What the running launcher knows about itself.
struct OwnLauncher {
    std::string version;          // the file version as "%d.%d.%d.%d"
    std::optional<uint64_t> size; // none: the own executable cannot be opened
    // The launcher checksum of the own file (variant 0); none on error.
    std::function<std::optional<uint32_t>()> crc;
};

// True when the manifest names a launcher other than the running one.
// Without LauncherInfo, or when the own file cannot be opened: false.
bool isLauncherOutdated(const std::optional<LauncherInfo>& info, const OwnLauncher& own);

// "clientVersion" equal up to and including the second '.'; a version with
// fewer than two dots is never equal.
bool sameClientVersion(const std::string& a, const std::string& b);

struct DifferingFile {
    std::wstring path;
    std::wstring pack;
};

// Increments above this size are never chosen.
inline constexpr uint64_t kMaxIncrementSize = 1000000000;

// Marks as unusable every increment that lacks a differing path and returns
// the smallest usable one (the first on equal sizes), or none.
std::optional<size_t> chooseIncrement(std::vector<IncrementPack>& increments,
                                      const std::vector<DifferingFile>& differing);

// The packages of the differing files, or the chosen increment alone when
// the packages together are at least as large. Nothing differs: nothing.
std::set<std::wstring> choosePackages(const std::vector<DifferingFile>& differing,
                                      std::vector<IncrementPack>& increments,
                                      const std::map<std::wstring, PackInfo>& packs);

struct QueuedPackage {
    std::string name; // UTF-8, as the manifest writes it
    uint32_t crc = 0;
    uint64_t size = 0;
};

// One item per package name (in name order) that `packs` knows; `total` is
// the sum of their sizes.
std::vector<QueuedPackage> queuePackages(const std::set<std::wstring>& names,
                                         const std::map<std::wstring, PackInfo>& packs,
                                         uint64_t& total);

// The texts the checker adds to its run blockers.
namespace runblocker {
inline constexpr const wchar_t* kNewLauncherAvailable = L"run blocker: [new launcher available]";
inline constexpr const wchar_t* kNewLauncher = L"run blocker: [new launcher]";
inline constexpr const wchar_t* kFastCheck = L"run blocker: [cmd - fast check]";
std::wstring cantOpen(uint32_t systemError, const std::wstring& path);
std::wstring crcMismatch(const std::wstring& path);
// Blockers are separated by one blank so the log shows them on one line.
void append(std::wstring& blockers, const std::wstring& text);
} // namespace runblocker
