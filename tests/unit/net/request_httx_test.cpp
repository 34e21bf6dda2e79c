#include "net/request_httx.h"

#include "net/request_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace NetEx;

// Exposes the response side, which only the transport fills.
class CTestRequest : public CRequestHttxBase {
public:
    CTestRequest() = default;
    explicit CTestRequest(const CRequestHttxBase& pattern) : CRequestHttxBase(pattern) {}
    void finishWith(int status, const std::string& body) {
        httpStatus = status;
        state = eRequest_Finished;
        errorCode = 12031;
        errorSource = kErrorSourceSystem;
        responseBody.Append(body.data(), static_cast<unsigned>(body.size()));
        responseHeaders.Append("H", 1);
    }
};

std::string text(const CBuffer& buffer) {
    std::string out;
    buffer.ToString(out);
    return out;
}

constexpr unsigned kDownloaderFlags = 0x80283000;
constexpr unsigned kIgnoreCaFlags = 0x180;

TEST(RequestSetup, FillsEverythingAndReadBlockModes) {
    struct Case {
        int readBlock;
        bool adaptive;
        unsigned blockSize;
    };
    for (const Case& c : {Case{kReadBlockAdaptive, true, kMinAdaptiveBlock}, Case{0, false, 0},
                          Case{102400, false, 102400}}) {
        SCOPED_TRACE(c.readBlock);
        CTestRequest r;
        r.Setup(7, 5, "/pkg/game.pkg?v=1", false, eHttpVerb_Head, 0, kDownloaderFlags,
                kIgnoreCaFlags, c.readBlock, true, false, nullptr, "");
        EXPECT_EQ(r.GetContextId(), 7);
        EXPECT_EQ(r.GetRequestId(), 5);
        EXPECT_EQ(r.GetRelativeUrl().GetRequestPath(), "/pkg/game.pkg?v=1");
        EXPECT_EQ(r.GetFullUrl().GetUrl(), "/pkg/game.pkg?v=1");
        EXPECT_FALSE(r.GetMergeArgs());
        EXPECT_EQ(r.GetVerb(), eHttpVerb_Head);
        EXPECT_EQ(r.GetFlags(), kDownloaderFlags);
        EXPECT_EQ(r.GetSecurityFlags(), kIgnoreCaFlags);
        EXPECT_EQ(r.IsAdaptiveRead(), c.adaptive);
        EXPECT_EQ(r.GetReadBlockSize(), c.blockSize);
        EXPECT_EQ(r.GetLogMaskPattern(), "");
    }
}

TEST(RequestSetup, DefaultsAndFullUrlKeptOnceSet) {
    CTestRequest r;
    EXPECT_EQ(r.GetContextId(), -1);
    EXPECT_EQ(r.GetRequestId(), -1);
    EXPECT_TRUE(r.GetMergeArgs());
    ASSERT_TRUE(r.SetFullUrl("http://srv/a"));
    ASSERT_TRUE(r.SetRelativeUrl("/b"));
    EXPECT_EQ(r.GetFullUrl().GetUrl(), "http://srv/a");
    EXPECT_EQ(r.GetRelativeUrl().GetUrl(), "/b");
    r.SetArgs("x=1&y");
    EXPECT_EQ(r.GetRelativeUrl().GetRequestPath(), "/b?x=1&y");
    EXPECT_FALSE(r.SetRelativeUrl("http://h:bad/"));
}

TEST(RequestHeadersBuild, AppendsLinesInOrderAndIgnoresEmpty) {
    CTestRequest r;
    r.AddHeader("Accept: application/xml\r\n");
    r.AddHeader(nullptr);
    r.AddHeader("");
    r.AddRange(1000, 500);
    r.AddRange(1000, 0);
    r.AddContentLength(3);
    r.SetExtraHeaderText(nullptr);
    r.SetExtraHeaderText("X-A: 1\r\n");
    r.SetExtraHeaderText("");
    EXPECT_EQ(text(r.GetRequestHeaders()), "Accept: application/xml\r\n"
                                           "Range: bytes=1000-1500\r\n"
                                           "Range: bytes=1000-\r\n"
                                           "Content-Length: 3\r\n");
    EXPECT_EQ(r.GetExtraHeaderText(), "X-A: 1\r\n");
}

TEST(RequestBody, AppendAndAttach) {
    CTestRequest r;
    r.AppendBody("abc", 3);
    r.AppendBody(nullptr, 3);
    r.AppendBody("x", 0);
    EXPECT_EQ(text(r.GetRequestBody()), "abc");
    CBuffer other;
    other.Append("zz", 2);
    r.AttachBody(other);
    EXPECT_EQ(text(r.GetRequestBody()), "zz");
    EXPECT_EQ(other.GetLength(), 0u);
}

