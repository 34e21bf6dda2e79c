#include "net/url_components.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ParseCase {
    const char* text;
    int schemeId;
    const char* scheme;
    const char* host;
    unsigned port;
    const char* path;
    const char* args; // composed arguments text
    const char* url;  // composed full URL
};

class UrlParse : public testing::TestWithParam<ParseCase> {};

TEST_P(UrlParse, CracksAndComposesBack) {
    const ParseCase& c = GetParam();
    CUrlComponents u;
    ASSERT_TRUE(u.Parse(c.text));
    EXPECT_EQ(u.GetSchemeId(), c.schemeId);
    EXPECT_EQ(u.GetScheme(), c.scheme);
    EXPECT_EQ(u.GetHost(), c.host);
    EXPECT_EQ(u.GetPort(), c.port);
    EXPECT_EQ(u.GetPath(), c.path);
    EXPECT_EQ(u.GetArgsText(), c.args);
    EXPECT_EQ(u.GetUrl(), c.url);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UrlParse,
    testing::Values(
        // No scheme, trailing '/', repeated name: http assumed and dropped
        // again, one '/' dropped, arguments sorted, last value wins.
        ParseCase{"updates.example.com/client/?b=2&a=1&a=3", kSchemeAssumedHttp, "",
                  "updates.example.com", 80, "/client", "?a=3&b=2",
                  "updates.example.com/client?a=3&b=2"},
        ParseCase{"/client/license", kSchemeBarePath, "", "", 0, "/client/license", "",
                  "/client/license"},
        ParseCase{"?lang=en", kSchemeBarePath, "", "", 0, "", "?lang=en", "?lang=en"},
        ParseCase{"http://127.0.0.1:8080/u/update.rxml?x", kSchemeHttp, "http", "127.0.0.1", 8080,
                  "/u/update.rxml", "?x", "http://127.0.0.1:8080/u/update.rxml?x"},
        // Default ports are left out of the composed URL.
        ParseCase{"https://host:443/", kSchemeHttps, "https", "host", 443, "", "", "https://host"},
        ParseCase{"HTTP://Host", kSchemeHttp, "HTTP", "Host", 80, "", "", "HTTP://Host"},
        // A host:port without scheme reads "localhost" as an unknown scheme
        // first, then parses with http assumed.
        ParseCase{"localhost:8080/x", kSchemeAssumedHttp, "", "localhost", 8080, "/x", "",
                  "localhost:8080/x"},
        ParseCase{"10.0.0.1:81", kSchemeAssumedHttp, "", "10.0.0.1", 81, "", "", "10.0.0.1:81"},
        ParseCase{"ftp://u:p@files/a/b/", kSchemeFtp, "ftp", "files", 21, "/a/b", "",
                  "ftp://u:p@files/a/b"},
        // A fragment separator is kept; every '?', '#', '&' cuts; empty
        // pieces are skipped; "=v" names the empty argument.
        ParseCase{"http://h/p#k=v&&z?y=", kSchemeHttp, "http", "h", 80, "/p", "#k=v&y&z",
                  "http://h/p#k=v&y&z"},
        ParseCase{"http://h/p?n=a=b", kSchemeHttp, "http", "h", 80, "/p", "?n=a=b",
                  "http://h/p?n=a=b"},
        ParseCase{"http://[::1]:9/v", kSchemeHttp, "http", "[::1]", 9, "/v", "",
                  "http://[::1]:9/v"},
        ParseCase{"", 0, "", "", 0, "", "", ""}));

TEST(UrlParse, RefusesWhatNoPassAccepts) {
    const std::string tooLong = "http://h/" + std::string(kUrlMaxParseLength, 'a');
    for (const char* text : {"http://h:99999/", "http://h:12x/", "http://h:/", "http://a b/",
                             "http://h/\r\nX-Injected: 1", "http://[::1/", tooLong.c_str()}) {
        SCOPED_TRACE(text);
        CUrlComponents u;
        u.SetArg("stale", "1");
        EXPECT_FALSE(u.Parse(text));
        EXPECT_TRUE(u.IsEmpty());
        EXPECT_EQ(u.GetUrl(), "");
    }
}

TEST(UrlParse, LengthLimitIsInclusive) {
    std::string text = "/" + std::string(kUrlMaxParseLength - 1, 'p');
    CUrlComponents u;
    EXPECT_TRUE(u.Parse(text.c_str()));
    text += 'p';
    EXPECT_FALSE(u.Parse(text.c_str()));
}

