#include "base/log/run_log_win.h"

#include "support/temp_folder_win.h"
#include "unit/base/log/log_test_files_win.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace {

using logtest::readFileBytes;

class RunLog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(log.open(path.c_str())); }
    std::string written() const { return readFileBytes(path); }
    void useUtf8() {
        log.setUtf8(true);
        log.setFlush(false);
    }

    testwin::CTempFolder temp;
    const std::wstring path = temp / L"run.log";
    CLogImplW log;
};

TEST_F(RunLog, Utf8ModeWritesUtf8WithoutByteOrderMark) {
    useUtf8();
    ASSERT_TRUE(log.write(L"Z\u00fcrich \u20ac", true));
    ASSERT_TRUE(log.write(L"next", false));
    EXPECT_EQ(written(), "Z\xC3\xBCrich \xE2\x82\xAC\r\nnext");
}

TEST_F(RunLog, DefaultModeWritesUtf16CodeUnitsWithoutByteOrderMark) {
    ASSERT_TRUE(log.write(L"a\u20ac", true));
    EXPECT_EQ(written(), std::string("a\0\xAC\x20\r\0\n\0", 8));
}

TEST_F(RunLog, BannerAndSeparatorLines) {
    useUtf8();
    ASSERT_TRUE(log.writeBanner(L"launcher started", true));
    ASSERT_TRUE(log.writeSeparator());
    const std::string rule(31, '=');
    EXPECT_EQ(written(),
              rule + " launcher started " + rule + "\r\n" + std::string(80, '=') + "\r\n");
}

TEST_F(RunLog, TimeLinesUseTheLocalClock) {
    useUtf8();
    ASSERT_TRUE(log.writeTimePrefix());
    ASSERT_TRUE(log.writeNewLines(1));
    ASSERT_TRUE(log.writeTimeBanner());
    const std::string text = written();
    const std::string clock = R"(\d{1,2}/\d{1,2}/\d{4} -- \d\d:\d\d:\d\d)";
    EXPECT_TRUE(std::regex_match(text, std::regex(clock + "  :\r\n=+ " + clock + " =+\r\n")))
        << text;
    EXPECT_EQ(text.find("\r\n") + 2 + 80 + 2, text.size());
}

TEST_F(RunLog, NewLinesOnlyFromOneToTen) {
    useUtf8();
    EXPECT_FALSE(log.writeNewLines(0));
    EXPECT_FALSE(log.writeNewLines(11));
    EXPECT_EQ(written(), "");
    EXPECT_TRUE(log.writeNewLines(3));
    EXPECT_TRUE(log.writeNewLines(10));
    std::string expected;
    for (int i = 0; i < 13; ++i)
        expected += "\r\n";
    EXPECT_EQ(written(), expected);
}

TEST_F(RunLog, MutedLogReportsSuccessAndLeavesTheFile) {
    useUtf8();
    ASSERT_TRUE(log.write(L"before", true));
    EXPECT_TRUE(log.setMuted(true));
    EXPECT_FALSE(log.setMuted(true));
    EXPECT_TRUE(log.isMuted());
    EXPECT_TRUE(log.write(L"hidden", true));
    EXPECT_TRUE(log.writeBanner(L"hidden", true));
    EXPECT_TRUE(log.writeSeparator());
    EXPECT_TRUE(log.writeTimePrefix());
    EXPECT_TRUE(log.writeTimeBanner());
    EXPECT_TRUE(log.writeNewLines(2));
    EXPECT_TRUE(log.writeRaw(4, L"hidden"));
    EXPECT_FALSE(log.writeNewLines(0));
    EXPECT_EQ(written(), "before\r\n");
    EXPECT_TRUE(log.setMuted(false));
    EXPECT_TRUE(log.write(L"after", false));
    EXPECT_EQ(written(), "before\r\nafter");
}

TEST_F(RunLog, WriteRawCountsBytesOnlyInUtf16Mode) {
    ASSERT_TRUE(log.writeRaw(4, L"abcdef"));
    EXPECT_EQ(written(), std::string("a\0b\0", 4));
    log.setUtf8(true);
    ASSERT_TRUE(log.writeRaw(2, L"h\u00e9llo"));
    EXPECT_EQ(written(), std::string("a\0b\0", 4) + "h\xC3\xA9llo");
}

TEST_F(RunLog, OpenEmptiesAnExistingFileAndRefusesASecondOpen) {
    ASSERT_TRUE(log.write(L"x", false));
    EXPECT_FALSE(log.open(path.c_str()));
    ASSERT_TRUE(log.close());
    ASSERT_TRUE(logtest::writeFileBytes(path, "old content"));
    ASSERT_TRUE(log.open(path.c_str()));
    EXPECT_EQ(written(), "");
}

TEST(RunLogClosed, EveryWriteFails) {
    CLogImplW log;
    EXPECT_FALSE(log.isOpen());
    EXPECT_FALSE(log.open(nullptr));
    EXPECT_FALSE(log.write(L"x", true));
    EXPECT_FALSE(log.writeBanner(L"x", true));
    EXPECT_FALSE(log.writeNewLines(1));
    EXPECT_FALSE(log.writeRaw(2, L"x"));
    EXPECT_FALSE(log.truncate());
    log.setMuted(true);
    EXPECT_FALSE(log.write(L"x", true));
}

TEST(RunLogFlags, SettersReportChanges) {
    CLogImplW log;
    EXPECT_FALSE(log.setFlush(true)); // flush is on from the start
    EXPECT_TRUE(log.setFlush(false));
    EXPECT_TRUE(log.setUtf8(true)); // UTF-16 from the start
    EXPECT_FALSE(log.setUtf8(true));
}

} // namespace
