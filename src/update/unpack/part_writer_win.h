// CPartWriter: the thread that appends downloaded parts to their files in
// the temporary folder and counts them into the records' CRC-32, so the
// window's thread only hands parts over and the next range is on the wire
// while the last one is written. The store and its lock belong to the owner
// (the unpacker thread object); the writer takes the oldest part, writes it
// outside that lock, then settles it.
#pragma once

#include "base/critical_section_win.h"
#include "base/scoped_handle_win.h"
#include "base/thread_win.h"
#include "update/unpack/file_part_store.h"

#include <atomic>

// Posted to the owner's window after each part: wParam 0, lParam 0. The
// store holds fewer pending bytes now.
inline constexpr unsigned eWindowsMessage_PartWritten = 2630;

class CPartWriter : public CThread {
public:
    // All three must outlive the writer.
    CPartWriter(CCriticalSection& storeLock, CFilePartStore& store, IPartFiles& files);
    ~CPartWriter() override;

    // Starts the thread; written parts are announced to `hwnd` (may be
    // null). False when it runs already or cannot start.
    bool Begin(HWND hwnd);
    // With the store's lock held, after a part was added.
    void Wake();
    // Ends the thread once the part in hand is written; false when it had
    // to be ended after `milliseconds`.
    bool Stop(unsigned milliseconds);
    // Held while a part is written. Whoever flushes or drops parts takes it
    // before the store's lock, so the part in hand stays the oldest and two
    // appends to one file never overlap.
    CCriticalSection& WriteLock() { return writeLock; }

    void Run() override;

private:
    // False when no part waits.
    bool writeOldestPart();

    CCriticalSection& storeLock;
    CFilePartStore& store;
    IPartFiles& disk;
    CCriticalSection writeLock;
    CHandle hWakeEvent;
    std::atomic<bool> stopRequested{false};
    HWND target = nullptr;
};
