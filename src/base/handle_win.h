// Scoped owners of kernel handles. Each owns exactly one handle and closes it
// on every way out; ownership moves, it is never shared.
#pragma once

#include <windows.h>

#include <utility>

// A kernel object handle whose "none" value is NULL (events, mutexes,
// threads, processes). File handles use CFile (INVALID_HANDLE_VALUE).
class CHandle {
public:
    CHandle() = default;
    explicit CHandle(HANDLE h) : h_(h) {}
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;
    CHandle(CHandle&& other) noexcept : h_(other.release()) {}
    CHandle& operator=(CHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~CHandle() { reset(); }

    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

    // Closes the held handle (if any) and takes `h`.
    void reset(HANDLE h = nullptr) {
        if (h_ != nullptr)
            ::CloseHandle(h_);
        h_ = h;
    }
    HANDLE release() { return std::exchange(h_, nullptr); }

private:
    HANDLE h_ = nullptr;
};

// A FindFirstFileW search, closed with FindClose on every way out.
class CFindHandle {
public:
    explicit CFindHandle(HANDLE h) : hFind(h) {}
    CFindHandle(const CFindHandle&) = delete;
    CFindHandle& operator=(const CFindHandle&) = delete;
    ~CFindHandle() {
        if (isOpen())
            ::FindClose(hFind);
    }
    HANDLE get() const { return hFind; }
    bool isOpen() const { return hFind != INVALID_HANDLE_VALUE; }

private:
    HANDLE hFind;
};
