// Finds message boxes shown by a process (this one or a child), records
// their caption and text, and closes them, so tests can drive code that
// reports errors in a box.
#pragma once

#include "base/handle_win.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testwin {

struct SeenBox {
    std::wstring caption;
    std::wstring text;
};

class CMessageBoxWatcher {
public:
    explicit CMessageBoxWatcher(DWORD processId = ::GetCurrentProcessId())
        : pid(processId), worker([this] { watch(); }) {}
    CMessageBoxWatcher(const CMessageBoxWatcher&) = delete;
    CMessageBoxWatcher& operator=(const CMessageBoxWatcher&) = delete;
    ~CMessageBoxWatcher() {
        stop = true;
        worker.join();
    }

    void setProcess(DWORD processId) { pid = processId; }

    std::vector<SeenBox> boxes() {
        std::lock_guard<std::mutex> lock(mutex);
        return seen;
    }

private:
    static std::wstring textOf(HWND w) {
        wchar_t buf[512] = {};
        ::GetWindowTextW(w, buf, 511);
        return buf;
    }

    static BOOL CALLBACK findStatic(HWND child, LPARAM param) {
        wchar_t cls[32] = {};
        ::GetClassNameW(child, cls, 31);
        auto* text = reinterpret_cast<std::wstring*>(param);
        if (lstrcmpiW(cls, L"Static") == 0 && !textOf(child).empty()) {
            *text = textOf(child);
            return FALSE;
        }
        return TRUE;
    }

    static BOOL CALLBACK visit(HWND w, LPARAM param) {
        auto* self = reinterpret_cast<CMessageBoxWatcher*>(param);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(w, &owner);
        wchar_t cls[32] = {};
        ::GetClassNameW(w, cls, 31);
        if (owner != self->pid || lstrcmpW(cls, L"#32770") != 0 || !::IsWindowVisible(w))
            return TRUE;
        SeenBox box{textOf(w), L""};
        ::EnumChildWindows(w, findStatic, reinterpret_cast<LPARAM>(&box.text));
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            self->seen.push_back(box);
        }
        ::PostMessageW(w, WM_COMMAND, IDOK, 0);
        ::PostMessageW(w, WM_CLOSE, 0, 0);
        ::ShowWindow(w, SW_HIDE);
        return TRUE;
    }

    void watch() {
        while (!stop) {
            ::EnumWindows(visit, reinterpret_cast<LPARAM>(this));
            ::Sleep(20);
        }
    }

    std::atomic<DWORD> pid;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::vector<SeenBox> seen;
    std::thread worker;
};

} // namespace testwin
