// IInstallFiles over Win32 for the checker thread. Clean-up must never reach
// out of the install folder: every reparse point (junction, symbolic link,
// mount point; Wine shows a Unix symbolic link to a folder as one) is listed
// as a link, so it is neither entered nor deleted. The link itself is kept
// too: users move big client folders to other drives that way, and what is
// behind it is not ours to judge. Removal also refuses a path that passes
// through a reparse point, in case one replaced a folder after the listing.
// Reading follows links, so files of a moved folder are still compared.
// One thread at a time.
#pragma once

#include "update/checker/install_files.h"

#include <string>

class CWinInstallFiles : public IInstallFiles {
public:
    // `installFolder`: absolute (C:\x or \\server\share\x). Anything
    // else, a drive's root included, makes every call fail: a folder not yet
    // chosen must never turn into the current drive.
    explicit CWinInstallFiles(std::wstring installFolder);

    std::unique_ptr<IReadFile> OpenFile(const std::wstring& path, uint32_t& systemError) override;
    bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries) override;
    // Clears the read-only attribute first: a listed file that differs is
    // fetched again, whatever the user did to it.
    bool RemoveFile(const std::wstring& path) override;
    bool RemoveEmptyFolder(const std::wstring& folder) override;

    // The full path of a relative install path ("" is the folder itself).
    std::wstring resolve(const std::wstring& path) const;

private:
    // True when `path` and every folder above it inside the install folder
    // exist and none of them is a reparse point.
    bool reachedWithoutLinks(const std::wstring& path) const;

    std::wstring root; // empty when unusable
};
