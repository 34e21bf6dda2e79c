#include "app/config/install_folder_rules.h"

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

std::optional<std::wstring> virtualStorePath(const std::wstring& localAppData,
                                             const std::wstring& installFolder) {
    if (installFolder.size() < 4 || installFolder[1] != L':' || installFolder[2] != L'\\')
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
