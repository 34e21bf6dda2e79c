#include "net/download/download_rules.h"

#include <gtest/gtest.h>

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
        bool withoutSize;
        bool partial;
        bool answerText;
    };
    const Case cases[] = {
        // The size probe failing is no failure of the download.
        {2, kFileSizeNotProbed, 500, true, false, false},
        {2, kFileSizeUnknown, 503, false, false, true},
        {2, 1234, 404, false, false, false},
        // A package range that broke after a good start keeps its part.
        {5, 0, 0, false, true, false},
        {5, 0, 206, false, true, false},
        {5, 0, 200, false, true, false},
        {5, 0, 416, false, false, false},
        {5, 0, 502, false, false, true},
        {4, 0, 503, false, false, true},
        {4, 0, 0, false, false, false},
        {4, 0, 302, false, false, false},
    };
    for (const Case& c : cases) {
        const SFailurePlan plan = planFailure(c.kind, c.kbFileSize, c.status);
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

TEST(DownloadRules, TextsOfTheRequestsAndTheLog) {
    EXPECT_EQ(cacheBreakerArg(1765000000123), "1765000000123");
    EXPECT_EQ(rangeLogText("/pkg/a.pkg?part", 1000, 0), "/pkg/a.pkg?part (begin: 1000, length: 0)");
    EXPECT_EQ(rangeLogText("/b", 4000000000u, 5), "/b (begin: 4000000000, length: 5)");
}

} // namespace
