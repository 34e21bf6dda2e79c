// Requests through the real transport against the project's test update
// server on loopback; the server's access log shows what went over the wire.
#include "net_test_client_win.h"

#include "net/request_rules.h"
#include "support/process_memory_win.h"

namespace {

using namespace nettest;

constexpr int kContextId = 1;
constexpr size_t kFileSize = 300000;

class RequestTest : public TransportFixture {
protected:
    void SetUp() override {
        TransportFixture::SetUp();
        ASSERT_TRUE(server.writeFile("/pkg/game.pkg", file));
    }
    bool start(const std::string& faultsJson = {}) {
        return startServer(faultsJson) && createContext(kContextId, server.baseUrl());
    }

    const std::string file = patternBytes(kFileSize);
};

TEST_F(RequestTest, WholeFileArrivesByteForByte) {
    ASSERT_TRUE(start());
    for (const int readBlock : {0, kReadBlockAdaptive, 102400}) {
        SCOPED_TRACE(readBlock);
        auto request = fetch(kContextId, "/pkg/game.pkg", [&](CRequestHttx& r) {
            r.Setup(kContextId, 5, "/pkg/game.pkg", true, eHttpVerb_Get, 0, kDownloaderFlags,
                    kIgnoreCaFlags, readBlock, false, false, nullptr, nullptr);
        });
        ASSERT_TRUE(request);
        EXPECT_EQ(request->GetErrorCode(), 0u);
        EXPECT_EQ(request->GetErrorSource(), kErrorSourceNone);
        EXPECT_EQ(request->GetHttpStatus(), 200);
        EXPECT_TRUE(bodyText(*request) == file) << "body of " << request->GetBodyLength();
    }
    const auto log = server.entries("/pkg/game.pkg", 3);
    ASSERT_EQ(log.size(), 3u);
    for (const auto& entry : log) {
        EXPECT_EQ(entry.status, 200);
        EXPECT_EQ(entry.sent, static_cast<long long>(kFileSize));
        EXPECT_EQ(entry.range, "");
    }
}

TEST_F(RequestTest, SlowBodyReportsProgressAndArrivesWhole) {
    ASSERT_TRUE(start(R"({"rules": [{"path": "/pkg/game.pkg", "rate": 400000}]})"));
    auto request = fetch(kContextId, "/pkg/game.pkg", [](CRequestHttx& r) {
        r.Setup(kContextId, 5, "/pkg/game.pkg", true, eHttpVerb_Get, 0, kDownloaderFlags,
                kIgnoreCaFlags, kReadBlockAdaptive, false, false, nullptr, nullptr);
    });
    ASSERT_TRUE(request);
    EXPECT_EQ(request->GetErrorCode(), 0u);
    EXPECT_TRUE(bodyText(*request) == file) << "body of " << request->GetBodyLength();
    EXPECT_GT(client.progress, 0);
    EXPECT_GE(request->GetReadBlockSize(), kMinAdaptiveBlock);
    EXPECT_LE(request->GetReadBlockSize(), kBlockLimit);
}

TEST_F(RequestTest, ByteRangesTransferExactlyTheAskedBytes) {
    struct Case {
        unsigned start;
        unsigned length;
        const char* header;
        size_t first; // of the file, for the expected body
        size_t count;
    };
    // The end value is start + length and HTTP range ends are inclusive:
    // passing the remaining length asks for exactly the rest of the file.
    const Case cases[] = {
        {1000, static_cast<unsigned>(kFileSize - 1000), "bytes=1000-300000", 1000,
         kFileSize - 1000},
        {1000, 0, "bytes=1000-", 1000, kFileSize - 1000},
        {10, 20, "bytes=10-30", 10, 21},
        {0, static_cast<unsigned>(kFileSize), "bytes=0-300000", 0, kFileSize},
    };
    ASSERT_TRUE(start());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        auto request = fetch(kContextId, "/pkg/game.pkg",
                             [&](CRequestHttx& r) { r.AddRange(c.start, c.length); });
        ASSERT_TRUE(request);
        EXPECT_EQ(request->GetErrorCode(), 0u);
        EXPECT_EQ(request->GetHttpStatus(), 206);
        EXPECT_TRUE(bodyText(*request) == file.substr(c.first, c.count))
            << "body of " << request->GetBodyLength();
    }
    const auto log = server.entries("/pkg/game.pkg", std::size(cases));
    ASSERT_EQ(log.size(), std::size(cases));
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].range, cases[i].header);
        EXPECT_EQ(log[i].status, 206);
        EXPECT_EQ(log[i].sent, static_cast<long long>(cases[i].count));
    }
}

