// The run log's place on disk, decided once at start-up on the GUI thread
// before the run log is created.
#pragma once

#include "base/windows_win.h"

#include <string>

// Moves the "*.log" files lying in `folder` (the launcher's folder, with or
// without a trailing "\"; empty means the current folder) into the newest
// dated folder under "logs\" (named "YYYYMMDD_hhmmss.<tag>"), as
// "<tag>.<name>.log" or, when taken, "<tag>.<name>(1).log" to "(99)". A file
// whose 100 names are all taken stays. Nothing happens without a dated
// folder. Errors are ignored: logging never stops the program.
void migrateOldLogs(const std::wstring& folder);

// The run log's path for a start at `localTime`: the first of
// "<folder>\YYYYMMDD_hhmmss[_n].<ownFileName>.log" (n from 1 to 99) that
// cannot be opened for reading, the "_99" name when all exist; without a
// folder, `ownFileName` + ".log". The caller creates or empties the file
// (CLogImplW::open).
std::wstring chooseLogFileName(const std::wstring& folder, const std::wstring& ownFileName,
                               const SYSTEMTIME& localTime);
