// The checker's view of the install folder: it reads, lists and deletes only
// through this interface, always with paths relative to the install folder
// ('\\'-separated, lower or mixed case), so the decisions are tested against
// a fake and the Windows side plugs in the real files. One thread at a time.
#pragma once

#include "update/checker/checker_control.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IReadFile {
public:
    virtual ~IReadFile() = default;
    // Up to `count` bytes; the number read, 0 at the end, -1 on a read error.
    virtual int64_t Read(void* dest, uint32_t count) = 0;
};

enum class EFolderEntryKind {
    File,
    Folder,
    // A symbolic link, junction or other reparse point: never followed and
    // never deleted, since it may lead out of the install folder.
    Link,
    Other,
};

struct FolderEntry {
    std::wstring name; // no path, as the file system spells it
    EFolderEntryKind kind = EFolderEntryKind::Other;
};

class IInstallFiles {
public:
    virtual ~IInstallFiles() = default;
    // Null with `systemError` set when the file cannot be opened for reading.
    virtual std::unique_ptr<IReadFile> OpenFile(const std::wstring& path,
                                                uint32_t& systemError) = 0;
    // The entries of a folder ("" is the install folder itself), without "."
    // and "..". False when the folder cannot be listed.
    virtual bool ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries) = 0;
    virtual bool RemoveFile(const std::wstring& path) = 0;
    // Removes the folder only when it is empty.
    virtual bool RemoveEmptyFolder(const std::wstring& folder) = 0;
};

struct FileDigest {
    uint64_t size = 0;
    uint32_t crc = 0;
};

// Block size of digestFile: large enough for full disk speed, small enough
// that memory use does not depend on the file size.
inline constexpr uint32_t kDigestBlockSize = 1u << 20;

enum class EDigest {
    Ok,
    Unreadable, // cannot be opened or read
    Stopped,    // a stop was requested: the digest covers part of the file only
};

// Size and CRC-32 of a file, read in blocks of kDigestBlockSize into `block`
// (resized once and reused between calls). An empty file has the CRC
// 0xFFFFFFFF, as Crc32 gives for zero bytes. Unreadable with `systemError`
// (0 for a read error after opening). The stop request is tested before
// every block, so a file of any size ends the thread within one block's
// time; the partial digest must not be used.
EDigest digestFile(IInstallFiles& files, const std::wstring& path, const CheckerControl& control,
                   std::vector<uint8_t>& block, FileDigest& digest, uint32_t& systemError);

// The whole content of a small file such as the launcher's record files.
// False when the file cannot be opened or read, or holds more than
// `maxSize` bytes (never reading more than one byte past that); `bytes`
// is empty then.
bool readSmallFile(IInstallFiles& files, const std::wstring& path, size_t maxSize,
                   std::vector<uint8_t>& bytes);
