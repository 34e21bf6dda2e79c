// Parsing the update manifest (UTF-8 XML from the server) into the checker's
// tables, and the previous manifest into the table of the last update. Pure
// functions over text; the checker thread calls them, any thread may.
#pragma once

#include "update/manifest/manifest_tables.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace tinyxml2 {
class XMLElement;
}

struct ManifestParseOptions {
    int platform = pp64;                       // the system's: pp32 or pp64
    std::string language;                      // INFO "lang" is compared with it exactly
    std::set<std::wstring> additionalPackages; // counted "add" packages
    bool onlyAddPackages = false;
    // Tested before each file entry; when it returns true parsing ends
    // successfully with what was read so far. May be empty.
    std::function<bool()> stopRequested;
};

// Builds `out` (cleared first) from the manifest text. False with `error` when
// the text is not an XML document with a root element, or an IGNORE entry
// lacks "file". Malformed numbers read as 0; a FILE path that fails
// checkInstallPath goes to `brokenPaths` instead of the tables (the other
// entries still count).
bool parseUpdateManifest(std::string_view text, const ManifestParseOptions& options,
                         UpdateManifest& out, std::string& error);

// A skipped entry as the run log and the tools show it: "com1 (a device name)".
std::wstring describeBrokenPath(const BrokenPath& broken);

// The previous manifest's files of fitting "full", "int" and counted "add"
// packages (paths that fail checkInstallPath left out), and its release
// attributes. False when the text does not parse.
bool parseOldManifest(std::string_view text, const ManifestParseOptions& options, OldManifest& out,
                      std::string& error);

// The launcher attributes of the root; none without "launcherVersion" or
// without a decimal "launcherSize". A malformed "launcherCRC" counts as
// absent, so a typo cannot force endless launcher downloads.
std::optional<LauncherInfo> readLauncherInfo(const tinyxml2::XMLElement& root);
std::optional<LauncherInfo> readLauncherInfo(std::string_view text);

// The type and platform attribute values as the manifest spells them.
EPackType packTypeFromText(const char* text);
int packPlatformFromText(const char* text);
