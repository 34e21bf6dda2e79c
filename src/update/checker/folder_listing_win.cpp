#include "update/checker/folder_listing_win.h"

#include "update/checker/folder_ownership.h"
#include "update/checker/install_files_win.h"
#include "update/manifest/manifest_text.h"

bool listFolderForOwnership(const std::wstring& folder, std::vector<FolderEntry>& listing) {
    CWinInstallFiles files(folder);
    if (!files.ListFolder(L"", listing))
        return false;
    const size_t topLevel = listing.size();
    for (size_t i = 0; i < topLevel; ++i) {
        const std::wstring name = listing[i].name;
        const std::wstring lower = lowerWide(name);
        if (listing[i].kind != EFolderEntryKind::Folder ||
            (lower != kTempFolder && lower != kExtFolder))
            continue;
        std::vector<FolderEntry> inside;
        if (!files.ListFolder(name, inside))
            return false;
        for (FolderEntry& entry : inside)
            listing.push_back({name + L"\\" + entry.name, entry.kind});
    }
    return true;
}
