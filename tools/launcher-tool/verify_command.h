// launcher-tool verify INSTALL MANIFEST: the checker's comparison of an
// install folder with a manifest ("update.xml" text or an "update.rxml"
// archive), run natively. Nothing is changed on disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct VerifyOptions {
    std::string installFolder;
    std::string manifestPath;
    int platform = 2; // 1: 32-bit system, 2: 64-bit system
    std::string language = "en";
    std::vector<std::string> apps; // EXEC values of chosen ext applications
};

struct VerifyReport {
    std::vector<std::string> differing; // "path (package)"
    std::vector<std::string> extra;     // files the launcher's clean-up would delete
    std::vector<std::string> broken;    // damaged manifest paths, with the reason
    std::vector<std::string> downloads; // "package size"
    uint64_t totalBytes = 0;

    bool clean() const { return differing.empty() && extra.empty() && broken.empty(); }
};

// The manifest text of a file: XML as it is, anything else unpacked as
// "update.rxml". False with `error`.
bool readManifestFile(const std::string& path, std::string& text, std::string& error);

// False with `error` when the manifest cannot be read or parsed.
bool verifyInstall(const VerifyOptions& options, VerifyReport& report, std::string& error);

// Parses the arguments, prints the report; exit code 0 when nothing
// differs, 1 when something does, 2 for bad arguments or an unreadable
// manifest.
int verifyCommand(const std::vector<std::string>& args);
