// Scoped owner of one WinINet handle (NULL is "none"). Ownership moves, it is
// never shared. Closing a handle with an operation in flight cancels it; the
// buffers that operation writes to must stay alive until WinINet reports
// the handle closed (see CHttxTransport's parked requests).
#pragma once

#include <windows.h>

#include <wininet.h>

#include <utility>

namespace NetEx {

class CInternetHandle {
public:
    CInternetHandle() = default;
    explicit CInternetHandle(HINTERNET h) : h_(h) {}
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;
    CInternetHandle(CInternetHandle&& other) noexcept : h_(other.release()) {}
    CInternetHandle& operator=(CInternetHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~CInternetHandle() { reset(); }

    HINTERNET get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

    // Closes the held handle (if any) and takes `h`.
    void reset(HINTERNET h = nullptr) {
        if (h_ != nullptr)
            ::InternetCloseHandle(h_);
        h_ = h;
    }
    HINTERNET release() { return std::exchange(h_, nullptr); }

private:
    HINTERNET h_ = nullptr;
};

// The root handle: the status callback is removed before the handle is
// closed, so no callback runs for a session that is going away.
class CInternetSession {
public:
    CInternetSession() = default;
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;
    ~CInternetSession() { reset(); }

    HINTERNET get() const { return handle.get(); }
    explicit operator bool() const { return static_cast<bool>(handle); }
    void reset(HINTERNET h = nullptr) {
        if (handle)
            ::InternetSetStatusCallbackA(handle.get(), nullptr);
        handle.reset(h);
    }

private:
    CInternetHandle handle;
};

} // namespace NetEx
