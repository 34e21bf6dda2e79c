// Names of the run log and of old logs moved into the dated "logs\" folders,
// decided without the system; log_files_win.h lists folders, probes and moves.
#pragma once

#include "base/log/log_text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr int kRunLogNameAttempts = 100;
inline constexpr int kMigrationNameAttempts = 100;

// The run log names to try in order for a start at local time `t`: with a
// launcher folder, "%s%04d%02d%02d_%02d%02d%02d%s.%s.log" of the folder (a
// trailing "\" is added when missing), the time, a suffix ("" first, then
// "_1" to "_99") and the own file name; without a folder (the own path holds
// no "\"), the own name with ".log" appended, alone.
std::vector<std::wstring> runLogNameCandidates(const std::wstring& folder,
                                               const std::wstring& ownFileName,
                                               const LogDateTime& t);

// Reads a folder name that begins with "%04d%02d%02d_%02d%02d%02d." (digits
// only, each field in its calendar range). Anything else gives nothing.
std::optional<LogDateTime> parseDatedFolderName(const std::wstring& name);

// The date and time at two-second resolution, as an ordered key.
uint64_t twoSecondKey(const LogDateTime& t);

// Index of the newest dated folder among `names` (two-second resolution, the
// first found wins a tie), or nothing when none is dated.
std::optional<size_t> newestDatedFolder(const std::vector<std::wstring>& names);

// Where logs go inside a dated folder: its full path, "\", the text after the
// last "." of the path and ".": "...\logs\20250620_111827.client\client.".
std::wstring migrationTargetPrefix(const std::wstring& datedFolderPath);

// Whether a file name ends in ".log" (ASCII case ignored, as the system's
// name matching does).
bool isLogFileName(const std::wstring& name);

// The name of a file up to its last ".".
std::wstring logBaseName(const std::wstring& fileName);

// Attempt `attempt` (0 to 99) of the moved file's name: prefix + base +
// ".log", then "%s(%d).log" of prefix + base and the attempt number.
std::wstring migrationTargetName(const std::wstring& prefix, const std::wstring& base, int attempt);
