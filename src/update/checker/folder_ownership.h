// Whether a folder belongs to the client, so that the launcher may install
// into it and clean it up: the clean-up deletes every file the manifest does
// not list, which is only safe where nothing but the launcher and the client
// ever lived. A portable copy dropped onto a desktop or into a shared games
// folder must leave that folder alone. Portable; the listing comes from
// install_folder_listing_win.h.
#pragma once

#include "update/checker/install_files.h"

#include <string>
#include <vector>

// The launcher's own files in an install folder, lower case: the clean-up
// keeps them and they never make a folder foreign.
inline constexpr const wchar_t* kLauncherWorkFiles[] = {
    L"update.xml", L"cud.dat",     L"cif.dat",     L"silent.dat", L"addpkg.dat",
    L"guest.dat",  L"changes.dat", L"applist.dat", L"crc.txt",    L"launcher.tmp.exe"};

// The launcher's work folders, lower case: "tmp" holds the downloads of an
// unfinished update, "ext" is emptied before each download. Both are
// removed with their content, so their content is judged too.
inline constexpr const wchar_t* kTempFolder = L"tmp";
inline constexpr const wchar_t* kExtFolder = L"ext";

struct FolderOwnership {
    // A previous update left its manifest ("update.xml"): the folder holds
    // a client, and the clean-up keeps the client's folder as it is.
    bool bHoldsClient = false;
    // The launcher may install and clean up here.
    bool bOurs = false;
    // What makes the folder foreign, as listed; empty when it is ours.
    std::vector<std::wstring> foreignNames;
};

// Judges a folder from its listing: the entries of the folder itself, and
// those of its "tmp" and "ext" as "tmp\name" and "ext\name" (listed only
// when they are real folders). `ownFileName` is the running launcher's file
// name, whatever it is called. Ours: a folder holding "update.xml", or one
// that holds nothing but the launcher (its own name, "Launcher.exe" or
// "Launcher.tmp.exe"), its work files, its run and HTTP logs, a "tmp" with
// only downloads of the launcher's own naming, and an empty "ext". A link
// never belongs to us: it may lead anywhere.
FolderOwnership judgeInstallFolder(const std::vector<FolderEntry>& listing,
                                   const std::wstring& ownFileName);
