#include "update/checker/install_cleanup.h"

#include "base/crc32.h"
#include "unit/update/checker/fake_install_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

ExpectedFile expectedOf(const std::string& content) {
    return {Crc32(content.data(), static_cast<unsigned>(content.size())), content.size()};
}

CleanupRules rules() {
    CleanupRules r;
    r.expected = {{L"bin\\game.exe", expectedOf("game")}, {L"data\\a.pak", expectedOf("pak")}};
    r.protectedNames = {L"launcher.exe"};
    r.ignoredNames = {L"readme.txt", L"*.dmp"};
    r.ignoredPaths = {L"cfg\\user.ini"};
    return r;
}

TEST(InstallCleanup, DecisionPerFile) {
    const std::vector<std::pair<std::wstring, ECleanupAction>> cases = {
        {L"unknown.dll", ECleanupAction::Delete},     {L"bin\\extra.DLL", ECleanupAction::Delete},
        {L"client.log", ECleanupAction::Keep},        {L"logs\\RUN.LOG", ECleanupAction::Keep},
        {L"Bin\\Game.exe", ECleanupAction::Compare},  {L"Launcher.exe", ECleanupAction::Keep},
        {L"sub\\launcher.exe", ECleanupAction::Keep}, {L"docs\\ReadMe.txt", ECleanupAction::Keep},
        {L"crash\\x.DMP", ECleanupAction::Keep},      {L"cfg\\user.ini", ECleanupAction::Keep},
        {L"user.ini", ECleanupAction::Delete},        {L".dmp", ECleanupAction::Delete},
        {L"makefile", ECleanupAction::Delete},        {L"x.log.bak", ECleanupAction::Delete},
    };
    const CleanupRules r = rules();
    for (const auto& [path, action] : cases)
        EXPECT_EQ(cleanupActionFor(path, r), action) << std::string(path.begin(), path.end());
}

class InstallCleanupWalk : public ::testing::Test {
protected:
    void SetUp() override {
        disk.add(L"Launcher.exe", "me");
        disk.add(L"bin\\game.exe", "game");
        disk.add(L"bin\\unknown.dll", "evil");
        disk.add(L"data\\a.pak", "PAK"); // listed, differs
        disk.add(L"client.log", "log");
        disk.add(L"old\\deep\\stale.bin", "x");
        disk.add(L"crash\\1.dmp", "d");
        disk.addLink(L"saves");
        disk.addLink(L"bin\\linked.dll");
    }

    CFakeInstallFiles disk;
    CheckerControl control;
    std::vector<uint8_t> block;
};

TEST_F(InstallCleanupWalk, DeletesStrangersAndDifferingFilesKeepsTheRest) {
    const auto removed = cleanInstallFolder(disk, rules(), control, false, block);
    std::vector<std::wstring> paths;
    for (const CleanupRemoval& r : removed)
        paths.push_back(r.path + (r.listed ? L" (listed)" : L""));
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::wstring>{L"bin\\unknown.dll", L"data\\a.pak (listed)",
                                                L"old\\deep\\stale.bin"}));
    for (const wchar_t* kept : {L"Launcher.exe", L"bin\\game.exe", L"client.log", L"crash\\1.dmp"})
        EXPECT_TRUE(disk.has(kept));
    EXPECT_FALSE(disk.has(L"bin\\unknown.dll"));
    // Emptied folders go, bottom up; links are neither followed nor deleted.
    std::sort(disk.removedFolders.begin(), disk.removedFolders.end());
    EXPECT_EQ(disk.removedFolders, (std::vector<std::wstring>{L"data", L"old", L"old\\deep"}));
    EXPECT_EQ(disk.opened, (std::vector<std::wstring>{L"bin\\game.exe", L"data\\a.pak"}));
    EXPECT_TRUE(std::find(disk.removedFiles.begin(), disk.removedFiles.end(), L"bin\\linked.dll") ==
                disk.removedFiles.end());
}

// Downloads an interrupted run left for the next one are not strangers.
TEST_F(InstallCleanupWalk, NeverEntersProtectedFolders) {
    disk.add(L"tmp\\0A1B2C3D.5000", "part of a package");
    disk.add(L"Tmp\\sub\\x.bin", "x");
    CleanupRules r = rules();
    r.protectedFolders = {L"tmp"};
    cleanInstallFolder(disk, r, control, false, block);
    EXPECT_TRUE(disk.has(L"tmp\\0A1B2C3D.5000"));
    EXPECT_TRUE(disk.has(L"Tmp\\sub\\x.bin"));
    EXPECT_FALSE(disk.has(L"bin\\unknown.dll"));
}

TEST_F(InstallCleanupWalk, DryRunOnlyReports) {
    const auto removed = cleanInstallFolder(disk, rules(), control, true, block);
    EXPECT_EQ(removed.size(), 3u);
    EXPECT_TRUE(disk.removedFiles.empty());
    EXPECT_TRUE(disk.removedFolders.empty());
}

TEST_F(InstallCleanupWalk, StopsAndYields) {
    int yields = 0;
    int tests = 0;
    const CheckerControl stopAfterFour{[&] { return ++tests > 4; }, [&] { ++yields; }};
    cleanInstallFolder(disk, rules(), stopAfterFour, false, block);
    EXPECT_LE(disk.removedFiles.size(), 1u);
    EXPECT_EQ(yields, 0);

    const CheckerControl yielding{{}, [&] { ++yields; }};
    for (int i = 0; i < 25; ++i)
        disk.add(L"many\\f" + std::to_wstring(i) + L".log", "");
    cleanInstallFolder(disk, rules(), yielding, true, block);
    EXPECT_GE(yields, 2);
}

TEST(InstallCleanupStop, StopWhileReadingAListedFileKeepsItAndEverythingAfter) {
    CFakeInstallFiles disk;
    disk.addGenerated(L"data\\big.pak", 8ull * kDigestBlockSize);
    disk.add(L"data\\stranger.dll", "x");
    disk.add(L"zz.dll", "x");
    bool stop = false;
    disk.onRead = [&](const std::wstring&, uint64_t offset) { stop = offset > 0; };
    const CheckerControl stoppable{[&] { return stop; }, {}};
    CleanupRules r;
    r.expected = {{L"data\\big.pak", expectedOf("other")}};
    std::vector<uint8_t> block;
    EXPECT_TRUE(cleanInstallFolder(disk, r, stoppable, false, block).empty());
    EXPECT_TRUE(disk.removedFiles.empty());
    EXPECT_TRUE(disk.removedFolders.empty());
}

} // namespace
