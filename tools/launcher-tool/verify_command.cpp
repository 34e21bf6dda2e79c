#include "verify_command.h"

#include "image_file.h"

#include "base/utf8_text.h"
#include "update/checker/checker_core.h"
#include "update/checker/folder_ownership.h"
#include "update/checker/local_install_files.h"
#include "update/manifest/manifest_receive.h"
#include "update/manifest/manifest_text.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

// The launcher's own folders in the install folder: an install holds them,
// the clean-up of a real run is told about them by the logic.
const wchar_t* const kWorkFolders[] = {L"tmp\\", L"logs\\"};

bool inWorkFolder(const std::wstring& path) {
    const std::wstring lower = lowerWide(path);
    for (const wchar_t* folder : kWorkFolders)
        if (lower.rfind(folder, 0) == 0)
            return true;
    return false;
}

bool looksLikeXml(const std::vector<uint8_t>& bytes) {
    size_t at = bytes.size() >= 3 && std::memcmp(bytes.data(), "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    while (at < bytes.size() &&
           (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n'))
        ++at;
    return at < bytes.size() && bytes[at] == '<';
}

void readAddPkg(const std::string& installFolder, CCheckerCore& checker) {
    std::vector<uint8_t> bytes;
    std::string ignored;
    const std::string path = (std::filesystem::path(installFolder) / "addpkg.dat").string();
    if (readImageFile(path, bytes, ignored))
        checker.useAddPkg(bytes.data(), bytes.size());
}

void fillReport(const CCheckerCore& checker, VerifyReport& report) {
    for (const DifferingFile& file : checker.differing)
        report.differing.push_back(utf8FromWide(file.path) + " (" + utf8FromWide(file.pack) + ")");
    for (const CleanupRemoval& removal : checker.removed)
        if (!removal.listed && !inWorkFolder(removal.path))
            report.extra.push_back(utf8FromWide(removal.path));
    for (const BrokenPath& broken : checker.manifest.brokenPaths)
        report.broken.push_back(utf8FromWide(describeBrokenPath(broken)));
    for (const QueuedPackage& item : checker.queue)
        report.downloads.push_back(item.name + " " + std::to_string(item.size));
    report.totalBytes = checker.nBytesTotal;
}

bool parseArgs(const std::vector<std::string>& args, VerifyOptions& options) {
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--platform" && hasValue && (args[i + 1] == "32" || args[i + 1] == "64"))
            options.platform = args[++i] == "32" ? 1 : 2;
        else if (args[i] == "--lang" && hasValue)
            options.language = args[++i];
        else if (args[i] == "--app" && hasValue)
            options.apps.push_back(args[++i]);
        else if (args[i].rfind("--", 0) == 0)
            return false;
        else
            positional.push_back(args[i]);
    }
    if (positional.size() != 2)
        return false;
    options.installFolder = positional[0];
    options.manifestPath = positional[1];
    return true;
}

void printReport(const VerifyReport& report) {
    for (const std::string& line : report.broken)
        std::printf("broken entry: %s\n", line.c_str());
    for (const std::string& line : report.differing)
        std::printf("differs: %s\n", line.c_str());
    for (const std::string& line : report.extra)
        std::printf("extra: %s\n", line.c_str());
    for (const std::string& line : report.downloads)
        std::printf("download: %s\n", line.c_str());
    std::printf("download total: %llu bytes\n", static_cast<unsigned long long>(report.totalBytes));
}

} // namespace

bool readManifestFile(const std::string& path, std::string& text, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!readImageFile(path, bytes, error))
        return false;
    if (looksLikeXml(bytes)) {
        text.assign(bytes.begin(), bytes.end());
        return true;
    }
    return extractManifestText(bytes.data(), bytes.size(), text, error);
}

bool verifyInstall(const VerifyOptions& options, VerifyReport& report, std::string& error) {
    report = VerifyReport();
    std::string text;
    if (!readManifestFile(options.manifestPath, text, error))
        return false;
    CLocalInstallFiles files(options.installFolder);
    const CheckerControl control;
    CCheckerCore checker(files, control);
    checker.settings.platform = options.platform;
    checker.settings.language = options.language;
    checker.settings.bIsUpdate = true;
    checker.settings.bCanDelete = true;
    for (const wchar_t* name : kLauncherWorkFiles)
        checker.settings.protectedNames.insert(name);
    readAddPkg(options.installFolder, checker);
    if (!checker.parseDocuments(text, {}, error))
        return false;
    // The wizard offers the preselected applications; --app adds others.
    for (const ExtApp& app : checker.manifest.extApps)
        if (app.sel)
            checker.settings.selectedApps.insert(app.exec);
    for (const std::string& app : options.apps)
        checker.settings.selectedApps.insert(wideFromUtf8(app));
    checker.buildDownloadList();
    checker.runCleanup(true);
    fillReport(checker, report);
    return true;
}

int verifyCommand(const std::vector<std::string>& args) {
    VerifyOptions options;
    if (!parseArgs(args, options)) {
        std::fprintf(stderr, "usage: launcher-tool verify INSTALL_FOLDER update.xml|update.rxml "
                             "[--platform 32|64] [--lang CODE] [--app EXEC]...\n");
        return 2;
    }
    VerifyReport report;
    std::string error;
    if (!verifyInstall(options, report, error)) {
        std::fprintf(stderr, "launcher-tool: %s\n", error.c_str());
        return 2;
    }
    printReport(report);
    return report.clean() ? 0 : 1;
}
