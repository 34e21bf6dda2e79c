// The fixture of whole update runs of the real Launcher.exe: a release
// published into the test update server, a portable install folder whose
// launcher updates from it, one run with its boxes answered, and the check
// of a completed run against the published client folder
// (verify_install.py). Test thread only.
#pragma once

#include "support/release_win.h"
#include "support/temp_folder_win.h"
#include "support/update_run_win.h"
#include "support/update_server_win.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testwin {

inline constexpr char kLivePath[] = "/skyreach/live/";
inline constexpr char kServerDataPath[] = "/skyreach/cud.xml";

// A published release: the client folder it was made from (what an install
// is verified against) and the files the server holds.
struct SRelease {
    std::wstring client;
    std::map<std::string, std::string> files;
};

// The layout of the update runs: bin and client.cfg in core.pkg, data in
// data.pkg, media in media.pkg.
inline std::string threePackageLayout(const std::string& clientVersion) {
    return "modification update-run\n"
           "client-version " +
           clientVersion +
           "\n"
           "pack core.pkg full\n"
           "  add bin\n"
           "  add client.cfg\n"
           "pack data.pkg full\n"
           "  add data\n"
           "pack media.pkg full\n"
           "  add media\n";
}

class UpdateRunFixture : public testing::Test {
protected:
    // Nested, so that "..\..\" from the install folder stays inside `work`.
    UpdateRunFixture() : install(work / L"site\\games\\install") {}

    // Writes the client folder `name` below `work` and publishes it with
    // the layout text.
    SRelease publishLayout(const std::wstring& name, const std::vector<SClientFile>& files,
                           const std::string& layout) {
        SRelease release{work / name, {}};
        EXPECT_TRUE(writeClientFolder(release.client, files));
        const SPublished published = publishRelease(release.client, layout, server, kLivePath);
        EXPECT_TRUE(published.ok()) << published.run.output;
        release.files = published.files;
        return release;
    }

    // The same, packed as threePackageLayout.
    SRelease publish(const std::wstring& name, const std::vector<SClientFile>& files,
                     const std::string& clientVersion = "1.0.0.1") {
        return publishLayout(name, files, threePackageLayout(clientVersion));
    }

    void serve(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(server.writeFile(kLivePath + name, bytes));
    }

    void startServer(const std::string& faultsJson = {}) {
        ASSERT_TRUE(server.start({false, faultsJson})) << server.output();
    }

    std::string liveUrl() const { return server.baseUrl() + "/"; }

    // The launcher's data-update address is on the test server too, and its
    // answer brings no new servers: the ladder then ends in the box with the
    // failed request's own error rather than a name resolution failure.
    void makeInstallFolder(const std::vector<std::string>& serverUrls) {
        std::string data = "<ClientUpdateData><Face id=\"skyreach\"><LoginURLs>";
        for (const std::string& url : serverUrls)
            data += "<URL>" + url + "</URL>";
        ASSERT_TRUE(
            server.writeFile(kServerDataPath, data + "</LoginURLs></Face></ClientUpdateData>"));
        ASSERT_TRUE(makePortableLauncher(install, serverUrls, kLivePath,
                                         server.baseUrl() + kServerDataPath));
    }

    SLauncherRun run(const CMessageBoxWatcher::AnswerPolicy& answer = {},
                     const std::function<void(DWORD)>& whileRunning = {},
                     const std::wstring& arguments = L"") {
        SLauncherRun r = runLauncherIn(install, answer, whileRunning, arguments);
        EXPECT_TRUE(r.process.started);
        EXPECT_FALSE(r.process.timedOut) << r.log;
        return r;
    }

    // A run that ended the update: exit 0, the end of an update in its log,
    // tmp\ gone, and every file identical to the release.
    void expectCompleted(const SLauncherRun& r, const SRelease& release) {
        EXPECT_EQ(r.process.exitCode, 0u);
        EXPECT_TRUE(inOrder(r.log, {"Finish unpack thread .. OK", "processAfterDownload();",
                                    "Client launch: not available in this version of the "
                                    "launcher"}));
        EXPECT_FALSE(std::filesystem::exists(install + L"\\tmp"));
        const SLinuxRun verified = verifyInstall(release.client, install);
        EXPECT_TRUE(verified.finished) << verified.output;
        EXPECT_EQ(verified.exitCode, 0) << verified.output;
    }

    CTempFolder work;
    CUpdateServer server;
    std::wstring install;
};

} // namespace testwin
