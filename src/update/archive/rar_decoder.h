// libarchive as the RAR decompressor behind the launcher's own block reader.
// libarchive reads the archive from the marker on through callbacks on the
// reader's stream (no copy of the archive) and is moved from entry to entry
// in step with the reader's file blocks. One thread at a time.
#pragma once

#include "update/archive/rar_blocks.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IEntrySink;
class ISimpleReadStream;
struct archive;

class CRarDecoder {
public:
    CRarDecoder();
    CRarDecoder(const CRarDecoder&) = delete;
    CRarDecoder& operator=(const CRarDecoder&) = delete;
    ~CRarDecoder();

    // `stream` is borrowed and must outlive the decoder (or the next Close);
    // libarchive sees the bytes [start, end). The stream's position is
    // restored after every read, so the block reader may share it.
    bool Open(ISimpleReadStream* stream, int64_t start, int64_t end, std::string& error);
    void Close();
    bool IsOpen() const { return handle != nullptr; }

    // Unpacks file block number `ordinal` (counting every file block from 0,
    // directories included) to `out` in pieces of at most `chunkSize` bytes
    // (at most 64 KiB are used). Ordinals only grow between Open calls. Fails
    // when libarchive's entry disagrees with `header` on name or size, when
    // it reports an error, when the sink refuses a piece, or when it gives
    // more or fewer bytes than the header's unpacked size.
    bool Unpack(size_t ordinal, const RarFileHeader& header, IEntrySink& out, size_t chunkSize,
                std::string& error);

    // What libarchive's read callbacks work on (defined with them).
    struct Source;

private:
    bool skipTo(size_t ordinal, const RarFileHeader& header, std::string& error);
    bool readData(const RarFileHeader& header, IEntrySink& out, size_t chunkSize,
                  std::string& error);
    std::string libraryError() const;

    archive* handle = nullptr;
    std::unique_ptr<Source> source;
    size_t headersRead = 0;
    std::vector<uint8_t> output; // one piece of unpacked data
};
