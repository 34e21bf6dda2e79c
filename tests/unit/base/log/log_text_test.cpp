#include "base/log/log_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(BannerLine, LauncherStartedIsCentredIn80Columns) {
    const std::wstring rule(31, L'=');
    EXPECT_EQ(bannerLine(L"launcher started"), rule + L" launcher started " + rule);
}

TEST(BannerLine, BlankBeforeTextSitsAtHalfOf78MinusLength) {
    for (size_t n : {0u, 1u, 2u, 16u, 74u, 75u}) {
        SCOPED_TRACE(n);
        const std::wstring text(n, L'x');
        const std::wstring line = bannerLine(text);
        ASSERT_EQ(line.size(), 80u);
        const size_t blank = (78 - n) / 2;
        EXPECT_EQ(line.substr(0, blank), std::wstring(blank, L'='));
        EXPECT_EQ(line.substr(blank, n + 2), L' ' + text + L' ');
        EXPECT_EQ(line.substr(blank + n + 2), std::wstring(80 - blank - n - 2, L'='));
    }
}

TEST(BannerLine, TextOver75CharactersGetsShortFrame) {
    const std::wstring text(76, L'y');
    EXPECT_EQ(bannerLine(text), L"=== " + text + L" ===");
}

TEST(SeparatorLine, Is80Equals) {
    EXPECT_EQ(separatorLine(), std::wstring(80, L'='));
}

TEST(DateTimeText, DayMonthYearWithPaddedClock) {
    const LogDateTime t{2025, 6, 2, 9, 5, 7};
    EXPECT_EQ(dateTimeText(t), L"2/6/2025 -- 09:05:07");
    EXPECT_EQ(timePrefixText(t), L"2/6/2025 -- 09:05:07  :");
    EXPECT_EQ(dateTimeText({2025, 12, 31, 23, 59, 59}), L"31/12/2025 -- 23:59:59");
}

TEST(NewLineCount, OnlyOneToTenAccepted) {
    const struct {
        int count;
        bool accepted;
    } cases[] = {{-1, false}, {0, false}, {1, true}, {10, true}, {11, false}};
    for (const auto& c : cases)
        EXPECT_EQ(isAcceptedNewLineCount(c.count), c.accepted) << c.count;
}

TEST(CappedWriteLength, CutsOnlyAboveANonZeroLimit) {
    EXPECT_EQ(cappedWriteLength(5000, 4096), 4096u);
    EXPECT_EQ(cappedWriteLength(4096, 4096), 4096u);
    EXPECT_EQ(cappedWriteLength(5000, 0), 5000u);
    EXPECT_EQ(kBlockTooLargeMarkerLength, 25u);
}

class HeaderLine : public ::testing::Test {
protected:
    std::string line(const std::string& text, int width = 90) const {
        return text + headerLineTail(text.size(), stamp, source, width);
    }
    const std::string source = headerFillerSource('=', 90);
    const std::string stamp = " [20.06.2025 11:18:27]";
};

TEST_F(HeaderLine, WithTextIsExactlyLineWidthAndFillerStartsWithBlank) {
    const std::string text = "Creating context";
    ASSERT_EQ(line(text).size(), 92u);
    const size_t fill = 90 - stamp.size() - text.size();
    EXPECT_EQ(line(text), text + " " + std::string(fill - 1, '=') + stamp + "\r\n");
}

TEST_F(HeaderLine, WithoutTextStartsFromSecondFillerCharacter) {
    EXPECT_EQ(line(""), std::string(90 - stamp.size(), '=') + stamp + "\r\n");
}

TEST_F(HeaderLine, FillerNeverShorterThanThree) {
    const std::string text(100, 't');
    EXPECT_EQ(line(text), text + " ==" + stamp + "\r\n");
    EXPECT_EQ(line("", 0), "===" + stamp + "\r\n");
}

TEST_F(HeaderLine, FillerIsClippedToItsSource) {
    EXPECT_EQ(headerLineTail(1, "", headerFillerSource('-', 4), 90), " ----\r\n");
    EXPECT_EQ(headerLineTail(0, "", "", 90), "\r\n");
}

} // namespace
