#include "net/httx503_answer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using NetEx::ParseHttx503Answer;
using NetEx::UtcToUnixMs;

// 2024-02-29 12:30 UTC.
constexpr uint64_t kNow = 1709209800000ULL;

const NetEx::C503TimeFormatter kFormat = [](uint64_t ms, std::string& text) {
    text = "<" + std::to_string(ms) + ">";
    return true;
};

std::string page(const std::string& timeBlock, const std::string& languageBlocks) {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<html xmlns="http://www.w3.org/1999/xhtml"><head><title>Maintenance</title></head>
<body><div class="outer">)" +
           timeBlock + languageBlocks + "</div></body></html>";
}

std::string timeBlock(const char* year, const char* month, const char* day, const char* hour,
                      const char* minute) {
    return std::string(R"(<div id="time"><span class="year">)") + year +
           R"(</span><span class="month">)" + month + R"(</span><span class="day">)" + day +
           R"(</span><span class="hour">)" + hour + R"(</span><span class="minute">)" + minute +
           "</span></div>";
}

const std::string kFuture = timeBlock("2024", "3", "1", "06", "15");
const std::string kPast = timeBlock("2024", "2", "29", "12", "29");
const std::string kEnglish =
    R"(<div id="en"><h1 class="title">Servers are resting</h1><p class="line1">We are updating.</p>)"
    R"(<p class="line2">Back at <span class="time">soon</span> UTC, <span class="time"/>really.</p></div>)";

struct Result {
    bool ok = false;
    std::string title = "<untouched>";
    std::string text = "<untouched>";
    bool hasTime = false;
};

Result run(const std::string& answer, const char* wantedId = "en",
           const NetEx::C503TimeFormatter& format = kFormat) {
    Result r;
    r.ok = ParseHttx503Answer(answer.c_str(), wantedId, kNow, format, r.title, r.text, r.hasTime);
    return r;
}

TEST(Httx503Answer, ShowsAFutureEndTimeInPlaceOfTheMarker) {
    const Result r = run(page(kFuture, kEnglish));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.title, "Servers are resting");
    EXPECT_EQ(r.text, "We are updating.\n\nBack at <1709273700000> UTC, really.");
    EXPECT_TRUE(r.hasTime);
}

TEST(Httx503Answer, KeepsOnlyTheFirstLineWithoutAUsableTime) {
    const std::string noMarker =
        R"(<div id="en"><h1 class="title">T</h1><p class="line1">L1</p><p class="line2">L2</p></div>)";
    struct Case {
        const char* what;
        std::string answer;
    };
    const Case cases[] = {
        {"no time block", page("", kEnglish)},
        {"time in the past", page(kPast, kEnglish)},
        {"unreadable time", page(timeBlock("2024", "x", "1", "6", "0"), kEnglish)},
        {"impossible date", page(timeBlock("2025", "2", "29", "6", "0"), kEnglish)},
        {"time but no marker", page(kFuture, noMarker)},
    };
    for (const Case& c : cases) {
        const Result r = run(c.answer);
        ASSERT_TRUE(r.ok) << c.what;
        EXPECT_FALSE(r.hasTime) << c.what;
        EXPECT_TRUE(r.text == "We are updating." || r.text == "L1") << c.what << ": " << r.text;
    }
}

TEST(Httx503Answer, FailsSoTheCallerShowsItsOwnTexts) {
    const std::string untitled =
        R"(<div id="en"><p class="line1">L1</p></div><div id="de"><h1 class="title">T</h1><p class="line1">L1</p></div>)";
    const std::string idNotFirst =
        R"(<div class="x" id="en"><h1 class="title">T</h1><p class="line1">L1</p></div>)";
    const std::string html = "<html><head><title>503 Service Unavailable</title></head><body>"
                             "<h1>Service Unavailable</h1><p>Try again<br>later</p></body></html>";
    struct Case {
        const char* what;
        std::string answer;
        const char* wantedId;
    };
    const Case cases[] = {
        {"another language only", page(kFuture, kEnglish), "de"},
        {"no title", page("", untitled), "en"},
        {"id is not the first attribute", page("", idNotFirst), "en"},
        {"plain HTML page", html, "en"},
        {"plain text", "Service Unavailable", "en"},
        {"truncated XHTML", page(kFuture, kEnglish).substr(0, 200), "en"},
        {"empty answer", "", "en"},
        {"empty language", page(kFuture, kEnglish), ""},
        {"no language", page(kFuture, kEnglish), nullptr},
    };
    for (const Case& c : cases) {
        const Result r = run(c.answer, c.wantedId);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.title, "<untouched>") << c.what;
        EXPECT_EQ(r.text, "<untouched>") << c.what;
    }
    Result r;
    EXPECT_FALSE(ParseHttx503Answer(nullptr, "en", kNow, kFormat, r.title, r.text, r.hasTime));
}

TEST(Httx503Answer, FailsWhenTheTimeCannotBeFormatted) {
    const NetEx::C503TimeFormatter failing = [](uint64_t, std::string&) { return false; };
    EXPECT_FALSE(run(page(kFuture, kEnglish), "en", failing).ok);
    EXPECT_FALSE(run(page(kFuture, kEnglish), "en", nullptr).ok);
    EXPECT_TRUE(run(page(kPast, kEnglish), "en", failing).ok) << "a past time is not formatted";
}

TEST(Httx503Answer, TakesThePageTextLiterally) {
    // "%s" must not act as a format; "à" (C3 A0) and "Р" (D0 A0) keep their
    // bytes while the no-break space (C2 A0) becomes blanks.
    const std::string block = "<div id=\"fr\"><b class=\"title\">Pause</b><i class=\"line1\">"
                              "D\xC3\xA0s&#160;que %s</i><i class=\"line2\">\xD0\xA0 "
                              "<u class=\"time\"/>&#160;%n</i></div>";
    const Result r = run(page(kFuture, block), "fr");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.text, "D\xC3\xA0s  que %s\n\n\xD0\xA0 <1709273700000>  %n");
}

TEST(Httx503Answer, FindsBlocksAnywhereAndSurvivesDeepNesting) {
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<div>";
    for (int i = 0; i < 5000; ++i)
        deep += "</div>";
    EXPECT_FALSE(run(page(kFuture, deep + kEnglish)).ok) << "too deep for the XML reader";
    std::string nested = kEnglish;
    for (int i = 0; i < 50; ++i)
        nested = "<section>" + nested + "</section>";
    const Result r = run(page(kFuture, nested));
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.hasTime);
}

TEST(Httx503Answer, ConvertsUtcFieldsToUnixMilliseconds) {
    struct Case {
        int year, month, day, hour, minute;
        uint64_t expected;
    };
    const Case cases[] = {
        {2000, 1, 1, 0, 0, 946684800000ULL},
        {2024, 2, 29, 12, 30, kNow},
        {2100, 6, 15, 12, 0, 4116744000000ULL},
        {2023, 2, 29, 0, 0, 0},
        {2024, 13, 1, 0, 0, 0},
        {2024, 0, 1, 0, 0, 0},
        {2024, 1, 0, 0, 0, 0},
        {2024, 1, 1, 24, 0, 0},
        {2024, 1, 1, 0, 60, 0},
        {2024, 1, 1, -1, 0, 0},
        {1969, 12, 31, 23, 59, 0},
        {30828, 1, 1, 0, 0, 0},
        {2147483647, 1, 1, 0, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UtcToUnixMs(c.year, c.month, c.day, c.hour, c.minute), c.expected)
            << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute;
}

} // namespace
