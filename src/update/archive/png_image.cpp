#include "update/archive/png_image.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

constexpr size_t kSignatureSize = 8;
constexpr png_uint_32 kMaxSide = 16384;
// Deflate expands at most about 1032:1 and every pixel takes at least one
// raw byte: a header promising more pixels than that is refused before the
// pixel array is allocated.
constexpr uint64_t kMaxInflateRatio = 1032;

[[noreturn]] void onError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

bool isSupportedColourType(int colourType) {
    return colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA ||
           colourType == PNG_COLOR_TYPE_RGB || colourType == PNG_COLOR_TYPE_RGB_ALPHA;
}

// The rows hold raw pixels at the start of each 4 × width slot; walking from
// the right end, every write lands at or after the raw bytes still unread.
void expandGrey(uint8_t* row, size_t width) {
    for (size_t x = width; x-- > 0;) {
        const uint8_t grey = row[x];
        uint8_t* out = row + 4 * x;
        out[0] = out[1] = out[2] = grey;
        out[3] = 255;
    }
}

void expandGreyAlpha(uint8_t* row, size_t width) {
    for (size_t x = width; x-- > 0;) {
        const uint8_t grey = row[2 * x];
        const uint8_t alpha = row[2 * x + 1];
        uint8_t* out = row + 4 * x;
        out[0] = out[1] = out[2] = grey;
        out[3] = alpha;
    }
}

void expandRgb(uint8_t* row, size_t width) {
    for (size_t x = width; x-- > 0;) {
        const uint8_t red = row[3 * x];
        const uint8_t green = row[3 * x + 1];
        const uint8_t blue = row[3 * x + 2];
        uint8_t* out = row + 4 * x;
        out[0] = blue;
        out[1] = green;
        out[2] = red;
        out[3] = 255;
    }
}

void swapRedBlue(uint8_t* row, size_t width) {
    for (size_t x = 0; x < width; ++x) {
        const uint8_t red = row[4 * x];
        row[4 * x] = row[4 * x + 2];
        row[4 * x + 2] = red;
    }
}

} // namespace

bool PngImage::Decode(const void* data, int length) {
    decoded = false;
    width = height = 0;
    pixels.reset();
    if (!data || length < static_cast<int>(kSignatureSize) ||
        png_sig_cmp(static_cast<png_const_bytep>(data), 0, kSignatureSize) != 0)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    source = static_cast<const uint8_t*>(data);
    sourceLength = static_cast<size_t>(length);
    readPosition = 0;
    const bool read = info && readImage(png, info);
    if (read)
        convertRows(png_get_color_type(png, info));
    png_destroy_read_struct(&png, &info, nullptr);
    source = nullptr;
    sourceLength = readPosition = 0;
    if (!read) {
        pixels.reset();
        width = height = 0;
    }
    decoded = read;
    return read;
}

bool PngImage::readImage(png_struct_def* png, png_info_def* info) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, this, readCallback);
    if (!readHeader(png, info))
        return false;
    readRows(png, info);
    return true;
}

bool PngImage::readHeader(png_struct_def* png, png_info_def* info) {
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);
    const png_uint_32 imageWidth = png_get_image_width(png, info);
    const png_uint_32 imageHeight = png_get_image_height(png, info);
    if (png_get_bit_depth(png, info) < 8 || !isSupportedColourType(png_get_color_type(png, info)))
        return false;
    if (static_cast<uint64_t>(imageWidth) * imageHeight > kMaxInflateRatio * sourceLength)
        return false;
    // One byte per sample: 16-bit samples keep their high byte.
    png_set_strip_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t stride = static_cast<size_t>(imageWidth) * 4;
    if (png_get_rowbytes(png, info) > stride)
        return false;
    width = static_cast<int>(imageWidth);
    height = static_cast<int>(imageHeight);
    pixels = std::make_unique_for_overwrite<uint8_t[]>(stride * imageHeight);
    return true;
}

// Interlaced images are read in seven passes over the same rows; each pass
// fills in only its own pixels.
void PngImage::readRows(png_struct_def* png, png_info_def* info) {
    const int passes =
        png_get_interlace_type(png, info) == PNG_INTERLACE_ADAM7 ? PNG_INTERLACE_ADAM7_PASSES : 1;
    const size_t stride = static_cast<size_t>(width) * 4;
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < height; ++y)
            png_read_row(png, pixels.get() + stride * static_cast<size_t>(y), nullptr);
    }
}

void PngImage::convertRows(int colourType) {
    const size_t rowPixels = static_cast<size_t>(width);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = pixels.get() + rowPixels * 4 * static_cast<size_t>(y);
        switch (colourType) {
        case PNG_COLOR_TYPE_GRAY:
            expandGrey(row, rowPixels);
            break;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            expandGreyAlpha(row, rowPixels);
            break;
        case PNG_COLOR_TYPE_RGB:
            expandRgb(row, rowPixels);
            break;
        default:
            swapRedBlue(row, rowPixels);
            break;
        }
    }
}

void PngImage::readCallback(png_struct_def* png, uint8_t* dest, size_t count) {
    PngImage* self = static_cast<PngImage*>(png_get_io_ptr(png));
    if (count > self->sourceLength - self->readPosition)
        png_error(png, "read past the end of the data");
    std::memcpy(dest, self->source + self->readPosition, count);
    self->readPosition += count;
}

void PremultiplyAlpha(uint8_t* pixels, size_t pixelCount) {
    for (size_t i = 0; i < pixelCount; ++i) {
        uint8_t* pixel = pixels + 4 * i;
        const unsigned alpha = pixel[3];
        for (int c = 0; c < 3; ++c)
            pixel[c] = static_cast<uint8_t>((alpha * pixel[c] + 255) >> 8);
    }
}
