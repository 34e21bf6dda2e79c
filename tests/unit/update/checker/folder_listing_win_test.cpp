#include "update/checker/folder_listing_win.h"

#include "base/file_io_win.h"
#include "update/checker/folder_ownership.h"

#include "support/links_win.h"
#include "support/temp_folder_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A portable copy whose "tmp" is a link to someone else's folder, beside a
// real "ext" with a file in it.
TEST(FolderListing, ListsTheWorkFoldersButNeverEntersALink) {
    testwin::CTempFolder base;
    const std::wstring install = base / L"install";
    const std::wstring outside = base / L"outside";
    std::filesystem::create_directories(install + L"\\ext");
    std::filesystem::create_directories(outside);
    writeWholeFile(install + L"\\Launcher.exe", "MZ", 2);
    writeWholeFile(install + L"\\ext\\tool.exe", "MZ", 2);
    writeWholeFile(outside + L"\\0A1B2C3D.2", "x", 1);
    if (!testwin::makeFolderLink(install, L"tmp", outside, L"../outside"))
        GTEST_SKIP() << "this system cannot make a link to a folder";

    std::vector<FolderEntry> listing;
    const bool listed = listFolderForOwnership(install, listing);
    testwin::removeFolderLink(install, L"tmp");
    ASSERT_TRUE(listed);
    std::sort(listing.begin(), listing.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    ASSERT_EQ(listing.size(), 4u);
    EXPECT_EQ(listing[0].name, L"Launcher.exe");
    EXPECT_EQ(listing[1].name, L"ext");
    EXPECT_EQ(listing[2].name, L"ext\\tool.exe");
    EXPECT_EQ(listing[3].name, L"tmp");
    EXPECT_EQ(listing[3].kind, EFolderEntryKind::Link);

    const FolderOwnership verdict = judgeInstallFolder(listing, L"Launcher.exe");
    EXPECT_FALSE(verdict.bOurs);
    EXPECT_EQ(verdict.foreignNames, (std::vector<std::wstring>{L"ext\\tool.exe", L"tmp"}));
}

TEST(FolderListing, AFolderThatCannotBeListedIsNotJudged) {
    std::vector<FolderEntry> listing;
    for (const wchar_t* folder : {L"", L"C:\\", L"relative", L"C:\\no\\such\\folder"})
        EXPECT_FALSE(listFolderForOwnership(folder, listing)) << testing::PrintToString(folder);
}

} // namespace
