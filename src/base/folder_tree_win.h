// Removing a folder with everything below it.
#pragma once

#include <string>

// Deletes `folder` and its whole content; read-only files are made writable
// first. A link (junction, symbolic link, any reparse point) is removed as
// a link and never entered, whether it is `folder` itself or below it: what
// it leads to is not ours. True when `folder` is gone afterwards; a link
// that cannot be removed stays and gives false.
bool deleteFolderTree(const std::wstring& folder);

bool folderExists(const std::wstring& path);

// Whether `path` is a reparse point (junction, symbolic link, mount point),
// judged by its own attributes, not by what it leads to.
bool isLink(const std::wstring& path);
