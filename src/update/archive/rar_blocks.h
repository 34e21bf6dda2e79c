// The block structure of RAR 1.5 to 4.x archives, parsed from bytes: the
// marker, the common block header and the file header. Pure functions, no
// state; any thread.
#pragma once

#include "update/archive/entry_kind.h"

#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr uint8_t kRarBlockMarker = 0x72;
inline constexpr uint8_t kRarBlockArchive = 0x73;
inline constexpr uint8_t kRarBlockFile = 0x74;
inline constexpr uint8_t kRarBlockEnd = 0x7B;

inline constexpr uint16_t kRarFlagAddSize = 0x8000;
inline constexpr uint16_t kRarArchiveEncryptedHeaders = 0x0080;
inline constexpr uint16_t kRarFileSplitBefore = 0x0001;
inline constexpr uint16_t kRarFileSplitAfter = 0x0002;
inline constexpr uint16_t kRarFileEncrypted = 0x0004;
inline constexpr uint16_t kRarFileSolid = 0x0010;
inline constexpr uint16_t kRarFileDirectoryMask = 0x00E0;
inline constexpr uint16_t kRarFileLarge = 0x0100;
inline constexpr uint16_t kRarFileUnicodeName = 0x0200;

inline constexpr uint8_t kRarMethodStored = 0x30;
// Archives made on Unix keep the file's st_mode as its attributes.
inline constexpr uint8_t kRarHostUnix = 3;

inline constexpr size_t kRarMarkerSize = 7;
inline constexpr size_t kRarBlockHeaderSize = 7;
// Block header, then packed and unpacked size, host OS, file CRC, time,
// unpack version, method, name size and attributes.
inline constexpr size_t kRarFileHeaderFixedSize = 32;
// How far behind a self-extracting stub the marker is looked for.
inline constexpr size_t kRarSfxSearchLimit = 0xFFFF0;
// A 1.4 archive behind a stub is only believed when the stub says so here.
inline constexpr size_t kRarSfx14SignatureOffset = 28;

enum ERarMarker {
    eRarMarker_None,
    eRarMarker_Rar15, // "Rar!" 1A 07 00: formats 1.5 to 4.x
    eRarMarker_Rar14, // "RE~^"
    eRarMarker_Rar50, // "Rar!" 1A 07 01
};

// The marker that starts at `bytes`, judged from at most `count` bytes.
ERarMarker classifyRarMarker(const uint8_t* bytes, size_t count);

struct RarBlockHeader {
    uint16_t crc = 0;
    uint8_t type = 0;
    uint16_t flags = 0;
    uint16_t headSize = 0;
    // Bytes that follow the header: ADD_SIZE, for file blocks the packed
    // size including its high part.
    uint64_t dataSize = 0;
};

// Reads the first seven bytes (and ADD_SIZE when the flags announce it) of a
// block whose header is `bytes[0, count)`. False when they are missing or
// the header size is below seven.
bool parseRarBlockHeader(const uint8_t* bytes, size_t count, RarBlockHeader& out);

// The value a header's CRC field must hold: the low 16 bits of the CRC-32 of
// the header from the type byte on. `headSize` >= 3.
uint16_t rarHeaderCrc(const uint8_t* header, size_t headSize);

struct RarFileHeader {
    uint16_t flags = 0;
    uint64_t packedSize = 0;
    uint64_t unpackedSize = 0;
    uint8_t hostOs = 0;
    uint32_t fileCrc = 0;
    uint32_t fileTime = 0;
    uint8_t unpackVersion = 0;
    uint8_t method = 0;
    uint32_t attributes = 0;
    // As stored (the narrow part of a Unicode name), without a '\\' for
    // directories.
    std::string name;
    // The Unicode name as UTF-8 when the header carries one (or, for an
    // archive made on Unix, when the stored name is UTF-8), else "".
    std::string unicodeName;

    bool isDirectory() const { return (flags & kRarFileDirectoryMask) == kRarFileDirectoryMask; }
    EEntryKind kind() const;
};

// Parses a complete file block header of `headSize` bytes (CRC not checked
// here). False with a reason in `error` when a field reaches past the header.
bool parseRarFileHeader(const uint8_t* header, size_t headSize, RarFileHeader& out,
                        std::string& error);
