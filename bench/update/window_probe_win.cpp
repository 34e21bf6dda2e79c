// How quickly the launcher's window answers while it works: waits for a
// visible top-level window of the given class in another process, then
// sends it WM_NULL every `interval` ms with SendMessageTimeout until the
// window is gone, timing each round trip.
//
//   window_probe <window-class> [interval-ms] [wait-for-window-s]
//
// Prints one line (times in ms):
//   window_probe probes= max= median= over200= window_found=0|1
// Exit code 0 when a window was found and probed, 1 otherwise.
#include "base/windows_win.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct SSearch {
    std::wstring className;
    HWND found = nullptr;
};

BOOL CALLBACK matchWindow(HWND hwnd, LPARAM param) {
    auto& search = *reinterpret_cast<SSearch*>(param);
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    wchar_t className[256] = {};
    ::GetClassNameW(hwnd, className, 256);
    if (process == ::GetCurrentProcessId() || !::IsWindowVisible(hwnd) ||
        search.className != className)
        return TRUE;
    search.found = hwnd;
    return FALSE;
}

HWND findWindow(const std::wstring& className) {
    SSearch search{className};
    ::EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

double nowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER value;
        ::QueryPerformanceFrequency(&value);
        return value;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_probe <window-class> [interval-ms] [wait-s]\n");
        return 2;
    }
    const std::wstring className = argv[1];
    const unsigned interval =
        argc > 2 ? static_cast<unsigned>(std::wcstoul(argv[2], nullptr, 10)) : 20;
    const double waitMs = 1000.0 * (argc > 3 ? std::wcstod(argv[3], nullptr) : 60.0);

    HWND window = nullptr;
    const double start = nowMs();
    while (!(window = findWindow(className)) && nowMs() - start < waitMs)
        ::Sleep(10);
    std::vector<double> trips;
    // A window that stops answering for 30 s counts as one probe of 30 s.
    while (window && ::IsWindow(window)) {
        const double sent = nowMs();
        DWORD_PTR result = 0;
        if (!::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result) &&
            !::IsWindow(window))
            break;
        trips.push_back(nowMs() - sent);
        ::Sleep(interval);
    }
    std::sort(trips.begin(), trips.end());
    const double max = trips.empty() ? 0 : trips.back();
    const double median = trips.empty() ? 0 : trips[trips.size() / 2];
    const auto over = std::count_if(trips.begin(), trips.end(), [](double t) { return t > 200; });
    std::printf("window_probe probes=%zu max=%.1f median=%.2f over200=%ld window_found=%d\n",
                trips.size(), max, median, static_cast<long>(over), window ? 1 : 0);
    return window && !trips.empty() ? 0 : 1;
}