TEST_F(RequestTest, EmptyBodyNotFoundAndHeadFinishWithoutError) {
    ASSERT_TRUE(server.writeFile("/empty.bin", ""));
    ASSERT_TRUE(start());
    struct Case {
        const char* path;
        int verb;
        int status;
        size_t bodyLength;
    };
    for (const Case& c :
         {Case{"/empty.bin", eHttpVerb_Get, 200, 0},
          Case{"/missing.bin", eHttpVerb_Get, 404, std::string("404 Not Found").size()},
          Case{"/pkg/game.pkg", eHttpVerb_Head, 200, 0}}) {
        SCOPED_TRACE(c.path);
        auto request = fetch(kContextId, c.path, [&](CRequestHttx& r) {
            r.Setup(kContextId, 5, c.path, true, c.verb, 0, kDownloaderFlags, kIgnoreCaFlags, 0,
                    false, true, nullptr, nullptr);
        });
        ASSERT_TRUE(request);
        EXPECT_EQ(request->GetErrorCode(), 0u);
        EXPECT_EQ(request->GetHttpStatus(), c.status);
        const auto log = server.entries(c.path);
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(request->GetBodyLength(), static_cast<unsigned>(log[0].sent));
        EXPECT_EQ(log[0].method, c.verb == eHttpVerb_Head ? "HEAD" : "GET");
        std::string headers;
        request->GetResponseHeaders().ToString(headers);
        EXPECT_NE(headers.find("Server: launcher-test-update-server"), std::string::npos)
            << headers;
    }
}

TEST_F(RequestTest, CompressedBodyIsDecodedByTheSystem) {
    const std::string text(20000, 'z');
    ASSERT_TRUE(server.writeFile("/terms.txt", text));
    ASSERT_TRUE(start());
    auto request = fetch(kContextId, "/terms.txt", [](CRequestHttx& r) {
        r.AddHeader("Accept-Encoding: gzip, deflate\r\n");
    });
    ASSERT_TRUE(request);
    EXPECT_EQ(request->GetHttpStatus(), 200);
    EXPECT_TRUE(bodyText(*request) == text) << "body of " << request->GetBodyLength();
    const auto log = server.entries("/terms.txt");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_LT(log[0].sent, static_cast<long long>(text.size())) << "the answer was not gzipped";
}

TEST_F(RequestTest, ConnectionClosedMidBodyKeepsThePartAndReportsAnError) {
    ASSERT_TRUE(start(R"({"rules": [{"path": "/pkg/game.pkg", "close_after": 1000}]})"));
    auto request = fetch(kContextId, "/pkg/game.pkg", [](CRequestHttx& r) { r.AddRange(0, 0); });
    ASSERT_TRUE(request);
    // The system reports the early end as the end of the body; the
    // promised Content-Length shows it was not.
    EXPECT_EQ(request->GetErrorSource(), kErrorSourceSystem);
    EXPECT_EQ(request->GetErrorCode(), static_cast<unsigned>(ERROR_INTERNET_CONNECTION_RESET));
    EXPECT_EQ(request->GetHttpStatus(), 206);
    EXPECT_LE(request->GetBodyLength(), 1000u);
    EXPECT_TRUE(bodyText(*request) == file.substr(0, request->GetBodyLength()));
    const auto log = server.entries("/pkg/game.pkg");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].outcome, "closed");
    EXPECT_EQ(log[0].sent, 1000);
}

TEST_F(RequestTest, StalledServerEndsInTimeOutOfTheRequest) {
    ASSERT_TRUE(start(R"({"rules": [{"path": "/pkg/game.pkg", "stall_after": 1000}]})"));
    auto request = fetch(kContextId, "/pkg/game.pkg", [](CRequestHttx& r) {
        r.Setup(kContextId, 5, "/pkg/game.pkg", true, eHttpVerb_Get, 2000, kDownloaderFlags,
                kIgnoreCaFlags, kReadBlockAdaptive, false, false, nullptr, nullptr);
    });
    ASSERT_TRUE(request);
    // Windows reports a receive time-out as 12002, Wine as 12030.
    EXPECT_TRUE(request->GetErrorCode() == ERROR_INTERNET_TIMEOUT ||
                request->GetErrorCode() == ERROR_INTERNET_CONNECTION_ABORTED)
        << request->GetErrorCode();
    EXPECT_EQ(request->GetErrorSource(), kErrorSourceSystem);
    EXPECT_LE(request->GetBodyLength(), 1000u);
    const auto log = server.entries("/pkg/game.pkg");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].outcome, "stalled");
}

