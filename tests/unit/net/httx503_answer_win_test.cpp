#include "net/httx503_answer_win.h"

#include <gtest/gtest.h>

#include "base/windows_win.h"

#include <string>

namespace {

// 2100-06-15 12:00 UTC: the same local year and month in every time zone.
constexpr uint64_t kFarFuture = 4116744000000ULL;
constexpr unsigned long kEnglishUs = 0x0409;

TEST(Httx503AnswerWin, FormatsTheEndTimeInTheLocale) {
    struct Case {
        const wchar_t* date;
        const wchar_t* time;
        const char* prefix; // the formatted text starts with it
        size_t length;
    };
    const Case cases[] = {
        {L"yyyy-MM", nullptr, "2100-06", 7},
        {L"yyyy", L"mm", "2100 ", 7},
        {L"", L"'at' mm", "at ", 5},
        {L"MMMM yyyy", L"", "June 2100", 9},
    };
    for (const Case& c : cases) {
        std::string text;
        ASSERT_TRUE(NetEx::FormatLocalEndTime(kFarFuture, kEnglishUs, c.date, c.time, text))
            << c.prefix;
        EXPECT_EQ(text.rfind(c.prefix, 0), 0u) << text;
        EXPECT_EQ(text.size(), c.length) << text;
    }
    std::string text;
    EXPECT_FALSE(NetEx::FormatLocalEndTime(kFarFuture, kEnglishUs, L"", nullptr, text));
    // Quoted text is copied as it is: 200 characters of output.
    const std::wstring longFormat = L"'" + std::wstring(200, L'x') + L"'";
    EXPECT_FALSE(NetEx::FormatLocalEndTime(kFarFuture, kEnglishUs, longFormat.c_str(), L"mm", text))
        << "over 128 characters";
}

TEST(Httx503AnswerWin, ReadsAMaintenancePageAgainstTheClock) {
    const char* page = R"(<html><body>
      <div id="time"><i class="year">2100</i><i class="month">6</i><i class="day">15</i>
        <i class="hour">12</i><i class="minute">0</i></div>
      <div id="en"><p class="title">Maintenance</p><p class="line1">Back soon.</p>
        <p class="line2">Until <b class="time"/>.</p></div></body></html>)";
    std::string title;
    std::string text;
    bool hasTime = false;
    ASSERT_TRUE(NetEx::ParseHttx503Answer(page, "en", title, text, hasTime, kEnglishUs, L"yyyy-MM",
                                          nullptr));
    EXPECT_EQ(title, "Maintenance");
    EXPECT_EQ(text, "Back soon.\n\nUntil 2100-06.");
    EXPECT_TRUE(hasTime);
}

} // namespace
