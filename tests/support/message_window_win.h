// A message-only window for tests that receive posted messages: the thread
// that creates it owns it and reads its queue.
#pragma once

#include "base/windows_win.h"

namespace testwin {

class CMessageWindow {
public:
    CMessageWindow()
        : hwnd(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                 nullptr)) {}
    CMessageWindow(const CMessageWindow&) = delete;
    CMessageWindow& operator=(const CMessageWindow&) = delete;
    ~CMessageWindow() {
        if (hwnd != nullptr)
            ::DestroyWindow(hwnd);
    }

    HWND get() const { return hwnd; }

private:
    HWND hwnd;
};

} // namespace testwin
