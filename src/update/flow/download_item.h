// One file of an update run's download queue, where its bytes wait between
// runs, and the decisions made on it: how much to ask for next and what a
// file found in the temporary folder is worth. Portable.
#pragma once

#include <cstdint>
#include <string>

// The longest byte range one request asks for. A package is fetched as a
// sequence of such ranges, so a response body never holds more than this,
// whatever the package size.
inline constexpr uint64_t kMaxRangeLength = 16u << 20;
// Received bytes held in memory at once: those waiting for the disk and the
// answer on the wire (a range's end is inclusive, so an answer holds one
// byte more than its length). One whole range and 4 MiB more: two whole
// ranges would take the launcher past 64 MB under Wine.
inline constexpr uint64_t kMaxHeldBytes = kMaxRangeLength + 1 + (4u << 20);

struct DownloadItem {
    std::string name; // UTF-8, as the manifest's PACK "file" writes it
    uint32_t crc = 0;
    uint64_t size = 0;
    int partCount = 0;       // answers with data since the item was prepared
    uint64_t downloaded = 0; // bytes held in the temporary file and the store
    uint64_t remaining = 0;  // size - downloaded
};

// "<folder>\tmp\<CRC as 8 upper-case hex digits>.<size>" for a package, so a
// package of the same CRC and size reuses what an earlier run left;
// "<folder>\tmp\<launcherVersion>.Launcher.exe.<size>" for the launcher.
std::wstring tempFileName(const std::wstring& installFolder, const DownloadItem& item,
                          const std::string& launcherVersion);

// Whether the name ends in exactly ".pkg" (case-sensitive; a name of three
// characters or fewer has no extension).
bool hasPackageExtension(const std::string& name);

// The length of the next range request for an item with `remaining` bytes.
unsigned nextRangeLength(uint64_t remaining);

// Whether a range of `length` may be asked for while `unwritten` received
// bytes wait for the disk (kMaxHeldBytes); otherwise it waits for the writer.
bool mayAskRange(uint64_t unwritten, unsigned length);

// What a file found in the temporary folder at the start of a run is worth.
enum class EResumeState {
    eDiscard,  // longer than the package, or whole with another CRC
    eComplete, // whole and matching: unpack without a request
    eContinue, // a prefix: ask for the rest
};
EResumeState classifyResume(uint64_t held, uint32_t heldCrc, const DownloadItem& item);
