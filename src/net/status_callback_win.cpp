#include "net/status_callback_win.h"

#include "net/net_records.h"

#include <atomic>
#include <memory>
#include <new>

namespace NetEx {

namespace {

std::atomic<HWND> g_statusWindow{nullptr};

bool isForwarded(DWORD status) {
    // Handle closing is the last callback of a handle: after it WinINet no
    // longer writes into that request's buffers.
    return status == INTERNET_STATUS_CONNECTION_CLOSED ||
           status == INTERNET_STATUS_REQUEST_COMPLETE || status == INTERNET_STATUS_REDIRECT ||
           status == INTERNET_STATUS_HANDLE_CLOSING;
}

} // namespace

void setStatusWindow(HWND window) {
    g_statusWindow = window;
}

void clearStatusWindow(HWND window) {
    HWND expected = window;
    g_statusWindow.compare_exchange_strong(expected, nullptr);
}

void CALLBACK netStatusCallback(HINTERNET handle, DWORD_PTR contextValue, DWORD status, LPVOID info,
                                DWORD infoLength) {
    if (!isForwarded(status) || contextValue == 0)
        return;
    const HWND window = g_statusWindow;
    if (window == nullptr)
        return;
    // No exception may leave a callback WinINet runs on its own threads.
    std::unique_ptr<SInternetStatus> record(new (std::nothrow) SInternetStatus);
    if (!record)
        return;
    record->handle = handle;
    record->contextValue = contextValue;
    record->status = status;
    if (info != nullptr && infoLength != 0) {
        try {
            if (record->info.Append(info, infoLength) != infoLength)
                return;
        } catch (const std::bad_alloc&) {
            return;
        }
    }
    if (::PostMessageW(window, eNetMsg_InternetStatus, 0, reinterpret_cast<LPARAM>(record.get())))
        record.release();
}

} // namespace NetEx
