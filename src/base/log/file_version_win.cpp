#include "base/log/file_version_win.h"

#include "base/windows_win.h"

#include <cstdio>
#include <vector>

namespace {

// Version resources are a few kilobytes; a larger claim is not believed.
constexpr DWORD kLargestVersionBlock = 1u << 20;

} // namespace

std::string getFileVersion(const std::wstring& modulePath) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(modulePath.c_str(), &ignored);
    if (size == 0 || size > kLargestVersionBlock)
        return {};
    std::vector<uint8_t> block(size);
    if (!::GetFileVersionInfoW(modulePath.c_str(), 0, size, block.data()))
        return {};
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\", &value, &length) || value == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO))
        return {};
    const VS_FIXEDFILEINFO* info = static_cast<const VS_FIXEDFILEINFO*>(value);
    if (info->dwSignature != VS_FFI_SIGNATURE)
        return {};
    char text[64];
    std::snprintf(text, sizeof(text), "%d.%d.%d.%d", HIWORD(info->dwFileVersionMS),
                  LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                  LOWORD(info->dwFileVersionLS));
    return text;
}
