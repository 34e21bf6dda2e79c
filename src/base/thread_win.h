// A worker thread owned by one object. The owner (one thread) calls Start,
// Wait and the destructor; Run runs on the new thread. Workers are stopped by
// their own stop flag and event, then joined with a bounded Wait.
#pragma once

#include "base/scoped_handle_win.h"
#include "base/windows_win.h"

#include <string>

// The routine handed to the C runtime's thread creation for every CThread:
// names the thread when the object has a name, then calls Run. Returns 1 for
// a null parameter, else 0.
unsigned __stdcall ThreadEntry(void* param);

class CThread {
public:
    using ThreadProc = unsigned(__stdcall*)(void*);

    CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;
    // Joins a thread without a time-out. Only a thread that has ended (or
    // ends by itself) may be left to the destructor: by the time it runs,
    // the derived object the thread works on is already gone.
    virtual ~CThread();

    // The thread body; the base does nothing.
    virtual void Run();
    // Fails when a thread exists (Start again only after Wait closed it) or
    // when threadProc/threadParam are missing.
    virtual bool Start();
    // True at once without a thread. Otherwise waits up to `milliseconds`
    // (INFINITE allowed); a thread still running after a finite wait is
    // terminated. The handle is closed in every case. False only when the
    // thread had to be terminated.
    virtual bool Wait(unsigned milliseconds);

protected:
    friend unsigned __stdcall ThreadEntry(void* param);

    // Shown to an attached debugger; empty names the thread nothing.
    std::string name;
    ThreadProc threadProc = ThreadEntry;
    void* threadParam;
    CHandle hThread;

private:
    // Ends the thread and closes the handle.
    void terminateThread();
};
