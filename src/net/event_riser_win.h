// Signals an event when it goes out of scope, so a thread waiting for a
// command's completion is released on every way out of the handler.
#pragma once

#include "base/windows_win.h"

class CEventRiser {
public:
    // `event` stays owned by the caller; null signals nothing.
    explicit CEventRiser(HANDLE event) : hEvent(event) {}
    CEventRiser(const CEventRiser&) = delete;
    CEventRiser& operator=(const CEventRiser&) = delete;
    ~CEventRiser() {
        if (hEvent != nullptr)
            ::SetEvent(hEvent);
    }

private:
    HANDLE hEvent;
};
