// Update runs of the real Launcher.exe about the folder it runs in: it
// installs and cleans up only in a folder that is the client's, and it
// never follows a link out of it.
#include "base/folder_tree_win.h"

#include "support/links_win.h"
#include "support/update_run_fixture_win.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using testwin::kServerDataPath;
using testwin::SClientFile;
using testwin::SLauncherRun;
using testwin::SRelease;

const char kManifestPath[] = "/skyreach/live/update.rxml";

// The same layout in a few kilobytes, for runs about the install folder
// rather than the transfer.
std::vector<SClientFile> smallRelease() {
    return {{"bin/game.exe", testwin::noiseBytes(3000, 1)},
            {"client.cfg", "release=1\n"},
            {"data/world.bin", testwin::noiseBytes(2000, 2)},
            {"media/intro.txt", "Welcome to Skyreach.\n"},
            {"media/empty.dat", ""}};
}

class UpdateRunFolderExe : public testwin::UpdateRunFixture {};

// A portable copy dropped among the user's files: the first run would
// otherwise make the folder the client's and clean it up. It explains
// itself and ends, and not even /auto goes past that.
TEST_F(UpdateRunFolderExe, PortableCopyAmongOtherFilesLeavesThemAlone) {
    publish(L"client-v1", smallRelease());
    startServer();
    ASSERT_TRUE(testwin::writeClientFolder(install, {{"holiday.jpg", testwin::noiseBytes(5000, 7)},
                                                     {"notes.txt", "mine\n"},
                                                     {"Saved Games/slot1.sav", "level 3"},
                                                     {"Saved Games/old/slot0.sav", ""}}));
    makeInstallFolder({liveUrl()});
    const auto before = testwin::filesBelow(install);

    const SLauncherRun r = run({}, {}, L"/auto");
    EXPECT_EQ(r.process.exitCode, 0u);
    ASSERT_EQ(r.boxes.size(), 1u) << r.log;
    EXPECT_NE(r.boxes[0].text.find(L"This folder already holds other files."), std::wstring::npos)
        << testwin::narrowPath(r.boxes[0].text);
    EXPECT_NE(r.boxes[0].text.find(L"a new folder named \"Skyreach\""), std::wstring::npos)
        << testwin::narrowPath(r.boxes[0].text);
    EXPECT_EQ(r.boxes[0].buttons, std::vector<int>{IDOK});
    EXPECT_TRUE(testwin::inOrder(
        r.log, {"Install folder holds other files: nothing is installed or deleted there",
                "Saved Games", "Move the launcher into an empty folder of its own",
                "|              MessageBox              |", "Launcher finished"}));
    EXPECT_EQ(testwin::filesBelow(install), before);
    EXPECT_FALSE(std::filesystem::exists(install + L"\\tmp"));
    EXPECT_TRUE(server.entries(kManifestPath, 0, 0).empty());
    EXPECT_TRUE(server.entries(kServerDataPath, 0, 0).empty());
}

// Strangers that turn up in a folder that holds the client are still
// cleaned up as before.
TEST_F(UpdateRunFolderExe, InstalledClientStillLosesStrangers) {
    const SRelease v1 = publish(L"client-v1", smallRelease());
    startServer();
    makeInstallFolder({liveUrl()});
    expectCompleted(run(), v1);
    ASSERT_TRUE(testwin::writeClientFolder(
        install, {{"stranger.dll", "x"}, {"bin/stranger.dll", "y"}, {"junk/deep/a.txt", "z"}}));
    // A client file gone too, so the run has a package to fetch.
    ASSERT_TRUE(::DeleteFileW((install + L"\\media\\intro.txt").c_str()));

    const SLauncherRun r = run();
    expectCompleted(r, v1);
    EXPECT_TRUE(testwin::inOrder(r.log, {"  .. holds the client", "Finish check thread .. OK"}));
    EXPECT_FALSE(std::filesystem::exists(install + L"\\junk"));
}

// "ext" is removed before each download and "tmp" receives the downloads
// and goes after them: a link in their place leads to someone else's
// folder, which keeps every file and gets none. A link that cannot be
// removed (Wine's Unix links) stays; "tmp" then ends the run with a box.
TEST_F(UpdateRunFolderExe, WorkFolderThatIsALinkIsNeverFollowed) {
    const SRelease v1 = publish(L"client-v1", smallRelease());
    startServer();
    makeInstallFolder({liveUrl()});
    expectCompleted(run(), v1);
    for (const std::wstring name : {L"ext", L"tmp"}) {
        SCOPED_TRACE(testwin::narrowPath(name));
        const std::wstring outside = work / (L"outside-" + name);
        ASSERT_TRUE(testwin::writeClientFolder(
            outside, {{"keep.txt", "mine"}, {"sub/deep.txt", "someone else's"}}));
        const auto before = testwin::filesBelow(outside);
        if (!testwin::makeFolderLink(install, name, outside, L"../../../outside-" + name))
            GTEST_SKIP() << "this system cannot make a link to a folder";
        ASSERT_TRUE(::DeleteFileW((install + L"\\media\\intro.txt").c_str()));

        const SLauncherRun r = run();
        const bool linkStayed = isLink(install + L"\\" + name);
        testwin::removeFolderLink(install, name);
        EXPECT_EQ(testwin::filesBelow(outside), before);
        if (name == L"tmp" && linkStayed) {
            EXPECT_EQ(r.process.exitCode, 0u);
            ASSERT_EQ(r.boxes.size(), 1u) << r.log;
            EXPECT_NE(r.boxes[0].text.find(L"Cannot create file: "), std::wstring::npos)
                << testwin::narrowPath(r.boxes[0].text);
            EXPECT_TRUE(testwin::inOrder(r.log, {"tmp cannot be made a folder of its own"}));
            continue;
        }
        expectCompleted(r, v1);
    }
}

} // namespace
