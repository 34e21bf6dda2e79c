// Reader for zip archives held in a read stream: the zipped manifest
// ("update.rxml") and zip update packages. Entries are stored or deflated;
// there is no archive comment, no zip64, no data descriptor and no CRC check
// (the callers check the CRC of what they unpack). One thread at a time.
#pragma once

#include "base/mem_read_stream.h"
#include "update/archive/entry_kind.h"
#include "update/archive/entry_sink.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

// 32-bit result codes with HRESULT numbers. The two generic ones carry a
// prefix because <windows.h> defines E_INVALIDARG and E_POINTER as macros.
using ZipResult = int32_t;
constexpr ZipResult ZIP_S_OK = 0;
constexpr ZipResult ZIP_S_FALSE = 1; // FindEntry: no such entry
constexpr ZipResult ZIP_E_INVALIDARG = static_cast<ZipResult>(0x80070057u);
constexpr ZipResult ZIP_E_POINTER = static_cast<ZipResult>(0x80004003u);
constexpr ZipResult E_ZIP_NOT_ARCHIVE = static_cast<ZipResult>(0x800400C9u);
constexpr ZipResult E_ZIP_BAD_FORMAT = static_cast<ZipResult>(0x800400CAu);
constexpr ZipResult E_ZIP_UNSUPPORTED_METHOD = static_cast<ZipResult>(0x800400CCu);
constexpr ZipResult E_ZIP_NOT_OPEN = static_cast<ZipResult>(0x800400CDu);

class CZipFile {
public:
    CZipFile() = default;
    CZipFile(const CZipFile&) = delete;
    CZipFile& operator=(const CZipFile&) = delete;
    virtual ~CZipFile();

    // Takes the stream in every case and reads the central directory. The end
    // record must be exactly the last 22 bytes. On failure the stream is
    // closed and dropped and the object is empty; a previous archive is
    // released first either way.
    ZipResult OpenZip(std::unique_ptr<ISimpleReadStream> source);
    // Releases the archive: closes and drops the stream.
    void Close();

    // Exact, case-sensitive lookup; names use '\\' where the archive has '/'.
    // ZIP_S_OK with *index set, ZIP_S_FALSE when absent, ZIP_E_POINTER,
    // E_ZIP_NOT_OPEN.
    ZipResult FindEntry(const char* name, int* index) const;
    // Unpacks entry `index` into `dest`, which must have room for
    // GetEntrySize(index) bytes; never writes more than that. A deflated
    // entry whose central size is too small is cut at that size.
    ZipResult ExtractEntry(int index, void* dest);
    // The same unpacking, handed to `sink` in pieces of at most `chunkSize`
    // (> 0) bytes, GetEntrySize(index) bytes at most in all, with memory
    // bounded by the chunk size whatever the entry's size. E_ZIP_BAD_FORMAT
    // also when the sink refuses a piece. Fewer bytes than the central size
    // (a short deflate stream) still succeed: callers that need the whole
    // entry compare the count and GetEntryCrc.
    ZipResult ExtractEntryTo(int index, IEntrySink& sink, size_t chunkSize = kEntryChunkSize);

    int GetCount() const { return count; }
    // Empty for a bad index. The bytes as stored (with '\\' for '/'): UTF-8
    // when IsEntryNameUtf8, else in the code page of the machine that packed
    // it.
    std::string GetEntryName(int index) const;
    // Whether the name is UTF-8: flagged so (general purpose bit 11), or
    // made on Unix (whose archivers store the file system's names) and valid
    // UTF-8.
    bool IsEntryNameUtf8(int index) const;
    // Folder for a name ending in a separator; links, devices and FIFOs by
    // the Unix mode an archive made on Unix stores; File otherwise.
    EEntryKind GetEntryKind(int index) const;
    // The uncompressed size from the central record; 0 for a bad index.
    uint32_t GetEntrySize(int index) const;
    // The CRC-32 from the central record; 0 for a bad index.
    uint32_t GetEntryCrc(int index) const;

private:
    ZipResult readEndRecord(uint32_t* directorySize, uint16_t* entries);
    ZipResult readDirectory(uint32_t directorySize, uint16_t entries);
    ZipResult indexRecords(uint32_t directorySize, uint16_t entries);
    ZipResult readStored(uint32_t storedSize, uint32_t outputSize, IEntrySink& sink,
                         size_t chunkSize);
    ZipResult readDeflated(uint32_t packedSize, uint32_t outputSize, IEntrySink& sink,
                           size_t chunkSize);
    bool readExact(void* dest, uint32_t size);
    int64_t bytesLeft();
    const uint8_t* validRecord(int index) const;

    std::unique_ptr<ISimpleReadStream> stream;
    // The central directory bytes, then (aligned) the table `records` points
    // into: one block owns both.
    std::unique_ptr<uint8_t[]> directory;
    int count = 0;
    const uint8_t** records = nullptr;
    std::map<std::string, int> names;
};
