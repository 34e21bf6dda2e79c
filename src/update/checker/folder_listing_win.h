// The listing judgeInstallFolder (folder_ownership.h) decides on, read from
// the file system without following any link: a junction or symbolic link
// is listed as a link, and a linked "tmp" or "ext" is not entered.
#pragma once

#include "update/checker/install_files.h"

#include <string>
#include <vector>

// The entries of `folder` and, as "tmp\name" and "ext\name", those of its
// work folders that are real folders. False when a folder cannot be listed
// (a drive root or a relative path included: see CWinInstallFiles).
bool listFolderForOwnership(const std::wstring& folder, std::vector<FolderEntry>& listing);
