#include "net/request_rules.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

namespace {

using namespace NetEx;

TEST(RangeHeader, ClosedEndIsStartPlusLengthOpenEndedWithoutLength) {
    struct Case {
        uint64_t start;
        unsigned length;
        const char* text;
    };
    for (const Case& c :
         {Case{1000, 500, "Range: bytes=1000-1500\r\n"}, Case{1000, 0, "Range: bytes=1000-\r\n"},
          Case{0, 0, "Range: bytes=0-\r\n"},
          // No 32-bit wrap of the end value.
          Case{UINT_MAX, 2, "Range: bytes=4294967295-4294967297\r\n"},
          // Packages beyond 4 GiB: 64-bit offsets.
          Case{5368709120ull, 16u << 20, "Range: bytes=5368709120-5385486336\r\n"},
          Case{4294967296ull, 0, "Range: bytes=4294967296-\r\n"}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(rangeHeader(c.start, c.length), c.text);
    }
}

TEST(RangeHeader, AsksForLengthPlusOneBytesAsTheEndIsInclusive) {
    EXPECT_EQ(rangeByteCount(5000), 5001u);
    EXPECT_EQ(rangeByteCount(16u << 20), (16u << 20) + 1);
    EXPECT_EQ(rangeByteCount(UINT_MAX), uint64_t{UINT_MAX} + 1);
    EXPECT_EQ(rangeByteCount(0), 0u) << "open-ended";
}

TEST(RequestHeaders, ContentLengthAndVerbs) {
    EXPECT_EQ(contentLengthHeader(0), "Content-Length: 0\r\n");
    EXPECT_EQ(contentLengthHeader(UINT_MAX), "Content-Length: 4294967295\r\n");
    EXPECT_STREQ(verbText(eHttpVerb_Get), "GET");
    EXPECT_STREQ(verbText(eHttpVerb_Post), "POST");
    EXPECT_STREQ(verbText(eHttpVerb_Delete), "DELETE");
    EXPECT_STREQ(verbText(eHttpVerb_Head), "HEAD");
    EXPECT_EQ(verbText(4), nullptr);
    EXPECT_EQ(verbText(-1), nullptr);
}

TEST(Multipart, BoundaryMixesEachRandomValue) {
    // Worked by hand with 32-bit wrap-around.
    EXPECT_EQ(mixBoundaryValue(0), 0u);
    EXPECT_EQ(mixBoundaryValue(1), 307143837u);
    EXPECT_EQ(mixBoundaryValue(12345), 734251491u);
    EXPECT_EQ(boundaryFromRandom(0, 1), "block0307143837");
}

TEST(Multipart, FormPartHeadWithAndWithoutFileName) {
    std::string head;
    ASSERT_TRUE(formPartHead("B", "f", "a.txt", "text/plain", head));
    EXPECT_EQ(head, "--B\r\nContent-Disposition: form-data; name=\"f\"; filename=\"a.txt\"\r\n"
                    "Content-Type: text/plain\r\n\r\n");
    ASSERT_TRUE(formPartHead("B", "f", "", "text/plain", head));
    EXPECT_EQ(head, "--B\r\nContent-Disposition: form-data; name=\"f\"\r\n"
                    "Content-Type: text/plain\r\n\r\n");
    EXPECT_EQ(multipartEnd("B"), "--B--\r\n\r\n");
    EXPECT_EQ(multipartContentTypeHeader("B"), "Content-Type: multipart/form-data; boundary=B\r\n");
}

TEST(Multipart, FormPartHeadRefusesMissingPartsAndOverlongHeads) {
    std::string head = "kept";
    EXPECT_FALSE(formPartHead("B", "", "", "text/plain", head));
    EXPECT_FALSE(formPartHead("B", "f", "", "", head));
    const std::string base = "--B\r\nContent-Disposition: form-data; name=\"\"\r\n"
                             "Content-Type: t\r\n\r\n";
    const std::string fits(kFormPartHeadMax - base.size(), 'n');
    EXPECT_TRUE(formPartHead("B", fits, "", "t", head));
    EXPECT_EQ(head.size(), kFormPartHeadMax);
    head = "kept";
    EXPECT_FALSE(formPartHead("B", fits + "n", "", "t", head));
    EXPECT_EQ(head, "kept");
}

TEST(AdaptiveRead, AimsAtOneSecondAtMostDoublingWithinLimits) {
    constexpr unsigned kLimit = 4u << 20;
    struct Case {
        unsigned bytes;
        uint64_t elapsedMs;
        unsigned limit;
        unsigned expected;
    };
    for (const Case& c : {
             Case{100000, 0, kLimit, 200000},   // instant: doubles
             Case{100000, 250, kLimit, 200000}, // 4x would fit: capped at 2x
             Case{100000, 500, kLimit, 200000},
             Case{100000, 1000, kLimit, 100000}, // exactly a second
             Case{100000, 4000, kLimit, 25000},  // slow: shrinks
             Case{100, 4000, kLimit, kMinAdaptiveBlock},
             Case{3u << 20, 100, kLimit, kLimit}, // never above the limit
             Case{UINT_MAX, 0, UINT_MAX, UINT_MAX},
             Case{1, 1000, 100, kMinAdaptiveBlock}, // the floor beats a tiny limit
         }) {
        SCOPED_TRACE(testing::Message() << c.bytes << " in " << c.elapsedMs << " ms");
        EXPECT_EQ(nextReadBlockSize(c.bytes, c.elapsedMs, c.limit), c.expected);
    }
}

TEST(ReadReserve, CoversTheReadAndGrowsGeometricallyWithinTheLimit) {
    constexpr uint64_t kRange = (16u << 20) + 1;
    struct Case {
        unsigned length;
        unsigned available;
        unsigned block;
        uint64_t limit;
        unsigned expected;
    };
    for (const Case& c : {
             Case{0, 100, 0, 0, 100},
             Case{0, 100, 8192, 0, 8192},
             Case{1u << 20, 100, 0, 0, 1u << 19}, // half the body beats a small read
             Case{UINT_MAX - 10, 5, 0, 0, 10},    // capped at what 32 bits hold
             Case{UINT_MAX - 10, 11, 0, 0, 0},    // the read itself does not fit
             // The geometric step stops at the limit...
             Case{12u << 20, 4u << 20, 0, kRange, (4u << 20) + 1},
             Case{12u << 20, 100, 0, kRange, (4u << 20) + 1},
             // ...and a read past it gets no room.
             Case{16u << 20, 2, 0, kRange, 0},
             Case{1000, 100, 0, 1000, 0},
         }) {
        SCOPED_TRACE(testing::Message()
                     << c.length << "+" << c.available << "/" << c.block << " limit " << c.limit);
        EXPECT_EQ(readReserveSize(c.length, c.available, c.block, c.limit), c.expected);
    }
}

TEST(ReadReserve, AnnouncedBodyGetsItsRoomButNeverMoreThanTheLimit) {
    constexpr uint64_t kRange = (16u << 20) + 1;
    struct Case {
        const char* name;
        std::optional<uint64_t> announced;
        unsigned largestRead;
        uint64_t limit;
        unsigned expected;
    };
    for (const Case& c : {
             Case{"all of it plus the last read", 100000, 8192, 0, 108192},
             Case{"a small body needs no more than twice itself", 100, 8192, 0, 200},
             Case{"nothing announced", std::nullopt, 8192, 0, 0},
             Case{"announced empty", 0, 8192, 0, 0},
             Case{"over 1 GiB without a limit", (1u << 30) + 1, 8192, 0, 0},
             Case{"2 GB for a range", 2147483648u, 4u << 20, kRange, kRange},
             Case{"a range of exactly the limit", kRange, 4u << 20, kRange, kRange},
             Case{"beyond 64 bits for a range", UINT64_MAX, 4u << 20, kRange, kRange},
             Case{"a limit over 1 GiB", 2147483648u, 8192, 2147483649u, 0},
         }) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(announcedReserveSize(c.announced, c.largestRead, c.limit), c.expected);
    }
}

TEST(ReadReserve, ReadsStopAtTheLimit) {
    EXPECT_EQ(countWithin(8192, 1000, 0), 8192u);
    EXPECT_EQ(countWithin(8192, 1000, 5001), 4001u);
    EXPECT_EQ(countWithin(8192, 5001, 5001), 0u);
    EXPECT_EQ(countWithin(100, 1000, 5001), 100u);
    EXPECT_EQ(countWithin(UINT_MAX, 0, uint64_t{UINT_MAX} + 5), UINT_MAX);
}

TEST(ContentLength, DigitsOnlyWithinSixtyFourBits) {
    struct Case {
        const char* text;
        std::optional<uint64_t> value;
    };
    for (const Case& c :
         {Case{"300000", 300000u}, Case{" 0 ", 0u}, Case{"18446744073709551615", UINT64_MAX},
          Case{"18446744073709551616", std::nullopt}, Case{"", std::nullopt},
          Case{"12a", std::nullopt}, Case{"-1", std::nullopt}, Case{"1 2", std::nullopt},
          Case{"+5", std::nullopt}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parseContentLength(c.text), c.value);
    }
}

TEST(TruncatedBody, ShorterThanPromisedForPlainBodiesOnly) {
    struct Case {
        uint64_t length;
        std::optional<uint64_t> promised;
        bool coded;
        int verb;
        int status;
        bool truncated;
    };
    for (const Case& c : {
             Case{1000, 300000, false, eHttpVerb_Get, 206, true},
             Case{300000, 300000, false, eHttpVerb_Get, 200, false},
             Case{1000, std::nullopt, false, eHttpVerb_Get, 200, false},
             Case{1000, 300000, true, eHttpVerb_Get, 200, false}, // decoded size differs
             Case{0, 300000, false, eHttpVerb_Head, 200, false},
             Case{0, 10, false, eHttpVerb_Get, 304, false},
             Case{0, 10, false, eHttpVerb_Get, 204, false},
             Case{0, 10, false, eHttpVerb_Get, 404, true},
         }) {
        SCOPED_TRACE(testing::Message() << c.length << " status " << c.status);
        EXPECT_EQ(isBodyTruncated(c.length, c.promised, c.coded, c.verb, c.status), c.truncated);
    }
}

TEST(InternetErrorCode, SocketErrorsBecomeWinInetCodes) {
    EXPECT_EQ(internetErrorCode(10060), 12002u);
    EXPECT_EQ(internetErrorCode(10054), 12031u);
    EXPECT_EQ(internetErrorCode(10053), 12030u);
    EXPECT_EQ(internetErrorCode(12045), 12045u);
    EXPECT_EQ(internetErrorCode(5), 5u);
}

} // namespace
