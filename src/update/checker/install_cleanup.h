// Clean-up of the install folder: files that do not belong to the client are
// deleted, listed files that differ are deleted so they are fetched again.
// Only through IInstallFiles, so nothing outside the install folder is
// reachable: names come from listing the folder, links are skipped.
#pragma once

#include "update/checker/checker_control.h"
#include "update/checker/install_files.h"
#include "update/manifest/manifest_tables.h"

#include <map>
#include <set>
#include <string>
#include <vector>

struct ExpectedFile {
    uint32_t crc = 0;
    uint64_t size = 0;
};
using ExpectedFiles = std::map<std::wstring, ExpectedFile>;

ExpectedFiles expectedFilesOf(const FileTable& files);
ExpectedFiles expectedFilesOf(const OldFileTable& files);

struct CleanupRules {
    ExpectedFiles expected;
    std::set<std::wstring> protectedNames; // lower case
    std::set<std::wstring> ignoredNames;   // lower case; "*.ext" keeps an extension
    std::set<std::wstring> ignoredPaths;   // lower case, relative
    // Digests already taken in this run, by lower-case path; may be null.
    const std::map<std::wstring, FileDigest>* knownDigests = nullptr;
    // Lower-case relative folders the walk never enters (the launcher's own
    // work folders, such as the downloads an interrupted run resumes).
    std::set<std::wstring> protectedFolders;
};

enum class ECleanupAction {
    Keep,
    Compare, // listed: deleted when size or CRC differ
    Delete,
};

// The decision for one file from its relative path (any case).
ECleanupAction cleanupActionFor(const std::wstring& path, const CleanupRules& rules);

struct CleanupRemoval {
    std::wstring path;   // relative, as listed
    bool listed = false; // a listed file that differed
};

// Walks the install folder depth first, in the listing's order. With
// `dryRun` nothing is deleted and the result says what would be. Folders
// emptied by the walk are removed. Ends quietly when stopped, also in the
// middle of reading a file: that file and everything after it stay.
std::vector<CleanupRemoval> cleanInstallFolder(IInstallFiles& files, const CleanupRules& rules,
                                               const CheckerControl& control, bool dryRun,
                                               std::vector<uint8_t>& block);
