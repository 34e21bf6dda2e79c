// Finds message boxes shown by a process (this one or a child), records
// their caption, text and push buttons, and answers them, so tests can
// drive code that reports errors or asks in a box. Works for MessageBoxW
// boxes and for the launcher's own dialogs of the same class "#32770".
//
// By default every box is recorded, then OK is pressed and the box closed.
// setAnswer picks the button to press instead. Reading a box's texts sends
// it messages: a box of this process needs its thread to pump messages.
#pragma once

#include "base/scoped_handle_win.h"
#include "base/windows_win.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testwin {

struct SeenBox {
    std::wstring caption;
    std::wstring text;
    // Ids of the visible push buttons, in the box's tab order.
    std::vector<int> buttons;
    // The box itself, for a policy that fills in its edit box first.
    HWND hwnd = nullptr;
};

class CMessageBoxWatcher {
public:
    // The id of the button to press (IDOK, IDRETRY, IDCANCEL, ...), or 0 to
    // leave the box open and ask again on the next look; a box is recorded
    // once however often it is asked about.
    using AnswerPolicy = std::function<int(const SeenBox&)>;

    explicit CMessageBoxWatcher(DWORD processId = ::GetCurrentProcessId())
        : pid(processId), worker([this] { watch(); }) {}
    CMessageBoxWatcher(const CMessageBoxWatcher&) = delete;
    CMessageBoxWatcher& operator=(const CMessageBoxWatcher&) = delete;
    ~CMessageBoxWatcher() {
        stop = true;
        worker.join();
    }

    void setProcess(DWORD processId) { pid = processId; }

    // Replaces the default "press OK and close" for the boxes found from now on.
    void setAnswer(AnswerPolicy choose) {
        std::lock_guard<std::mutex> lock(mutex);
        policy = std::move(choose);
    }

    std::vector<SeenBox> boxes() {
        std::lock_guard<std::mutex> lock(mutex);
        return seen;
    }

private:
    // A box recorded and not yet gone; only the worker thread uses these.
    struct Tracked {
        HWND hwnd;
        SeenBox box;
        bool answered;
    };

    static std::wstring textOf(HWND w) {
        std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(w)) + 1, L'\0');
        text.resize(
            static_cast<size_t>(::GetWindowTextW(w, text.data(), static_cast<int>(text.size()))));
        return text;
    }

    static std::wstring classOf(HWND w) {
        wchar_t cls[32] = {};
        ::GetClassNameW(w, cls, 31);
        return cls;
    }

    static BOOL CALLBACK findStatic(HWND child, LPARAM param) {
        auto* text = reinterpret_cast<std::wstring*>(param);
        if (lstrcmpiW(classOf(child).c_str(), L"Static") == 0 && !textOf(child).empty()) {
            *text = textOf(child);
            return FALSE;
        }
        return TRUE;
    }

    static BOOL CALLBACK findButton(HWND child, LPARAM param) {
        auto* ids = reinterpret_cast<std::vector<int>*>(param);
        const auto style = static_cast<DWORD>(::GetWindowLongW(child, GWL_STYLE));
        const DWORD kind = style & BS_TYPEMASK;
        if (lstrcmpiW(classOf(child).c_str(), L"Button") == 0 && (style & WS_VISIBLE) != 0 &&
            (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON))
            ids->push_back(::GetDlgCtrlID(child));
        return TRUE;
    }

    static SeenBox read(HWND w) {
        SeenBox box{textOf(w), L"", {}, w};
        ::EnumChildWindows(w, findStatic, reinterpret_cast<LPARAM>(&box.text));
        ::EnumChildWindows(w, findButton, reinterpret_cast<LPARAM>(&box.buttons));
        return box;
    }

    static BOOL CALLBACK visit(HWND w, LPARAM param) {
        auto* self = reinterpret_cast<CMessageBoxWatcher*>(param);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(w, &owner);
        if (owner != self->pid || classOf(w) != L"#32770" || !::IsWindowVisible(w))
            return TRUE;
        self->handle(w);
        return TRUE;
    }

    void handle(HWND w) {
        auto it = std::find_if(tracked.begin(), tracked.end(),
                               [w](const Tracked& t) { return t.hwnd == w; });
        if (it == tracked.end()) {
            tracked.push_back({w, read(w), false});
            it = std::prev(tracked.end());
            std::lock_guard<std::mutex> lock(mutex);
            seen.push_back(it->box);
        }
        if (it->answered)
            return;
        AnswerPolicy choose;
        {
            std::lock_guard<std::mutex> lock(mutex);
            choose = policy;
        }
        if (!choose) {
            ::PostMessageW(w, WM_COMMAND, IDOK, 0);
            ::PostMessageW(w, WM_CLOSE, 0, 0);
            ::ShowWindow(w, SW_HIDE);
            it->answered = true;
            return;
        }
        const int id = choose(it->box);
        if (id == 0)
            return;
        ::PostMessageW(w, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(w, id)));
        it->answered = true;
    }

    void watch() {
        while (!stop) {
            std::erase_if(tracked, [](const Tracked& t) { return !::IsWindow(t.hwnd); });
            ::EnumWindows(visit, reinterpret_cast<LPARAM>(this));
            ::Sleep(20);
        }
    }

    std::atomic<DWORD> pid;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::vector<SeenBox> seen;
    AnswerPolicy policy;
    std::vector<Tracked> tracked;
    std::thread worker;
};

// Dispatches this thread's messages until `done` holds or `timeoutMs` (a
// bound against hangs) has passed; returns `done()`. The pending messages
// are always dispatched first, so a `done` that is already true drains
// the queue.
inline bool pumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done())
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

} // namespace testwin
