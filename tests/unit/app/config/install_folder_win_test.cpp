// Configuration checksum file and VirtualStore clean-up on a real file
// system.
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
