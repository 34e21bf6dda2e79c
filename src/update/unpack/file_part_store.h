// The store of downloaded data: every part of a file in the temporary
// folder is counted into its record's size at once and kept in memory until
// a writer appends it to the file, counting it into the record's CRC-32 as
// it goes. The record of a file therefore answers "how much, which CRC"
// without reading the file again, and no file is ever held whole in memory.
// No locking: the owner (the unpacker thread object) guards every call with
// its lock. One writer at a time takes parts out in arrival order
// (NextPartToWrite, PartWritten); flushing and dropping must not overlap it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CBuffer;

// The disk under the store, replaced by an in-memory fake in tests.
class IPartFiles {
public:
    virtual ~IPartFiles() = default;
    // CRC-32 and length of the file as it is; false (0, 0) without a file.
    virtual bool Measure(const std::wstring& path, uint32_t& crc, uint64_t& size) = 0;
    // Appends the bytes, creating the file when it is missing.
    virtual bool Append(const std::wstring& path, const uint8_t* bytes, size_t count) = 0;
};

struct SFileParts {
    uint32_t crc = 0;                           // of the bytes on disk
    uint64_t size = 0;                          // every byte so far, on disk and pending
    std::deque<std::unique_ptr<CBuffer>> parts; // not yet on disk, in arrival order
    uint64_t pendingBytes = 0;
    bool completed = false;   // the download is whole: late parts are refused
    bool writeFailed = false; // parts are refused until the record is dropped
};

// The oldest part not yet on disk, handed to the writer. The bytes stay in
// the store (and count as pending) until PartWritten.
struct SPartToWrite {
    std::wstring path;
    const uint8_t* bytes = nullptr;
    unsigned length = 0;
    uint32_t crcBefore = 0; // the record's CRC-32 of the bytes on disk before these
};

class CFilePartStore {
public:
    // `files` must outlive the store.
    explicit CFilePartStore(IPartFiles& files);
    CFilePartStore(const CFilePartStore&) = delete;
    CFilePartStore& operator=(const CFilePartStore&) = delete;
    ~CFilePartStore();

    // Takes the first `length` bytes of `part` over (the caller's buffer is
    // left empty); a null part or 0 only makes sure the record exists. A new
    // record starts from the file on disk (a download of an earlier run).
    // False, taking nothing, for a completed record, one whose write failed,
    // or `length` beyond the part. The part waits for the writer or a flush.
    bool AddFilePart(const std::wstring& path, CBuffer* part, unsigned length);
    // Makes the record of a file measured by the owner outside its lock
    // (CRC-32 and length of what the disk holds, 0 and 0 without a file),
    // unless one exists already: that one is newer. Returns whether it did.
    bool AdoptMeasuredRecord(const std::wstring& path, uint32_t crc, uint64_t size);
    bool HasRecord(const std::wstring& path) const { return files.count(path) != 0; }
    // False (outputs 0) without a record. The CRC-32 covers every byte, so
    // asking for it counts the pending parts: pass null when only the size
    // is wanted.
    bool GetFileCrc(const std::wstring& path, uint32_t* crc, uint64_t* size) const;
    // Frees the pending parts; CRC and size become 0, completed is cleared.
    // The file itself is the caller's (it deletes it first).
    void DropFileParts(const std::wstring& path);
    // False without a record.
    bool SetCompleted(const std::wstring& path);
    bool IsCompleted(const std::wstring& path) const;
    bool HasWriteFailed(const std::wstring& path) const;
    // Writes the pending parts of every file, or of one. False when a write
    // failed (that record restarts from the disk).
    bool FlushParts();
    bool FlushFile(const std::wstring& path);
    bool HasPendingParts() const { return pendingTotal != 0; }
    uint64_t PendingBytes() const { return pendingTotal; }

    // The writer's two steps. False when nothing waits.
    bool NextPartToWrite(SPartToWrite& part) const;
    // The part went to disk as `crcAfter`; it leaves the store.
    void PartWritten(const SPartToWrite& part, uint32_t crcAfter);
    // Appending the part failed, perhaps half way: the record restarts from
    // what the disk holds (measured by the writer, outside the owner's
    // lock), its other pending parts go, and it refuses parts until dropped:
    // a disk that failed once is not fed a download again.
    void PartFailed(const SPartToWrite& part, uint32_t diskCrc, uint64_t diskSize);

private:
    bool flushRecord(const std::wstring& path, SFileParts& record);
    void forgetPending(const std::wstring& path, SFileParts& record);
    SFileParts* writtenRecord(const SPartToWrite& part);
    SFileParts measuredRecord(const std::wstring& path);

    IPartFiles& disk;
    uint64_t pendingTotal = 0;
    std::map<std::wstring, SFileParts> files;
    // The path of every pending part, oldest first: the writer's order.
    std::deque<std::wstring> writeOrder;
};
