#include "update/checker/checker_decisions.h"

#include <gtest/gtest.h>

namespace {

TEST(CheckerDecisions, LauncherOutdated) {
    const LauncherInfo withCrc{"1.0.0.5", 1000, 42u, ""};
    const LauncherInfo noCrc{"1.0.0.5", 1000, std::nullopt, ""};
    const auto crc = [](std::optional<uint32_t> value) { return [value] { return value; }; };
    struct Case {
        const char* what;
        std::optional<LauncherInfo> info;
        OwnLauncher own;
        bool outdated;
    };
    const std::vector<Case> cases = {
        {"no launcher info", std::nullopt, {"0.0.0.1", 1, crc(1)}, false},
        {"same everything", withCrc, {"1.0.0.5", 1000, crc(42)}, false},
        {"other version", withCrc, {"1.0.0.50", 1000, crc(42)}, true},
        {"own file unreadable", withCrc, {"1.0.0.5", std::nullopt, crc(42)}, false},
        {"other size", withCrc, {"1.0.0.5", 999, crc(42)}, true},
        {"other checksum", withCrc, {"1.0.0.5", 1000, crc(43)}, true},
        {"checksum error", withCrc, {"1.0.0.5", 1000, crc(std::nullopt)}, true},
        {"no checksum listed", noCrc, {"1.0.0.5", 1000, crc(1)}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isLauncherOutdated(c.info, c.own), c.outdated) << c.what;
}

TEST(CheckerDecisions, ClientVersionUpToTheSecondDot) {
    EXPECT_TRUE(sameClientVersion("1.2.3", "1.2.4"));
    EXPECT_TRUE(sameClientVersion("1.2.", "1.2.x.y"));
    EXPECT_FALSE(sameClientVersion("1.2.3", "1.20.3"));
    EXPECT_FALSE(sameClientVersion("1.2", "1.2"));
    EXPECT_FALSE(sameClientVersion("", ""));
}

TEST(CheckerDecisions, NothingDifferingQueuesNoIncrement) {
    std::vector<IncrementPack> increments = {{true, L"i.pkg", 0, {}}};
    EXPECT_TRUE(choosePackages({}, increments, {}).empty());
}

TEST(CheckerDecisions, HugeSizesDoNotWrap) {
    std::map<std::wstring, PackInfo> packs = {{L"a", {ptFull, 0, L"a", 1, UINT64_MAX}},
                                              {L"b", {ptFull, 0, L"b", 2, 5}}};
    std::vector<IncrementPack> increments = {{true, L"i", 10, {{L"x", {}}, {L"y", {}}}}};
    const auto chosen = choosePackages({{L"x", L"a"}, {L"y", L"b"}}, increments, packs);
    EXPECT_EQ(chosen, (std::set<std::wstring>{L"i"}));
    uint64_t total = 0;
    queuePackages({L"a", L"b"}, packs, total);
    EXPECT_EQ(total, UINT64_MAX);
}

} // namespace
