#include "base/log/time_stamp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

constexpr int64_t kSecond = 1000;
constexpr int64_t kMinute = 60 * kSecond;
constexpr int64_t kHour = 60 * kMinute;
constexpr int64_t kDay = 24 * kHour;

const LogDateTime kWhen{2025, 6, 20, 11, 18, 27};

TEST(ZoneText, HoursAndMinutesOfTheBias) {
    const struct {
        long long bias;
        const char* text;
    } cases[] = {
        {0, ""},
        {-7200, "GMT+2"},
        {7200, "GMT-2"},
        {-19800, "GMT+5:30"},
        {19800, "GMT-5:30"},
        {-20700, "GMT+5:45"},
        {300, "GMT-0:05"},
        {-3600 - 59, "GMT+1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(zoneText(c.bias), c.text) << c.bias;
}

TEST(ClockOffsetText, SignZeroAndBreakdown) {
    const struct {
        int64_t offset;
        const char* text;
    } cases[] = {
        {0, ""},
        {500, "[+0]L S"},
        {-999, "[+0]L S"},
        {1000, "[-1 s]L S"},
        {-1000, "[+1 s]L S"},
        {1999, "[-1 s]L S"},
        {-(kHour + 30 * kMinute), "[+1 h 30 m]L S"},
        {kHour, "[-1 h]L S"},
        {8 * kDay + kHour + kSecond, "[-1 w 1 d 1 h 1 s]L S"},
        {6 * kDay + 23 * kHour + 59 * kMinute + 59 * kSecond, "[-6 d 23 h 59 m 59 s]L S"},
        // A year is 365 days, a month 30.
        {365 * kDay + 30 * kDay + kMinute + kSecond, "[-1 y 1 m 1 m 1 s]L S"},
        {-(2 * 365 * kDay + 29 * kDay), "[+2 y 4 w 1 d]L S"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(clockOffsetText(c.offset), c.text) << c.offset;
}

TEST(ClockOffsetText, ExtremeOffsetsStayBounded) {
    EXPECT_EQ(clockOffsetText(INT64_MIN).substr(0, 2), "[+");
    EXPECT_EQ(clockOffsetText(INT64_MAX).substr(0, 2), "[-");
}

TEST(TimeStampText, PartsInOrder) {
    EXPECT_EQ(timeStampText(0, "", kWhen), " [20.06.2025 11:18:27]");
    EXPECT_EQ(timeStampText(0, "GMT+2", {2025, 1, 2, 3, 4, 5}), " [GMT+2 02.01.2025 03:04:05]");
    EXPECT_EQ(timeStampText(-kHour, "GMT+2", kWhen), " [+1 h]L S[GMT+2 20.06.2025 11:18:27]");
}

TEST(TimeStampText, CutTo63Characters) {
    const std::string text = timeStampText(INT64_MIN, "GMT+13:45", kWhen);
    EXPECT_EQ(text.size(), kTimeStampMaxLength);
    EXPECT_EQ(text.substr(0, 3), " [+");
}

TEST(CTimeStamp, RebuiltAtMostOnceASecond) {
    CTimeStamp stamp;
    EXPECT_FALSE(stamp.isCurrent(0));
    stamp.rebuild(10'000, kWhen);
    EXPECT_EQ(stamp.text(), " [20.06.2025 11:18:27]");
    EXPECT_TRUE(stamp.isCurrent(10'000));
    EXPECT_TRUE(stamp.isCurrent(10'999));
    EXPECT_FALSE(stamp.isCurrent(11'000));
    EXPECT_FALSE(stamp.isCurrent(9'999)); // the clock went back
}

TEST(CTimeStamp, OffsetIsReadThroughThePointerAtRebuild) {
    int64_t offset = 0;
    CTimeStamp stamp;
    stamp.rebuild(0, kWhen);
    stamp.setClockOffset(&offset, -7200);
    EXPECT_FALSE(stamp.isCurrent(0)); // the cache was reset
    offset = -2 * kSecond;
    EXPECT_EQ(stamp.clockOffsetMs(), -2 * kSecond);
    stamp.rebuild(0, kWhen);
    EXPECT_EQ(stamp.text(), " [+2 s]L S[GMT+2 20.06.2025 11:18:27]");
    stamp.setClockOffset(nullptr, 0);
    EXPECT_EQ(stamp.clockOffsetMs(), 0);
}

} // namespace
