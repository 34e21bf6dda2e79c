// Answers the downloader must not take as they come, against the project's
// update server under Wine: a package range that is not the asked one, and
// documents over their size. What reaches the logic's slots, and the run
// log's account of it.
#include "downloader_fixture_win.h"

#include "support/process_memory_win.h"

namespace {

using namespace downloadertest;

// Announced by the server, streamed from nothing. Paced: Wine's WinINet,
// closing a request whose body is not read to its end, reads on as long as
// bytes are waiting, and a loopback server at full speed keeps that up for
// hundreds of MB.
constexpr long long kHugeAnswer = 2147483648LL;

std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

TEST_F(DownloaderTest, RangeAnswerOtherThanTheAskedRangeIsAFailedPart) {
    ASSERT_TRUE(startServer(R"({"rules": [
        {"path": "/whole.pkg", "filler": 2147483648, "rate": 4000000},
        {"path": "/pkg/game.pkg", "ignore_range": true, "after": 1},
        {"path": "/shifted.pkg", "status": 206, "body": "xyz",
         "headers": {"Content-Range": "bytes 7-9/300000"}}]})"));
    downloader.SetServerBaseUrl(server.baseUrl());
    struct Case {
        const char* path;
        unsigned begin;
        int status;
        // Empty: the part arrives; else the run log's line, and the part
        // fails without a byte of it.
        const char* refusal;
    };
    const Case cases[] = {
        {"/pkg/game.pkg", 1000, 206, nullptr},
        // The server ignores the range from its second answer on: at offset
        // 0 the asked bytes are its first ones.
        {"/pkg/game.pkg", 0, 200, nullptr},
        {"/whole.pkg", 0, 200, nullptr},
        {"/pkg/game.pkg", 1000, 200,
         "CDownloader: answer refused: /pkg/game.pkg, status 200, Content-Range: none, asked "
         "from byte 1000"},
        {"/shifted.pkg", 1000, 206,
         "CDownloader: answer refused: /shifted.pkg, status 206, Content-Range: bytes "
         "7-9/300000, asked from byte 1000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.path << " from " << c.begin);
        restart();
        ASSERT_TRUE(downloader.DownloadUpdate(c.path, 0, c.begin, 5000));
        finish();
        ASSERT_EQ(notify.events.size(), 1u);
        const SEvent& event = notify.events[0];
        if (c.refusal == nullptr) {
            EXPECT_EQ(event.slot, "part");
            EXPECT_FALSE(event.incomplete);
            const std::string expected = std::string(c.path) == "/whole.pkg"
                                             ? fillerBytes(5001)
                                             : file.substr(c.begin, 5001);
            EXPECT_TRUE(event.body == expected) << event.body.size() << " bytes";
            continue;
        }
        EXPECT_EQ(event.slot, "error");
        EXPECT_EQ(event.kind, eDownload_Update);
        EXPECT_EQ(event.code, 0u);
        EXPECT_EQ(event.status, c.status);
        EXPECT_NE(narrow(logText()).find(c.refusal), std::string::npos) << narrow(logText());
    }
    const std::string log = narrow(logText());
    EXPECT_NE(log.find("CDownloader::DownloadUpdate: the server ignored the range (status 200), "
                       "its first 5001 bytes kept"),
              std::string::npos)
        << log;
    // Of the 2 GB only the asked bytes were read before the connection went.
    const auto whole = server.entries("/whole.pkg");
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].outcome, "client-gone");
    EXPECT_LT(whole[0].sent, kHugeAnswer / 2);
}

TEST_F(DownloaderTest, OversizedDocumentsGoTheWayOfDamagedOnes) {
    ASSERT_TRUE(startServer(R"({"rules": [
        {"path": "/update.rxml", "filler": 2147483648, "rate": 4000000},
        {"path": "/cud.xml", "filler": 2097152, "no_length": true},
        {"path": "/terms/*", "filler": 1048577},
        {"path": "/busy.rxml", "status": 503, "filler": 1048577, "no_length": true}]})"));
    downloader.SetServerBaseUrl(server.baseUrl());
    downloader.SetLanguageCode("en");
    const std::string cudUrl = server.baseUrl() + "/cud.xml";
    struct Case {
        std::function<bool()> start;
        const char* slot;
        int status;
        const char* logLine;
    };
    const Case cases[] = {
        {[&] { return downloader.DownloadUpdateXml("/update.rxml"); }, "xml", 200,
         ", status 200, larger than 67108864 bytes"},
        {[&] { return downloader.DownloadCUDFile(cudUrl.c_str(), nullptr); }, "cud", 200,
         "CDownloader: answer refused: /cud.xml, status 200, larger than 1048576 bytes"},
        {[&] { return downloader.DownloadLicense("/terms/license"); }, "license", 200,
         ", status 200, larger than 1048576 bytes"},
        // A maintenance page too large to read is a 503 without its text.
        {[&] { return downloader.DownloadUpdateXml("/busy.rxml"); }, "error", 503,
         ", status 503, a page larger than 1048576 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slot);
        restart();
        ASSERT_TRUE(c.start());
        finish();
        ASSERT_EQ(notify.events.size(), 1u);
        EXPECT_EQ(notify.events[0].slot, c.slot);
        EXPECT_EQ(notify.events[0].body, "");
        if (c.status != 200) {
            EXPECT_EQ(notify.events[0].kind, eDownload_UpdateXml);
            EXPECT_EQ(notify.events[0].status, c.status);
        }
        EXPECT_NE(narrow(logText()).find(c.logLine), std::string::npos) << narrow(logText());
    }
    // The 2 GB were refused by their announced length: neither read nor
    // held.
    const auto manifest = server.entries("/update.rxml");
    ASSERT_EQ(manifest.size(), 1u);
    EXPECT_EQ(manifest[0].length, kHugeAnswer);
    EXPECT_LT(manifest[0].sent, kHugeAnswer / 2);
    testwin::SPeakMemory peak;
    ASSERT_TRUE(testwin::readPeakMemory(::GetCurrentProcess(), peak));
    EXPECT_LT(peak.workingSet, 1ull << 30);
    EXPECT_LT(peak.committed, 1ull << 30);
}

} // namespace
