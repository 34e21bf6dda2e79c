// A Win32 critical section and its scoped lock. The section is neither
// copied nor moved: threads hold its address.
#pragma once

#include "base/windows_win.h"

class CCriticalSection {
public:
    CCriticalSection() { ::InitializeCriticalSection(&section); }
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;
    ~CCriticalSection() { ::DeleteCriticalSection(&section); }

    void Enter() { ::EnterCriticalSection(&section); }
    void Leave() { ::LeaveCriticalSection(&section); }

private:
    CRITICAL_SECTION section;
};

class CLockGuard {
public:
    explicit CLockGuard(CCriticalSection& lock) : held(lock) { held.Enter(); }
    CLockGuard(const CLockGuard&) = delete;
    CLockGuard& operator=(const CLockGuard&) = delete;
    ~CLockGuard() { held.Leave(); }

private:
    CCriticalSection& held;
};
