#include "net/pico_http_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using NetEx::CPicoHttpParser;

std::string nameOf(const phr_header& header) {
    return header.name ? std::string(header.name, header.name_len) : "<null>";
}
std::string valueOf(const phr_header& header) {
    return std::string(header.value, header.value_len);
}

int parse(CPicoHttpParser& parser, const std::string& head) {
    return parser.ParseResponse(head.data(), static_cast<int>(head.size()));
}

TEST(PicoHttpParser, ReadsStatusLines) {
    struct Case {
        const char* head;
        int result;
        int minor;
        int status;
        const char* reason;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\n\r\n", 0, 1, 200, "OK"},
        {"HTTP/1.0 503 Service Unavailable\r\n\r\n", 0, 0, 503, "Service Unavailable"},
        {"HTTP/1.1 404 \n\n", 0, 1, 404, ""},
        {"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-9/10\r\n\r\n", 0, 1, 206,
         "Partial Content"},
        {"HTTP/2.0 200 OK\r\n\r\n", -1, -1, 0, ""},
        {"HTTP/1.x 200 OK\r\n\r\n", -1, -1, 0, ""},
        {"http/1.1 200 OK\r\n\r\n", -1, -1, 0, ""},
        {"HTTP/1.1 20 OK\r\n\r\n", -1, -1, 0, ""},
        {"HTTP/1.1 2000 OK\r\n\r\n", -1, -1, 0, ""},
        {"HTTP/1.1  200 OK\r\n\r\n", -1, -1, 0, ""},
        {"HTTP/1.1 200 OK\r\nBad Name: x\r\n\r\n", -1, -1, 0, ""},
        {"HTTP/1.1 200 OK\r\n: no name\r\n\r\n", -1, -1, 0, ""},
        {"HTTP/1.1 200 OK\r\nHost: x\r\n", -2, -1, 0, ""},
        {"HTTP/1.1 200 OK", -2, -1, 0, ""},
        {"HTTP/1.", -2, -1, 0, ""},
        {"", -2, -1, 0, ""},
    };
    for (const Case& c : cases) {
        CPicoHttpParser parser;
        const std::string head = c.head; // the results point into it
        EXPECT_EQ(parse(parser, head), c.result) << c.head;
        EXPECT_EQ(parser.GetResult(), c.result) << c.head;
        EXPECT_EQ(parser.GetMinorVersion(), c.minor) << c.head;
        EXPECT_EQ(parser.GetStatus(), c.status) << c.head;
        EXPECT_EQ(parser.GetReason(), c.reason) << c.head;
        EXPECT_EQ(parser.GetHeadBytes(), c.result == 0 ? static_cast<int>(strlen(c.head)) : 0)
            << c.head;
    }
}

TEST(PicoHttpParser, ReadsHeadersAndStopsAtTheBlankLine) {
    const std::string head = "HTTP/1.1 200 OK\r\n"
                             "Content-Type: text/xml\r\n"
                             "X-Folded: first\r\n"
                             " second\r\n"
                             "Content-Length:   1234  \r\n"
                             "\r\n";
    const std::string answer = head + "<xml/>";
    CPicoHttpParser parser;
    ASSERT_EQ(parse(parser, answer), 0);
    EXPECT_EQ(parser.GetHeadBytes(), static_cast<int>(head.size()));
    ASSERT_EQ(parser.GetHeaderCount(), 4);
    EXPECT_EQ(nameOf(parser.GetHeader(0)), "Content-Type");
    EXPECT_EQ(valueOf(parser.GetHeader(0)), "text/xml");
    EXPECT_EQ(nameOf(parser.GetHeader(2)), "<null>") << "a continuation line has no name";
    // This library version drops only the blanks after the colon.
    EXPECT_EQ(valueOf(parser.GetHeader(2)), " second");
    EXPECT_EQ(valueOf(parser.GetHeader(3)), "1234  ");
}

TEST(PicoHttpParser, FindsContentLengthByItsWholeNameInAnyCase) {
    struct Case {
        const char* headers;
        const char* expected; // null: not found
    };
    const Case cases[] = {
        {"content-length: 42\r\n", "42"},
        {"CONTENT-LENGTH: 7\r\nContent-Length: 8\r\n", "7"},
        {"Content-Type: a\r\n b\r\nContent-Length: 9\r\n", "9"}, // after a continuation line
        {"Content: 1\r\nContent-Lengths: 2\r\nC: 3\r\n", nullptr},
        {"Content-Type: text/plain\r\n", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        CPicoHttpParser parser;
        const std::string head = std::string("HTTP/1.1 200 OK\r\n") + c.headers + "\r\n";
        ASSERT_EQ(parse(parser, head), 0) << c.headers;
        const phr_header* found = parser.FindContentLength();
        if (c.expected == nullptr) {
            EXPECT_EQ(found, nullptr) << c.headers;
        } else {
            ASSERT_NE(found, nullptr) << c.headers;
            EXPECT_EQ(valueOf(*found), c.expected) << c.headers;
        }
    }
}

TEST(PicoHttpParser, ResumesAnIncompleteHead) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n";
    CPicoHttpParser parser;
    for (size_t cut : {10u, 20u, 37u}) {
        EXPECT_EQ(parser.ParseResponse(head.data(), static_cast<int>(cut)), -2) << cut;
        EXPECT_EQ(parser.FindContentLength(), nullptr) << cut;
    }
    ASSERT_EQ(parse(parser, head), 0);
    ASSERT_NE(parser.FindContentLength(), nullptr);
    // A shorter buffer afterwards is a new head, never read past its end.
    EXPECT_EQ(parser.ParseResponse(head.data(), 30), -2);
    EXPECT_EQ(parser.ParseResponse(head.data(), 4), -2);
    EXPECT_EQ(parse(parser, "HTTP/1.1 204 No Content\r\n\r\n"), 0);
    EXPECT_EQ(parser.GetStatus(), 204);
}

TEST(PicoHttpParser, LimitsTheHeaderTable) {
    auto headWith = [](int count) {
        std::string head = "HTTP/1.1 200 OK\r\n";
        for (int i = 0; i < count; ++i)
            head += "X-H" + std::to_string(i) + ": v\r\n";
        return head + "\r\n";
    };
    CPicoHttpParser parser;
    ASSERT_EQ(parse(parser, headWith(32)), 0);
    EXPECT_EQ(parser.GetHeaderCount(), 32);
    EXPECT_EQ(parse(parser, headWith(33)), -3);
    EXPECT_EQ(parser.GetHeaderCount(), 0);
    EXPECT_EQ(parser.FindContentLength(), nullptr);
    EXPECT_EQ(parse(parser, headWith(1000)), -3);
}

TEST(PicoHttpParser, SurvivesOversizedAndHostileInput) {
    CPicoHttpParser parser;
    const std::string huge = "HTTP/1.1 200 OK\r\nX-Big: " + std::string(1 << 20, 'a') + "\r\n\r\n";
    ASSERT_EQ(parse(parser, huge), 0);
    EXPECT_EQ(parser.GetHeader(0).value_len, size_t{1} << 20);
    // Never ends: stays incomplete however long.
    EXPECT_EQ(parse(parser, huge.substr(0, huge.size() - 2)), -2);
    EXPECT_EQ(parse(parser, std::string("HTTP/1.1 200 OK\r\nA: \0b\r\n\r\n", 26)), -1);
    EXPECT_EQ(parser.ParseResponse(nullptr, 10), -1);
    EXPECT_EQ(parser.ParseResponse("HTTP/1.1 200 OK\r\n\r\n", -1), -1);
}

} // namespace
