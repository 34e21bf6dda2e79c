// Requests through the real transport against the project's test update
// server on loopback; the server's access log shows what went over the wire.
#include "net_test_client_win.h"

#include "net/request_rules.h"

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