TEST_F(RequestTest, RedirectIsReportedNotFollowedAndCountedAlongCopies) {
    ASSERT_TRUE(start(R"({"rules": [{"path": "/old.pkg", "redirect": "{base}/pkg/game.pkg"}]})"));
    auto moved = fetch(kContextId, "/old.pkg");
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->GetErrorCode(), 0u);
    EXPECT_EQ(moved->GetHttpStatus(), 302);
    EXPECT_TRUE(moved->IsRedirect());
    EXPECT_EQ(moved->GetRedirectCount(), 1);
    std::string location;
    moved->GetLocation().ToString(location);
    EXPECT_EQ(location, server.baseUrl() + "/pkg/game.pkg");
    EXPECT_TRUE(server.entries("/pkg/game.pkg", 1, 500).empty()) << "the redirect was followed";

    // The follow-up request the downloader makes: a copy of the old one at
    // the new location.
    CUrlComponents target;
    ASSERT_TRUE(target.Parse(location.c_str()));
    std::unique_ptr<CRequestHttx> next;
    ASSERT_TRUE(client.CreateRequest(next, moved.get()));
    ASSERT_TRUE(next->SetRelativeUrl(target.GetRequestPath().c_str()));
    ASSERT_TRUE(client.SendRequest(std::move(next)));
    auto arrived = client.takeCompleted();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(arrived->GetHttpStatus(), 200);
    EXPECT_EQ(arrived->GetRedirectCount(), 1);
    EXPECT_TRUE(bodyText(*arrived) == file);
}

// Announced by the server, streamed from nothing. Paced: Wine's WinINet,
// closing a request whose body is not read to its end, reads on as long as
// bytes are waiting, and a loopback server at full speed keeps that up for
// hundreds of MB.
constexpr long long kHugeAnswer = 2147483648LL;
// Far below the huge answer: what a process that held it would show.
constexpr uint64_t kFarBelowHuge = 1ull << 30;

// The verdict the transport side recorded.
EAnswerVerdict verdictOf(IRequestHttx& request) {
    return dynamic_cast<CRequestHttx&>(request).GetAnswerVerdict();
}

TEST_F(RequestTest, RangeAnswerIsTheAskedRangeOrNothing) {
    ASSERT_TRUE(server.writeFile("/ignored.pkg", file));
    ASSERT_TRUE(start(R"({"rules": [
        {"path": "/whole.bin", "filler": 2147483648, "rate": 4000000},
        {"path": "/ignored.pkg", "ignore_range": true},
        {"path": "/shifted.pkg", "status": 206, "body": "xyz",
         "headers": {"Content-Range": "bytes 7-9/300000"}},
        {"path": "/garbled.pkg", "status": 206, "body": "xyz",
         "headers": {"Content-Range": "bytes 1000-1002/300000 junk"}}]})"));
    struct Case {
        const char* path;
        unsigned start;
        unsigned length;
        int status;
        EAnswerVerdict verdict;
        std::string body;
    };
    const Case cases[] = {
        // A server that ignores ranges: at offset 0 its first bytes are the
        // asked ones, and only those are read of the 2 GB.
        {"/whole.bin", 0, 5000, 200, EAnswerVerdict::eAccept, fillerBytes(5001)},
        {"/ignored.pkg", 0, 5000, 200, EAnswerVerdict::eAccept, file.substr(0, 5001)},
        {"/ignored.pkg", 1000, 5000, 200, EAnswerVerdict::eWholeBody, ""},
        {"/shifted.pkg", 1000, 5000, 206, EAnswerVerdict::eWrongRange, ""},
        {"/shifted.pkg", 7, 5000, 206, EAnswerVerdict::eAccept, "xyz"},
        {"/garbled.pkg", 1000, 2, 206, EAnswerVerdict::eWrongRange, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.path << " from " << c.start);
        auto request =
            fetch(kContextId, c.path, [&](CRequestHttx& r) { r.AddRange(c.start, c.length); });
        ASSERT_TRUE(request);
        EXPECT_EQ(request->GetHttpStatus(), c.status);
        EXPECT_EQ(request->GetErrorCode(), 0u);
        EXPECT_EQ(verdictOf(*request), c.verdict);
        EXPECT_EQ(request->GetErrorSource(),
                  c.verdict == EAnswerVerdict::eAccept ? kErrorSourceNone : kErrorSourceAnswer);
        EXPECT_TRUE(bodyText(*request) == c.body) << "body of " << request->GetBodyLength();
    }
    // The rest of the 2 GB was never read: the connection was dropped.
    const auto whole = server.entries("/whole.bin");
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].length, kHugeAnswer);
    EXPECT_EQ(whole[0].outcome, "client-gone");
    EXPECT_LT(whole[0].sent, kHugeAnswer / 2);
}

