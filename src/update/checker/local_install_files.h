// IInstallFiles over std::filesystem, for launcher-tool verify and the
// native tests. Symbolic links are reported as links; Windows junctions are
// the Windows implementation's business. One thread at a time.
#pragma once

#include "update/checker/install_files.h"

#include <filesystem>

class CLocalInstallFiles : public IInstallFiles {
public:
    explicit CLocalInstallFiles(std::filesystem::path root) : root(std::move(root)) {}

    std::unique_ptr<IReadFile> OpenFile(const std::wstring& path, uint32_t& systemError) override;
    bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries) override;
    bool RemoveFile(const std::wstring& path) override;
    bool RemoveEmptyFolder(const std::wstring& folder) override;

    // The file system path of a relative install path ('\\' separators).
    std::filesystem::path resolve(const std::wstring& path) const;

private:
    std::filesystem::path root;
};
