// The work of the checker thread without the thread: parsing both
// manifests, the launcher test, comparing the listed files with the install
// folder, choosing the packages and the clean-up. The Windows thread owns one
// instance, sets `settings` before each run and calls the steps in order;
// launcher-tool verify runs the same steps natively. One thread at a time.
#pragma once

#include "update/checker/checker_control.h"
#include "update/checker/checker_decisions.h"
#include "update/checker/install_cleanup.h"
#include "update/checker/install_files.h"
#include "update/manifest/update_manifest.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct CheckSettings {
    int platform = pp64;
    std::wstring launcherName = L"Launcher.exe";
    std::string language;
    std::set<std::wstring> additionalPackages;
    std::set<std::wstring> selectedApps;     // EXEC values of the chosen ext applications
    std::set<std::wstring> protectedNames;   // lower case; the launcher's is added
    std::set<std::wstring> protectedFolders; // lower case, relative: never cleaned
    bool bQuickCheck = false;
    bool bOnlyAddPackages = false;
    bool bIsUpdate = false;
    bool bCanDelete = false;
};

class CCheckerCore {
public:
    // `files` and `control` must outlive the object.
    CCheckerCore(IInstallFiles& files, const CheckerControl& control)
        : files(files), control(control) {}
    CCheckerCore(const CCheckerCore&) = delete;
    CCheckerCore& operator=(const CCheckerCore&) = delete;

    // Reads "addpkg.dat" into the additional packages (an update that is not
    // only about additional packages). `bytes` may be null: no file.
    void useAddPkg(const uint8_t* bytes, size_t size);
    // Builds `old` (an empty or broken previous text clears bQuickCheck) and
    // `manifest`. False with `error` when the new text does not parse.
    bool parseDocuments(std::string_view newText, std::string_view oldText, std::string& error);
    // Sets bNewLauncher; when true and not only additional packages are
    // wanted, records the blocker. Returns bNewLauncher.
    bool checkLauncher(const OwnLauncher& own);
    // Compares, decides bCanRun, chooses the packages and fills `queue`.
    // False when a stop request ended it: nothing is decided or queued then.
    bool buildDownloadList();
    // Whether the installed client still matches the previous manifest
    // (true at once when stopped).
    bool quickCheck();
    // The clean-up the run ends with (only when permitted by the settings,
    // never after a stop): against the previous manifest when the client
    // can run, else against the new one. With `dryRun` only the result says
    // what would go.
    void runCleanup(bool dryRun);

    CheckSettings settings;
    UpdateManifest manifest;
    OldManifest old;

    bool bCanRun = false;
    bool bNewLauncher = false;
    bool bModificationChanged = false; // seen by quickCheck, for the self-update
    std::wstring sRunBlockers;
    std::vector<DifferingFile> differing;
    std::set<std::wstring> packages;
    std::vector<QueuedPackage> queue;
    uint64_t nBytesTotal = 0;
    std::vector<CleanupRemoval> removed;
    // The file whose reading a stop request interrupted, for the log.
    std::wstring sStoppedWhileReading;

private:
    ManifestParseOptions parseOptions() const;
    bool counts(const FileEntry& entry) const;
    // Latches the stop request, so every later step sees the same answer.
    bool stopSeen();
    // digestFile, taken once per file and run.
    EDigest digestOf(const std::wstring& path, FileDigest& digest, uint32_t& systemError);
    // None when a stop interrupted the reading.
    std::optional<bool> differs(const std::wstring& path, const FileEntry& entry);
    // False when stopped.
    bool compareFiles();
    CleanupRules cleanupRules(const ExpectedFiles& expected) const;

    IInstallFiles& files;
    const CheckerControl& control;
    std::vector<uint8_t> block;
    bool bStopped = false;
    // Digests taken in this run, by lower-case path: the comparison, the
    // quick check and the clean-up read each file once. Nothing changes the
    // files in between; the run owns the install folder.
    std::map<std::wstring, FileDigest> digests;
};
