#include "net/net_transport_win.h"

#include "net/status_callback_win.h"

namespace NetEx {

namespace {

constexpr wchar_t kWindowClass[] = L"NetTransportWndClass";
constexpr unsigned kStopWaitMs = 5000;

} // namespace

CNetTransport::CNetTransport() = default;

CNetTransport::~CNetTransport() {
    // The thread runs this object's slots: it must end while they exist.
    PostQuit();
    Wait(kStopWaitMs);
}

bool CNetTransport::OnInit() {
    // A hidden top-level window (not message-only), as the class has always
    // been; it is never shown.
    const HWND window = createThreadWindow(kWindowClass, false);
    if (window == nullptr || !::IsWindow(window)) {
        hwnd = nullptr;
        return false;
    }
    hwnd = window;
    setStatusWindow(window);
    registerHandlers();
    return CWindowThread::OnInit();
}

void CNetTransport::OnExit(bool normal) {
    closeAll();
    const HWND window = hwnd;
    clearStatusWindow(window);
    destroyThreadWindow(normal);
    CWindowThread::OnExit(normal);
}

} // namespace NetEx
