// One owner for every kind of Win32 handle: a traits type says what "none"
// is and how the handle is closed. Each object owns exactly one handle and
// closes it on every way out; ownership moves, it is never shared.
#pragma once

#include "base/windows_win.h"

#include <utility>

template <typename Traits>
class CScopedHandle {
public:
    using Handle = typename Traits::Handle;

    CScopedHandle() = default;
    explicit CScopedHandle(Handle h) : h_(h) {}
    CScopedHandle(const CScopedHandle&) = delete;
    CScopedHandle& operator=(const CScopedHandle&) = delete;
    CScopedHandle(CScopedHandle&& other) noexcept : h_(other.release()) {}
    CScopedHandle& operator=(CScopedHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~CScopedHandle() { reset(); }

    Handle get() const { return h_; }
    bool isOpen() const { return h_ != Traits::none(); }
    explicit operator bool() const { return isOpen(); }

    // Closes the held handle (if any, whatever the result) and takes `h`.
    void reset(Handle h = Traits::none()) {
        if (isOpen())
            Traits::close(h_);
        h_ = h;
    }
    // Closes the held handle and tells whether that worked; a handle that
    // failed to close is kept, so the failure stays visible to isOpen().
    bool close() {
        if (!isOpen())
            return true;
        if (!Traits::close(h_))
            return false;
        h_ = Traits::none();
        return true;
    }
    Handle release() { return std::exchange(h_, Traits::none()); }
    // For APIs that return the handle through a pointer; the held one is
    // closed first.
    Handle* receive() {
        reset();
        return &h_;
    }

private:
    Handle h_ = Traits::none();
};

// Kernel objects whose "none" is NULL: events, mutexes, threads, processes.
struct SKernelHandleTraits {
    using Handle = HANDLE;
    static Handle none() { return nullptr; }
    static bool close(Handle h) { return ::CloseHandle(h) != FALSE; }
};
using CHandle = CScopedHandle<SKernelHandleTraits>;

// Files, whose "none" is INVALID_HANDLE_VALUE (CreateFileW's failure).
struct SFileHandleTraits {
    using Handle = HANDLE;
    static Handle none() { return INVALID_HANDLE_VALUE; }
    static bool close(Handle h) { return ::CloseHandle(h) != FALSE; }
};
using CFile = CScopedHandle<SFileHandleTraits>;

// A FindFirstFileW search.
struct SFindHandleTraits {
    using Handle = HANDLE;
    static Handle none() { return INVALID_HANDLE_VALUE; }
    static bool close(Handle h) { return ::FindClose(h) != FALSE; }
};
using CFindHandle = CScopedHandle<SFindHandleTraits>;

struct SRegKeyTraits {
    using Handle = HKEY;
    static Handle none() { return nullptr; }
    static bool close(Handle h) { return ::RegCloseKey(h) == ERROR_SUCCESS; }
};

// Bitmaps and other GDI objects.
template <typename GdiHandle>
struct SGdiObjectTraits {
    using Handle = GdiHandle;
    static Handle none() { return nullptr; }
    static bool close(Handle h) { return ::DeleteObject(h) != FALSE; }
};
using CBitmapHandle = CScopedHandle<SGdiObjectTraits<HBITMAP>>;

// Global memory until a stream takes it over (release()).
struct SGlobalMemoryTraits {
    using Handle = HGLOBAL;
    static Handle none() { return nullptr; }
    static bool close(Handle h) { return ::GlobalFree(h) == nullptr; }
};
