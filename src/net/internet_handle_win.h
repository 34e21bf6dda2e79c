// Scoped owners of WinINet handles (NULL is "none"). Closing a handle with an operation in flight
// cancels it; the buffers that operation writes to must stay alive until WinINet reports the handle
// closed (see CHttxTransport's parked requests).
#pragma once

#include "base/scoped_handle_win.h"

#include <wininet.h>

namespace NetEx {

struct SInternetHandleTraits {
    using Handle = HINTERNET;
    static Handle none() { return nullptr; }
    static bool close(Handle h) { return ::InternetCloseHandle(h) != FALSE; }
};
using CInternetHandle = CScopedHandle<SInternetHandleTraits>;

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
