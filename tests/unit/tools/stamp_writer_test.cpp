#include "stamp_writer.h"

#include "app/stamp/stamp_slots.h"
#include "support/pe_builder.h"

#include <gtest/gtest.h>

namespace {

uint32_t crcOf(const std::vector<uint8_t>& image) {
    return computeLauncherCrcOfImage(
        image.data(), image.size(), 0,
        [](const StampSlot& s) -> std::optional<size_t> { return s.totalSize; });
}

std::vector<std::string> show(const std::vector<uint8_t>& image) {
    std::string error;
    std::vector<std::string> lines = showStamps(image, error);
    EXPECT_EQ(error, "");
    return lines;
}

TEST(StampWriter, FillsEverySlotToItsLimitWithoutChangingTheChecksum) {
    std::vector<uint8_t> image = testpe::launcherLikeImage();
    const uint32_t before = crcOf(image);
    StampValues values;
    std::vector<std::string> expected;
    for (const StampSlot& s : kStampSlots) {
        const std::string value(s.valueSize - 1, s.type[0]);
        values[s.type] = {value};
        expected.push_back(std::string(s.type) + "=" + value);
    }
    EXPECT_EQ(stampImage(image, values), "");
    EXPECT_EQ(show(image), expected);
    EXPECT_EQ(crcOf(image), before);
}

TEST(StampWriter, ServerListAndRestamping) {
    std::vector<uint8_t> image = testpe::launcherLikeImage();
    ASSERT_EQ(stampImage(image, {{"SERVER_URL", {"http://one.example/", "http://two.example/"}},
                                 {"LANGUAGE", {"german"}}}),
              "");
    EXPECT_EQ(show(image)[0], "SERVER_URL=http://one.example/");
    EXPECT_EQ(show(image)[1], "SERVER_URL=http://two.example/");
    // A shorter value later leaves no tail of the longer one.
    ASSERT_EQ(stampImage(image, {{"SERVER_URL", {"http://x/"}}, {"LANGUAGE", {"de"}}}), "");
    const auto lines = show(image);
    EXPECT_EQ(lines[0], "SERVER_URL=http://x/");
    EXPECT_EQ(lines[1], "UPDATE_PATH=");
    EXPECT_EQ(lines[2], "LANGUAGE=de");
}

TEST(StampWriter, RefusesAndChangesNothing) {
    const std::vector<uint8_t> pristine = testpe::launcherLikeImage();
    struct Case {
        const char* what;
        StampValues values;
    };
    const Case cases[] = {
        {"language one too long", {{"LANGUAGE", {std::string(33, 'x')}}}},
        {"promo code far too long", {{"PROMOCODE", {std::string(1000, 'x')}}}},
        {"server list over 129 bytes",
         {{"SERVER_URL", {std::string(64, 'a'), std::string(64, 'b')}}}},
        {"empty server url", {{"SERVER_URL", {""}}}},
        {"two values for a single slot", {{"LANGUAGE", {"de", "en"}}}},
        {"unknown slot", {{"COLOUR", {"red"}}}},
        {"a good value with a bad one",
         {{"LANGUAGE", {"de"}}, {"REFERRER_ID", {std::string(65, 'r')}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> image = pristine;
        EXPECT_NE(stampImage(image, c.values), "");
        EXPECT_EQ(image, pristine);
    }
}

TEST(StampWriter, RefusesFilesWithoutSlots) {
    std::vector<uint8_t> notPe(2048, 'x');
    EXPECT_NE(stampImage(notPe, {{"LANGUAGE", {"de"}}}).find("not a PE"), std::string::npos);

    std::vector<uint8_t> noSlots = testpe::buildImage({{"ICON", 1, {1, 2, 3}}});
    const auto copy = noSlots;
    EXPECT_NE(stampImage(noSlots, {{"LANGUAGE", {"de"}}}), "");
    EXPECT_EQ(noSlots, copy);
    std::string error;
    EXPECT_TRUE(showStamps(noSlots, error).empty());
    EXPECT_NE(error, "");

    // A resource of the right name but not shaped like a slot.
    std::vector<uint8_t> odd =
        testpe::buildImage({{"LANGUAGE", 134, std::vector<uint8_t>(48, 'z')}});
    EXPECT_NE(stampImage(odd, {{"LANGUAGE", {"de"}}}).find("not a stamp slot"), std::string::npos);
}

} // namespace
