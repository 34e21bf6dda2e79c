#include "net/download/download_rules.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace NetEx;

namespace {

TEST(DownloadRules, FinishedRequestLeadsToItsStep) {
    struct Case {
        int kind;
        int errorSource;
        unsigned errorCode;
        int status;
        EDoneAction action;
    };
    const Case cases[] = {
        {0, 0, 0, 200, EDoneAction::Discard},
        {7, 0, 0, 200, EDoneAction::Discard},
        {-1, 4, 12029, 0, EDoneAction::Discard},
        {4, 0, 0, 200, EDoneAction::Deliver},
        {5, 0, 0, 206, EDoneAction::Deliver},
        {2, 0, 0, 0, EDoneAction::Deliver},
        {4, 0, 0, 302, EDoneAction::Redirect},
        {4, 0, 0, 399, EDoneAction::Redirect},
        {4, 0, 0, 400, EDoneAction::Fail},
        {4, 0, 0, 199, EDoneAction::Fail},
        {3, 0, 0, 503, EDoneAction::Fail},
        // A broken transfer fails even after a good status or a redirect.
        {5, 4, 12031, 206, EDoneAction::Fail},
        {4, 0, 12002, 302, EDoneAction::Fail},
        {1, 4, 0, 200, EDoneAction::Fail},
        // A refused answer: a document over its size goes the way of a
        // damaged one; a wrong range or an oversized page fails.
        {4, 5, 0, 200, EDoneAction::Damaged},
        {1, 5, 0, 200, EDoneAction::Damaged},
        {3, 5, 0, 200, EDoneAction::Damaged},
        {5, 5, 0, 200, EDoneAction::Refused},
        {5, 5, 0, 206, EDoneAction::Refused},
        {4, 5, 0, 503, EDoneAction::Refused},
        {2, 5, 0, 0, EDoneAction::Refused},
        {9, 5, 0, 200, EDoneAction::Discard},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(classifyRequestDone(c.kind, c.errorSource, c.errorCode, c.status), c.action)
            << "kind " << c.kind << " source " << c.errorSource << " code " << c.errorCode
            << " status " << c.status;
    }
}

TEST(DownloadRules, AtMostTwoRedirectsAreFollowed) {
    EXPECT_TRUE(mayFollowRedirect("http://b/x", 1));
    EXPECT_TRUE(mayFollowRedirect("/x", 2));
    EXPECT_FALSE(mayFollowRedirect("http://b/x", 3));
    EXPECT_FALSE(mayFollowRedirect("", 1));
}

TEST(DownloadRules, FailureFollowUps) {
    struct Case {
        int kind;
        unsigned kbFileSize;
        int status;
        bool refused;
        bool withoutSize;
        bool partial;
        bool answerText;
    };
    const Case cases[] = {
        // The size probe failing is no failure of the download.
        {2, kFileSizeNotProbed, 500, false, true, false, false},
        {2, kFileSizeUnknown, 503, false, false, false, true},
        {2, 1234, 404, false, false, false, false},
        // A package range that broke after a good start keeps its part.
        {5, 0, 0, false, false, true, false},
        {5, 0, 206, false, false, true, false},
        {5, 0, 200, false, false, true, false},
        {5, 0, 416, false, false, false, false},
        {5, 0, 502, false, false, false, true},
        {4, 0, 503, false, false, false, true},
        {4, 0, 0, false, false, false, false},
        {4, 0, 302, false, false, false, false},
        // Nothing of a refused answer is handed on.
        {5, 0, 200, true, false, false, false},
        {5, 0, 206, true, false, false, false},
        {4, 0, 503, true, false, false, false},
    };
    for (const Case& c : cases) {
        const SFailurePlan plan = planFailure(c.kind, c.kbFileSize, c.status, c.refused);
        EXPECT_EQ(plan.fetchWithoutSize, c.withoutSize) << c.kind << " " << c.status;
        EXPECT_EQ(plan.deliverPartial, c.partial) << c.kind << " " << c.status;
        EXPECT_EQ(plan.keepAnswerText, c.answerText) << c.kind << " " << c.status;
    }
}

TEST(DownloadRules, SizeFromTheProbeAnswer) {
    struct Case {
        const char* head;
        unsigned size;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 1048576\r\n\r\n", 1048576},
        {"HTTP/1.1 200 OK\r\nServer: x\r\ncontent-length: 77\r\n\r\n", 77},
        {"HTTP/1.1 200 OK\r\nCONTENT-LENGTH:  42 \r\n\r\n", 42},
        {"HTTP/1.1 200 OK\r\nServer: x\r\n\r\n", kFileSizeUnknown},
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", kFileSizeUnknown},
        {"HTTP/1.1 200 OK\r\nContent-Length: 12ab\r\n\r\n", kFileSizeUnknown},
        {"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", kFileSizeUnknown},
        // Beyond what the progress counters hold.
        {"HTTP/1.1 200 OK\r\nContent-Length: 4294967295\r\n\r\n", kFileSizeUnknown},
        {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n", kFileSizeUnknown},
        // A shorter name is not the header.
        {"HTTP/1.1 200 OK\r\nContent: 5\r\n\r\n", kFileSizeUnknown},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5", kFileSizeUnknown},
        {"", kFileSizeUnknown},
        {"garbage\r\n\r\n", kFileSizeUnknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fileSizeFromHead(c.head), c.size) << c.head;
}

TEST(DownloadRules, EachDocumentHasItsCap) {
    EXPECT_EQ(maxAnswerBody(eDownload_UpdateXml), 64u << 20);
    EXPECT_EQ(maxAnswerBody(eDownload_CUDFile), 1u << 20);
    EXPECT_EQ(maxAnswerBody(eDownload_License), 1u << 20);
    EXPECT_EQ(maxAnswerBody(eDownload_Update), 0u) << "bounded by its range";
    EXPECT_EQ(maxAnswerBody(eDownload_KB), 0u);
}

TEST(DownloadRules, HeaderOfACapturedHead) {
    const std::string head = "HTTP/1.1 206 Partial Content\r\ncontent-range: bytes 5-9/10\r\n"
                             "Content-Length: 5\r\n\r\n";
    EXPECT_EQ(headerValue(head, "Content-Range"), "bytes 5-9/10");
    EXPECT_EQ(headerValue(head, "Content-Length"), "5");
    EXPECT_EQ(headerValue(head, "Content"), std::nullopt);
    EXPECT_EQ(headerValue("HTTP/1.1 200 OK\r\n\r\n", "Content-Range"), std::nullopt);
    EXPECT_EQ(headerValue("garbage", "Content-Range"), std::nullopt);
}

TEST(DownloadRules, RefusedAnswersAreNamedInTheLog) {
    struct Case {
        int kind;
        int status;
        std::optional<std::string> contentRange;
        std::string line;
    };
    const Case cases[] = {
        {5, 200, std::nullopt,
         "CDownloader: answer refused: /p.pkg, status 200, Content-Range: none, asked from byte "
         "16777217"},
        {5, 206, "bytes 0-99/100",
         "CDownloader: answer refused: /p.pkg, status 206, Content-Range: bytes 0-99/100, asked "
         "from byte 16777217"},
        // A hostile value stays one short printable line.
        {5, 206, "bytes \x01" + std::string(200, '9'),
         "CDownloader: answer refused: /p.pkg, status 206, Content-Range: bytes ?" +
             std::string(73, '9') + "..., asked from byte 16777217"},
        {4, 200, std::nullopt,
         "CDownloader: answer refused: /p.pkg, status 200, larger than 67108864 bytes"},
        {1, 200, std::nullopt,
         "CDownloader: answer refused: /p.pkg, status 200, larger than 1048576 bytes"},
        {5, 503, std::nullopt,
         "CDownloader: answer refused: /p.pkg, status 503, a page larger than 1048576 bytes"},
        {4, 0, std::nullopt, "CDownloader: answer refused: /p.pkg, status 0, no readable status"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(refusedAnswerText(c.kind, "/p.pkg", c.status, c.contentRange, 16777217), c.line);
    EXPECT_EQ(ignoredRangeText(200, 16777217),
              "CDownloader::DownloadUpdate: the server ignored the range (status 200), its first "
              "16777217 bytes kept");
}

TEST(DownloadRules, TextsOfTheRequestsAndTheLog) {
    EXPECT_EQ(cacheBreakerArg(1765000000123), "1765000000123");
    EXPECT_EQ(rangeLogText("/pkg/a.pkg?part", 1000, 0), "/pkg/a.pkg?part (begin: 1000, length: 0)");
    EXPECT_EQ(rangeLogText("/b", 4000000000u, 5), "/b (begin: 4000000000, length: 5)");
    EXPECT_EQ(rangeLogText("/c", 6000000000ull, 5), "/c (begin: 6000000000, length: 5)");
}

} // namespace
