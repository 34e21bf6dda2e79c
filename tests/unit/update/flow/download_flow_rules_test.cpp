// The download flow's decisions: temporary file names, resumption, range
// lengths, progress and the attempt counter.
#include "update/flow/download_item.h"
#include "update/flow/download_progress.h"
#include "update/flow/retry_rules.h"

#include <gtest/gtest.h>

namespace {

DownloadItem item(const std::string& name, uint32_t crc, uint64_t size) {
    DownloadItem i;
    i.name = name;
    i.crc = crc;
    i.size = size;
    return i;
}

TEST(DownloadItem, TemporaryFileNamesFollowCrcAndSize) {
    EXPECT_EQ(tempFileName(L"C:\\Games\\Sky", item("core.pkg", 0x0a1b2c3d, 5000), "1.0"),
              L"C:\\Games\\Sky\\tmp\\0A1B2C3D.5000");
    // A package larger than 4 GB keeps its whole size in the name.
    EXPECT_EQ(tempFileName(L"D:\\S", item("big.pkg", 0xFFFFFFFF, 5000000000ull), ""),
              L"D:\\S\\tmp\\FFFFFFFF.5000000000");
    EXPECT_EQ(tempFileName(L"C:\\S", item("Launcher.exe", 0, 123456), "2.0.0.7"),
              L"C:\\S\\tmp\\2.0.0.7.Launcher.exe.123456");
}

TEST(DownloadItem, OnlyAnExactPkgExtensionIsAPackage) {
    const struct {
        const char* name;
        bool package;
    } cases[] = {{"core.pkg", true}, {"a.b.pkg", true},    {"core.PKG", false}, {".pkg", true},
                 {"pkg", false},     {"core.pkgx", false}, {"x.pkg.zip", false}};
    for (const auto& c : cases)
        EXPECT_EQ(hasPackageExtension(c.name), c.package) << c.name;
}

TEST(DownloadItem, RangesAreBounded) {
    EXPECT_EQ(nextRangeLength(1), 1u);
    EXPECT_EQ(nextRangeLength(kMaxRangeLength), kMaxRangeLength);
    EXPECT_EQ(nextRangeLength(2000000000ull), kMaxRangeLength);
    EXPECT_EQ(nextRangeLength(5000000000ull), kMaxRangeLength);
}

// A whole range is written before the next one goes out; the short end of a
// package is written while the next package's first range is on the wire.
TEST(DownloadItem, NextRangeWaitsWhileTooMuchIsUnwritten) {
    constexpr unsigned kRange = static_cast<unsigned>(kMaxRangeLength);
    const struct {
        uint64_t unwritten;
        unsigned length;
        bool ask;
    } cases[] = {{0, kRange, true},
                 {kMaxRangeLength + 1, kRange, false},
                 {kMaxRangeLength + 1, 1, true},
                 {4u << 20, kRange, true},
                 {(4u << 20) + 1, kRange, false},
                 {5000000, 1000, true}};
    for (const auto& c : cases)
        EXPECT_EQ(mayAskRange(c.unwritten, c.length), c.ask) << c.unwritten << " " << c.length;
}

TEST(DownloadItem, WhatAFileLeftInTmpIsWorth) {
    const DownloadItem pkg = item("core.pkg", 0x1234, 1000);
    const struct {
        uint64_t held;
        uint32_t crc;
        EResumeState state;
    } cases[] = {{0, 0, EResumeState::eContinue},
                 {999, 0x9999, EResumeState::eContinue},
                 {1000, 0x1234, EResumeState::eComplete},
                 {1000, 0x1235, EResumeState::eDiscard},
                 {1001, 0x1234, EResumeState::eDiscard}};
    for (const auto& c : cases)
        EXPECT_EQ(classifyResume(c.held, c.crc, pkg), c.state) << c.held;
}

TEST(DownloadProgress, PhasesAndPercentages) {
    const struct {
        const char* name;
        ByteCounters bytes;
        uint64_t runBytes;
        uint64_t unpackedKb;
        bool launcherOnly;
        bool downloadPhase;
        int bar;
    } cases[] = {
        {"a quarter received", {4096 * 1024, 1024 * 1024, 0}, 0, 0, false, true, 25},
        {"all received, half unpacked",
         {2048 * 1024, 2048 * 1024, 0},
         2048 * 1024,
         1024,
         false,
         false,
         50},
        {"launcher with nothing counted", {0, 0, 0}, 0, 0, true, true, 100},
        {"nothing to unpack", {1024, 1024, 0}, 0, 0, false, false, 100},
        {"more than 4 GB", {8ull << 30, 6ull << 30, 0}, 0, 0, false, true, 75},
        {"unpacked more than announced", {1024, 1024, 0}, 1024, 5, false, false, 100},
    };
    for (const auto& c : cases) {
        const ProgressView view =
            computeProgress(c.bytes, c.runBytes, c.unpackedKb, c.launcherOnly);
        EXPECT_EQ(view.downloadPhase, c.downloadPhase) << c.name;
        EXPECT_EQ(view.barValue, c.bar) << c.name;
    }
}

TEST(DownloadProgress, CountersCommitAndForget) {
    ByteCounters bytes;
    bytes.nBytesTotal = 3000;
    bytes.addBurst(500);
    bytes.addBurst(400);
    EXPECT_EQ(bytes.nBytesReceived, 900u);
    bytes.commitAnswer(1000);
    EXPECT_EQ(bytes.nBytesCommitted, 1000u);
    EXPECT_EQ(bytes.nBytesReceived, 1000u);
    bytes.forget(1500); // a damaged package larger than what was counted
    EXPECT_EQ(bytes.nBytesCommitted, 0u);
    EXPECT_EQ(bytes.nBytesReceived, 0u);
}

TEST(RetryRules, AttemptsEndAtOnceOnBusyServersAndTimeOuts) {
    const struct {
        int attempt;
        int status;
        unsigned code;
        int next;
    } cases[] = {{0, 500, 0, 1}, {4, 404, 12029, 5}, {5, 500, 0, 6},
                 {1, 503, 0, 6}, {0, 0, 12002, 6},   {2, 502, 0, 3}};
    for (const auto& c : cases) {
        const int next = countAttempt(c.attempt, c.status, c.code);
        EXPECT_EQ(next, c.next) << c.status << " " << c.code;
    }
    EXPECT_FALSE(attemptsRunOut(5));
    EXPECT_TRUE(attemptsRunOut(6));
}

TEST(RetryRules, FailureLogText) {
    EXPECT_EQ(networkFailureText("core.pkg", 12029, "cannot connect", 0),
              "Network error, Request: core.pkg\n  .. System error code: 12029, cannot connect\n"
              "  .. Http error code: 0");
}

} // namespace
