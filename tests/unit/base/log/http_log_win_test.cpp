#include "base/log/cypher_log_win.h"
#include "base/log/http_log_win.h"

#include "support/temp_folder_win.h"
#include "unit/base/log/log_test_files_win.h"
#include "unit/base/log/zcl_test_decoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <string>
#include <vector>

namespace {

using logtest::ansiPath;
using logtest::exists;
using logtest::readFileBytes;
using logtest::writeFileBytes;

const char kMarker[] = " ...block is too large...";

class HttpLog : public ::testing::Test {
protected:
    testwin::CTempFolder temp;
    const std::wstring path = temp / L"x.log";
    const std::string narrowPath = ansiPath(path);
};

TEST_F(HttpLog, WriteCutsAtMaxBlockAndAddsTheMarker) {
    CLog log;
    ASSERT_TRUE(log.open(narrowPath.c_str()));
    log.setMaxBlock(4096);
    const std::string block(5000, 'x');
    ASSERT_TRUE(log.write(block.data(), block.size()));
    EXPECT_EQ(readFileBytes(path), std::string(4096, 'x') + kMarker);
    ASSERT_TRUE(log.write("short", 5));
    log.setMaxBlock(0);
    ASSERT_TRUE(log.write(block.data(), block.size()));
    EXPECT_EQ(readFileBytes(path).size(), 4096u + 25u + 5u + 5000u);
}

TEST_F(HttpLog, OpenAppendsAndCreatesOneFolderLevel) {
    ASSERT_TRUE(writeFileBytes(path, "abc"));
    CLog log;
    ASSERT_TRUE(log.open(narrowPath.c_str()));
    EXPECT_FALSE(log.open(narrowPath.c_str()));
    ASSERT_TRUE(log.write("def", 3));
    EXPECT_EQ(readFileBytes(path), "abcdef");

    CLog nested;
    const std::wstring nestedPath = temp / L"sub\\n.log";
    ASSERT_TRUE(nested.open(ansiPath(nestedPath).c_str()));
    EXPECT_TRUE(exists(nestedPath));
    CLog deeper;
    EXPECT_FALSE(deeper.open(ansiPath(temp / L"a\\b\\n.log").c_str()));

    CLog wide;
    ASSERT_TRUE(wide.openW((temp / L"wsub\\w.log").c_str()));
    ASSERT_TRUE(wide.write("w", 1));
    EXPECT_EQ(readFileBytes(temp / L"wsub\\w.log"), "w");
}

TEST_F(HttpLog, RotateKeepsAnEmptyFile) {
    CLog log;
    ASSERT_TRUE(log.open(narrowPath.c_str()));
    EXPECT_TRUE(log.rotate());
    EXPECT_TRUE(exists(path));
    EXPECT_FALSE(exists(path + L".000"));
}

TEST_F(HttpLog, RotateMovesToTheFirstFreeNumber) {
    ASSERT_TRUE(writeFileBytes(path, "current"));
    ASSERT_TRUE(writeFileBytes(path + L".000", "older"));
    CLog log;
    ASSERT_TRUE(log.open(narrowPath.c_str()));
    ASSERT_TRUE(log.rotate());
    EXPECT_EQ(readFileBytes(path + L".000"), "older");
    EXPECT_EQ(readFileBytes(path + L".001"), "current");
    EXPECT_EQ(readFileBytes(path), "");
    ASSERT_TRUE(log.write("new", 3));
    EXPECT_EQ(readFileBytes(path), "new");
}

TEST_F(HttpLog, RotateNeedsANarrowPath) {
    CLog log;
    ASSERT_TRUE(log.openW(path.c_str()));
    ASSERT_TRUE(log.write("x", 1));
    EXPECT_FALSE(log.rotate());
}

TEST_F(HttpLog, HeaderNumberAndEmptyLines) {
    CLog log;
    ASSERT_TRUE(log.open(narrowPath.c_str()));
    int64_t offset = 0;
    log.setClockOffset(&offset, 0);
    ASSERT_TRUE(log.writeHeaderLine("Creating context", 16));
    ASSERT_TRUE(log.writeNumberLine(-42));
    ASSERT_TRUE(log.writeEmptyLines());
    ASSERT_TRUE(log.writeHeaderLine(nullptr, 0));
    const std::string stamp = R"( \[\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\])";
    const std::string text = readFileBytes(path);
    EXPECT_TRUE(std::regex_match(
        text, std::regex("Creating context =+" + stamp + "\r\n-42\r\n\r\n=+" + stamp + "\r\n")))
        << text;
    EXPECT_EQ(text.find("\r\n"), 90u);
    EXPECT_EQ(text.size(), 92u + 5u + 2u + 92u);
}

TEST_F(HttpLog, StampCarriesOffsetAndZone) {
    CLog log;
    ASSERT_TRUE(log.open(narrowPath.c_str()));
    int64_t offset = -3600 * 1000;
    log.setClockOffset(&offset, -7200);
    EXPECT_EQ(log.formatTimeStamp().substr(0, 17), " [+1 h]L S[GMT+2 ");
    ASSERT_TRUE(log.writeHeaderLine("T", 1));
    EXPECT_NE(readFileBytes(path).find("[+1 h]L S[GMT+2 "), std::string::npos);
}

TEST_F(HttpLog, ClosedLogWritesNothing) {
    CLog log;
    EXPECT_FALSE(log.write("x", 1));
    EXPECT_FALSE(log.writeHeaderLine("x", 1));
    EXPECT_FALSE(log.rotate());
    EXPECT_FALSE(log.open(nullptr));
}

class CypherLog : public HttpLog {
protected:
    void SetUp() override { ASSERT_TRUE(decoder.ready()); }
    bool openWithKey(CCypherLog& log) {
        return log.openCiphered(narrowPath.c_str(), zcltest::kKey, sizeof(zcltest::kKey), 4096);
    }
    std::vector<std::string> records() const {
        const std::string raw = readFileBytes(path);
        return decoder.decodeContainer(zcltest::Bytes(raw.begin(), raw.end()));
    }
    zcltest::ZclDecoder decoder;
};

TEST_F(CypherLog, WithoutKeyItIsAPlainLog) {
    CCypherLog log;
    ASSERT_TRUE(log.openCiphered(narrowPath.c_str(), nullptr, 0, 4096));
    ASSERT_TRUE(log.write("plain", 5));
    log.close();
    EXPECT_EQ(readFileBytes(path), "plain");
}

TEST_F(CypherLog, PlainTextLogIsMovedAsideAndAContainerStarts) {
    ASSERT_TRUE(writeFileBytes(path, "old plain text"));
    CCypherLog log;
    ASSERT_TRUE(openWithKey(log));
    EXPECT_EQ(readFileBytes(path + L".000"), "old plain text");
    EXPECT_EQ(readFileBytes(path), std::string("ZCL1\0\0\0\0", 8));
    ASSERT_TRUE(log.write("hello", 5));
    ASSERT_TRUE(log.close());
    const std::string file = readFileBytes(path);
    EXPECT_EQ(file.substr(0, 8), std::string("ZCL1\0\0\0\0", 8));
    EXPECT_EQ((file.size() - 8) % 8, 0u); // whole cipher blocks
    EXPECT_EQ(records(), std::vector<std::string>{"hello"});
}

TEST_F(CypherLog, EachOpeningIsOneRecordAndTheLastLengthIsFilledIn) {
    for (const char* text : {"first opening\r\n", "second opening\r\n"}) {
        CCypherLog log;
        ASSERT_TRUE(openWithKey(log));
        ASSERT_TRUE(log.writeHeaderLine(text, std::strlen(text)));
        ASSERT_TRUE(log.writeNumberLine(7));
    }
    // The second opening filled in the first record's length.
    const std::string file = readFileBytes(path);
    const zcltest::Bytes bytes(file.begin(), file.end());
    const uint32_t first = zcltest::recordLengthAt(bytes, 0);
    ASSERT_GT(first, 8u);
    ASSERT_LT(first + 8u, bytes.size());
    EXPECT_EQ(zcltest::recordLengthAt(bytes, first), 0u);
    const std::vector<std::string> texts = records();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].substr(0, 16), "first opening\r\n ");
    EXPECT_EQ(texts[0].substr(texts[0].size() - 5), "\r\n7\r\n");
    EXPECT_EQ(texts[1].substr(0, 17), "second opening\r\n ");
    EXPECT_FALSE(exists(path + L".000"));
}

TEST_F(CypherLog, CutWritesCarryTheMarkerOnlyWhenTheLimitHoldsIt) {
    CCypherLog log;
    ASSERT_TRUE(openWithKey(log));
    log.setMaxBlock(10); // shorter than the marker: cut without it
    ASSERT_TRUE(log.write("0123456789abc", 13));
    log.setMaxBlock(30);
    const std::string forty(40, 'z');
    ASSERT_TRUE(log.write(forty.data(), forty.size()));
    log.close();
    EXPECT_EQ(records(), std::vector<std::string>{"0123456789" + std::string(30, 'z') + kMarker});
}

} // namespace