TEST(UrlParse, NullIsEmpty) {
    CUrlComponents u;
    EXPECT_TRUE(u.Parse(nullptr));
    EXPECT_TRUE(u.IsEmpty());
}

TEST(UrlCompose, OverlongUrlComposesEmptyButRequestPathStays) {
    CUrlComponents u;
    ASSERT_TRUE(u.Parse("http://h/p"));
    u.SetArg(std::string(kUrlMaxComposedLength, 'n'), "");
    EXPECT_EQ(u.GetUrl(), "");
    EXPECT_EQ(u.GetRequestPath().size(), 2 + 1 + kUrlMaxComposedLength);
}

TEST(UrlCompose, ArgumentChangesRecompose) {
    CUrlComponents u;
    ASSERT_TRUE(u.Parse("http://h/p?b=1"));
    EXPECT_EQ(u.GetUrl(), "http://h/p?b=1");
    u.AddArgs("a&c=3");
    EXPECT_EQ(u.GetUrl(), "http://h/p?a&b=1&c=3");
    u.SetArgs({});
    EXPECT_EQ(u.GetUrl(), "http://h/p");
    ASSERT_TRUE(u.Parse("http://h/p#k=v"));
    EXPECT_EQ(u.GetSeparator(), '#');
    ASSERT_TRUE(u.Parse("http://h/p?k=v"));
    EXPECT_EQ(u.GetSeparator(), '?');
    EXPECT_EQ(u.GetBaseUrl(), "http://h");
}

struct MergeCase {
    const char* base;
    const char* request;
    bool mergeArgs;
    const char* url;
    const char* requestPath;
};

class UrlMerge : public testing::TestWithParam<MergeCase> {};

TEST_P(UrlMerge, TakesServerFromBaseAndJoinsPaths) {
    const MergeCase& c = GetParam();
    CUrlComponents base, request;
    ASSERT_TRUE(base.Parse(c.base));
    ASSERT_TRUE(request.Parse(c.request));
    ASSERT_TRUE(request.Merge(base, c.mergeArgs));
    EXPECT_EQ(request.GetUrl(), c.url);
    EXPECT_EQ(request.GetRequestPath(), c.requestPath);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UrlMerge,
    testing::Values(
        MergeCase{"http://u:p@srv:81/base?k=1&a=base", "/update.rxml?a=req", true,
                  "http://u:p@srv:81/base/update.rxml?a=req&k=1", "/base/update.rxml?a=req&k=1"},
        MergeCase{"http://srv/base?k=1", "/update.rxml", false, "http://srv/base/update.rxml",
                  "/base/update.rxml"},
        MergeCase{"srv:8080", "/f.pkg?part", true, "srv:8080/f.pkg?part", "/f.pkg?part"},
        MergeCase{"https://srv/", "", true, "https://srv", ""}));

TEST(UrlMerge, BaseWithoutHostFails) {
    CUrlComponents base, request;
    ASSERT_TRUE(base.Parse("/only/a/path"));
    ASSERT_TRUE(request.Parse("/x"));
    EXPECT_FALSE(request.Merge(base, true));
    EXPECT_EQ(request.GetUrl(), "/x");
}

TEST(UrlCrack, ReportsWhichRetryApplies) {
    struct Case {
        const char* text;
        unsigned error;
    };
    for (const Case& c : {Case{"example.com/x", kUrlErrorUnrecognizedScheme},
                          Case{"gopherx://h/", kUrlErrorUnrecognizedScheme},
                          Case{"http:///x", kUrlErrorInvalid}, Case{"http://h/x", 0u},
                          Case{"mailto:someone", 0u}, Case{"http://h\x7f/", kUrlErrorInvalid}}) {
        SCOPED_TRACE(c.text);
        SCrackedUrl out;
        EXPECT_EQ(crackUrl(c.text, out), c.error);
    }
}

TEST(UrlComponents, HttxSchemes) {
    struct Case {
        const char* text;
        bool httx;
    };
    for (const Case& c : {Case{"http://h", true}, Case{"https://h", true}, Case{"h:1", true},
                          Case{"ftp://h", false}, Case{"/p", false}}) {
        SCOPED_TRACE(c.text);
        CUrlComponents u;
        ASSERT_TRUE(u.Parse(c.text));
        EXPECT_EQ(u.IsHttx(), c.httx);
    }
}

} // namespace
