// The store of downloaded data: every part of a file in the temporary
// folder is counted into a running CRC-32 and size at once, kept in memory
// only until the store's pending bytes pass a threshold, then appended to the
// file. The record of a file therefore answers "how much, which CRC" without
// reading the file again, and no file is ever held whole in memory.
// No locking: the owner (the unpacker thread object) guards every call with
// its lock.
#pragma once

#include <cstddef>
#include <cstdint>
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
    uint32_t crc = 0;                            // of every byte so far, on disk and pending
    uint64_t size = 0;                           // the same bytes' count
    std::vector<std::unique_ptr<CBuffer>> parts; // not yet on disk, in arrival order
    uint64_t pendingBytes = 0;
    bool completed = false; // the download is whole: late parts are refused
};

class CFilePartStore {
public:
    // `files` must outlive the store. Pending bytes of all files together
    // reaching `flushThreshold` are written out at once.
    CFilePartStore(IPartFiles& files, uint64_t flushThreshold);
    CFilePartStore(const CFilePartStore&) = delete;
    CFilePartStore& operator=(const CFilePartStore&) = delete;
    ~CFilePartStore();

    // Takes the first `length` bytes of `part` over (the caller's buffer is
    // left empty); a null part or 0 only makes sure the record exists. A new
    // record starts from the file on disk (a download of an earlier run).
    // False, taking nothing, for a completed record or `length` beyond the
    // part; false too when writing out failed: the record then restarts
    // from what the disk holds.
    bool AddFilePart(const std::wstring& path, CBuffer* part, unsigned length);
    // Makes the record of a file measured by the owner outside its lock
    // (CRC-32 and length of what the disk holds, 0 and 0 without a file),
    // unless one exists already: that one is newer. Returns whether it did.
    bool AdoptMeasuredRecord(const std::wstring& path, uint32_t crc, uint64_t size);
    bool HasRecord(const std::wstring& path) const { return files.count(path) != 0; }
    // False (outputs 0) without a record.
    bool GetFileCrc(const std::wstring& path, uint32_t* crc, uint64_t* size) const;
    // Frees the pending parts; CRC and size become 0, completed is cleared.
    // The file itself is the caller's (it deletes it first).
    void DropFileParts(const std::wstring& path);
    // False without a record.
    bool SetCompleted(const std::wstring& path);
    bool IsCompleted(const std::wstring& path) const;
    // Writes the pending parts of every file, or of one. False when a write
    // failed (that record restarts from the disk).
    bool FlushParts();
    bool FlushFile(const std::wstring& path);
    bool HasPendingParts() const { return pendingTotal != 0; }

private:
    bool flushRecord(const std::wstring& path, SFileParts& record);
    SFileParts measuredRecord(const std::wstring& path);

    IPartFiles& disk;
    uint64_t threshold;
    uint64_t pendingTotal = 0;
    std::map<std::wstring, SFileParts> files;
};
