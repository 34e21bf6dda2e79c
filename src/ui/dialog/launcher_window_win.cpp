#include "ui/dialog/launcher_window_win.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr wchar_t kClassName[] = L"LauncherDialogWndClass";
constexpr UINT kFirstUserMessage = 2324;
constexpr UINT kLastUserMessage = 2824;

// Client area and control rectangles, in pixels.
constexpr int kClientWidth = 480;
constexpr int kClientHeight = 160;
constexpr int kMargin = 16;
constexpr int kControlWidth = kClientWidth - 2 * kMargin;

struct ControlLayout {
    int id;
    const wchar_t* className;
    DWORD style;
    int y;
    int height;
};

// Top to bottom: the page text wraps over three lines, the progress text
// stays on one.
constexpr ControlLayout kControls[] = {
    {CLauncherWindow::kPageInfoId, L"STATIC", SS_LEFT | SS_NOPREFIX, kMargin, 48},
    {CLauncherWindow::kProgressTextId, L"STATIC", SS_LEFTNOWORDWRAP | SS_NOPREFIX, 76, 20},
    {CLauncherWindow::kProgressBarId, PROGRESS_CLASSW, 0, 104, 20},
};

bool isUserMessage(UINT message) {
    return (message >= kFirstUserMessage && message <= kLastUserMessage) || message == WM_COPYDATA;
}

} // namespace

CLauncherWindow::CLauncherWindow() = default;

CLauncherWindow::~CLauncherWindow() {
    Destroy();
}

bool CLauncherWindow::Create(const std::wstring& caption, UserMessageHook onUser, TimerHook onTimer,
                             CloseHook onClose) {
    if (hWindow != nullptr)
        return false;
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    if (!::InitCommonControlsEx(&controls) || !registerClass(instance))
        return false;
    userHook = std::move(onUser);
    timerHook = std::move(onTimer);
    closeHook = std::move(onClose);

    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame = {0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    // WM_NCCREATE stores `this` in the window and sets hWindow.
    const HWND window = ::CreateWindowExW(
        0, kClassName, caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
        frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this);
    if (window == nullptr)
        return false;
    if (!createControls(instance)) {
        Destroy();
        return false;
    }
    return true;
}

bool CLauncherWindow::registerClass(HINSTANCE instance) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool CLauncherWindow::createControls(HINSTANCE instance) {
    // A stock object: never deleted.
    const auto font = reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT));
    for (const ControlLayout& c : kControls) {
        const HWND control = ::CreateWindowExW(0, c.className, L"", WS_CHILD | WS_VISIBLE | c.style,
                                               kMargin, c.y, kControlWidth, c.height, hWindow,
                                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                               instance, nullptr);
        if (control == nullptr)
            return false;
        ::SendMessageW(control, WM_SETFONT, font, FALSE);
    }
    ::SendDlgItemMessageW(hWindow, kProgressBarId, PBM_SETRANGE32, 0, 100);
    return true;
}

void CLauncherWindow::Show() {
    if (hWindow == nullptr)
        return;
    ::ShowWindow(hWindow, SW_SHOW);
    ::UpdateWindow(hWindow);
}

void CLauncherWindow::SetText(int controlId, const std::wstring& text) {
    if (hWindow != nullptr)
        ::SetDlgItemTextW(hWindow, controlId, text.c_str());
}

std::wstring CLauncherWindow::GetText(int controlId) const {
    const HWND control = hWindow != nullptr ? ::GetDlgItem(hWindow, controlId) : nullptr;
    if (control == nullptr)
        return {};
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

void CLauncherWindow::SetProgress(int percent) {
    if (hWindow != nullptr)
        ::SendDlgItemMessageW(hWindow, kProgressBarId, PBM_SETPOS,
                              static_cast<WPARAM>(std::clamp(percent, 0, 100)), 0);
}

bool CLauncherWindow::StartTimer(UINT_PTR id, UINT milliseconds) {
    return hWindow != nullptr && ::SetTimer(hWindow, id, milliseconds, nullptr) != 0;
}

void CLauncherWindow::StopTimer(UINT_PTR id) {
    if (hWindow != nullptr)
        ::KillTimer(hWindow, id);
}

void CLauncherWindow::Destroy() {
    // WM_NCDESTROY clears hWindow.
    if (hWindow != nullptr)
        ::DestroyWindow(hWindow);
}

bool CLauncherWindow::forward(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) const {
    // Copies: a hook may destroy this object or replace the hooks while it runs.
    if (isUserMessage(message)) {
        const UserMessageHook hook = userHook;
        if (!hook)
            return false;
        *result = hook(message, wParam, lParam);
        return true;
    }
    if (message == WM_TIMER) {
        const TimerHook hook = timerHook;
        *result = 0;
        return hook && hook(static_cast<UINT_PTR>(wParam));
    }
    if (message == WM_CLOSE) {
        const CloseHook hook = closeHook;
        *result = 0;
        if (hook)
            hook();
        return true;
    }
    return false;
}

LRESULT CALLBACK CLauncherWindow::windowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CLauncherWindow*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hWindow = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CLauncherWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
        return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // However the window goes, the object forgets it here.
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->hWindow = nullptr;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    if (self->forward(message, wParam, lParam, &result))
        return result;
    return ::DefWindowProcW(window, message, wParam, lParam);
}
