#include "app/stamp/stamp_slots.h"

#include "support/pe_builder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

namespace {

const StampSlot& slot(const char* type) {
    return *findStampSlot(type);
}

TEST(StampSlots, LayoutMatchesTheResourceScript) {
    for (const StampSlot& s : kStampSlots) {
        SCOPED_TRACE(s.type);
        EXPECT_EQ(s.totalSize, stampMarker(s).size() + 1 + s.valueSize);
        EXPECT_EQ(stampMarker(s), std::string(s.type) + "_HERE:");
    }
    EXPECT_EQ(findStampSlot("NOPE"), nullptr);
}

std::vector<uint8_t> slotBytes(const StampSlot& s, const std::string& value) {
    std::vector<uint8_t> bytes = testpe::emptySlot(s).bytes;
    std::memcpy(bytes.data() + stampMarker(s).size() + 1, value.data(), value.size());
    return bytes;
}

TEST(StampSlots, ReadsValuesAndLists) {
    const StampSlot& server = slot("SERVER_URL");
    const StampSlot& lang = slot("LANGUAGE");

    EXPECT_EQ(readStampValueFrom(lang, testpe::emptySlot(lang).bytes.data(), lang.totalSize), "");
    EXPECT_TRUE(readStampListFrom(server, testpe::emptySlot(server).bytes.data(), server.totalSize)
                    .empty());

    const auto de = slotBytes(lang, "de");
    EXPECT_EQ(readStampValueFrom(lang, de.data(), de.size()), "de");

    const auto two = slotBytes(server, std::string("http://a/\0http://b/\0", 20));
    EXPECT_EQ(readStampListFrom(server, two.data(), two.size()),
              (std::vector<std::string>{"http://a/", "http://b/"}));

    // A value area filled to its last byte: the list ends at the slot's end.
    const auto full = slotBytes(server, std::string(server.valueSize, 'x'));
    const auto list = readStampListFrom(server, full.data(), full.size());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].size(), server.valueSize);
    EXPECT_EQ(readStampValueFrom(server, full.data(), full.size()).size(), server.valueSize);
}

TEST(StampSlots, ShortOrMissingSlotsReadEmpty) {
    const StampSlot& lang = slot("LANGUAGE");
    const auto de = slotBytes(lang, "de");
    for (size_t size : {size_t{0}, size_t{5}, stampMarker(lang).size() + 1}) {
        EXPECT_EQ(readStampValueFrom(lang, de.data(), size), "");
        EXPECT_TRUE(readStampListFrom(lang, de.data(), size).empty());
    }
    EXPECT_EQ(readStampValueFrom(lang, nullptr, 48), "");
    // Cut in the middle of the value: what is there, nothing beyond.
    EXPECT_EQ(readStampValueFrom(lang, de.data(), stampMarker(lang).size() + 2), "d");
}

// The checksum computed the slow, obvious way: every byte that is not in a
// left-out stretch [marker start, slot end - 1), CRC register from zero.
uint32_t referenceCrc(const std::vector<uint8_t>& image) {
    std::vector<bool> skip(image.size(), false);
    const std::string_view hay(reinterpret_cast<const char*>(image.data()), image.size());
    for (const StampSlot& s : kStampSlots) {
        const size_t p = hay.rfind(stampMarker(s));
        if (p == std::string_view::npos)
            continue;
        for (size_t i = p; i < p + s.totalSize - 1 && i < image.size(); ++i)
            skip[i] = true;
    }
    std::vector<uint8_t> kept;
    for (size_t i = 0; i < image.size(); ++i)
        if (!skip[i])
            kept.push_back(image[i]);
    return static_cast<uint32_t>(crc32(0xFFFFFFFFul, kept.data(), static_cast<uInt>(kept.size())));
}

const StampSlotSize kTableSizes = [](const StampSlot& s) -> std::optional<size_t> {
    return s.totalSize;
};

uint32_t launcherCrc(const std::vector<uint8_t>& image, int variant = 0) {
    return computeLauncherCrcOfImage(image.data(), image.size(), variant, kTableSizes);
}

TEST(LauncherCrc, LeavesTheSlotsOut) {
    std::vector<uint8_t> image = testpe::launcherLikeImage();
    const uint32_t base = launcherCrc(image);
    EXPECT_EQ(base, referenceCrc(image));
    EXPECT_EQ(launcherCrc(image, 1), base);

    // Filling every value area (all but its last byte) changes nothing.
    const std::string_view hay(reinterpret_cast<const char*>(image.data()), image.size());
    for (const StampSlot& s : kStampSlots) {
        const size_t value = hay.rfind(stampMarker(s)) + stampMarker(s).size() + 1;
        std::memset(image.data() + value, 'v', s.valueSize - 1);
    }
    EXPECT_EQ(launcherCrc(image), base);
    EXPECT_EQ(launcherCrc(image, 1), base);

    // A byte outside the slots counts.
    image.back() ^= 1;
    EXPECT_NE(launcherCrc(image), base);
}

TEST(LauncherCrc, DamagedMarkerMakesTheSlotCount) {
    std::vector<uint8_t> image = testpe::launcherLikeImage();
    const uint32_t base = launcherCrc(image);
    const std::string_view hay(reinterpret_cast<const char*>(image.data()), image.size());
    image[hay.rfind(stampMarker(slot("PROMOCODE"))) + 2] ^= 0x20;
    EXPECT_NE(launcherCrc(image), base);
    EXPECT_EQ(launcherCrc(image), referenceCrc(image));
}

TEST(LauncherCrc, EdgeImages) {
    EXPECT_EQ(computeLauncherCrcOfImage(nullptr, 0, 0, kTableSizes), 0xFFFFFFFFu);
    const std::vector<uint8_t> tiny = {'M', 'Z', 1, 2};
    EXPECT_EQ(launcherCrc(tiny), referenceCrc(tiny));

    // Missing resources contribute no boundary even when the marker is there.
    const std::vector<uint8_t> image = testpe::launcherLikeImage();
    const auto none = [](const StampSlot&) -> std::optional<size_t> { return std::nullopt; };
    EXPECT_EQ(
        computeLauncherCrcOfImage(image.data(), image.size(), 0, none),
        static_cast<uint32_t>(crc32(0xFFFFFFFFul, image.data(), static_cast<uInt>(image.size()))));

    // A marker at the very end with a resource size that claims more than
    // the image holds: the checksum stops at the image's end.
    std::string tail = "abc" + stampMarker(slot("LANGUAGE"));
    const std::vector<uint8_t> cut(tail.begin(), tail.end());
    EXPECT_EQ(launcherCrc(cut, 0), launcherCrc(cut, 1));
    EXPECT_EQ(launcherCrc(cut), static_cast<uint32_t>(crc32(0xFFFFFFFFul, cut.data(), 3)));
}

} // namespace
