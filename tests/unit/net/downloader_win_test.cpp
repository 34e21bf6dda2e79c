// The downloader against the project's update server, under Wine: what goes
// over the wire (the server's access log), what reaches the logic's slots and
// in which order, on the thread that owns the logic's window.
#include "downloader_fixture_win.h"

#include "net/httx503_answer_win.h"

namespace {

using namespace downloadertest;

TEST_F(DownloaderTest, RangesTransferOnlyTheAskedBytesThroughOneContext) {
    ASSERT_TRUE(startServer());
    downloader.SetServerBaseUrl(server.baseUrl());
    downloader.SetPartArgument("part");

    // The end of a closed range is begin + length, inclusive.
    ASSERT_TRUE(downloader.DownloadUpdate("/pkg/game.pkg", 0, 1000, 5000));
    finish();
    ASSERT_EQ(notify.events.size(), 1u);
    EXPECT_EQ(notify.events[0].slot, "part");
    EXPECT_FALSE(notify.events[0].incomplete);
    EXPECT_TRUE(notify.events[0].body == file.substr(1000, 5001));

    restart();
    ASSERT_TRUE(downloader.DownloadUpdate("/pkg/game.pkg", 0, 250000, 0));
    finish();
    ASSERT_EQ(notify.events.size(), 1u);
    EXPECT_TRUE(notify.events[0].body == file.substr(250000));
    EXPECT_LE(notify.partProgress, 50000u);

    const auto log = server.entries("/pkg/game.pkg", 2);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].range, "bytes=1000-6000");
    EXPECT_EQ(log[0].status, 206);
    EXPECT_EQ(log[0].sent, 5001);
    EXPECT_EQ(log[1].range, "bytes=250000-");
    EXPECT_EQ(log[1].sent, 50000);
    EXPECT_EQ(downloader.created, 1);
    EXPECT_EQ(downloader.destroyed, 0);
    EXPECT_NE(logText().find(L"CDownloader::DownloadUpdate: /pkg/game.pkg?part (begin: 1000, "
                             L"length: 5000)"),
              std::wstring::npos);
}

TEST_F(DownloaderTest, BrokenTransferHandsOverThePartThenReportsTheError) {
    ASSERT_TRUE(startServer(R"({"rules": [{"path": "/pkg/game.pkg", "close_after": 1000}]})"));
    downloader.SetServerBaseUrl(server.baseUrl());
    ASSERT_TRUE(downloader.DownloadUpdate("/pkg/game.pkg", 0, 0, 0));
    finish();
    ASSERT_EQ(notify.events.size(), 2u);
    EXPECT_EQ(notify.events[0].slot, "part");
    EXPECT_TRUE(notify.events[0].incomplete);
    EXPECT_TRUE(notify.events[0].body == file.substr(0, 1000))
        << notify.events[0].body.size() << " bytes";
    EXPECT_EQ(notify.events[1].slot, "error");
    EXPECT_EQ(notify.events[1].kind, eDownload_Update);
    EXPECT_EQ(notify.events[1].code, static_cast<unsigned>(ERROR_INTERNET_CONNECTION_RESET));
    EXPECT_EQ(notify.events[1].status, 206);
}

TEST_F(DownloaderTest, StalledServerEndsInATimeOut) {
    ASSERT_TRUE(startServer(R"({"rules": [{"path": "/update.rxml", "stall_after": 5}]})"));
    downloader.SetServerBaseUrl(server.baseUrl());
    ASSERT_TRUE(downloader.DownloadUpdateXml("/update.rxml"));
    finish();
    ASSERT_EQ(notify.events.size(), 1u);
    EXPECT_EQ(notify.events[0].slot, "error");
    EXPECT_EQ(notify.events[0].kind, eDownload_UpdateXml);
    // Windows reports a receive time-out as 12002, Wine as 12030.
    EXPECT_TRUE(notify.events[0].code == ERROR_INTERNET_TIMEOUT ||
                notify.events[0].code == ERROR_INTERNET_CONNECTION_ABORTED)
        << notify.events[0].code;
}

