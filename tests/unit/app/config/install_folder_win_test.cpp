// Configuration checksum file, VirtualStore clean-up and folder removal on
// a real file system.
#include "app/config/install_folder_win.h"
#include "base/file_io_win.h"
#include "base/folder_tree_win.h"

#include "support/files_win.h"
#include "support/temp_folder_win.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>

namespace {

using testwin::CTempFolder;
using testwin::readText;

TEST(InstallFolderWin, ConfigChangedRewritesTheChecksumFile) {
    CTempFolder folder;
    EXPECT_TRUE(configChanged(folder.path(), 0x04030201)) << "no file yet";
    EXPECT_EQ(readText(folder / L"CIF.dat"), "\x01\x02\x03\x04");
    EXPECT_FALSE(configChanged(folder.path(), 0x04030201));
    EXPECT_TRUE(configChanged(folder.path(), 0x14030201));
    EXPECT_EQ(readText(folder / L"CIF.dat"), std::string("\x01\x02\x03\x14", 4));
}

TEST(InstallFolderWin, DeleteFolderTreeRemovesReadOnlyContent) {
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

TEST(InstallFolderWin, ClearVirtualStoreDeletesOnlyTheShadowOfTheFolder) {
    wchar_t local[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local)));
    const std::wstring store = std::wstring(local) + L"\\VirtualStore\\LauncherTest";
    std::filesystem::create_directories(store + L"\\Game\\data");
    std::filesystem::create_directories(store + L"\\Other");
    writeWholeFile(store + L"\\Game\\data\\x.bin", "x", 1);

    clearVirtualStore(L"C:\\LauncherTest\\Game", nullptr);
    EXPECT_FALSE(folderExists(store + L"\\Game"));
    EXPECT_TRUE(folderExists(store + L"\\Other"));

    clearVirtualStore(L"C:\\LauncherTest\\Game\\..\\Other", nullptr);
    EXPECT_TRUE(folderExists(store + L"\\Other")) << "a climbing folder deletes nothing";
    deleteFolderTree(store);
}

} // namespace
