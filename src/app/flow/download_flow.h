// The download flow of an update run: from the checker's queue to the last
// package handed to the unpacker. Packages left in the temporary folder by
// earlier runs are resumed, the rest is asked for one range at a time (at
// most kMaxRangeLength bytes past the first), every received range goes to
// the part store, and a finished package is checked by size and CRC before
// it is queued for unpacking.
//
// The flow decides, keeps the queue and the byte counters and writes its
// run-log lines; the logic carries out the action each call answers (the
// request, the retry, the boxes). Used on the logic's (GUI) thread only; not
// reentrant: carry out one action before the next call.
#pragma once

#include "update/checker/checker_decisions.h"
#include "update/flow/download_item.h"
#include "update/flow/download_progress.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class CBuffer;

// The store of downloaded data under the flow (the unpacker's). Paths are
// the items' temporary files (tempFileName).
class IPartStore {
public:
    virtual ~IPartStore() = default;
    // Has the records of `paths` made from the files earlier runs left; the
    // answer comes later, to the flow's OnPartsMeasured(`request`). False
    // when the store cannot take the request.
    virtual bool MeasureParts(std::vector<std::wstring> paths, unsigned request) = 0;
    // Takes `length` bytes of `part` over; a null part and 0 only make sure
    // the record exists. False when refused: a completed record, a failed
    // write, or an `offset` that is not where the record ends.
    virtual bool AddFilePart(const std::wstring& path, CBuffer* part, unsigned length,
                             std::optional<uint64_t> offset) = 0;
    // False without a record. Pass null for `crc` when only the size is
    // wanted (the CRC counts the bytes not yet written).
    virtual bool GetFileCrc(const std::wstring& path, uint32_t* crc, uint64_t* size) = 0;
    virtual bool HasWriteFailed(const std::wstring& path) = 0;
    // Bytes of all files still waiting for the disk.
    virtual uint64_t GetPendingBytes() = 0;
    // The download is whole: late parts are refused.
    virtual void SetFileCompleted(const std::wstring& path) = 0;
    // Forgets the file's parts, then deletes the file: its record restarts
    // empty.
    virtual void DiscardFile(const std::wstring& path) = 0;
    virtual void QueuePackage(const std::wstring& path) = 0;
    // Every item is queued: the store reports when it has unpacked them.
    virtual void FinishRun() = 0;
};

// Where the flow's run-log lines go, and who shows its progress. Called only
// from inside the flow's own calls.
class IDownloadFlowOwner {
public:
    virtual ~IDownloadFlowOwner() = default;
    virtual void LogFlow(const std::wstring& line) = 0;
    // The byte counters changed: Progress() has new values to show.
    virtual void ShowFlowProgress() = 0;
};

// What the logic does next.
enum class EFlowStep {
    eNone,          // nothing: an answer, the unpacker or the user comes next
    eRequest,       // ask for `name` from byte `begin` to `begin` + `length`
    eWaitForWriter, // nothing until the writer reports a part written
    eRetryPart,     // an answer short of the package: the retry ladder's RetryPart
    eEmptyPart,     // an answer without data: the retry ladder's empty answer
    eFileError,     // the file error box for `path`: a write to it failed
    eBadPackage,    // box 40 with Retry/Cancel: a damaged package was queued again
};

struct SFlowAction {
    EFlowStep step = EFlowStep::eNone;
    std::string name;
    uint64_t begin = 0;
    unsigned length = 0;
    std::wstring path;
    // An answer with data reached the front package: the retry attempts on
    // this server start again (before the step is carried out).
    bool bAnswerTaken = false;
};

// What OnPartsMeasured found.
enum class EMeasuredParts {
    eStale,    // the answer to an older request: nothing changed
    eNothing,  // nothing to download and nothing handed to the unpacker
    eDownload, // download the queue (the disk space is checked first)
};

struct SFlowRun {
    std::wstring installFolder;
    // Resumed bytes leave the total instead of counting as received.
    bool bProgressFromZero = false;
    std::vector<QueuedPackage> packages;
    uint64_t nBytesTotal = 0; // the sum of the packages' sizes
};

class CDownloadFlow {
public:
    // Neither is owned; both must outlive the flow.
    CDownloadFlow(IPartStore& store, IDownloadFlowOwner& owner);
    CDownloadFlow(const CDownloadFlow&) = delete;
    CDownloadFlow& operator=(const CDownloadFlow&) = delete;

    // The checker's results: the queue of a new run.
    void TakeQueue(SFlowRun run);
    // Asks the store to measure what earlier runs left of the queue's files;
    // false when it cannot.
    bool MeasureResumeParts();
    // The store measured the files of `request`: the queue is prepared (kept
    // parts are resumed, whole ones handed to the unpacker, bad ones
    // discarded).
    EMeasuredParts OnPartsMeasured(unsigned request);
    // The next range of the front package, or the end of the queue.
    SFlowAction Next();
    // The writer wrote a part: the range that waited for it, if one did.
    SFlowAction OnPartWritten();
    // An answer to a package request: `length` bytes of `body` (which the
    // store takes over); `incomplete` when the transfer broke after a good
    // start.
    SFlowAction OnPartReceived(CBuffer* body, unsigned length, bool incomplete);
    // The front package again, from where its record ends (a retry).
    SFlowAction ResendPart();
    // Bytes of the answer in flight (`continuing`), or a whole answer.
    void OnPartProgress(unsigned count, bool continuing);
    // The unpacker's progress value in bytes (0 leaves it).
    void OnUnpackProgress(uint64_t unpackBytes);

    ProgressView Progress() const;
    uint64_t BytesTotal() const { return bytes.nBytesTotal; }
    std::optional<std::string> FrontPackageName() const;

private:
    bool prepareDownloadItems();
    SFlowAction onPackageDownloaded();
    void addUnpackTask(DownloadItem& item, bool fromTmp, bool bad);
    std::wstring tempFileOf(const DownloadItem& item) const;
    void log(const std::wstring& line) { owner.LogFlow(line); }

    IPartStore& store;
    IDownloadFlowOwner& owner;
    std::wstring sInstallFolder;
    bool bProgressFromZero = false;
    std::deque<DownloadItem> downloadQueue;
    ByteCounters bytes;
    uint64_t nRunBytes = 0;
    uint64_t nUnpackedKb = 0;
    // The resume measurement whose answer the flow waits for.
    unsigned nMeasureRequest = 0;
    // The next range waits until the writer catches up.
    bool bWaitingForWriter = false;
};
