#include "update/checker/install_files_win.h"

#include "base/file_io_win.h"
#include "base/folder_tree_win.h"
#include "base/windows_win.h"
#include "support/links_win.h"
#include "support/temp_folder_win.h"
#include "update/checker/install_cleanup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

void writeFile(const std::wstring& path, const std::string& bytes) {
    ASSERT_EQ(writeWholeFile(path, bytes.data(), static_cast<DWORD>(bytes.size())),
              static_cast<DWORD>(ERROR_SUCCESS));
}

// An install folder with a file, a folder and a link to a folder outside
// it that holds a file of its own.
class InstallFilesLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::CreateDirectoryW(install.c_str(), nullptr);
        ::CreateDirectoryW(outside.c_str(), nullptr);
        ::CreateDirectoryW((install + L"\\sub").c_str(), nullptr);
        writeFile(install + L"\\junk.dll", "x");
        writeFile(install + L"\\sub\\old.tmp", "x");
        writeFile(outside + L"\\victim.txt", "precious");
        if (!testwin::makeFolderLink(install, L"link", outside, L"../outside"))
            GTEST_SKIP() << "this system cannot make a link to a folder";
    }
    void TearDown() override { testwin::removeFolderLink(install, L"link"); }

    testwin::CTempFolder base;
    const std::wstring install = base / L"install";
    const std::wstring outside = base / L"outside";
    const std::wstring link = install + L"\\link";
    CWinInstallFiles files{install};
};

TEST_F(InstallFilesLinkTest, ListsTheLinkAsALink) {
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(files.ListFolder(L"", entries));
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, L"junk.dll");
    EXPECT_EQ(entries[0].kind, EFolderEntryKind::File);
    EXPECT_EQ(entries[1].name, L"link");
    EXPECT_EQ(entries[1].kind, EFolderEntryKind::Link);
    EXPECT_EQ(entries[2].name, L"sub");
    EXPECT_EQ(entries[2].kind, EFolderEntryKind::Folder);
}

TEST_F(InstallFilesLinkTest, CleanupNeverEntersOrRemovesTheLink) {
    const CheckerControl control;
    std::vector<uint8_t> block;
    const std::vector<CleanupRemoval> removed =
        cleanInstallFolder(files, CleanupRules{}, control, false, block);

    for (const CleanupRemoval& removal : removed)
        EXPECT_NE(removal.path.rfind(L"link", 0), 0u) << "listed behind the link";
    EXPECT_TRUE(fileExists(outside + L"\\victim.txt"));
    EXPECT_TRUE(isLink(link)) << "the link itself is kept";
    EXPECT_FALSE(fileExists(install + L"\\junk.dll"));
    EXPECT_FALSE(folderExists(install + L"\\sub"));
}

TEST_F(InstallFilesLinkTest, RefusesToListOrRemoveThroughTheLinkButReadsThroughIt) {
    std::vector<FolderEntry> entries;
    EXPECT_FALSE(files.ListFolder(L"link", entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(files.RemoveFile(L"link\\victim.txt"));
    EXPECT_FALSE(files.RemoveEmptyFolder(L"link"));
    EXPECT_TRUE(fileExists(outside + L"\\victim.txt"));
    EXPECT_TRUE(isLink(link));

    // A folder the user moved to another drive is still compared.
    uint32_t systemError = 0;
    EXPECT_NE(files.OpenFile(L"link\\victim.txt", systemError), nullptr);
}

class InstallFilesTest : public ::testing::Test {
protected:
    testwin::CTempFolder install;
    CWinInstallFiles files{install.path()};
};

TEST_F(InstallFilesTest, ReadsAFileInPiecesAndReportsAMissingOne) {
    writeFile(install / L"data.bin", "0123456789");
    uint32_t systemError = 0;
    std::unique_ptr<IReadFile> file = files.OpenFile(L"data.bin", systemError);
    ASSERT_NE(file, nullptr);
    char piece[8] = {};
    EXPECT_EQ(file->Read(piece, 8), 8);
    EXPECT_EQ(file->Read(piece, 8), 2);
    EXPECT_EQ(std::string(piece, 2), "89");
    EXPECT_EQ(file->Read(piece, 8), 0);

    EXPECT_EQ(files.OpenFile(L"missing.bin", systemError), nullptr);
    EXPECT_EQ(systemError, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

TEST_F(InstallFilesTest, RemovesReadOnlyFilesAndOnlyEmptyFolders) {
    writeFile(install / L"locked.bin", "x");
    ::SetFileAttributesW((install / L"locked.bin").c_str(), FILE_ATTRIBUTE_READONLY);
    ::CreateDirectoryW((install / L"full").c_str(), nullptr);
    writeFile(install / L"full\\inner.bin", "x");
    ::CreateDirectoryW((install / L"empty").c_str(), nullptr);

    EXPECT_TRUE(files.RemoveFile(L"locked.bin"));
    EXPECT_FALSE(fileExists(install / L"locked.bin"));
    EXPECT_FALSE(files.RemoveFile(L"full")) << "a folder is not a file";
    EXPECT_FALSE(files.RemoveEmptyFolder(L"full"));
    EXPECT_TRUE(fileExists(install / L"full\\inner.bin"));
    EXPECT_TRUE(files.RemoveEmptyFolder(L"empty"));
    EXPECT_FALSE(folderExists(install / L"empty"));
    EXPECT_FALSE(files.RemoveEmptyFolder(L"")) << "never the install folder itself";
}

TEST(InstallFilesRoot, AFolderThatIsNotAbsoluteOrIsADriveRootReachesNothing) {
    // Each of these would otherwise lead to a drive's root, where
    // windows\win.ini exists, or depend on the current folder.
    for (const wchar_t* folder : {L"", L"C:", L"C:\\", L"C:\\\\", L"\\", L"windows"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(folder)));
        CWinInstallFiles files(folder);
        std::vector<FolderEntry> entries;
        EXPECT_FALSE(files.ListFolder(L"", entries));
        EXPECT_FALSE(files.ListFolder(L"windows", entries));
        uint32_t systemError = 0;
        EXPECT_EQ(files.OpenFile(L"windows\\win.ini", systemError), nullptr);
        EXPECT_FALSE(files.RemoveEmptyFolder(L"windows"));
    }
}

} // namespace
