#include "base/window_thread_win.h"

CWindowThread::CWindowThread() : hInitEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CWindowThread::~CWindowThread() {
    // The thread runs this object's members and virtual slots: join it
    // while they still exist.
    CThread::Wait(INFINITE);
}

void CWindowThread::Run() {
    running = OnInit();
    ::SetEvent(hInitEvent.get());
    if (!running)
        return;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!PreTranslate(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    OnExit(true);
}

bool CWindowThread::Start() {
    return Start(INFINITE);
}

bool CWindowThread::Start(unsigned milliseconds) {
    if (running || !hInitEvent || hThread)
        return false;
    ::ResetEvent(hInitEvent.get());
    if (!CThread::Start())
        return false;
    if (::WaitForSingleObject(hInitEvent.get(), milliseconds) != WAIT_OBJECT_0) {
        // A zero wait terminates the thread unless it has just ended.
        CThread::Wait(0);
        OnExit(false);
    } else if (!running) {
        // OnInit failed and the thread is returning: join it so a later
        // Start finds no thread.
        CThread::Wait(milliseconds);
    }
    ::ResetEvent(hInitEvent.get());
    return running;
}

bool CWindowThread::Wait(unsigned milliseconds) {
    const bool joined = CThread::Wait(milliseconds);
    if (!joined && running)
        OnExit(false);
    return joined;
}

bool CWindowThread::PreTranslate(const MSG*) {
    return false;
}

bool CWindowThread::OnInit() {
    const HWND window = hwnd;
    if (window == nullptr)
        return false;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

void CWindowThread::OnExit(bool) {
    running = false;
}

void CWindowThread::PostQuit() {
    if (running)
        ::PostMessageW(hwnd, WM_QUIT, 0, 0);
}

bool CWindowThread::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto it = handlers.find(message);
    if (it == handlers.end())
        return false;
    *result = it->second ? it->second(wParam, lParam) : 0;
    return true;
}

HWND CWindowThread::createThreadWindow(const wchar_t* className, bool messageOnly) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.lpszClassName = className;
    if (::RegisterClassExW(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;
    return ::CreateWindowExW(0, className, L"", WS_POPUP, 0, 0, 0, 0,
                             messageOnly ? HWND_MESSAGE : nullptr, nullptr, instance, nullptr);
}

void CWindowThread::destroyThreadWindow(bool normal) {
    const HWND window = hwnd.exchange(nullptr);
    if (normal && window != nullptr)
        ::DestroyWindow(window);
}

LRESULT CALLBACK CWindowThread::windowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    auto* self = reinterpret_cast<CWindowThread*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    LRESULT result = 0;
    if (self != nullptr && self->hwnd == window &&
        self->HandleMessage(message, wParam, lParam, &result))
        return result;
    return ::DefWindowProcW(window, message, wParam, lParam);
}
