// Removing a folder with everything below it.
#pragma once

#include <string>

// Deletes `folder` and its whole content; read-only files are made writable
// first. Links to other folders are removed, never followed. True when the
// folder is gone afterwards.
bool deleteFolderTree(const std::wstring& folder);

bool folderExists(const std::wstring& path);
