// The native view of an install folder that launcher-tool verify uses.
#include "update/checker/local_install_files.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;

// Manifest paths are kept in lower case, as Windows compares them; a folder
// on a case-sensitive file system is still found.
TEST(LocalInstallFiles, ResolvesManifestPathsIgnoringCase) {
    const fs::path root = fs::temp_directory_path() /
                          ("local-install-files-" +
                           std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(root);
    fs::create_directories(root / "Bin");
    std::ofstream(root / "Bin" / "Client.EXE") << "game";
    CLocalInstallFiles files(root);
    const struct {
        const wchar_t* path;
        bool found;
    } cases[] = {{L"bin\\client.exe", true},
                 {L"Bin\\Client.EXE", true},
                 {L"BIN/CLIENT.exe", true},
                 {L"bin\\missing.dll", false},
                 {L"nothing\\here.txt", false}};
    for (const auto& c : cases) {
        uint32_t error = 0;
        EXPECT_EQ(files.OpenFile(c.path, error) != nullptr, c.found);
    }
    fs::remove_all(root);
}

} // namespace
