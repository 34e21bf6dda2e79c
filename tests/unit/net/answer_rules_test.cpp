#include "net/answer_rules.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

namespace {

using namespace NetEx;

TEST(ContentRange, SatisfiedRangesWithKnownOrUnknownLength) {
    struct Case {
        const char* text;
        uint64_t first;
        uint64_t last;
        std::optional<uint64_t> complete;
    };
    for (const Case& c : {
             Case{"bytes 0-499/1234", 0, 499, 1234u},
             Case{"bytes 500-999/*", 500, 999, std::nullopt},
             Case{"  BYTES\t7-7/8 ", 7, 7, 8u},
             Case{"bytes 0-0/1", 0, 0, 1u},
             // Past 4 GiB: the offsets of a large package.
             Case{"bytes 5000000000-5016777216/9000000000", 5000000000u, 5016777216u, 9000000000u},
             Case{"bytes 0-18446744073709551614/18446744073709551615", 0, UINT64_MAX - 1,
                  UINT64_MAX},
             Case{"bytes 00012-00013/00020", 12, 13, 20u},
         }) {
        SCOPED_TRACE(c.text);
        const std::optional<SContentRange> range = parseContentRange(c.text);
        ASSERT_TRUE(range.has_value());
        EXPECT_EQ(range->first, c.first);
        EXPECT_EQ(range->last, c.last);
        EXPECT_EQ(range->complete, c.complete);
    }
}

TEST(ContentRange, HostileAndMalformedValuesAreRefused) {
    for (const char* text : {
             "",                                                  // missing
             "   ",                                               //
             "bytes",                                             // unit only
             "bytes */1234",                                      // unsatisfied form
             "0-499/1234",                                        // no unit
             "items 0-499/1234",                                  // another unit
             "bytes0-499/1234",                                   // no blank after the unit
             "bytesx 0-499/1234",                                 //
             "bytes -5-499/1234",                                 // negative
             "bytes 0--499/1234",                                 //
             "bytes +0-499/1234",                                 // signed
             "bytes 0-499/-1234",                                 //
             "bytes 0-499",                                       // no length part
             "bytes 0-/1234",                                     // no last byte
             "bytes -499/1234",                                   // no first byte
             "bytes 0-499/",                                      //
             "bytes 0-499/1234 junk",                             // trailing garbage
             "bytes 0-499/1234,500-599/1234",                     //
             "bytes 0-499/12x",                                   //
             "bytes 0-499/**",                                    //
             "bytes 0x10-0x20/100",                               //
             "bytes 0 - 499/1234",                                // blanks inside
             "bytes 500-499/1234",                                // start beyond end
             "bytes 0-1234/1234",                                 // end beyond the length
             "bytes 1234-1234/1234",                              //
             "bytes 0-0/0",                                       //
             "bytes 18446744073709551616-18446744073709551617/*", // overflow
             "bytes 0-99999999999999999999999999/*",              //
             "bytes 0-5/99999999999999999999999999",              //
             "bytes 1\xff-2/3",                                   // bytes beyond ASCII
         }) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(parseContentRange(text).has_value());
    }
    // A zero byte ends nothing: the text after it still counts.
    EXPECT_FALSE(parseContentRange(std::string_view("bytes 0-1/2\0x", 13)).has_value());
}

// A range request of 5000 bytes (+1 for the inclusive end) from `start`.
SAnswerLimits rangeLimits(uint64_t start) {
    SAnswerLimits limits;
    limits.range = true;
    limits.rangeStart = start;
    limits.maxBody = 5001;
    limits.maxErrorBody = 1000;
    return limits;
}

SAnswerLimits documentLimits(uint64_t cap) {
    SAnswerLimits limits;
    limits.maxBody = cap;
    limits.maxErrorBody = 1000;
    return limits;
}

struct SPlanCase {
    const char* name;
    SAnswerLimits limits;
    int status;
    const char* contentRange;
    std::optional<uint64_t> announced;
    EAnswerVerdict verdict;
    uint64_t readLimit;
    bool overLimitRefuses;
};

