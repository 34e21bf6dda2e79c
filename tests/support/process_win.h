// Runs a child process for the tests and waits for it with a time limit.
#pragma once

#include "base/scoped_handle_win.h"
#include "base/windows_win.h"

#include <functional>
#include <string>

namespace testwin {

struct ProcessResult {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
};

// Starts `exe` with `arguments` in `folder`; `onStart` gets the process id
// (for a message-box watcher). A process still running after `timeoutMs`
// is killed and reported as timed out.
inline ProcessResult runProcess(const std::wstring& exe, const std::wstring& arguments,
                                const std::wstring& folder, DWORD timeoutMs = 30000,
                                const std::function<void(DWORD)>& onStart = {}) {
    ProcessResult result;
    std::wstring line = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &si, &pi))
        return result;
    CHandle process(pi.hProcess), thread(pi.hThread);
    result.started = true;
    if (onStart)
        onStart(pi.dwProcessId);
    if (::WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 99);
        ::WaitForSingleObject(process.get(), 5000);
        result.timedOut = true;
    }
    ::GetExitCodeProcess(process.get(), &result.exitCode);
    return result;
}

} // namespace testwin
