// WinINet's status callback. It runs on WinINet's own threads (or inside a
// WinINet call on the transport thread) and must not touch the transport's
// data: it copies the few statuses the transport needs into an
// SInternetStatus and posts it to the transport window.
#pragma once

#include "base/windows_win.h"

#include <wininet.h>

namespace NetEx {

// The window the callback posts to; one transport per process. Set by the
// transport thread when its window exists.
void setStatusWindow(HWND window);
// Forgets `window` if it is still the one the callback posts to.
void clearStatusWindow(HWND window);

// Posts eNetMsg_InternetStatus for "connection closed", "request complete",
// "redirect" and "handle closing" with a non-zero context value; a record
// that cannot be posted is freed at once.
void CALLBACK netStatusCallback(HINTERNET handle, DWORD_PTR contextValue, DWORD status, LPVOID info,
                                DWORD infoLength);

} // namespace NetEx
