// Folder removal on a real file system, links included.
#include "base/folder_tree_win.h"

#include "base/file_io_win.h"

#include "support/files_win.h"
#include "support/links_win.h"
#include "support/temp_folder_win.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

namespace {

using testwin::CTempFolder;

TEST(FolderTree, RemovesReadOnlyContent) {
    CTempFolder folder;
    const std::wstring root = folder / L"tree";
    std::filesystem::create_directories(root + L"\\a\\b");
    writeWholeFile(root + L"\\a\\b\\file.txt", "x", 1);
    writeWholeFile(root + L"\\top.txt", "y", 1);
    ::SetFileAttributesW((root + L"\\a\\b\\file.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(deleteFolderTree(root));
    EXPECT_FALSE(folderExists(root));
    EXPECT_TRUE(folderExists(folder.path()));
}

// A folder of someone else's files outside the tree, and a link to it.
class FolderTreeLink : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(outside + L"\\sub");
        writeWholeFile(outside + L"\\keep.txt", "mine", 4);
        writeWholeFile(outside + L"\\sub\\deep.txt", "deep", 4);
        std::filesystem::create_directories(tree + L"\\data");
        writeWholeFile(tree + L"\\data\\ours.bin", "x", 1);
    }
    void TearDown() override {
        testwin::removeFolderLink(base.path(), L"linked");
        testwin::removeFolderLink(tree, L"link");
    }

    std::map<std::wstring, std::string> outsideFiles() const {
        std::map<std::wstring, std::string> files;
        for (const wchar_t* name : {L"keep.txt", L"sub\\deep.txt"})
            files[name] = testwin::readText(outside + L"\\" + name);
        return files;
    }

    CTempFolder base;
    const std::wstring outside = base / L"outside";
    const std::wstring tree = base / L"tree";
    const std::map<std::wstring, std::string> expected = {{L"keep.txt", "mine"},
                                                          {L"sub\\deep.txt", "deep"}};
};

// A work folder ("tmp", "ext") that is a link: the link may go, what it
// leads to stays. Wine cannot remove a Unix link: it then stays too, and
// the call says the folder is not gone.
TEST_F(FolderTreeLink, LinkAtTheRootIsNeverEntered) {
    const std::wstring link = base / L"linked";
    if (!testwin::makeFolderLink(base.path(), L"linked", outside, L"outside"))
        GTEST_SKIP() << "this system cannot make a link to a folder";
    const bool gone = deleteFolderTree(link);
    EXPECT_EQ(gone, ::GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(gone, !isLink(link));
    EXPECT_EQ(outsideFiles(), expected);
    EXPECT_TRUE(folderExists(outside + L"\\sub"));
}

TEST_F(FolderTreeLink, LinkBelowTheRootIsNeverEntered) {
    if (!testwin::makeFolderLink(tree, L"link", outside, L"../outside"))
        GTEST_SKIP() << "this system cannot make a link to a folder";
    const bool gone = deleteFolderTree(tree);
    EXPECT_FALSE(folderExists(tree + L"\\data"));
    EXPECT_EQ(gone, !isLink(tree + L"\\link"));
    EXPECT_EQ(outsideFiles(), expected);
    EXPECT_TRUE(folderExists(outside + L"\\sub"));
}

TEST(FolderTree, IsLinkJudgesTheEntryItself) {
    CTempFolder folder;
    writeWholeFile(folder / L"file.txt", "x", 1);
    EXPECT_FALSE(isLink(folder.path()));
    EXPECT_FALSE(isLink(folder / L"file.txt"));
    EXPECT_FALSE(isLink(folder / L"missing"));
}

} // namespace