TEST(AnswerPlan, EachAnswerIsAcceptedCutOrRefused) {
    constexpr uint64_t kCap = 64u << 20;
    const SPlanCase cases[] = {
        // Range answers: the asked start, or a whole body that starts there.
        {"206 at the asked start", rangeLimits(16777217), 206, "bytes 16777217-16782217/41943040",
         5001, EAnswerVerdict::eAccept, 5001, false},
        {"206 shorter than asked", rangeLimits(1000), 206, "bytes 1000-1999/2000", 1000,
         EAnswerVerdict::eAccept, 5001, false},
        {"206 longer than asked is cut", rangeLimits(1000), 206, "bytes 1000-999999/1000000",
         999000, EAnswerVerdict::eAccept, 5001, false},
        {"206 of unknown length", rangeLimits(0), 206, "bytes 0-5000/*", std::nullopt,
         EAnswerVerdict::eAccept, 5001, false},
        {"200 at offset 0 keeps the asked bytes", rangeLimits(0), 200, "", 2147483648u,
         EAnswerVerdict::eAccept, 5001, false},
        {"200 beyond offset 0", rangeLimits(16777217), 200, "", 41943040,
         EAnswerVerdict::eWholeBody, 0, false},
        {"200 with a matching Content-Range is still whole", rangeLimits(1000), 200,
         "bytes 1000-6000/9000", 5001, EAnswerVerdict::eWholeBody, 0, false},
        {"203 beyond offset 0", rangeLimits(1), 203, "", std::nullopt, EAnswerVerdict::eWholeBody,
         0, false},
        {"206 starting elsewhere", rangeLimits(1000), 206, "bytes 0-5000/9000", 5001,
         EAnswerVerdict::eWrongRange, 0, false},
        {"206 one byte late", rangeLimits(1000), 206, "bytes 1001-6000/9000", 5000,
         EAnswerVerdict::eWrongRange, 0, false},
        {"206 without Content-Range", rangeLimits(0), 206, "", 5001, EAnswerVerdict::eWrongRange, 0,
         false},
        {"206 with garbage", rangeLimits(0), 206, "bytes 0-5000/9000x", 5001,
         EAnswerVerdict::eWrongRange, 0, false},
        {"206 past 4 GiB", rangeLimits(5000000000u), 206, "bytes 5000000000-5000005000/*", 5001,
         EAnswerVerdict::eAccept, 5001, false},
        {"206 wrapping 32 bits", rangeLimits(5000000000u), 206, "bytes 705032704-705037704/*", 5001,
         EAnswerVerdict::eWrongRange, 0, false},
        {"open-ended range",
         [] {
             SAnswerLimits l = rangeLimits(1000);
             l.maxBody = 0;
             return l;
         }(),
         206, "bytes 1000-299999/300000", 299000, EAnswerVerdict::eAccept, 0, false},
        // Documents: over the cap is refused before or while reading.
        {"announced within the cap", documentLimits(kCap), 200, "", 10000, EAnswerVerdict::eAccept,
         kCap + 1, true},
        {"announced at the cap", documentLimits(kCap), 200, "", kCap, EAnswerVerdict::eAccept,
         kCap + 1, true},
        {"announced over the cap", documentLimits(kCap), 200, "", kCap + 1,
         EAnswerVerdict::eTooLarge, 0, false},
        {"announced 2 GB", documentLimits(kCap), 200, "", 2147483648u, EAnswerVerdict::eTooLarge, 0,
         false},
        {"length not announced", documentLimits(kCap), 200, "", std::nullopt,
         EAnswerVerdict::eAccept, kCap + 1, true},
        {"no limit", documentLimits(0), 200, "", UINT64_MAX, EAnswerVerdict::eAccept, 0, false},
        {"a 206 to a plain request is a document", documentLimits(kCap), 206, "bytes 9-9/10",
         kCap + 1, EAnswerVerdict::eTooLarge, 0, false},
        // Other answers.
        {"maintenance page within its cap", rangeLimits(1000), 503, "", 900,
         EAnswerVerdict::eAccept, 1001, true},
        {"maintenance page over its cap", documentLimits(kCap), 502, "", 1001,
         EAnswerVerdict::eTooLarge, 0, false},
        {"maintenance page of unknown length", documentLimits(kCap), 503, "", std::nullopt,
         EAnswerVerdict::eAccept, 1001, true},
        {"error page is cut", rangeLimits(1000), 404, "", 5000000, EAnswerVerdict::eAccept, 1000,
         false},
        {"redirect text is cut", documentLimits(kCap), 302, "", std::nullopt,
         EAnswerVerdict::eAccept, 1000, false},
        {"416 to a range", rangeLimits(9000), 416, "bytes */9000", 20, EAnswerVerdict::eAccept,
         1000, false},
        {"no status", rangeLimits(0), 0, "bytes 0-5000/9000", 5001, EAnswerVerdict::eNoStatus, 0,
         false},
        {"status beyond 599", documentLimits(kCap), 600, "", 10, EAnswerVerdict::eNoStatus, 0,
         false},
        {"negative status", documentLimits(kCap), -200, "", 10, EAnswerVerdict::eNoStatus, 0,
         false},
    };
    for (const SPlanCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SAnswerPlan plan = planAnswer(c.limits, c.status, c.contentRange, c.announced);
        EXPECT_EQ(plan.verdict, c.verdict);
        EXPECT_EQ(plan.readLimit, c.readLimit);
        EXPECT_EQ(plan.overLimitRefuses, c.overLimitRefuses);
    }
}

TEST(AnswerPlan, ACapAtTheTopOfSixtyFourBitsDoesNotWrap) {
    const SAnswerPlan plan = planAnswer(documentLimits(UINT64_MAX), 200, "", std::nullopt);
    EXPECT_EQ(plan.verdict, EAnswerVerdict::eAccept);
    EXPECT_EQ(plan.readLimit, UINT64_MAX);
}

} // namespace
