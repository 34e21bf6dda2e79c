#include "net/http_log_text.h"

#include "net/log_mask.h"
#include "net/request_httx.h"
#include "net/request_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace NetEx;

class CTestRequest : public CRequestHttxBase {
public:
    void receive(int status, const std::string& headers, const std::string& body) {
        httpStatus = status;
        responseHeaders.Append(headers.data(), static_cast<unsigned>(headers.size()));
        responseHeaders.AppendZeros(2);
        responseBody.Append(body.data(), static_cast<unsigned>(body.size()));
        bytesReceived = static_cast<unsigned>(body.size());
    }
};

std::string joined(const SLogEntry& entry) {
    std::string text;
    for (const std::string& piece : entry.pieces)
        text += piece;
    return text;
}

TEST(HttpLogFileName, HostileBytesBecomeDashes) {
    struct Case {
        std::string name;
        const char* file;
    };
    for (const Case& c : {
             Case{"Httx.a/b", "42.Httx.a-b.log"},
             Case{"Httx.\"q\":<>\\|", "42.Httx.-q------.log"},
             Case{"Httx.\x01\x1e\x1f ok", "42.Httx.--\x1f ok.log"},
             Case{"Httx.\xc3\xa9t\xc3\xa9", "42.Httx.--t--.log"},
             Case{"Httx.CLogic thread", "42.Httx.CLogic thread.log"},
         }) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(httpLogFileName(42, c.name), c.file);
    }
}

TEST(HttpLogContextName, FromGivenNameOrId) {
    EXPECT_EQ(contextName("CLogic thread", 0), "Httx.CLogic thread");
    EXPECT_EQ(contextName("", 7), "Httx.Context7");
    EXPECT_EQ(contextName("", -3), "Httx.Context-3");
}

TEST(HttpLogEntries, ContextEntries) {
    const std::string url = "http://srv:81/u?k=1";
    const SLogEntry created = contextEntry("Creating context", &url, 3, "?k=1", 15000, 4194304);
    EXPECT_EQ(created.title, "Creating context");
    EXPECT_EQ(joined(created), "Url:  http://srv:81/u?k=1\r\nId:   3\r\nArgs: ?k=1\r\n"
                               "T/o:  15000\r\nBGS:  4194304\r\n");
    const SLogEntry modified = contextEntry("Modifying context", nullptr, 3, "", 1, 2);
    EXPECT_EQ(joined(modified), "Id:   3\r\nArgs: \r\nT/o:  1\r\nBGS:  2\r\n");
}

TEST(HttpLogEntries, SendingWithoutCookiesLogsExtraHeaderThenHeadersAndBody) {
    CTestRequest r;
    r.Setup(0, 5, "/update.rxml?123", true, eHttpVerb_Post, 0, kInternetFlagNoCookies, 0, 0, false,
            false, nullptr, nullptr);
    r.SetExtraHeaderText("X-Extra: 1");
    r.AddHeader("Accept: application/xml\r\n");
    r.AppendBody("abc", 3);
    const SLogEntry entry = sendingEntry(r, "ignored=1", 4096);
    EXPECT_EQ(entry.title, "Sending request >>>");
    EXPECT_EQ(joined(entry), "Path: /update.rxml?123\r\nType: POST\r\nId:   5\r\n"
                             "X-Extra: 1\r\nHeader:\r\nAccept: application/xml\r\n"
                             "Size: 3\r\nData:\r\nabc\r\n");
    // The body is its own piece, so the log's block limit cuts only it.
    EXPECT_EQ(entry.pieces[entry.pieces.size() - 2], "abc");
}

TEST(HttpLogEntries, SendingWithCookiesAndNothingElse) {
    CTestRequest r;
    r.Setup(0, 1, "/x", true, eHttpVerb_Get, 0, 0, 0, 0, false, false, nullptr, nullptr);
    EXPECT_EQ(joined(sendingEntry(r, "a=1; b=2", 0)),
              "Path: /x\r\nType: GET\r\nId:   1\r\nIE Cookie:\r\na=1; b=2\r\n");
}

