// Turns image bytes (the skin's textures) into GDI bitmaps: PNG through
// PngImage, anything else OLE can read through OleLoadPicture.
#pragma once

#include "base/scoped_handle_win.h"
#include "update/archive/png_image.h"

// A PNG that PngImage decodes becomes a top-down 32-bit DIB section of its
// size (premultiplied when `premultiply` is set). Other bytes (palette PNG,
// BMP, GIF, JPEG) are loaded by OLE and copied, premultiplied only when the
// picture reports transparency and `premultiply` is set. The caller owns the
// result (DeleteObject); null on failure. The OLE path needs COM initialised
// on the calling thread.
HBITMAP LoadImageBitmap(const void* data, int length, bool premultiply);

// Premultiplies a 32-bit DIB section in place; false (bitmap unchanged) for
// any other bitmap.
bool PremultiplyAlpha(HBITMAP bitmap);
