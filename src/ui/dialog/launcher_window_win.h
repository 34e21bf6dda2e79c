// The launcher's plain main window: a caption, two texts and a progress bar,
// standing in for the skinned dialog. It carries the GUI thread's messages
// to the logic through three hooks and does nothing on its own.
//
// Threads: every member is called on the thread that called Create (the
// thread that runs the message loop); other threads only post or send
// messages to Handle(). Not copyable; the window keeps a pointer to this
// object, so the object must outlive its window (the destructor sees to it).
#pragma once

#include "base/windows_win.h"

#include <functional>
#include <string>

class CLauncherWindow {
public:
    // Every message 2324..2824 and WM_COPYDATA; the result is returned to the sender.
    using UserMessageHook = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;
    // WM_TIMER: true when handled.
    using TimerHook = std::function<bool(UINT_PTR id)>;
    // The player closed the window (WM_CLOSE): the hook decides; the window is not destroyed by it.
    using CloseHook = std::function<void()>;

    // Child control ids.
    static constexpr int kProgressBarId = 12360;
    static constexpr int kProgressTextId = 12361;
    static constexpr int kPageInfoId = 12411;

    CLauncherWindow();
    // Destroys the window; the system destroys the boxes it owns with it.
    ~CLauncherWindow();
    CLauncherWindow(const CLauncherWindow&) = delete;
    CLauncherWindow& operator=(const CLauncherWindow&) = delete;

    // Creates the top-level window of class "LauncherDialogWndClass" hidden,
    // with the caption and its child controls; false on failure or when a
    // window exists. A hook may be empty: its messages then get the default
    // handling (WM_CLOSE is still swallowed). The hooks may destroy the
    // window or show boxes: the window procedure calls a copy of the hook
    // and touches nothing afterwards.
    bool Create(const std::wstring& caption, UserMessageHook onUser, TimerHook onTimer,
                CloseHook onClose);
    // Shows and paints the window.
    void Show();
    // Null before Create and after the window is gone.
    HWND Handle() const { return hWindow; }
    // Texts of the static controls (kProgressTextId, kPageInfoId); plain
    // STATIC controls, so other processes read them with GetWindowTextW.
    void SetText(int controlId, const std::wstring& text);
    // Empty for a missing control or window.
    std::wstring GetText(int controlId) const;
    // Clamped to 0..100.
    void SetProgress(int percent);
    // Plain window timers: a one-shot timer is stopped by its hook.
    bool StartTimer(UINT_PTR id, UINT milliseconds);
    void StopTimer(UINT_PTR id);
    // Idempotent.
    void Destroy();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static bool registerClass(HINSTANCE instance);
    // Hands a message to its hook; false when the default handling applies.
    bool forward(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) const;
    bool createControls(HINSTANCE instance);

    HWND hWindow = nullptr;
    UserMessageHook userHook;
    TimerHook timerHook;
    CloseHook closeHook;
};
