#include "update/unpack/unpack_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(UnpackRules, RarOnlyWithTheMarkerAndMoreThanThreeBytes) {
    const struct {
        std::string head;
        bool rar;
    } cases[] = {
        {"Rar!\x1a\x07\x00", true},  {"Rar!", true},        {"Rar", false},
        {"rar!\x1a\x07\x00", false}, {"PK\x03\x04", false}, {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.head);
        EXPECT_EQ(isRarPackage(reinterpret_cast<const uint8_t*>(c.head.data()), c.head.size()),
                  c.rar);
    }
    EXPECT_FALSE(isRarPackage(nullptr, 8));
}

TEST(UnpackRules, ProgressCountsFinishedEntriesAndThePartWritten) {
    const struct {
        uint64_t processed, package, done, count, written, size, expected;
    } cases[] = {
        {0, 1000, 0, 4, 0, 0, 0},
        {0, 1000, 1, 4, 0, 100, 250},
        {0, 1000, 1, 4, 50, 100, 375},
        {500, 1000, 4, 4, 0, 0, 1500},
        {500, 1000, 3, 4, 100, 100, 1500},
        {7, 1000, 0, 0, 0, 0, 7},                                          // an empty archive
        {0, 1000, 1, 4, 900, 100, 250},                                    // a lying entry size
        {5ull << 32, 6ull << 30, 1, 2, 0, 0, (5ull << 32) + (3ull << 30)}, // past 4 GiB
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.done << "/" << c.count << " " << c.written);
        EXPECT_EQ(packageProgress(c.processed, c.package, c.done, c.count, c.written, c.size),
                  c.expected);
    }
}

TEST(UnpackRules, ThrottleAllowsOnePostPer55Milliseconds) {
    CProgressThrottle throttle;
    EXPECT_TRUE(throttle.Due(1000));
    EXPECT_FALSE(throttle.Due(1000));
    EXPECT_FALSE(throttle.Due(1055)) << "strictly more than 55 ms";
    EXPECT_TRUE(throttle.Due(1056));
    EXPECT_FALSE(throttle.Due(1100));
}

TEST(UnpackRules, ThrottleSurvivesTheTickCountWrap) {
    CProgressThrottle throttle;
    EXPECT_TRUE(throttle.Due(0xFFFFFFF0u));
    EXPECT_FALSE(throttle.Due(0x00000010u)); // 32 ms later
    EXPECT_TRUE(throttle.Due(0x00000050u));
}

} // namespace
