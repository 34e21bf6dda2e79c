#include "app/stamp/own_launcher_win.h"

#include "app/stamp/stamp_resources_win.h"
#include "base/file_io_win.h"
#include "base/log/file_version_win.h"
#include "base/windows_win.h"

namespace {

std::optional<uint64_t> fileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

} // namespace

OwnLauncher describeOwnLauncher() {
    const std::wstring path = ownModulePath();
    OwnLauncher own;
    own.version = getFileVersion(path);
    own.size = fileSize(path);
    own.crc = []() -> std::optional<uint32_t> {
        uint32_t crc = 0;
        if (computeLauncherCrc(nullptr, 0, 0, crc) != ERROR_SUCCESS)
            return std::nullopt;
        return crc;
    };
    return own;
}
