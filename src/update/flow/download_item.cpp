#include "update/flow/download_item.h"

#include "base/utf8_text.h"

#include <algorithm>
#include <cstdio>

std::wstring tempFileName(const std::wstring& installFolder, const DownloadItem& item,
                          const std::string& launcherVersion) {
    char name[64];
    if (item.name == "Launcher.exe") {
        std::string text = launcherVersion + ".Launcher.exe." + std::to_string(item.size);
        return installFolder + L"\\tmp\\" + wideFromUtf8(text);
    }
    std::snprintf(name, sizeof name, "%08X.%llu", item.crc,
                  static_cast<unsigned long long>(item.size));
    return installFolder + L"\\tmp\\" + wideFromUtf8(name);
}

bool hasPackageExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    return name.size() > 3 && dot != std::string::npos &&
           name.compare(dot, std::string::npos, ".pkg") == 0;
}

bool mayAskRange(uint64_t unwritten, unsigned length) {
    return unwritten + uint64_t{length} + 1 <= kMaxHeldBytes;
}

unsigned nextRangeLength(uint64_t remaining) {
    return static_cast<unsigned>(std::min(remaining, kMaxRangeLength));
}

EResumeState classifyResume(uint64_t held, uint32_t heldCrc, const DownloadItem& item) {
    if (held > item.size || (held == item.size && heldCrc != item.crc))
        return EResumeState::eDiscard;
    return held == item.size ? EResumeState::eComplete : EResumeState::eContinue;
}
