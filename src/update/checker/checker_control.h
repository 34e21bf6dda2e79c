// How a long checker loop learns that it must stop and lets other threads
// run. The checker thread supplies both; tests and the tools leave them
// empty.
#pragma once

#include <cstddef>
#include <functional>

struct CheckerControl {
    // Read under the checker's lock by the thread's implementation.
    std::function<bool()> stopRequested;
    // A zero-length sleep on the checker thread.
    std::function<void()> yield;

    bool stopped() const { return stopRequested && stopRequested(); }
    // Called once per entry: yields after every ten.
    void passed(size_t& counter) const {
        if (++counter % 10 == 0 && yield)
            yield();
    }
};
