#include "lso_command.h"
#include "lso_text.h"

#include "image_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

std::vector<std::string> parse(std::string_view text) {
    std::vector<std::string> entries;
    std::string error;
    EXPECT_TRUE(parseLsoText(text, entries, error)) << error;
    return entries;
}

TEST(LsoText, RoundTripThroughTheLauncherFormat) {
    const std::vector<std::string> entries{"",
                                           "Skyreach",
                                           "You don't have rights\nto write to selected folder",
                                           "a\tb\\n\r",
                                           "\x01\x1F\x7F",
                                           "SCHRITT %d/%d",
                                           "Schlie\xC3\x9F"
                                           "en"};
    std::string text, error;
    ASSERT_TRUE(formatLsoText(entries, text, error)) << error;
    EXPECT_NE(text.find("002\tYou don't have rights\\nto write to selected folder\n"),
              std::string::npos);
    EXPECT_NE(text.find("003\ta\\tb\\\\n\\r\n"), std::string::npos);
    EXPECT_NE(text.find("004\t\\x01\\x1F\\x7F\n"), std::string::npos);

    std::vector<std::string> decoded;
    ASSERT_TRUE(decodeLso(encodeLso(parse(text)), decoded, error)) << error;
    EXPECT_EQ(decoded, entries);
}

TEST(LsoText, EncodesTheHeaderAndEntries) {
    const std::vector<uint8_t> expected{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 'h', 'i'};
    EXPECT_EQ(encodeLso({"", "hi"}), expected);
}

TEST(LsoText, AcceptsCommentsBlankLinesCrlfBomAndAnyOrder) {
    const auto entries =
        parse("\xEF\xBB\xBF# table\r\n\r\n2\tzwei\r\n000\t\r\n# 1 follows\n01\teins\\\\\n");
    EXPECT_EQ(entries, (std::vector<std::string>{"", "eins\\", "zwei"}));
    // Only a line that starts with '#' is a comment, not a text that does.
    EXPECT_EQ(parse("0\t# not a comment\n"), (std::vector<std::string>{"# not a comment"}));
}

struct RefusedText {
    const char* what;
    const char* text;
    const char* error;
};

TEST(LsoText, RefusalsNameTheLine) {
    const RefusedText cases[] = {
        {"empty", "# nothing\n\n", "the table has no entries"},
        {"gap", "0\ta\n2\tc\n", "index 1 is missing"},
        {"no zero", "1\ta\n", "index 0 is missing"},
        {"duplicate", "0\ta\n1\tb\n1\tc\n", "line 3: index 1 appears twice"},
        {"no tab", "0\ta\n1 b\n", "line 2: expected an index, a tab and the text"},
        {"bad index", "0\ta\n-1\tb\n", "line 2: bad index \"-1\""},
        {"empty index", "\ta\n", "line 1: bad index \"\""},
        {"index too large", "100000\tx\n", "line 1: index 100000 is above 99999"},
        {"ten digits", "0000000001\tx\n", "line 1: bad index \"0000000001\""},
        {"unknown escape", "0\t\\q\n", "line 1: unknown escape \\q"},
        {"backslash at the end", "0\tab\\\n", "line 1: backslash at the end of the line"},
        {"short hex", "0\t\\x4\n", "line 1: \\x needs two hexadecimal digits"},
        {"raw tab", "0\ta\tb\n", "line 1: raw control character in text (write \\t, \\n or \\xHH)"},
        {"invalid UTF-8",
         "0\t\n1\tStra\xDF"
         "e\n",
         "line 2: text is not valid UTF-8 (byte 5 of the text)"},
        {"escaped invalid UTF-8", "0\t\\xC3\n",
         "line 1: text is not valid UTF-8 (byte 1 of the text)"},
    };
    for (const RefusedText& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> entries{"untouched"};
        std::string error;
        EXPECT_FALSE(parseLsoText(c.text, entries, error));
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(entries, std::vector<std::string>{"untouched"});
    }
}

TEST(LsoText, DumpRefusesWhatTheLauncherRefuses) {
    std::vector<std::string> entries;
    std::string error;
    EXPECT_FALSE(decodeLso({1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, entries, error));
    EXPECT_FALSE(decodeLso({2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, entries, error));
    std::string text;
    EXPECT_FALSE(formatLsoText({"", "\xC3"}, text, error));
    EXPECT_EQ(error, "entry 1 is not valid UTF-8");
}

class LsoCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("lso_command_test_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string path(const char* name) const { return (dir / name).string(); }
    void writeText(const char* name, const std::string& text) const {
        std::string error;
        ASSERT_TRUE(
            writeImageFile(path(name), std::vector<uint8_t>(text.begin(), text.end()), error))
            << error;
    }

    std::filesystem::path dir;
};

TEST_F(LsoCommandTest, CompilesAndDumps) {
    writeText("t.txt", "0\t\n1\tNext >\n2\tline\\none\n");
    ASSERT_EQ(lsoCommand({path("t.txt"), path("t.lso")}), 0);
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(readImageFile(path("t.lso"), bytes, error));
    EXPECT_EQ(bytes, encodeLso({"", "Next >", "line\none"}));
    testing::internal::CaptureStdout();
    const int dumped = lsoCommand({"--dump", path("t.lso")});
    std::string out = testing::internal::GetCapturedStdout();
    // Windows writes stdout in text mode; the parser takes CRLF as well.
    std::erase(out, '\r');
    EXPECT_EQ(dumped, 0);
    EXPECT_EQ(out, "000\t\n001\tNext >\n002\tline\\none\n");
}

TEST_F(LsoCommandTest, RefusalWritesNothing) {
    writeText("bad.txt", "0\t\n2\tgap\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(lsoCommand({path("bad.txt"), path("bad.lso")}), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("index 1 is missing; nothing written"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(path("bad.lso")));
    EXPECT_FALSE(std::filesystem::exists(path("bad.lso.part")));

    testing::internal::CaptureStderr();
    EXPECT_EQ(lsoCommand({"--dump", path("bad.txt")}), 1);
    EXPECT_EQ(lsoCommand({path("missing.txt"), path("m.lso")}), 1);
    EXPECT_EQ(lsoCommand({path("bad.txt")}), 2);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(std::filesystem::exists(path("m.lso")));
}

} // namespace
