// The byte counters of an update run and what the progress display makes of
// them. Counters are 64-bit: a run may move more than 4 GB. Portable.
#pragma once

#include <cstdint>

struct ByteCounters {
    uint64_t nBytesTotal = 0;     // bytes this run downloads
    uint64_t nBytesReceived = 0;  // including the answer still arriving
    uint64_t nBytesCommitted = 0; // of answers that arrived completely

    // A burst of reads of the answer in flight.
    void addBurst(uint64_t bytes) { nBytesReceived += bytes; }
    // An answer arrived whole.
    void commitAnswer(uint64_t bytes) {
        nBytesCommitted += bytes;
        nBytesReceived = nBytesCommitted;
    }
    // A package is downloaded again from byte 0: its bytes no longer count.
    void forget(uint64_t bytes) {
        nBytesCommitted = nBytesCommitted > bytes ? nBytesCommitted - bytes : 0;
        nBytesReceived = nBytesCommitted;
    }
};

struct ProgressView {
    bool downloadPhase = true; // else unpacking
    float percent = 0;
    float receivedKb = 0;
    float totalKb = 0;
    int barValue = 0; // percent truncated and clamped to 0..100
};

// The download phase lasts while fewer bytes were received than announced
// (or while only the launcher is fetched); then the unpacked bytes of the
// run's files give the percentage.
ProgressView computeProgress(const ByteCounters& bytes, uint64_t runBytes, uint64_t unpackedKb,
                             bool launcherOnly);
