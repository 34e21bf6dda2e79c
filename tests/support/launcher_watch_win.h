// Watching a Launcher.exe while it runs, for Wine tests: its dialog window
// and whether it answers, its run log as far as it is written, the files it
// holds open, the moment it ends. Test thread only.
#pragma once

#include "base/scoped_handle_win.h"
#include "base/windows_win.h"

#include "support/files_win.h"
#include "support/release_win.h"

#include <string>
#include <vector>

namespace testwin {

// The launcher's dialog window in process `pid`; null when it has none (yet).
inline HWND launcherWindowOf(DWORD pid) {
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, L"LauncherDialogWndClass", nullptr))) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == pid)
            return window;
    }
    return nullptr;
}

// Whether the window's thread answers a sent WM_NULL within `timeoutMs`;
// `elapsedMs` gets how long the answer took.
inline bool windowAnswers(HWND window, DWORD timeoutMs, DWORD& elapsedMs) {
    const ULONGLONG start = ::GetTickCount64();
    DWORD_PTR result = 0;
    const bool answered =
        ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
    elapsedMs = static_cast<DWORD>(::GetTickCount64() - start);
    return answered;
}

// The run log in `folder` as far as the running launcher has written it
// (it keeps the file open for writing).
inline std::string liveRunLog(const std::wstring& folder) {
    std::string text;
    for (const std::wstring& name : filesIn(folder, L"*.log")) {
        CFile file(::CreateFileW((folder + L"\\" + name).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.isOpen())
            continue;
        char piece[65536];
        DWORD got = 0;
        while (::ReadFile(file.get(), piece, sizeof(piece), &got, nullptr) && got > 0)
            text.append(piece, got);
    }
    return text;
}

// Waits until the live run log holds `fragment`; false after `timeoutMs`.
inline bool waitForLogText(const std::wstring& folder, const std::string& fragment,
                           DWORD timeoutMs = 60000) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (liveRunLog(folder).find(fragment) == std::string::npos) {
        if (::GetTickCount64() > deadline)
            return false;
        ::Sleep(20);
    }
    return true;
}

// Waits until some process holds `path` open. Wine offers no way to ask
// which files another process has open; Linux does, in /proc. False after
// `timeoutMs`, or for a path with a blank (the look-up takes it unquoted).
inline bool waitUntilHeldOpen(const std::wstring& path, DWORD timeoutMs = 60000) {
    const std::string unixPath = unixPathOf(path);
    if (unixPath.empty() || unixPath.find(' ') != std::string::npos)
        return false;
    // The open file shows by its real path (Wine's own goes through the
    // dosdevices links).
    const std::string seconds = std::to_string(timeoutMs / 1000);
    const SLinuxRun look =
        runLinux({"/bin/bash", "-c",
                  "p=$(realpath -- $1); end=$((SECONDS + " + seconds +
                      ")); while [ $SECONDS -lt $end ]; do ls -l /proc/[0-9]*/fd 2>/dev/null | "
                      "grep -qF -e $p && exit 0; sleep 0.05; done; exit 1",
                  "look", unixPath},
                 timeoutMs + 10000);
    return look.finished && look.exitCode == 0;
}

// Milliseconds until process `pid` ends; -1 when it cannot be watched or
// does not end within `timeoutMs`.
inline long long millisecondsUntilEnd(DWORD pid, DWORD timeoutMs = 60000) {
    const ULONGLONG start = ::GetTickCount64();
    const CHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!process || ::WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0)
        return -1;
    return static_cast<long long>(::GetTickCount64() - start);
}

} // namespace testwin
