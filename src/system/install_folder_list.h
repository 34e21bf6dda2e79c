// The registered install folders: ten slots kept in the registry under the
// product's key ("Directory", "Directory1" ... "Directory9"); an empty slot
// is free. This file holds the comparison rules; install_folder_list_win
// reads and writes the registry.
#pragma once

#include <array>
#include <string>

class CInstallFolderList {
public:
    static constexpr int kSlots = 10;

    // Quotes removed, "/" turned into "\", trailing separators dropped.
    static std::wstring normalizeFolder(const std::wstring& folder);

    // The registry value name of a slot.
    static std::wstring valueName(int slot);

    void setSlot(int slot, const std::wstring& folder);
    const std::wstring& slot(int index) const { return folders[static_cast<size_t>(index)]; }

    // Index of the slot holding `folder` (case-insensitive after
    // normalisation), or -1.
    int findFolder(const std::wstring& folder) const;

    // The first slot of at least four characters, or empty.
    std::wstring firstRegisteredFolder() const;

private:
    std::array<std::wstring, kSlots> folders;
};