TEST(HttpLogEntries, RequestLifecycleEntries) {
    CTestRequest r;
    r.Setup(0, 9, "/f.pkg", true, eHttpVerb_Get, 0, 0, 0, 0, false, true, nullptr, nullptr);
    EXPECT_EQ(joined(requestEntry("Request completed", r)), "Path: /f.pkg\r\nId:   9\r\n");
    r.receive(206, "HTTP/1.1 206 Partial\r\nX: y\r\n\r\n", "0123");
    EXPECT_EQ(joined(progressEntry(r)), "Path: /f.pkg\r\nId:   9\r\nSize: 4\r\n");
    EXPECT_EQ(joined(dataReceivedEntry(r, 0)),
              "Path: /f.pkg\r\nId:   9\r\nHttx: 206\r\nHeader:\r\n"
              "HTTP/1.1 206 Partial\r\nX: y\r\n\r\nSize: 4\r\nData:\r\n0123\r\n");
    EXPECT_EQ(joined(redirectedEntry("http://other/x", 9)), "Url:  http://other/x\r\nId:   9\r\n");
    // A body longer than the log's block is cut to it; its size stays whole.
    EXPECT_EQ(joined(dataReceivedEntry(r, 3)),
              "Path: /f.pkg\r\nId:   9\r\nHttx: 206\r\nHeader:\r\n"
              "HTTP/1.1 206 Partial\r\nX: y\r\n\r\nSize: 4\r\nData:\r\n012\r\n");
}

TEST(HttpLogEntries, EmptyBodyHasNoDataLines) {
    CTestRequest r;
    r.Setup(0, 2, "/e", true, eHttpVerb_Get, 0, 0, 0, 0, false, false, nullptr, nullptr);
    r.receive(200, "", "");
    EXPECT_EQ(joined(dataReceivedEntry(r, 0)), "Path: /e\r\nId:   2\r\nHttx: 200\r\n");
}

TEST(HttpLogErrors, LabelByRange) {
    struct Case {
        uint32_t code;
        const char* first;
    };
    for (const Case& c :
         {Case{10060, "Winsock error 10060:\r\n"}, Case{11999, "Winsock error 11999:\r\n"},
          Case{12000, "WinInet error 12000:\r\n"}, Case{12174, "WinInet error 12174:\r\n"},
          Case{12175, "Error 12175:\r\n"}, Case{5, "Error 5:\r\n"}}) {
        SCOPED_TRACE(c.code);
        const auto pieces = errorPieces(c.code, "The text.\r\n");
        ASSERT_EQ(pieces.size(), 2u);
        EXPECT_EQ(pieces[0], c.first);
        EXPECT_EQ(pieces[1], "The text.\r\n");
    }
    EXPECT_EQ(errorPieces(12002, "\r\n"), std::vector<std::string>{"WinInet error 12002:\r\n"});
    EXPECT_TRUE(errorPieces(0, "x").empty());
    EXPECT_EQ(errorPieces(0xFFFFFFFF, "x"), std::vector<std::string>{"Failed\r\n"});
}

TEST(HttpLogMask, ReplacesMatchesLimitsInputAndHidesOnBadPattern) {
    EXPECT_EQ(maskLogText("user=a&pass=secret&x=1", "pass=[^&]*", "pass=***", 0),
              "user=a&pass=***&x=1");
    EXPECT_EQ(maskLogText("aaaaaaaa", "a", "b", 3), "bbbb");
    const std::string hidden = maskLogText("pass=secret", "(unclosed", "", 0);
    EXPECT_EQ(hidden.find("secret"), std::string::npos);
    EXPECT_FALSE(hidden.empty());
}

TEST(HttpLogMask, RequestBodyIsMaskedInTheLogOnly) {
    CTestRequest r;
    r.Setup(0, 1, "/login", true, eHttpVerb_Post, 0, kInternetFlagNoCookies, 0, 0, false, false,
            "pw=\\w+", "pw=*");
    r.AppendBody("pw=hunter2", 10);
    EXPECT_EQ(joined(sendingEntry(r, "", 0)), "Path: /login\r\nType: POST\r\nId:   1\r\n"
                                              "Size: 10\r\nData:\r\npw=*\r\n");
    std::string sent;
    r.GetRequestBody().ToString(sent);
    EXPECT_EQ(sent, "pw=hunter2");
}

} // namespace
