// CUnpackerThread: the store of downloaded data and the worker that turns
// finished downloads into installed files. The logic's thread calls the
// public operations (each takes the lock); Run unpacks on the worker thread,
// outside the lock, and reports to the logic's window by posted messages
// (no heap payloads). Parts are counted at once and written to the
// temporary folder by a writer thread of their own (CPartWriter), so the
// logic's thread never waits for the disk; packages are read from their
// file, never held whole in memory.
#pragma once

#include "base/buffer.h"
#include "base/critical_section_win.h"
#include "base/scoped_handle_win.h"
#include "base/thread_win.h"
#include "update/unpack/file_part_store.h"
#include "update/unpack/package_unpacker_win.h"
#include "update/unpack/part_files_win.h"
#include "update/unpack/part_writer_win.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

// Posted to the logic's window.
enum EUnpackerMessage : unsigned {
    // wParam 0; lParam 0 all queued items done, 1 a downloaded file or
    // package could not be read or unpacked, 2 a target could not be created
    // or written (details: GetStatusText, GetStatusCode, GetCurrentName).
    eWindowsMessage_UnpackResult = 2624,
    // wParam 0; lParam the progress value in bytes, cut to 32 bits in the
    // i686 build: GetUnpackProgress has all 64.
    eWindowsMessage_UnpackProgress = 2627,
    // wParam 0; lParam the number MeasureParts was given: the records it
    // asked for are in the store.
    eWindowsMessage_PartsMeasured = 2629,
};

class CLogImplW;

struct SUnpackItem {
    std::wstring source; // the downloaded file
    std::wstring target; // relative to the install folder; empty for packages
    bool isPackage = false;
};

// What the logic sets when it begins a run.
struct SUnpackRunSettings {
    std::wstring installFolder;
    HWND hwnd = nullptr;
    bool ignoreWriteErrors = false;
    bool unpackEnabled = true;
    // Where skipped entries are named; may be null.
    CLogImplW* log = nullptr;
};

class CUnpackerThread : public CThread, private IUnpackHost {
public:
    // How long a stop waits for the part being written.
    static constexpr unsigned kWriterStopMs = 10000;
    // AssembleFile reads whole files (the launcher's own update) only up to
    // this size.
    static constexpr uint64_t kMaxAssembledSize = 256u << 20;

    CUnpackerThread();
    // Stops a running thread (bounded wait) before the members go.
    ~CUnpackerThread() override;

    // --- The store (any thread) ---
    // False while stopping, for a completed record, or when `offset` is
    // given and differs from the record's size (a part that no longer
    // follows what the file holds, e.g. after a failed write). The part's
    // bytes move into the store; the writer appends them.
    bool AddFilePart(const wchar_t* path, CBuffer* part, unsigned length,
                     std::optional<uint64_t> offset = std::nullopt);
    // The CRC-32 counts the parts not yet written: pass null for the size
    // alone.
    bool GetFileCrc(const wchar_t* path, uint32_t* crc, uint64_t* size);
    // The writer could not append a part of the file: it takes no more.
    bool HasWriteFailed(const wchar_t* path);
    // Bytes of all files waiting for the writer.
    uint64_t GetPendingBytes();
    // Forgets the file's parts, waiting for one the writer has in hand: a
    // file deleted afterwards is never appended to again.
    void DropFileParts(const wchar_t* path);
    // The download of `path` is whole: late parts are refused.
    bool SetFileCompleted(const wchar_t* path);
    bool FlushParts();
    // The whole file (disk plus pending parts) in a new[] array the caller
    // delete[]s. False without a record, when the file is larger than
    // kMaxAssembledSize, or when the disk does not hold the record's size.
    bool AssembleFile(const wchar_t* path, uint8_t** data, unsigned* length);

    // --- Resuming (the logic's thread, while the thread runs) ---
    // The thread makes the store's records of `paths` from the files an
    // earlier run left (their CRC-32 and length, read outside the lock, so
    // no caller waits for a file of gigabytes), then posts
    // eWindowsMessage_PartsMeasured with `request`. A path with a record
    // keeps it. Taken up before the next queued item; a newer call replaces
    // a request not yet taken up. False while stopping or not running;
    // nothing is posted when a stop interrupts the reading.
    bool MeasureParts(std::vector<std::wstring> paths, unsigned request);

    // --- The queue (any thread) ---
    void QueuePackage(const wchar_t* source);
    void QueueFile(const wchar_t* source, const wchar_t* target);

    // --- The run (the logic's thread) ---
    // Makes the settings under the lock, empties the queue (a failed run
    // leaves its item there) and starts the thread; false when it runs
    // already or cannot start.
    bool BeginRun(const SUnpackRunSettings& settings);
    bool IsRunning() const;
    // All items are queued: report completion when the queue runs empty
    // (and drop the items when unpacking is disabled).
    void FinishRun();
    // Sets the stop flag, lets the writer finish its part, writes the
    // pending parts, wakes the thread and waits at most `milliseconds`.
    // False when the thread had to be ended.
    bool StopAndWait(unsigned milliseconds = 1000);

    // The last error, for the logic after eWindowsMessage_UnpackResult.
    std::wstring GetStatusText();
    uint32_t GetStatusCode();
    std::string GetCurrentName();
    size_t GetQueueLength();
    // The value of the last eWindowsMessage_UnpackProgress.
    uint64_t GetUnpackProgress() const { return unpackProgress.load(); }

    void Run() override;

private:
    struct SMeasureRequest {
        std::vector<std::wstring> paths;
        unsigned request = 0;
    };

    // False when a stop interrupted it.
    bool measureRequestedParts();
    bool processItem(const SUnpackItem& item);
    bool checkSource(const std::wstring& source, uint64_t* size);
    bool nextItem(SUnpackItem& item);
    void reportIdle();
    void reportUnpackError(const std::wstring& text, uint32_t code, int result);
    void post(unsigned message, uint64_t value);
    void reportProgress(uint64_t value);
    void queueItem(SUnpackItem item);
    // Refuses further parts and items; the thread ends at its next look.
    void setStopping();

    bool IsStopping() override;
    void OnUnpackProgress(uint64_t value) override;
    void SetCurrentName(const std::string& name) override;
    void OnEntrySkipped(const std::string& name, EEntryKind kind) override;

    CCriticalSection lock;
    CHandle hWakeEvent;
    CPartFilesWin partFiles;
    CFilePartStore store;
    // Flushing or dropping parts takes its write lock before `lock`.
    CPartWriter writer;
    // Guarded by `lock`:
    std::wstring installFolder;
    bool stopping = false;
    bool finishWhenIdle = false;
    std::deque<SUnpackItem> queue;
    std::optional<SMeasureRequest> measureRequest;
    std::wstring statusText;
    uint32_t statusCode = 0;
    std::string currentName;
    CLogImplW* log = nullptr;
    bool ignoreWriteErrors = false;
    bool unpackEnabled = true;
    HWND hwnd = nullptr;
    // The worker's own:
    uint64_t processedBytes = 0;
    std::atomic<uint64_t> unpackProgress{0};
};
