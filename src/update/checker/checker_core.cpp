#include "update/checker/checker_core.h"

#include "update/checker/checker_records.h"
#include "update/manifest/manifest_text.h"

void CCheckerCore::useAddPkg(const uint8_t* bytes, size_t size) {
    if (settings.bIsUpdate && !settings.bOnlyAddPackages)
        settings.additionalPackages = parseAddPkg(bytes, size);
}

ManifestParseOptions CCheckerCore::parseOptions() const {
    ManifestParseOptions options;
    options.platform = settings.platform;
    options.language = settings.language;
    options.additionalPackages = settings.additionalPackages;
    options.onlyAddPackages = settings.bOnlyAddPackages;
    options.stopRequested = control.stopRequested;
    return options;
}

bool CCheckerCore::parseDocuments(std::string_view newText, std::string_view oldText,
                                  std::string& error) {
    const ManifestParseOptions options = parseOptions();
    std::string oldError;
    if (oldText.empty() || !parseOldManifest(oldText, options, old, oldError))
        settings.bQuickCheck = false;
    return parseUpdateManifest(newText, options, manifest, error);
}

bool CCheckerCore::checkLauncher(const OwnLauncher& own) {
    bNewLauncher = isLauncherOutdated(manifest.launcher, own);
    if (bNewLauncher && !settings.bOnlyAddPackages)
        runblocker::append(sRunBlockers, runblocker::kNewLauncherAvailable);
    return bNewLauncher;
}

bool CCheckerCore::counts(const FileEntry& entry) const {
    return entry.type != ptExt || settings.selectedApps.count(entry.exec) != 0;
}

bool CCheckerCore::stopSeen() {
    if (!bStopped && control.stopped())
        bStopped = true;
    return bStopped;
}

EDigest CCheckerCore::digestOf(const std::wstring& path, FileDigest& digest,
                               uint32_t& systemError) {
    const std::wstring key = lowerWide(path);
    const auto known = digests.find(key);
    if (known != digests.end()) {
        digest = known->second;
        return EDigest::Ok;
    }
    const EDigest result = digestFile(files, path, control, block, digest, systemError);
    if (result == EDigest::Ok) {
        digests.emplace(key, digest);
    } else if (result == EDigest::Stopped) {
        bStopped = true;
        sStoppedWhileReading = path;
    }
    return result;
}

std::optional<bool> CCheckerCore::differs(const std::wstring& path, const FileEntry& entry) {
    if (settings.bQuickCheck) {
        const auto it = old.files.find(path);
        return it == old.files.end() || it->second.crc != entry.crc ||
               it->second.size != entry.size;
    }
    FileDigest digest;
    uint32_t systemError = 0;
    switch (digestOf(path, digest, systemError)) {
    case EDigest::Stopped:
        return std::nullopt;
    case EDigest::Unreadable:
        return true;
    case EDigest::Ok:
        break;
    }
    return digest.crc != entry.crc || digest.size != entry.size;
}

bool CCheckerCore::compareFiles() {
    differing.clear();
    size_t counter = 0;
    for (const auto& [path, entry] : manifest.files) {
        if (stopSeen())
            return false;
        control.passed(counter);
        if (!counts(entry))
            continue;
        const std::optional<bool> differ = differs(path, entry);
        if (!differ)
            return false;
        if (*differ)
            differing.push_back({path, entry.pack});
    }
    return true;
}

bool CCheckerCore::buildDownloadList() {
    settings.protectedNames.insert(lowerWide(settings.launcherName));
    digests.clear();
    bCanRun = false;
    packages.clear();
    queue.clear();
    nBytesTotal = 0;
    if (!compareFiles())
        return false;
    const bool intact = quickCheck();
    if (stopSeen())
        return false;
    if (intact) {
        bCanRun = !bNewLauncher && !settings.bQuickCheck;
        if (bNewLauncher)
            runblocker::append(sRunBlockers, runblocker::kNewLauncher);
        else if (settings.bQuickCheck)
            runblocker::append(sRunBlockers, runblocker::kFastCheck);
    }
    packages = choosePackages(differing, manifest.increments, manifest.packs);
    queue = queuePackages(packages, manifest.packs, nBytesTotal);
    return true;
}

bool CCheckerCore::quickCheck() {
    if (old.files.empty())
        return false;
    bModificationChanged = manifest.modification != old.modification;
    if (bModificationChanged || !sameClientVersion(manifest.clientVersion, old.clientVersion))
        return false;
    size_t counter = 0;
    for (const auto& [path, entry] : old.files) {
        if (stopSeen())
            return true;
        control.passed(counter);
        FileDigest digest;
        uint32_t systemError = 0;
        const EDigest result = digestOf(path, digest, systemError);
        if (result == EDigest::Stopped)
            return true;
        if (result == EDigest::Unreadable) {
            runblocker::append(sRunBlockers, runblocker::cantOpen(systemError, path));
            return false;
        }
        if (digest.crc != entry.crc || digest.size != entry.size) {
            runblocker::append(sRunBlockers, runblocker::crcMismatch(path));
            return false;
        }
    }
    return true;
}

CleanupRules CCheckerCore::cleanupRules(const ExpectedFiles& expected) const {
    return {expected, settings.protectedNames,  manifest.ignoredNames, manifest.ignoredPaths,
            &digests, settings.protectedFolders};
}

void CCheckerCore::runCleanup(bool dryRun) {
    removed.clear();
    if (stopSeen() || settings.bQuickCheck || !settings.bCanDelete)
        return;
    if (bCanRun)
        removed = cleanInstallFolder(files, cleanupRules(expectedFilesOf(old.files)), control,
                                     dryRun, block);
    else if (!settings.bOnlyAddPackages)
        removed = cleanInstallFolder(files, cleanupRules(expectedFilesOf(manifest.files)), control,
                                     dryRun, block);
}
