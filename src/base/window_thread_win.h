// A thread that runs a message loop around a hidden window of its own and
// dispatches that window's messages through a table of handlers. Other
// threads talk to it only by posting (or sending) messages to `hwnd`.
//
// Threads: Start, Wait, PostQuit and the destructor are called by the
// owner; Run, OnInit, PreTranslate, HandleMessage and OnExit(true) run on the
// new thread; OnExit(false) runs on the owner's thread after the new thread
// was terminated, so it must only release what a dead thread leaves behind
// (the system destroys a dead thread's windows itself).
#pragma once

#include "base/scoped_handle_win.h"
#include "base/thread_win.h"
#include "base/windows_win.h"

#include <atomic>
#include <functional>
#include <map>

class CWindowThread : public CThread {
public:
    // A handler's routine; empty when it was registered without an object
    // or without a member routine (the message then answers 0).
    using Handler = std::function<LRESULT(WPARAM, LPARAM)>;

    CWindowThread();
    // Joins the thread without a time-out before the members go: stop it
    // with PostQuit and Wait first.
    ~CWindowThread() override;

    // Runs OnInit, reports through hInitEvent, then the message loop.
    void Run() override;
    // Start(INFINITE), so the set-up handshake is never skipped; owners
    // should give a bound.
    bool Start() override;
    // Fails while running or while a thread exists. Starts the thread and
    // waits up to `milliseconds` for OnInit; on a time-out the thread is
    // terminated and OnExit(false) runs here. Returns whether OnInit
    // succeeded; after a failure the object can be started again.
    virtual bool Start(unsigned milliseconds);
    // CThread::Wait; a terminated thread that was running gets OnExit(false)
    // here.
    bool Wait(unsigned milliseconds) override;
    // Return true to keep a message from TranslateMessage/DispatchMessageW.
    virtual bool PreTranslate(const MSG* msg);
    // On the new thread before the loop. Derived classes create their
    // window (createThreadWindow), store it in `hwnd`, fill the handler
    // table, then call this, which binds the window to the object. A derived
    // OnInit that fails releases what it created itself (no OnExit follows).
    virtual bool OnInit();
    // `normal`: on the thread after the loop; otherwise on the owner's
    // thread after termination. Derived classes release what OnInit created,
    // then call this.
    virtual void OnExit(bool normal);
    // Posts WM_QUIT to the window while running; posts nothing otherwise.
    virtual void PostQuit();
    // Looks `message` up in the handler table: false without an entry.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    bool isRunning() const { return running; }
    HWND window() const { return hwnd; }

protected:
    // Inserts or replaces the handler of `message`; call in OnInit, on the
    // thread itself.
    template <typename T>
    void SetHandler(UINT message, T* object, LRESULT (T::*routine)(WPARAM, LPARAM)) {
        Handler handler;
        if (object != nullptr && routine != nullptr)
            handler = [object, routine](WPARAM w, LPARAM l) { return (object->*routine)(w, l); };
        handlers[message] = std::move(handler);
    }

    // Registers `className` (once per process) with the shared window
    // procedure and creates a window of it on the calling thread: a
    // message-only window, or a hidden top-level one where broadcasts must
    // arrive. Null on failure.
    static HWND createThreadWindow(const wchar_t* className, bool messageOnly);
    // Destroys `hwnd` when `normal` (only its own thread may) and forgets it.
    void destroyThreadWindow(bool normal);

    // Written on the thread in OnInit; atomic because PostQuit reads it on
    // the owner's thread while the thread may be ending.
    std::atomic<HWND> hwnd{nullptr};
    CHandle hInitEvent;
    std::atomic<bool> running{false};
    std::map<UINT, Handler> handlers;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
