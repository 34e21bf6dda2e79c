#include "app/config/install_folder_rules.h"

#include <string_view>

std::wstring configCrcFilePath(const std::wstring& installFolder) {
    return installFolder.empty() ? std::wstring(L"CIF.dat") : installFolder + L"\\CIF.dat";
}

std::vector<uint8_t> configCrcBytes(uint32_t crc) {
    return {static_cast<uint8_t>(crc), static_cast<uint8_t>(crc >> 8),
            static_cast<uint8_t>(crc >> 16), static_cast<uint8_t>(crc >> 24)};
}

bool configCrcDiffers(const std::vector<uint8_t>& stored, uint32_t crc) {
    return stored != configCrcBytes(crc);
}

namespace {

// "." or ".." anywhere would let the shadow path climb out of VirtualStore,
// and the path is deleted with everything below it.
bool hasRelativeStep(const std::wstring& path) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = path.size();
        const std::wstring_view step(path.data() + start, end - start);
        if (step == L"." || step == L"..")
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

std::optional<std::wstring> virtualStorePath(const std::wstring& localAppData,
                                             const std::wstring& installFolder) {
    if (localAppData.empty() || installFolder.size() < 4 || installFolder[1] != L':' ||
        installFolder[2] != L'\\' || hasRelativeStep(installFolder))
        return std::nullopt;
    return localAppData + L"\\VirtualStore\\" + installFolder.substr(3);
}

std::optional<std::wstring> proposeInstallFolderValue(const InstallFolderChoice& c) {
    if (!c.chosen.empty())
        return c.previouslyTyped.empty() ? c.chosen : c.previouslyTyped;
    if (!c.current.empty())
        return c.current;
    if (!c.installRun)
        return c.ownFolder;
    if (c.firstRegistered.size() >= 4)
        return c.firstRegistered;
    if (c.programFiles.empty())
        return std::nullopt;
    return c.programFiles + L"\\" + c.fullName;
}
