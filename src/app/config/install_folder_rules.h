// Path rules of the install folder that need no system call: where the
// configuration checksum file lives, the VirtualStore shadow of a folder,
// and the folder proposed to the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// "CIF.dat" in the install folder; in the current directory when no folder
// is known.
std::wstring configCrcFilePath(const std::wstring& installFolder);

// True when the stored bytes are not exactly the 4 little-endian bytes of
// `crc` (a missing file reads as empty).
bool configCrcDiffers(const std::vector<uint8_t>& stored, uint32_t crc);

std::vector<uint8_t> configCrcBytes(uint32_t crc);

// The per-user VirtualStore copy of `installFolder` under `localAppData`;
// nullopt for folders without a drive ("C:\"), shorter than 4 characters
// or with a "." or ".." step, and when `localAppData` is unknown (empty).
std::optional<std::wstring> virtualStorePath(const std::wstring& localAppData,
                                             const std::wstring& installFolder);

struct InstallFolderChoice {
    std::wstring chosen;          // folder handed in by the user, possibly empty
    std::wstring previouslyTyped; // the user's earlier typing in the edit box
    std::wstring current;         // sInstallFolder as it stands
    bool installRun = false;      // run mode rmInstall
    std::wstring ownFolder;
    std::wstring firstRegistered; // first registered install folder, possibly empty
    std::wstring programFiles;    // empty when the system gives none
    std::wstring fullName;
};

// The folder to show and keep; nullopt when no folder can be proposed.
std::optional<std::wstring> proposeInstallFolderValue(const InstallFolderChoice& c);
