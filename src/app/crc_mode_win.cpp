#include "app/crc_mode_win.h"

#include "app/stamp/stamp_resources_win.h"
#include "base/file_io_win.h"
#include "base/windows_win.h"

#include <cstdio>

namespace {

const wchar_t kCrcFile[] = L"crc.txt";

} // namespace

void runCrcMode() {
    uint32_t crc = 0;
    const DWORD error = computeLauncherCrc(nullptr, 0, 0, crc);
    char text[32];
    const int n = error == ERROR_SUCCESS ? std::snprintf(text, sizeof(text), "%u", crc)
                                         : std::snprintf(text, sizeof(text), "%s %d", "error",
                                                         static_cast<int>(error));
    if (writeWholeFile(kCrcFile, text, static_cast<DWORD>(n)) != ERROR_SUCCESS) {
        // A read-only leftover blocks the file: remove it so the next run
        // can write; this run reports nothing.
        ::SetFileAttributesW(kCrcFile, FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(kCrcFile);
    }
}
