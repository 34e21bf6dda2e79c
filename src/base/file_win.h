// Scoped owners of Win32 file handles: callers open with CreateFileW and keep
// the handle in one of these on their stack so every return path closes it.
#pragma once

#include <windows.h>

#include <utility>

// Keeps the handle value when CloseHandle fails, so the failure stays
// visible to a caller that checks isOpen() after close().
class CFile {
public:
    CFile() = default;
    explicit CFile(HANDLE h) : hFile(h) {}
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    CFile(CFile&& other) noexcept : hFile(other.release()) {}
    CFile& operator=(CFile&& other) noexcept {
        if (this != &other) {
            close();
            hFile = other.release();
        }
        return *this;
    }
    virtual ~CFile() { close(); }

    HANDLE get() const { return hFile; }
    bool isOpen() const { return hFile != INVALID_HANDLE_VALUE; }

    bool close() {
        if (!isOpen())
            return true;
        if (!::CloseHandle(hFile))
            return false;
        hFile = INVALID_HANDLE_VALUE;
        return true;
    }
    // Closes the held handle and takes `h`.
    void reset(HANDLE h) {
        close();
        hFile = h;
    }
    HANDLE release() { return std::exchange(hFile, INVALID_HANDLE_VALUE); }

private:
    HANDLE hFile = INVALID_HANDLE_VALUE;
};

// The wide-path variant: forgets the handle after CloseHandle whatever the
// result, so a handle is never closed twice.
template <typename Char>
class CFileT {
public:
    CFileT() = default;
    explicit CFileT(HANDLE h) : hFile(h) {}
    CFileT(const CFileT&) = delete;
    CFileT& operator=(const CFileT&) = delete;
    virtual ~CFileT() { close(); }

    HANDLE get() const { return hFile; }
    bool isOpen() const { return hFile != INVALID_HANDLE_VALUE; }
    void close() {
        if (isOpen())
            ::CloseHandle(hFile);
        hFile = INVALID_HANDLE_VALUE;
    }
    void reset(HANDLE h) {
        close();
        hFile = h;
    }

private:
    HANDLE hFile = INVALID_HANDLE_VALUE;
};
