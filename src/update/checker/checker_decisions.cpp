#include "update/checker/checker_decisions.h"

#include "update/manifest/manifest_text.h"

#include <algorithm>

namespace {

// Sizes come from the server: a sum must not wrap round to something small.
uint64_t addSaturated(uint64_t a, uint64_t b) {
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}

} // namespace

bool isLauncherOutdated(const std::optional<LauncherInfo>& info, const OwnLauncher& own) {
    if (!info)
        return false;
    if (info->version != own.version)
        return true;
    if (!own.size)
        return false;
    if (*own.size != info->size)
        return true;
    if (info->crc) {
        const std::optional<uint32_t> crc = own.crc ? own.crc() : std::nullopt;
        return !crc || *crc != *info->crc;
    }
    return false;
}

bool sameClientVersion(const std::string& a, const std::string& b) {
    const auto prefix = [](const std::string& version) -> std::optional<std::string> {
        const size_t first = version.find('.');
        const size_t second = first == std::string::npos ? first : version.find('.', first + 1);
        if (second == std::string::npos)
            return std::nullopt;
        return version.substr(0, second + 1);
    };
    const auto pa = prefix(a);
    const auto pb = prefix(b);
    return pa && pb && *pa == *pb;
}

std::optional<size_t> chooseIncrement(std::vector<IncrementPack>& increments,
                                      const std::vector<DifferingFile>& differing) {
    std::optional<size_t> best;
    for (size_t i = 0; i < increments.size(); ++i) {
        IncrementPack& increment = increments[i];
        increment.usable = std::all_of(differing.begin(), differing.end(), [&](const auto& file) {
            return increment.files.count(file.path) != 0;
        });
        if (!increment.usable || increment.size >= kMaxIncrementSize)
            continue;
        if (!best || increment.size < increments[*best].size)
            best = i;
    }
    return best;
}

std::set<std::wstring> choosePackages(const std::vector<DifferingFile>& differing,
                                      std::vector<IncrementPack>& increments,
                                      const std::map<std::wstring, PackInfo>& packs) {
    std::set<std::wstring> names;
    for (const DifferingFile& file : differing)
        names.insert(file.pack);
    // With nothing to fetch an increment would only cost bytes.
    if (names.empty())
        return names;
    const std::optional<size_t> increment = chooseIncrement(increments, differing);
    if (!increment)
        return names;
    uint64_t total = 0;
    for (const std::wstring& name : names)
        if (const auto it = packs.find(name); it != packs.end())
            total = addSaturated(total, it->second.size);
    if (total >= increments[*increment].size)
        return {increments[*increment].pack};
    return names;
}

std::vector<QueuedPackage> queuePackages(const std::set<std::wstring>& names,
                                         const std::map<std::wstring, PackInfo>& packs,
                                         uint64_t& total) {
    std::vector<QueuedPackage> queue;
    total = 0;
    for (const std::wstring& name : names) {
        const auto it = packs.find(name);
        if (it == packs.end())
            continue;
        queue.push_back({utf8FromWide(name), it->second.crc, it->second.size});
        total = addSaturated(total, it->second.size);
    }
    return queue;
}

namespace runblocker {

std::wstring cantOpen(uint32_t systemError, const std::wstring& path) {
    return L"run blocker: [can't open file (GetLastError() = " +
           std::to_wstring(static_cast<int32_t>(systemError)) + L") ], file = " + path;
}

std::wstring crcMismatch(const std::wstring& path) {
    return L"run blocker: [crc mismatch], file = " + path;
}

void append(std::wstring& blockers, const std::wstring& text) {
    if (!blockers.empty())
        blockers += L' ';
    blockers += text;
}

} // namespace runblocker
