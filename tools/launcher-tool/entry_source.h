// Where the archive writers take an entry's bytes from, and the interface
// they share. A writer reads a source twice (first for the CRC-32 and the
// sizes its header needs ahead of the data, then to copy it), so an entry of
// any size passes through one block of memory, and a file that changes
// between the two passes is caught. One thread at a time.
#pragma once

#include "update/archive/entry_sink.h"

#include <cstdint>
#include <string>
#include <vector>

// Pieces handed on by the sources: large enough for full disk speed.
inline constexpr size_t kSourceBlockSize = 1u << 20;

class IEntrySource {
public:
    virtual ~IEntrySource() = default;
    // The number of bytes CopyTo hands on.
    virtual uint64_t Size() const = 0;
    // Hands every byte to `sink`, in order, in pieces of at most
    // kSourceBlockSize bytes. False when the sink refuses a piece (`error`
    // untouched: the caller knows its sink) or, with `error` set, when the
    // source cannot be read or no longer holds Size() bytes.
    virtual bool CopyTo(IEntrySink& sink, std::string& error) = 0;
};

// Bytes in memory, which must outlive the source.
class CMemoryEntrySource : public IEntrySource {
public:
    explicit CMemoryEntrySource(const std::vector<uint8_t>& bytes) : data(bytes) {}
    uint64_t Size() const override { return data.size(); }
    bool CopyTo(IEntrySink& sink, std::string& error) override;

private:
    const std::vector<uint8_t>& data;
};

// A file, opened anew for every pass; its size is taken when the source is
// made.
class CFileEntrySource : public IEntrySource {
public:
    // False with `error` when the file's size cannot be read.
    bool Open(const std::string& filePath, std::string& error);
    uint64_t Size() const override { return nSize; }
    bool CopyTo(IEntrySink& sink, std::string& error) override;

private:
    std::string path;
    uint64_t nSize = 0;
};

// Appends to a vector: the writers' in-memory archives.
class CVectorEntrySink : public IEntrySink {
public:
    explicit CVectorEntrySink(std::vector<uint8_t>& target) : out(target) {}
    bool Write(const uint8_t* bytes, size_t count) override {
        out.insert(out.end(), bytes, bytes + count);
        return true;
    }

private:
    std::vector<uint8_t>& out;
};

// The first pass: the CRC-32 of the source's bytes (0 for none), which go
// to `sink` as well.
bool crcOfSource(IEntrySource& source, IEntrySink& sink, uint32_t& crc, std::string& error);

// The second pass: copies the source into `sink`; false with `error` also
// when the bytes no longer have the CRC-32 `crc` of the first pass.
bool copySourceChecked(IEntrySource& source, uint32_t crc, IEntrySink& sink, std::string& error);

// What publish needs of both package writers. Names use the separator of
// the writer's format.
class IArchiveWriter {
public:
    virtual ~IArchiveWriter() = default;
    // Adds one file; `crc` receives the CRC-32 of its bytes (0 for none).
    // False with `error`; the archive is unusable then.
    virtual bool AddFile(const std::string& name, IEntrySource& source, uint32_t& crc,
                         std::string& error) = 0;
    // Writes what follows the last entry.
    virtual bool Finish(std::string& error) = 0;
};
