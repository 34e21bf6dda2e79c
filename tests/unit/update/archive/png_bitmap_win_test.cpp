#include "update/archive/png_bitmap_win.h"

#include "unit/update/archive/fixture_bytes.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <string>
#include <vector>

namespace {

class LoadImageBitmapTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    void TearDown() override { ::CoUninitialize(); }

    static CBitmapHandle load(const std::string& name, bool premultiply) {
        const std::vector<uint8_t> bytes = fixturebytes::read("png/" + name);
        EXPECT_FALSE(bytes.empty()) << name;
        return CBitmapHandle(
            LoadImageBitmap(bytes.data(), static_cast<int>(bytes.size()), premultiply));
    }
};

DIBSECTION sectionOf(HBITMAP bitmap) {
    DIBSECTION section{};
    EXPECT_EQ(::GetObjectW(bitmap, sizeof(section), &section), static_cast<int>(sizeof(section)));
    return section;
}

TEST_F(LoadImageBitmapTest, PngBecomesATopDownDibWithTheDecodedPixels) {
    struct Case {
        const char* name;
        bool premultiply;
        const char* expected;
    };
    const Case cases[] = {
        {"rgba8", true, "rgba8.pbgra"},
        {"rgba8", false, "rgba8.bgra"},
        {"greyalpha8", true, "greyalpha8.pbgra"},
        {"rgb8", true, "rgb8.pbgra"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.premultiply ? " premultiplied" : ""));
        const CBitmapHandle bitmap = load(std::string(c.name) + ".png", c.premultiply);
        ASSERT_TRUE(bitmap);
        const DIBSECTION section = sectionOf(bitmap.get());
        EXPECT_EQ(section.dsBm.bmWidth, 7);
        EXPECT_EQ(section.dsBm.bmHeight, 5);
        EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
        const std::vector<uint8_t> expected = fixturebytes::read(std::string("png/") + c.expected);
        ASSERT_EQ(expected.size(), 7u * 5u * 4u);
        // GetObject reports a positive height even for a top-down section:
        // the first row of bits being the image's top row shows the order.
        const uint8_t* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
        EXPECT_EQ(std::vector<uint8_t>(bits, bits + expected.size()), expected);
    }
}

TEST_F(LoadImageBitmapTest, PaletteImageComesThroughOle) {
    const CBitmapHandle bitmap = load("palette.png", true);
    ASSERT_TRUE(bitmap);
    BITMAP info{};
    ASSERT_EQ(::GetObjectW(bitmap.get(), sizeof(info), &info), static_cast<int>(sizeof(info)));
    EXPECT_EQ(info.bmWidth, 9);
    EXPECT_EQ(info.bmHeight, 4);
}

TEST_F(LoadImageBitmapTest, UnreadableBytesGiveNoBitmap) {
    EXPECT_FALSE(load("truncated.png", true));
    const std::string text = "neither a PNG nor any picture";
    EXPECT_EQ(LoadImageBitmap(text.data(), static_cast<int>(text.size()), true), nullptr);
    EXPECT_EQ(LoadImageBitmap(nullptr, 10, true), nullptr);
    EXPECT_EQ(LoadImageBitmap(text.data(), 0, true), nullptr);
}

TEST(PremultiplyAlphaBitmap, OnlyThirtyTwoBitSections) {
    const CBitmapHandle monochrome(::CreateBitmap(4, 4, 1, 1, nullptr));
    ASSERT_TRUE(monochrome);
    EXPECT_FALSE(PremultiplyAlpha(monochrome.get()));
    EXPECT_FALSE(PremultiplyAlpha(static_cast<HBITMAP>(nullptr)));
}

} // namespace
