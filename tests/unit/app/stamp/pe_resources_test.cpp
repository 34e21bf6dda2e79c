#include "app/stamp/pe_resources.h"

#include "support/pe_builder.h"

#include <gtest/gtest.h>

namespace {

TEST(PeResources, FindsNamedResourcesById) {
    const std::vector<uint8_t> image = testpe::buildImage(
        {{"SERVER_URL", 132, {1, 2, 3}}, {"LANGUAGE", 134, std::vector<uint8_t>(48, 7)}});
    PeError error = PeError::Malformed;
    const auto lang = findPeResource(image.data(), image.size(), "LANGUAGE", 134, &error);
    ASSERT_TRUE(lang);
    EXPECT_EQ(error, PeError::None);
    EXPECT_EQ(lang->size, 48u);
    EXPECT_EQ(image[lang->fileOffset], 7);
    const auto server = findPeResource(image.data(), image.size(), "SERVER_URL", 132);
    ASSERT_TRUE(server);
    EXPECT_EQ(server->size, 3u);
    EXPECT_EQ(image[server->fileOffset + 2], 3);

    EXPECT_FALSE(findPeResource(image.data(), image.size(), "LANGUAGE", 135, &error));
    EXPECT_EQ(error, PeError::NoResources);
    EXPECT_FALSE(findPeResource(image.data(), image.size(), "LANGUAG", 134, &error));
    EXPECT_FALSE(findPeResource(image.data(), image.size(), "PROMOCODE", 137, &error));
}

TEST(PeResources, RefusesWhatIsNotAnImage) {
    const std::vector<std::vector<uint8_t>> inputs = {
        {}, {'M'}, {'M', 'Z'}, std::vector<uint8_t>(4096, 0), {'P', 'K', 3, 4, 0, 0}};
    for (const auto& input : inputs) {
        PeError error = PeError::None;
        EXPECT_FALSE(findPeResource(input.data(), input.size(), "LANGUAGE", 134, &error));
        EXPECT_EQ(error, PeError::NotPe);
        EXPECT_FALSE(isPeImage(input.data(), input.size()));
    }
    EXPECT_FALSE(findPeResource(nullptr, 100, "LANGUAGE", 134));
}

TEST(PeResources, SurvivesEveryTruncation) {
    const std::vector<uint8_t> image = testpe::buildImage({{"LANGUAGE", 134, {9, 9, 9, 9}}});
    for (size_t n = 0; n <= image.size(); ++n) {
        const auto r = findPeResource(image.data(), n, "LANGUAGE", 134);
        if (r) {
            EXPECT_LE(r->fileOffset + r->size, n);
        }
    }
}

TEST(PeResources, HostileFieldsAreBounded) {
    const std::vector<uint8_t> good = testpe::buildImage({{"LANGUAGE", 134, {9, 9, 9, 9}}});
    const size_t rsrc = 0x200;
    struct Damage {
        const char* what;
        size_t at;
        uint32_t value;
    };
    const Damage damages[] = {
        {"pe offset past the end", 0x3C, 0x7FFFFFF0},
        {"section count huge", 0x46, 0xFFFF},
        {"optional header size huge", 0x54, 0xFFFF},
        {"resource rva outside sections", 0x58 + 96 + 16, 0x90000000},
        {"root entry counts huge", rsrc + 12, 0xFFFFFFFF},
        {"type name offset huge", rsrc + 16, 0xFFFFFFFF},
        {"type dir offset huge", rsrc + 20, 0xFFFFFFFF},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        std::vector<uint8_t> image = good;
        if (d.value > 0xFFFF || d.at == rsrc + 12)
            testpe::put32(image, d.at, d.value);
        else
            testpe::put16(image, d.at, d.value);
        const auto r = findPeResource(image.data(), image.size(), "LANGUAGE", 134);
        if (r) {
            EXPECT_LE(r->fileOffset + r->size, image.size());
        }
    }
    // The data entry claims more bytes than the section holds.
    std::vector<uint8_t> image = good;
    const auto where = findPeResource(image.data(), image.size(), "LANGUAGE", 134);
    ASSERT_TRUE(where);
    image.resize(where->fileOffset + 2);
    PeError error = PeError::None;
    EXPECT_FALSE(findPeResource(image.data(), image.size(), "LANGUAGE", 134, &error));
}

} // namespace