TEST_F(DownloaderTest, FollowsTwoRedirectsAndReportsTheThird) {
    ASSERT_TRUE(startServer(R"({"rules": [
        {"path": "/two/1", "redirect": "/two/2"},
        {"path": "/two/2", "redirect": "{base}/update.rxml", "status": 307},
        {"path": "/three/1", "redirect": "/three/2"},
        {"path": "/three/2", "redirect": "/three/3"},
        {"path": "/three/3", "redirect": "/update.rxml", "status": 301}]})"));
    downloader.SetServerBaseUrl(server.baseUrl());

    ASSERT_TRUE(downloader.DownloadUpdateXml("/two/1"));
    finish();
    ASSERT_EQ(notify.events.size(), 1u);
    EXPECT_EQ(notify.events[0].slot, "xml");
    EXPECT_EQ(notify.events[0].body, manifest);

    restart();
    ASSERT_TRUE(downloader.DownloadUpdateXml("/three/1"));
    finish();
    ASSERT_EQ(notify.events.size(), 1u);
    EXPECT_EQ(notify.events[0].slot, "error");
    EXPECT_EQ(notify.events[0].kind, eDownload_UpdateXml);
    EXPECT_EQ(notify.events[0].status, 301);
    EXPECT_EQ(notify.events[0].code, 0u);
    EXPECT_EQ(server.entries("/update.rxml", 2, 500).size(), 1u) << "a third redirect was followed";
}

TEST_F(DownloaderTest, RedirectToAnotherHostMovesTheContext) {
    testwin::CUpdateServer mirror;
    ASSERT_TRUE(mirror.start({}));
    mirror.writeFile("/update.rxml", "mirrored");
    ASSERT_TRUE(startServer(R"({"rules": [{"path": "/update.rxml", "redirect": ")" +
                            mirror.baseUrl() + R"(/update.rxml", "times": 1}]})"));
    downloader.SetServerBaseUrl(server.baseUrl());

    ASSERT_TRUE(downloader.DownloadUpdateXml("/update.rxml"));
    finish();
    ASSERT_EQ(notify.events.size(), 1u);
    EXPECT_EQ(notify.events[0].body, "mirrored");
    ASSERT_EQ(mirror.entries("/update.rxml").size(), 1u);

    // The next download is for the selected server again.
    restart();
    ASSERT_TRUE(downloader.DownloadUpdateXml("/update.rxml"));
    finish();
    ASSERT_EQ(notify.events.size(), 1u);
    EXPECT_EQ(notify.events[0].body, manifest);
    EXPECT_EQ(server.entries("/update.rxml", 2).size(), 2u);
    EXPECT_EQ(downloader.created, 3);
    EXPECT_EQ(downloader.destroyed, 2);
}

TEST_F(DownloaderTest, MaintenanceAnswerReachesTheLogicWithItsPage) {
    ASSERT_TRUE(startServer(R"({"rules": [
        {"path": "/update.rxml", "maintenance": {"format": "xml", "end_in": 7200,
         "languages": {"en": {"title": "Maintenance", "line1": "Servers are updated.",
                              "line2": "Back at {time}."}}}},
        {"path": "/terms/*", "maintenance": {"format": "html", "title": "Down",
         "message": "Later."}}]})"));
    downloader.SetServerBaseUrl(server.baseUrl());
    ASSERT_TRUE(downloader.DownloadUpdateXml("/update.rxml"));
    finish();
    ASSERT_EQ(notify.events.size(), 1u);
    const SEvent error = notify.events[0];
    EXPECT_EQ(error.slot, "error");
    EXPECT_EQ(error.kind, eDownload_UpdateXml);
    EXPECT_EQ(error.status, 503);
    EXPECT_EQ(error.code, 0u);
    std::string title, text;
    bool hasTime = false;
    ASSERT_TRUE(ParseHttx503Answer(error.body.c_str(), "en", title, text, hasTime,
                                   LOCALE_USER_DEFAULT, L"yyyy-MM-dd", L"HH:mm"))
        << error.body;
    EXPECT_EQ(title, "Maintenance");
    EXPECT_EQ(text.rfind("Servers are updated.\n\nBack at ", 0), 0u) << text;
    EXPECT_TRUE(hasTime);

    // A plain HTML page is no maintenance page: the logic shows its own texts.
    restart();
    downloader.SetLanguageCode("en");
    ASSERT_TRUE(downloader.DownloadLicense("/terms/license"));
    finish();
    ASSERT_EQ(notify.events.size(), 1u);
    EXPECT_EQ(notify.events[0].status, 503);
    EXPECT_NE(notify.events[0].body.find("Later."), std::string::npos);
    EXPECT_FALSE(ParseHttx503Answer(notify.events[0].body.c_str(), "en", title, text, hasTime,
                                    LOCALE_USER_DEFAULT, L"yyyy-MM-dd", L"HH:mm"));
}

TEST_F(DownloaderTest, HttpsWithASelfSignedCertificate) {
    ASSERT_TRUE(startServer({}, true));
    downloader.SetServerBaseUrl(server.baseUrl());
    ASSERT_TRUE(downloader.DownloadUpdateXml("/update.rxml"));
    finish();
    ASSERT_EQ(notify.events.size(), 1u);
    EXPECT_EQ(notify.events[0].slot, "xml");
    EXPECT_EQ(notify.events[0].body, manifest);
}

