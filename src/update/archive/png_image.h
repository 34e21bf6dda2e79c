// Decodes a PNG held in memory (the skin's textures) into 32-bit pixels with
// libpng. One thread at a time per object; objects are independent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct png_struct_def;
struct png_info_def;

// Pixels are blue, green, red, alpha, rows top to bottom, 4 × width bytes per
// row. Accepted: 8- and 16-bit grey, RGB, grey + alpha and RGBA; 16-bit
// samples keep their high byte. Palette images and grey below 8 bits are
// refused (the bitmap loader hands them to OLE instead). A tRNS chunk is
// ignored: images without an alpha channel are opaque.
class PngImage {
public:
    PngImage() = default;
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;
    virtual ~PngImage() = default;

    // Replaces any earlier image. False for anything that is not a complete,
    // supported PNG (the object is then empty). `data` is not referred to
    // after the call.
    bool Decode(const void* data, int length);

    bool IsDecoded() const { return decoded; }
    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    // width × height × 4 bytes, owned by the image; null when not decoded.
    const uint8_t* GetPixels() const { return pixels.get(); }

private:
    // Holds the libpng error exit: no object with a destructor may live in
    // the frames between it and libpng.
    bool readImage(png_struct_def* png, png_info_def* info);
    bool readHeader(png_struct_def* png, png_info_def* info);
    void readRows(png_struct_def* png, png_info_def* info);
    void convertRows(int colourType);
    static void readCallback(png_struct_def* png, uint8_t* dest, size_t count);

    bool decoded = false;
    int width = 0;
    int height = 0;
    std::unique_ptr<uint8_t[]> pixels;
    size_t readPosition = 0;
    const uint8_t* source = nullptr;
    size_t sourceLength = 0;
};

// Premultiplies `pixelCount` blue, green, red, alpha pixels in place: each
// colour channel c becomes (alpha × c + 255) >> 8, what AlphaBlend expects.
void PremultiplyAlpha(uint8_t* pixels, size_t pixelCount);
