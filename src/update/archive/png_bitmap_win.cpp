#include "update/archive/png_bitmap_win.h"

#include <ole2.h>
#include <olectl.h>

#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// Holds one COM reference and releases it on every way out.
template <class T>
class CComRef {
public:
    CComRef() = default;
    CComRef(const CComRef&) = delete;
    CComRef& operator=(const CComRef&) = delete;
    ~CComRef() {
        if (pointer)
            pointer->Release();
    }

    T* get() const { return pointer; }
    T* operator->() const { return pointer; }
    // For the out parameter of a creating call; the object must be empty.
    T** out() { return &pointer; }

private:
    T* pointer = nullptr;
};

// Copies `size` bytes into global memory that a stream can take over.
bool fillGlobalMemory(HGLOBAL memory, const void* data, SIZE_T size) {
    void* locked = memory ? ::GlobalLock(memory) : nullptr;
    if (!locked)
        return false;
    std::memcpy(locked, data, size);
    ::GlobalUnlock(memory);
    return true;
}

// The screen's device context, released to the desktop window.
struct SScreenDcTraits {
    using Handle = HDC;
    static Handle none() { return nullptr; }
    static bool close(Handle h) { return ::ReleaseDC(nullptr, h) != 0; }
};

HBITMAP createTopDownDib(int width, int height, void** bits) {
    const CScopedHandle<SScreenDcTraits> screen(::GetDC(nullptr));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // negative: rows top to bottom
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return ::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

HBITMAP bitmapFromPng(const PngImage& image, bool premultiply) {
    void* bits = nullptr;
    CBitmapHandle bitmap(createTopDownDib(image.GetWidth(), image.GetHeight(), &bits));
    if (!bitmap || !bits)
        return nullptr;
    const size_t pixelCount =
        static_cast<size_t>(image.GetWidth()) * static_cast<size_t>(image.GetHeight());
    std::memcpy(bits, image.GetPixels(), pixelCount * 4);
    if (premultiply)
        PremultiplyAlpha(bitmap.get());
    return bitmap.release();
}

HBITMAP bitmapFromOle(const void* data, int length, bool premultiply) {
    CScopedHandle<SGlobalMemoryTraits> memory(::GlobalAlloc(GMEM_MOVEABLE, length));
    if (!fillGlobalMemory(memory.get(), data, static_cast<SIZE_T>(length)))
        return nullptr;
    CComRef<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(memory.get(), TRUE, stream.out())))
        return nullptr;
    memory.release(); // the stream frees it now
    CComRef<IPicture> picture;
    if (FAILED(::OleLoadPicture(stream.get(), length, FALSE, IID_IPicture,
                                reinterpret_cast<void**>(picture.out()))))
        return nullptr;
    SHORT type = PICTYPE_UNINITIALIZED;
    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Type(&type)) || type != PICTYPE_BITMAP ||
        FAILED(picture->get_Handle(&handle)))
        return nullptr;
    // OLE_HANDLE is 32 bits on every target; GDI handles are sign-extended.
    const HBITMAP owned =
        reinterpret_cast<HBITMAP>(static_cast<LONG_PTR>(static_cast<LONG>(handle)));
    // The picture deletes its bitmap when released: keep a copy.
    CBitmapHandle copy(
        static_cast<HBITMAP>(::CopyImage(owned, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    DWORD attributes = 0;
    if (copy && premultiply && SUCCEEDED(picture->get_Attributes(&attributes)) &&
        (attributes & PICTURE_TRANSPARENT))
        PremultiplyAlpha(copy.get());
    return copy.release();
}

} // namespace

HBITMAP LoadImageBitmap(const void* data, int length, bool premultiply) {
    if (!data || length <= 0)
        return nullptr;
    PngImage image;
    if (image.Decode(data, length))
        return bitmapFromPng(image, premultiply);
    return bitmapFromOle(data, length, premultiply);
}

bool PremultiplyAlpha(HBITMAP bitmap) {
    DIBSECTION section{};
    if (::GetObjectW(bitmap, sizeof(section), &section) != sizeof(section) ||
        section.dsBm.bmBitsPixel != 32 || !section.dsBm.bmBits)
        return false;
    // GDI may still be drawing into the bits.
    ::GdiFlush();
    // 32-bit rows have no padding: the pixels are contiguous.
    PremultiplyAlpha(static_cast<uint8_t*>(section.dsBm.bmBits),
                     static_cast<size_t>(section.dsBm.bmWidth) *
                         static_cast<size_t>(std::abs(section.dsBm.bmHeight)));
    return true;
}
