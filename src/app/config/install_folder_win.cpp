#include "app/config/install_folder_win.h"

#include "app/config/install_folder_rules.h"
#include "base/file_io_win.h"
#include "base/folder_tree_win.h"
#include "base/log/run_log_win.h"
#include "base/reg_key_win.h"

#include <shlobj.h>

#include <optional>
#include <vector>

namespace {

void logLine(CLogImplW* log, const std::wstring& text) {
    if (log != nullptr)
        log->write(text.c_str(), true);
}

std::wstring shellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return path;
}

} // namespace

bool configChanged(const std::wstring& installFolder, uint32_t configCrc) {
    const std::wstring path = configCrcFilePath(installFolder);
    std::vector<uint8_t> stored;
    if (readWholeFile(path, stored) != ERROR_SUCCESS)
        stored.clear();
    if (!configCrcDiffers(stored, configCrc))
        return false;
    ::DeleteFileW(path.c_str());
    const std::vector<uint8_t> bytes = configCrcBytes(configCrc);
    writeWholeFile(path, bytes.data(), static_cast<DWORD>(bytes.size()));
    return true;
}

void clearVirtualStore(const std::wstring& installFolder, CLogImplW* log) {
    if (installFolder.size() < 4)
        return;
    logLine(log, L"");
    logLine(log, L"Clear virtual store path");
    const std::optional<std::wstring> path =
        virtualStorePath(shellFolder(CSIDL_LOCAL_APPDATA), installFolder);
    if (path) {
        logLine(log, L"  " + *path);
        if (folderExists(*path)) {
            deleteFolderTree(*path);
            logLine(log, L" .. OK");
        } else {
            logLine(log, L" .. not found");
        }
    }
    logLine(log, L"");
}

std::wstring programFilesFolder() {
    std::wstring folder = shellFolder(CSIDL_PROGRAM_FILES);
    if (!folder.empty())
        return folder;
    CRegKey key;
    if (key.openRead(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion"))
        folder = key.readString(L"ProgramFilesDir", MAX_PATH).value_or(std::wstring());
    return folder;
}
