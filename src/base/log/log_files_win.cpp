#include "base/log/log_files_win.h"

#include "base/log/log_file_names.h"
#include "base/scoped_handle_win.h"

#include <optional>
#include <utility>
#include <vector>

namespace {

enum EEntryKind { eEntry_Folder, eEntry_File };

bool isKind(const WIN32_FIND_DATAW& entry, EEntryKind kind) {
    const bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (kind == eEntry_File)
        return !folder;
    // A linked folder could lead out of the launcher's folder: not ours.
    const std::wstring name = entry.cFileName;
    return folder && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && name != L"." &&
           name != L"..";
}

std::vector<std::wstring> listEntries(const std::wstring& pattern, EEntryKind kind) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry{};
    const CFindHandle find(::FindFirstFileW(pattern.c_str(), &entry));
    if (!find.isOpen())
        return names;
    do {
        if (isKind(entry, kind))
            names.emplace_back(entry.cFileName);
    } while (::FindNextFileW(find.get(), &entry));
    return names;
}

bool pathExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool canOpenForReading(const std::wstring& path) {
    const CFile file(::CreateFileW(path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.isOpen();
}

std::wstring withSeparator(const std::wstring& folder) {
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/')
        return folder;
    return folder + L'\\';
}

void moveToFirstFreeName(const std::wstring& source, const std::wstring& prefix,
                         const std::wstring& base) {
    for (int attempt = 0; attempt < kMigrationNameAttempts; ++attempt) {
        const std::wstring target = migrationTargetName(prefix, base, attempt);
        if (!pathExists(target)) {
            ::MoveFileW(source.c_str(), target.c_str());
            return;
        }
    }
}

} // namespace

void migrateOldLogs(const std::wstring& folder) {
    const std::wstring launcherFolder = withSeparator(folder);
    const std::wstring logsFolder = launcherFolder + L"logs\\";
    const std::vector<std::wstring> folders = listEntries(logsFolder + L"*", eEntry_Folder);
    const std::optional<size_t> newest = newestDatedFolder(folders);
    if (!newest)
        return;
    const std::wstring prefix = migrationTargetPrefix(logsFolder + folders[*newest]);
    // Listed first, moved after: the search never sees its own moves.
    for (const std::wstring& name : listEntries(launcherFolder + L"*.log", eEntry_File)) {
        if (isLogFileName(name))
            moveToFirstFreeName(launcherFolder + name, prefix, logBaseName(name));
    }
}

std::wstring chooseLogFileName(const std::wstring& folder, const std::wstring& ownFileName,
                               const SYSTEMTIME& localTime) {
    const LogDateTime t{localTime.wYear, localTime.wMonth,  localTime.wDay,
                        localTime.wHour, localTime.wMinute, localTime.wSecond};
    const std::vector<std::wstring> candidates = runLogNameCandidates(folder, ownFileName, t);
    for (const std::wstring& candidate : candidates) {
        if (!canOpenForReading(candidate))
            return candidate;
    }
    return candidates.back();
}
