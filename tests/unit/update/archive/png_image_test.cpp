#include "update/archive/png_image.h"

#include "unit/update/archive/fixture_bytes.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace {

struct ImageCase {
    const char* name;
    int width;
    int height;
};

// Expected pixels: ImageMagick's decode of each fixture; 16-bit images as
// the high byte of each sample.
const ImageCase kImages[] = {
    {"grey8", 7, 5},  {"greyalpha8", 7, 5},       {"rgb8", 7, 5},
    {"rgba8", 7, 5},  {"rgba8-interlaced", 7, 5}, {"rgba16", 7, 5},
    {"grey16", 7, 5},
};

bool decode(PngImage& image, const std::vector<uint8_t>& bytes) {
    return image.Decode(bytes.data(), static_cast<int>(bytes.size()));
}

TEST(PngImage, PixelsEqualImageMagicksDecodeAsBgra) {
    for (const ImageCase& c : kImages) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> png = fixturebytes::read(std::string("png/") + c.name + ".png");
        const std::vector<uint8_t> bgra =
            fixturebytes::read(std::string("png/") + c.name + ".bgra");
        ASSERT_EQ(bgra.size(), static_cast<size_t>(c.width) * c.height * 4);
        PngImage image;
        ASSERT_TRUE(decode(image, png));
        EXPECT_TRUE(image.IsDecoded());
        EXPECT_EQ(image.GetWidth(), c.width);
        EXPECT_EQ(image.GetHeight(), c.height);
        EXPECT_EQ(std::vector<uint8_t>(image.GetPixels(), image.GetPixels() + bgra.size()), bgra);
    }
}

TEST(PremultiplyAlpha, MatchesTheFixturesPremultipliedByTheFormula) {
    for (const ImageCase& c : kImages) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> pixels = fixturebytes::read(std::string("png/") + c.name + ".bgra");
        ASSERT_FALSE(pixels.empty());
        PremultiplyAlpha(pixels.data(), pixels.size() / 4);
        EXPECT_EQ(pixels, fixturebytes::read(std::string("png/") + c.name + ".pbgra"));
    }
}

TEST(PremultiplyAlpha, RoundsUpByTheAddedConstant) {
    struct Case {
        uint8_t colour, alpha, expected;
    };
    const Case cases[] = {{255, 0, 0},    {0, 255, 0},     {255, 255, 255}, {1, 255, 1},
                          {128, 128, 64}, {255, 128, 128}, {255, 1, 1},     {1, 254, 1}};
    for (const Case& c : cases) {
        uint8_t pixel[4] = {c.colour, c.colour, c.colour, c.alpha};
        PremultiplyAlpha(pixel, 1);
        EXPECT_EQ(pixel[0], c.expected) << int(c.colour) << " " << int(c.alpha);
        EXPECT_EQ(pixel[2], c.expected);
        EXPECT_EQ(pixel[3], c.alpha);
    }
}

std::vector<uint8_t> withHeaderSize(std::vector<uint8_t> png, uint32_t width, uint32_t height) {
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
        png[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
    }
    const uint32_t crc = static_cast<uint32_t>(crc32(0, png.data() + 12, 17));
    for (int i = 0; i < 4; ++i)
        png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    return png;
}

TEST(PngImage, RefusesWhatItCannotDecode) {
    const std::vector<uint8_t> rgba = fixturebytes::read("png/rgba8.png");
    ASSERT_FALSE(rgba.empty());
    std::vector<uint8_t> badCrc = rgba;
    badCrc[40] ^= 0x55; // inside IDAT
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"palette", fixturebytes::read("png/palette.png")},
        {"truncated", fixturebytes::read("png/truncated.png")},
        {"damaged image data", badCrc},
        {"signature only", std::vector<uint8_t>(rgba.begin(), rgba.begin() + 8)},
        {"not a PNG", std::vector<uint8_t>(100, 'x')},
        // Dimensions the data cannot hold: refused before the pixel array.
        {"16384 x 16384 from 178 bytes", withHeaderSize(rgba, 16384, 16384)},
        {"wider than the limit", withHeaderSize(rgba, 16385, 1)},
        {"zero height", withHeaderSize(rgba, 7, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PngImage image;
        ASSERT_TRUE(decode(image, rgba));
        EXPECT_FALSE(decode(image, c.bytes));
        EXPECT_FALSE(image.IsDecoded());
        EXPECT_EQ(image.GetPixels(), nullptr);
        EXPECT_EQ(image.GetWidth(), 0);
    }
    PngImage image;
    EXPECT_FALSE(image.Decode(nullptr, 100));
    EXPECT_FALSE(image.Decode(rgba.data(), -1));
}

} // namespace
