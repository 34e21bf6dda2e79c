// The "ZCL1" container of an enciphered HTTP log: a sequence of records, one
// per opening of the file, each an 8-byte header ("ZCL1", then the record
// length including the header as unsigned 32-bit little-endian, 0 while the
// record is still being written) and the body (zcl_encoder.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

inline constexpr uint8_t kZclMagic[4] = {'Z', 'C', 'L', '1'};
inline constexpr size_t kZclHeaderSize = 8;

// The file operations the record walk and the encoder need. CCypherLog
// implements it over its Win32 handle, the tests over memory.
class IZclFile {
public:
    virtual ~IZclFile() = default;
    // Reads up to `count` bytes at `offset`; returns how many came back (0 at
    // the end of the file or on an error).
    virtual size_t readAt(uint64_t offset, void* dest, size_t count) = 0;
    virtual bool writeAt(uint64_t offset, const void* bytes, size_t count) = 0;
    // Writes at the end of the file.
    virtual bool append(const void* bytes, size_t count) = 0;
    virtual std::optional<uint64_t> size() = 0;
};

enum EZclWalk {
    eZclWalk_Ready,   // a container (possibly with its last length filled in): append a record
    eZclWalk_Foreign, // not a container (also an empty file): move it aside first
    eZclWalk_Failed,  // the file could not be read or patched
};

// Walks the records from offset 0. A header with length 0 (the previous
// opening ended without recording its length) gets file size - its offset
// written back and ends the walk; other lengths move the walk on. A short
// or foreign header, or a length under 8, means the file is not a container;
// reaching the end exactly at a record boundary means a complete one.
EZclWalk walkZclRecords(IZclFile& file);

// Appends the header of a record that is still being written (length 0).
bool appendZclHeader(IZclFile& file);
