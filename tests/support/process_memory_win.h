// The peak memory of a running process, sampled on a thread of its own
// until the process ends, for the memory figures of the update-run tests.
#pragma once

#include "base/scoped_handle_win.h"
#include "base/windows_win.h"

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>

namespace testwin {

struct SPeakMemory {
    uint64_t workingSet = 0; // the most resident memory seen
    uint64_t committed = 0;  // the most private (pagefile-backed) memory seen
};

// What the system reports for `process` now; false when it cannot tell.
inline bool readPeakMemory(HANDLE process, SPeakMemory& peak) {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(process, &counters, sizeof(counters)))
        return false;
    // Wine reports the current private memory as the peak: the sampler
    // keeps the highest value itself.
    peak.workingSet = std::max<uint64_t>(peak.workingSet, counters.PeakWorkingSetSize);
    peak.committed = std::max<uint64_t>(
        peak.committed, std::max(counters.PeakPagefileUsage, counters.PagefileUsage));
    return true;
}

// Samples the process every few milliseconds from start() until it ends or
// the sampler is destroyed.
class CPeakMemorySampler {
public:
    CPeakMemorySampler() = default;
    CPeakMemorySampler(const CPeakMemorySampler&) = delete;
    CPeakMemorySampler& operator=(const CPeakMemorySampler&) = delete;
    ~CPeakMemorySampler() { stop(); }

    void start(DWORD pid) {
        stop();
        process = CHandle(
            ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid));
        if (!process)
            return;
        done = false;
        worker = std::thread([this] {
            SPeakMemory seen;
            do {
                if (readPeakMemory(process.get(), seen)) {
                    workingSet = seen.workingSet;
                    committed = seen.committed;
                }
            } while (!done && ::WaitForSingleObject(process.get(), kSampleMs) == WAIT_TIMEOUT);
        });
    }

    // Waits for the sampling to end (the process has ended, or stops now).
    SPeakMemory stop() {
        done = true;
        if (worker.joinable())
            worker.join();
        return {workingSet.load(), committed.load()};
    }

private:
    static constexpr DWORD kSampleMs = 20;

    CHandle process;
    std::thread worker;
    std::atomic<bool> done{true};
    std::atomic<uint64_t> workingSet{0};
    std::atomic<uint64_t> committed{0};
};

} // namespace testwin
