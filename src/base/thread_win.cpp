#include "base/thread_win.h"

#include <process.h>

namespace {

// The exception debuggers (Visual Studio, WinDbg, Wine's debugger) read as
// "name this thread".
constexpr DWORD kSetThreadNameException = 0x406D1388;

#pragma pack(push, 8)
struct ThreadNameInfo {
    DWORD dwType;     // always 0x1000
    LPCSTR szName;    // the new name
    DWORD dwThreadId; // -1: the calling thread
    DWORD dwFlags;    // reserved, 0
};
#pragma pack(pop)

// TerminateThread only asks for the end; OnExit(false) must not run beside a
// thread that is still alive, so we wait for the end this long.
constexpr DWORD kTerminationWaitMs = 1000;

LONG NTAPI continueAfterThreadName(EXCEPTION_POINTERS* info) {
    return info->ExceptionRecord->ExceptionCode == kSetThreadNameException
               ? EXCEPTION_CONTINUE_EXECUTION
               : EXCEPTION_CONTINUE_SEARCH;
}

// mingw's GCC has no SEH __try, so the naming exception is swallowed by a
// vectored handler that lives only around the raise. An attached debugger
// gets the first chance, before any vectored handler, and takes the name;
// without one our handler continues execution. We raise whether a debugger
// is attached or not (no IsDebuggerPresent test) so this path runs, and is
// tested, the same way everywhere.
class CScopedNameHandler {
public:
    CScopedNameHandler() : handler(::AddVectoredExceptionHandler(1, continueAfterThreadName)) {}
    CScopedNameHandler(const CScopedNameHandler&) = delete;
    CScopedNameHandler& operator=(const CScopedNameHandler&) = delete;
    ~CScopedNameHandler() {
        if (handler != nullptr)
            ::RemoveVectoredExceptionHandler(handler);
    }
    bool installed() const { return handler != nullptr; }

private:
    PVOID handler;
};

void nameCallingThread(const std::string& threadName) {
    if (threadName.empty())
        return;
    CScopedNameHandler scope;
    if (!scope.installed())
        return;
    ThreadNameInfo info = {0x1000, threadName.c_str(), static_cast<DWORD>(-1), 0};
    ::RaiseException(kSetThreadNameException, 0, sizeof(info) / sizeof(ULONG_PTR),
                     reinterpret_cast<const ULONG_PTR*>(&info));
}

} // namespace

unsigned __stdcall ThreadEntry(void* param) {
    if (param == nullptr)
        return 1;
    CThread* thread = static_cast<CThread*>(param);
    nameCallingThread(thread->name);
    thread->Run();
    return 0;
}

CThread::CThread() : threadParam(this) {}

CThread::~CThread() {
    if (hThread)
        ::WaitForSingleObject(hThread.get(), INFINITE);
}

void CThread::Run() {}

bool CThread::Start() {
    if (hThread || threadProc == nullptr || threadParam == nullptr)
        return false;
    const uintptr_t created =
        ::_beginthreadex(nullptr, 0, threadProc, threadParam, CREATE_SUSPENDED, nullptr);
    if (created == 0)
        return false;
    hThread.reset(reinterpret_cast<HANDLE>(created));
    if (::ResumeThread(hThread.get()) != static_cast<DWORD>(-1))
        return true;
    // A thread that never ran would keep the handle and make the destructor
    // wait forever; end it so the object stays restartable.
    terminateThread();
    return false;
}

bool CThread::Wait(unsigned milliseconds) {
    if (!hThread)
        return true;
    const DWORD result = ::WaitForSingleObject(hThread.get(), milliseconds);
    if (result == WAIT_TIMEOUT && milliseconds != INFINITE) {
        terminateThread();
        return false;
    }
    hThread.reset();
    return true;
}

void CThread::terminateThread() {
    ::TerminateThread(hThread.get(), 0);
    ::WaitForSingleObject(hThread.get(), kTerminationWaitMs);
    hThread.reset();
}
