// The Windows side of the install-folder rules: the configuration checksum
// file, the VirtualStore shadow and the system's program-files folder.
#pragma once

#include <cstdint>
#include <string>

class CLogImplW;

// True when "CIF.dat" (see configCrcFilePath) does not hold exactly
// `configCrc`; the file is then written anew with it.
bool configChanged(const std::wstring& installFolder, uint32_t configCrc);

// Deletes the per-user VirtualStore copy of `installFolder` (folders of at
// least 4 characters with a drive), logging what it does to `log` (may be
// null).
void clearVirtualStore(const std::wstring& installFolder, CLogImplW* log);

// The program-files folder: the shell's answer, else the registry's
// "ProgramFilesDir"; empty when both fail.
std::wstring programFilesFolder();