TEST_F(DownloaderTest, SizeProbeThenDownloadOfTheSystemPackage) {
    struct Case {
        const char* name;
        const char* rules;
        unsigned total;
        bool announced;
        const wchar_t* logLine;
    };
    const Case cases[] = {
        {"length", "", 300000, true, L"300000 bytes"},
        {"no length", R"({"rules": [{"path": "*", "methods": ["HEAD"], "no_length": true}]})",
         kFileSizeUnknown, true, L"failed to determine file size"},
        // A failed probe is no failure: the package comes without a size.
        {"probe fails", R"({"rules": [{"path": "*", "methods": ["HEAD"], "status": 500}]})",
         kFileSizeUnknown, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testwin::CUpdateServer kbServer;
        kbServer.writeFile("/kb/update.msu", file);
        ASSERT_TRUE(kbServer.start({false, c.rules}));
        CDownloader probe(&transport);
        testwin::CTempFolder probeTemp;
        CLogImplW probeLog;
        ASSERT_TRUE(probeLog.open((probeTemp / L"run.log").c_str()));
        probe.SetNotify(&notify);
        probe.SetWindow(window.get());
        probe.SetLog(&probeLog);
        restart();

        const std::string url = kbServer.baseUrl() + "/kb/update.msu";
        ASSERT_TRUE(probe.DownloadKB(url.c_str()));
        finish(probe);
        ASSERT_FALSE(notify.events.empty());
        EXPECT_EQ(notify.events.back().slot, "kb");
        EXPECT_TRUE(notify.events.back().body == file);
        // The probe's answer announces the size before any byte; a failed
        // probe announces nothing. Progress (reads that had to wait) counts
        // up from there.
        unsigned counted = 0;
        for (size_t i = 0; i + 1 < notify.events.size(); ++i) {
            const SEvent& progress = notify.events[i];
            EXPECT_EQ(progress.slot, "kb-progress");
            EXPECT_EQ(progress.total, c.total);
            EXPECT_GE(progress.received, counted);
            counted = progress.received;
        }
        EXPECT_LE(counted, 300000u);
        const SEvent& first = notify.events.front();
        EXPECT_EQ(first.slot == "kb-progress" && first.received == 0, c.announced);

        const auto log = kbServer.entries("/kb/update.msu", 2);
        ASSERT_EQ(log.size(), 2u);
        EXPECT_EQ(log[0].method, "HEAD");
        EXPECT_EQ(log[1].method, "GET");
        probe.Detach(5000);
        probeLog.close();
        const std::wstring text = readLog(probeTemp / L"run.log");
        EXPECT_NE(text.find(L"CDownloader::DownloadKB: " + std::wstring(url.begin(), url.end())),
                  std::wstring::npos);
        if (c.logLine != nullptr) {
            EXPECT_NE(text.find(c.logLine), std::wstring::npos);
        }
    }
}

TEST_F(DownloaderTest, TransportErrorIsReportedOnceAsNotFound) {
    CNetTransport closed;
    ASSERT_TRUE(closed.Start(5000));
    CDownloader unopened(&closed);
    unopened.SetNotify(&notify);
    unopened.SetWindow(window.get());
    unopened.SetServerBaseUrl("http://127.0.0.1:1");
    ASSERT_TRUE(unopened.DownloadUpdateXml("/update.rxml"));
    finish(unopened);
    // The context and the request sent through it both fail: one report.
    notify.finished = false;
    EXPECT_FALSE(pump(unopened, 300));
    ASSERT_EQ(notify.events.size(), 1u);
    EXPECT_EQ(notify.events[0].kind, eDownload_UpdateXml);
    EXPECT_EQ(notify.events[0].status, 404);
    EXPECT_EQ(notify.events[0].code, 0u);
    unopened.Detach(5000);
    closed.PostQuit();
    closed.Wait(5000);
}

TEST_F(DownloaderTest, EntryPointsRefuseWhatTheyCannotSend) {
    CDownloader silent(&transport);
    silent.SetServerBaseUrl("http://127.0.0.1:1");
    EXPECT_FALSE(silent.DownloadUpdateXml("/update.rxml")) << "no one to report to";
    EXPECT_FALSE(downloader.DownloadUpdateXml("/update.rxml")) << "no server selected";
    downloader.SetServerBaseUrl("ftp://127.0.0.1");
    EXPECT_FALSE(downloader.DownloadUpdate("/pkg/game.pkg", 0, 0, 0));
    downloader.SetServerBaseUrl("http://127.0.0.1:1");
    EXPECT_FALSE(downloader.DownloadLicense(""));
    EXPECT_FALSE(downloader.DownloadCUDFile(nullptr, nullptr));
    EXPECT_EQ(downloader.GetCurrentKind(), eDownload_None);
}

} // namespace