TEST(RequestMultipart, NeedsABoundaryAndFramesParts) {
    CTestRequest r;
    EXPECT_FALSE(r.AddFormPart("f", "a.bin", "application/octet-stream"));
    EXPECT_FALSE(r.EndMultipart());
    EXPECT_EQ(r.GetRequestBody().GetLength(), 0u);

    r.SetMultipartBoundary("XyZ");
    EXPECT_FALSE(r.AddFormPart("", nullptr, "text/plain"));
    EXPECT_FALSE(r.AddFormPart("f", nullptr, nullptr));
    ASSERT_TRUE(r.AddFormPart("f", nullptr, "text/plain"));
    r.AppendBody("data\r\n", 6);
    ASSERT_TRUE(r.EndMultipart());
    EXPECT_EQ(text(r.GetRequestHeaders()), "Content-Type: multipart/form-data; boundary=XyZ\r\n");
    EXPECT_EQ(text(r.GetRequestBody()), "--XyZ\r\nContent-Disposition: form-data; name=\"f\"\r\n"
                                        "Content-Type: text/plain\r\n\r\ndata\r\n--XyZ--\r\n\r\n");
}

TEST(RequestMultipart, RandomBoundaryHasTheBlockForm) {
    CTestRequest r;
    r.SetMultipartBoundary(nullptr);
    const std::string headers = text(r.GetRequestHeaders());
    const std::string prefix = "Content-Type: multipart/form-data; boundary=block";
    ASSERT_EQ(headers.compare(0, prefix.size(), prefix), 0) << headers;
    const std::string digits = headers.substr(prefix.size(), headers.size() - prefix.size() - 2);
    EXPECT_FALSE(digits.empty());
    EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << digits;
}

TEST(RequestCopy, KeepsRequestSideAndStartsFresh) {
    CTestRequest pattern;
    pattern.Setup(3, 4, "/a?q=1", false, eHttpVerb_Post, 1234, kDownloaderFlags, kIgnoreCaFlags,
                  kReadBlockAdaptive, true, true, "secret=\\w+", "secret=***");
    pattern.AddHeader("Accept: */*\r\n");
    pattern.AppendBody("body", 4);
    pattern.SetExtraHeaderText("X: y\r\n");
    pattern.SetTag(99);
    pattern.finishWith(302, "moved");

    CTestRequest copy(pattern);
    EXPECT_EQ(copy.GetContextId(), 3);
    EXPECT_EQ(copy.GetRequestId(), 4);
    EXPECT_EQ(copy.GetRelativeUrl().GetRequestPath(), "/a?q=1");
    EXPECT_FALSE(copy.GetMergeArgs());
    EXPECT_EQ(copy.GetVerb(), eHttpVerb_Post);
    EXPECT_EQ(copy.GetTimeout(), 1234u);
    EXPECT_EQ(copy.GetTag(), 99u);
    EXPECT_TRUE(copy.IsAdaptiveRead());
    EXPECT_TRUE(copy.CapturesResponseHeaders());
    EXPECT_EQ(copy.GetLogMaskPattern(), "secret=\\w+");
    EXPECT_EQ(copy.GetExtraHeaderText(), "X: y\r\n");
    EXPECT_EQ(text(copy.GetRequestHeaders()), "Accept: */*\r\n");
    EXPECT_EQ(text(copy.GetRequestBody()), "body");
    // The response side starts over.
    EXPECT_EQ(copy.GetState(), eRequest_New);
    EXPECT_EQ(copy.GetHttpStatus(), 0);
    EXPECT_EQ(copy.GetErrorCode(), 0u);
    EXPECT_EQ(copy.GetErrorSource(), kErrorSourceNone);
    EXPECT_EQ(copy.GetBodyLength(), 0u);
    EXPECT_EQ(copy.GetResponseHeaders().GetLength(), 0u);
    // The pattern keeps its own buffers.
    EXPECT_EQ(text(pattern.GetRequestBody()), "body");
}

// The follow-up of a redirect asks for the same range, so it must judge its
// answer by the same limits.
TEST(RequestAnswerLimits, RangeBoundsTheBodyAndCopiesKeepTheLimits) {
    CTestRequest pattern;
    pattern.SetBodyLimits(0, 1u << 20);
    pattern.AddRange(16777217, 16u << 20);
    const CTestRequest copy(pattern);
    const CTestRequest* const requests[] = {&pattern, &copy};
    for (const CTestRequest* r : requests) {
        const SAnswerLimits& limits = r->GetAnswerLimits();
        EXPECT_TRUE(limits.range);
        EXPECT_EQ(limits.rangeStart, 16777217u);
        EXPECT_EQ(limits.maxBody, (16u << 20) + 1);
        EXPECT_EQ(limits.maxErrorBody, 1u << 20);
    }
    CTestRequest openEnded;
    openEnded.AddRange(1000, 0);
    EXPECT_EQ(openEnded.GetAnswerLimits().maxBody, 0u) << "all from the start";
    EXPECT_EQ(openEnded.GetAnswerLimits().rangeStart, 1000u);
}

TEST(RequestStatus, RedirectRange) {
    for (const int status : {299, 300, 302, 399, 400}) {
        CTestRequest r;
        r.finishWith(status, "");
        EXPECT_EQ(r.IsRedirect(), status >= 300 && status <= 399) << status;
    }
}

} // namespace
