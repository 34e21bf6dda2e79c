// CRarReader: the launcher's reader of RAR 1.5 to 4.x archives (also behind a
// self-extracting stub). It walks the block structure itself, copies stored
// files, has libarchive unpack the others, and checks every file's CRC-32.
// One thread at a time; an instance may be reopened.
#pragma once

#include "base/buffer.h"
#include "update/archive/entry_kind.h"
#include "update/archive/entry_sink.h"
#include "update/archive/rar_blocks.h"
#include "update/archive/rar_decoder.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ISimpleReadStream;

struct RarEntry {
    std::string name; // a directory's ends with '\\'
    uint64_t packedSize = 0;
    uint64_t unpackedSize = 0;
    uint32_t crc = 0;
    EEntryKind kind = EEntryKind::File;
};

class CRarReader {
public:
    // Turns a name that has only its OEM form into UTF-8. Portable code keeps
    // such names as stored; Windows installs the OEM code page's conversion.
    // A name the archive also carries in Unicode is used as that, in UTF-8.
    using NameConversion = std::string (*)(const std::string& stored);

    // ExtractNext refuses larger files by default rather than reserving
    // memory for them: a header may lie.
    static constexpr uint64_t kMaxFileSize = 256ull << 20;

    CRarReader() = default;
    CRarReader(const CRarReader&) = delete;
    CRarReader& operator=(const CRarReader&) = delete;
    ~CRarReader();

    // Takes ownership of `stream` (also when failing). Finds the marker,
    // lists the file entries and rewinds to the first block. False for no
    // archive, a RAR 5 or 1.4 archive, encrypted headers, a damaged archive
    // header.
    bool OpenArchive(ISimpleReadStream* stream);
    // Extracts the next file: true with GetCurrentName() set and the bytes in
    // GetOutput(); a directory comes with a name ending in '\\' and no bytes;
    // true with an empty name at the end of the archive. False for a damaged
    // block, an encrypted or split entry, a method or unpack version the
    // decompressor cannot decode, a CRC mismatch, and a file larger than
    // `maxFileSize` (by its header or by what it unpacks to); every later
    // call then fails too.
    bool ExtractNext(uint64_t maxFileSize = kMaxFileSize);
    // The same walk, but a file's bytes go to `sink` in pieces of at most
    // `chunkSize` bytes and GetOutput() stays empty: no size limit but the
    // header's, memory bounded by the chunk size. The CRC is compared after
    // the last piece, so the sink must not treat the file as good before this
    // returns true.
    bool ExtractNextTo(IEntrySink& sink, size_t chunkSize = kEntryChunkSize);
    void CloseArchive();

    const std::string& GetCurrentName() const { return sCurrentName; }
    const RarFileHeader& GetCurrentHeader() const { return current; }
    CBuffer& GetOutput() { return output; }
    const std::vector<RarEntry>& GetEntries() const { return entries; }
    // Why the last call failed, for the log.
    const std::string& GetLastErrorText() const { return sLastError; }

    // Set once at start-up, before any reader runs on another thread.
    static void SetNameConversion(NameConversion conversion);

private:
    enum EBlockResult { eBlock_Read, eBlock_End, eBlock_Error };

    bool findArchiveStart();
    bool checkArchiveHeader(int64_t position);
    void listEntries();
    EBlockResult readBlock(int64_t position, RarBlockHeader& block, std::vector<uint8_t>& head);
    // How ExtractNext and ExtractNextTo differ.
    struct Target {
        IEntrySink& sink;
        size_t chunkSize;
        uint64_t maxFileSize;
    };

    bool extractNext(const Target& target);
    bool extractFile(const RarFileHeader& file, uint64_t dataPosition, size_t ordinal,
                     const Target& target);
    bool checkExtractable(const RarFileHeader& file, uint64_t dataPosition, uint64_t maxFileSize);
    bool copyStored(const RarFileHeader& file, int64_t dataPosition, IEntrySink& sink,
                    size_t chunkSize);
    bool unpack(const RarFileHeader& file, size_t ordinal, IEntrySink& sink, size_t chunkSize);
    bool readAt(int64_t position, void* dest, int count);
    std::string convertName(const RarFileHeader& file) const;
    bool fail(const std::string& message);

    std::unique_ptr<ISimpleReadStream> stream;
    int64_t nArchiveSize = 0;
    int64_t nArchiveStart = 0; // the marker's position
    int64_t nNextBlock = 0;
    size_t nFileOrdinal = 0; // file blocks passed by ExtractNext
    bool bBroken = false;
    std::vector<RarEntry> entries;
    RarFileHeader current;
    std::string sCurrentName;
    CBuffer output;
    CRarDecoder decoder;
    std::string sLastError;
};
