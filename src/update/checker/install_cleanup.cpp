#include "update/checker/install_cleanup.h"

#include "update/manifest/manifest_text.h"

namespace {

std::wstring nameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool isLogFile(const std::wstring& lowerName) {
    const size_t dot = lowerName.rfind(L'.');
    return dot != std::wstring::npos && lowerName.compare(dot, std::wstring::npos, L".log") == 0;
}

bool keptByName(const std::wstring& lowerName, const CleanupRules& rules) {
    if (rules.protectedNames.count(lowerName) || rules.ignoredNames.count(lowerName))
        return true;
    const size_t dot = lowerName.rfind(L'.');
    if (dot == std::wstring::npos || lowerName[0] == L'.')
        return false;
    return rules.ignoredNames.count(L"*" + lowerName.substr(dot)) != 0;
}

class CCleanupWalk {
public:
    CCleanupWalk(IInstallFiles& files, const CleanupRules& rules, const CheckerControl& control,
                 bool dryRun, std::vector<uint8_t>& block)
        : files(files), rules(rules), control(control), dryRun(dryRun), block(block) {}

    void walk(const std::wstring& folder) {
        std::vector<FolderEntry> entries;
        if (!files.ListFolder(folder, entries))
            return;
        for (const FolderEntry& entry : entries) {
            if (halted())
                return;
            control.passed(counter);
            const std::wstring path = folder.empty() ? entry.name : folder + L"\\" + entry.name;
            if (entry.kind == EFolderEntryKind::Folder) {
                if (rules.protectedFolders.count(lowerWide(path)))
                    continue;
                walk(path);
                if (!dryRun && !halted())
                    files.RemoveEmptyFolder(path);
            } else if (entry.kind == EFolderEntryKind::File) {
                visitFile(path);
            }
        }
    }

    std::vector<CleanupRemoval> removals;

private:
    bool halted() {
        stopped = stopped || control.stopped();
        return stopped;
    }

    void visitFile(const std::wstring& path) {
        const ECleanupAction action = cleanupActionFor(path, rules);
        if (action == ECleanupAction::Keep)
            return;
        const bool listed = action == ECleanupAction::Compare;
        if (listed && compare(path) != EMatch::Differs)
            return;
        removals.push_back({path, listed});
        if (!dryRun)
            files.RemoveFile(path);
    }

    enum class EMatch { Same, Differs, Stopped };

    // A listed file that cannot be read differs; a stopped reading decides
    // nothing and ends the walk.
    EMatch compare(const std::wstring& path) {
        const std::wstring lowerPath = lowerWide(path);
        const ExpectedFile& expected = rules.expected.at(lowerPath);
        FileDigest digest;
        switch (digestOf(path, lowerPath, digest)) {
        case EDigest::Stopped:
            stopped = true;
            return EMatch::Stopped;
        case EDigest::Unreadable:
            return EMatch::Differs;
        case EDigest::Ok:
            break;
        }
        return digest.size == expected.size && digest.crc == expected.crc ? EMatch::Same
                                                                          : EMatch::Differs;
    }

    EDigest digestOf(const std::wstring& path, const std::wstring& lowerPath, FileDigest& digest) {
        if (rules.knownDigests) {
            const auto known = rules.knownDigests->find(lowerPath);
            if (known != rules.knownDigests->end()) {
                digest = known->second;
                return EDigest::Ok;
            }
        }
        uint32_t systemError = 0;
        return digestFile(files, path, control, block, digest, systemError);
    }

    IInstallFiles& files;
    const CleanupRules& rules;
    const CheckerControl& control;
    const bool dryRun;
    std::vector<uint8_t>& block;
    size_t counter = 0;
    bool stopped = false;
};

} // namespace

ExpectedFiles expectedFilesOf(const FileTable& files) {
    ExpectedFiles expected;
    for (const auto& [path, entry] : files)
        expected[path] = {entry.crc, entry.size};
    return expected;
}

ExpectedFiles expectedFilesOf(const OldFileTable& files) {
    ExpectedFiles expected;
    for (const auto& [path, entry] : files)
        expected[path] = {entry.crc, entry.size};
    return expected;
}

ECleanupAction cleanupActionFor(const std::wstring& path, const CleanupRules& rules) {
    const std::wstring lowerPath = lowerWide(path);
    const std::wstring lowerName = nameOf(lowerPath);
    if (isLogFile(lowerName))
        return ECleanupAction::Keep;
    if (rules.expected.count(lowerPath))
        return ECleanupAction::Compare;
    // Ignored paths protect like ignored names: an ignore rule that still let
    // the clean-up delete the file would mean nothing.
    if (keptByName(lowerName, rules) || rules.ignoredPaths.count(lowerPath))
        return ECleanupAction::Keep;
    return ECleanupAction::Delete;
}

std::vector<CleanupRemoval> cleanInstallFolder(IInstallFiles& files, const CleanupRules& rules,
                                               const CheckerControl& control, bool dryRun,
                                               std::vector<uint8_t>& block) {
    CCleanupWalk walk(files, rules, control, dryRun, block);
    walk.walk(L"");
    return std::move(walk.removals);
}
