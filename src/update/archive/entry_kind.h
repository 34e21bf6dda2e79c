// What an archive entry is, beyond its name: only regular files and folders
// become files; links, devices, FIFOs and sockets are skipped, so no archive
// can make the launcher create a link or write a link's text as a file.
// Pure; any thread.
#pragma once

#include <cstdint>

enum class EEntryKind {
    File,
    Folder,
    Link,    // a symbolic link; its data is the link's target text
    Special, // a device, FIFO or socket
};

// Archivers on Unix hosts store the entry's st_mode; its type bits decide.
// A mode without type bits (some archivers write only permissions) is a
// regular file.
EEntryKind entryKindFromUnixMode(uint32_t mode);

// For the run log: "symbolic link", "special file".
const char* skippedEntryKindText(EEntryKind kind);