TEST_F(RequestTest, OversizedAnswerIsRefusedWithoutBeingHeld) {
    constexpr uint64_t kCap = 64u << 20;
    constexpr uint64_t kPageCap = 1u << 20;
    ASSERT_TRUE(start(R"({"rules": [
        {"path": "/announced.rxml", "filler": 2147483648, "rate": 4000000},
        {"path": "/unannounced.rxml", "filler": 83886080, "no_length": true},
        {"path": "/fits.rxml", "filler": 67108864, "no_length": true},
        {"path": "/busy", "status": 503, "filler": 2147483648, "rate": 4000000},
        {"path": "/busy-unannounced", "status": 503, "filler": 2097152, "no_length": true}]})"));
    struct Case {
        const char* path;
        int status;
        EAnswerVerdict verdict;
        unsigned body;
    };
    const Case cases[] = {
        {"/announced.rxml", 200, EAnswerVerdict::eTooLarge, 0},
        {"/unannounced.rxml", 200, EAnswerVerdict::eTooLarge, 0},
        {"/fits.rxml", 200, EAnswerVerdict::eAccept, static_cast<unsigned>(kCap)},
        {"/busy", 503, EAnswerVerdict::eTooLarge, 0},
        {"/busy-unannounced", 503, EAnswerVerdict::eTooLarge, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        auto request =
            fetch(kContextId, c.path, [&](CRequestHttx& r) { r.SetBodyLimits(kCap, kPageCap); });
        ASSERT_TRUE(request);
        EXPECT_EQ(request->GetHttpStatus(), c.status);
        EXPECT_EQ(verdictOf(*request), c.verdict);
        EXPECT_EQ(request->GetBodyLength(), c.body);
        EXPECT_EQ(request->GetErrorSource(),
                  c.verdict == EAnswerVerdict::eAccept ? kErrorSourceNone : kErrorSourceAnswer);
    }
    // An announced length over the cap is refused before its body is read.
    for (const char* path : {"/announced.rxml", "/busy"}) {
        const auto log = server.entries(path);
        ASSERT_EQ(log.size(), 1u) << path;
        EXPECT_EQ(log[0].length, kHugeAnswer) << path;
        EXPECT_LT(log[0].sent, kHugeAnswer / 2) << path;
    }
    testwin::SPeakMemory peak;
    ASSERT_TRUE(testwin::readPeakMemory(::GetCurrentProcess(), peak));
    EXPECT_LT(peak.workingSet, kFarBelowHuge);
    EXPECT_LT(peak.committed, kFarBelowHuge);
}

class HttpsRequestTest : public RequestTest {};

TEST_F(HttpsRequestTest, SelfSignedCertificateIsAcceptedOnlyWithTheIgnoreFlag) {
    ASSERT_TRUE(startServer({}, true));
    ASSERT_EQ(server.baseUrl().rfind("https://", 0), 0u);
    ASSERT_TRUE(createContext(kContextId, server.baseUrl()));
    struct Case {
        unsigned securityFlags;
        unsigned error;
        int status;
    };
    // Without the flag first: a kept-alive connection of an accepted
    // certificate would be reused without a new check.
    for (const Case& c : {Case{0, ERROR_INTERNET_INVALID_CA, 0}, Case{kIgnoreCaFlags, 0, 200}}) {
        SCOPED_TRACE(c.securityFlags);
        auto request = fetch(kContextId, "/pkg/game.pkg", [&](CRequestHttx& r) {
            r.Setup(kContextId, 5, "/pkg/game.pkg", true, eHttpVerb_Get, 0, kDownloaderFlags,
                    c.securityFlags, 0, false, false, nullptr, nullptr);
        });
        ASSERT_TRUE(request);
        EXPECT_EQ(request->GetErrorCode(), c.error);
        EXPECT_EQ(request->GetHttpStatus(), c.status);
        if (c.status == 200) {
            EXPECT_TRUE(bodyText(*request) == file);
        }
    }
    const auto log = server.entries("/pkg/game.pkg");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].sent, static_cast<long long>(kFileSize));
}

} // namespace
