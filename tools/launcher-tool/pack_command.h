// launcher-tool pack FOLDER OUT.rar: the folder's files and subfolders as a
// RAR 4 archive of stored entries, for the launcher's branding resource.
#pragma once

#include "rar_writer.h"

#include <string>
#include <vector>

// The folder's contents, recursively, as archive entries: names relative to
// the folder with '\\' separators, sorted bytewise, directories included.
// False with `error` for a missing folder, a name outside printable ASCII
// (the launcher reads names in the OEM code page), or an entry that is
// neither a regular file nor a directory.
bool collectPackEntries(const std::string& folder, std::vector<RarWriterEntry>& entries,
                        std::string& error);

// Printable ASCII only: the launcher reads entry names in the OEM code page.
bool isPlainAscii(const std::string& name);

// Returns the process exit code; messages go to stderr.
int packCommand(const std::vector<std::string>& args);
