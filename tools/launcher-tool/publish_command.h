// launcher-tool publish CLIENT LAYOUT OUT: turns a client folder and a
// package layout (publish_layout.h) into an update-server tree: one package
// per pack, "update.xml", "update.rxml" (a zip holding update.xml) and, when
// the layout names one, "Launcher.exe". Same input, same bytes. Packages are
// streamed from the client files to their files, so memory use does not
// depend on their size.
#pragma once

#include "manifest_writer.h"
#include "publish_layout.h"
#include "zip_writer.h"

#include <map>
#include <string>
#include <vector>

// The client's files, relative, '\\'-separated, sorted bytewise. False with
// `error` for a missing folder, a name outside printable ASCII (the launcher
// unpacks names in the ANSI code page), or an entry that is a link or
// neither a file nor a folder.
bool collectClientFiles(const std::string& folder, std::vector<std::string>& paths,
                        std::string& error);

// Which client files each pack holds (by pack index, sorted). Increments are
// filled by comparing with their old client folder (`layoutFolder` is the
// base of relative from= folders). False with `error` for an add that
// matches nothing or more than one pack with rest.
bool assignClientFiles(const PublishLayout& layout, const std::string& clientFolder,
                       const std::string& layoutFolder, const std::vector<std::string>& paths,
                       std::map<size_t, std::vector<std::string>>& assigned, std::string& error);

// A zip package is deflated where that helps; a package whose zip could
// reach `zipLimit` (the zip reader's 2 GiB) is a stored RAR archive, which the
// launcher reads at any size.
enum class EPackageFormat { Zip, StoredRar };
EPackageFormat choosePackageFormat(const std::vector<std::pair<size_t, uint64_t>>& nameAndDataSizes,
                                   uint64_t zipLimit = kZipArchiveLimit);

// Writes the server tree into `outFolder` (created when missing). Tests lower
// `zipLimit` to have small files packed as RAR.
bool publishRelease(const std::string& clientFolder, const std::string& layoutPath,
                    const std::string& outFolder, std::string& error,
                    uint64_t zipLimit = kZipArchiveLimit);

// Returns the process exit code; messages go to stderr.
int publishCommand(const std::vector<std::string>& args);
