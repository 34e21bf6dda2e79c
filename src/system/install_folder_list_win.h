// Registry side of the registered install folders.
#pragma once

#include "system/install_folder_list.h"

#include <string>

// Reads the ten slots from HKEY_LOCAL_MACHINE\<regPath>\Install. Missing or
// unreadable values read as free slots; returns false when the key does not
// exist. REG_SZ and REG_EXPAND_SZ of up to 2046 bytes are accepted.
bool loadFolderList(const std::wstring& regPath, CInstallFolderList& list);
