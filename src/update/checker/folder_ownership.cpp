#include "update/checker/folder_ownership.h"

#include "update/manifest/manifest_text.h"

#include <algorithm>
#include <string_view>

namespace {

bool isDigits(std::wstring_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

bool isHexDigits(std::wstring_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) {
        return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f');
    });
}

bool startsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWith(std::wstring_view text, std::wstring_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// "YYYYMMDD_hhmmss[_n].<launcher>.log": the run log of one of the
// launcher's names.
bool isRunLog(std::wstring_view name, const std::vector<std::wstring>& launcherNames) {
    if (name.size() < 16 || !isDigits(name.substr(0, 8)) || name[8] != L'_' ||
        !isDigits(name.substr(9, 6)))
        return false;
    std::wstring_view rest = name.substr(15);
    if (startsWith(rest, L"_")) {
        const size_t dot = rest.find(L'.');
        if (dot == std::wstring_view::npos || !isDigits(rest.substr(1, dot - 1)))
            return false;
        rest = rest.substr(dot);
    }
    return std::any_of(launcherNames.begin(), launcherNames.end(),
                       [&](const std::wstring& own) { return rest == L"." + own + L".log"; });
}

// "<process id>.<context>.log", and its rotated copies ".log.000" on.
bool isHttpLog(std::wstring_view name) {
    if (name.size() > 4 && name[name.size() - 4] == L'.' && isDigits(name.substr(name.size() - 3)))
        name.remove_suffix(4);
    const size_t dot = name.find(L'.');
    return dot != std::wstring_view::npos && isDigits(name.substr(0, dot)) &&
           name.size() > dot + 1 + 4 && endsWith(name, L".log");
}

// The manifest is written beside "update.xml" and renamed over it; a crash
// in between leaves the new text behind.
bool isManifestInWriting(std::wstring_view name) {
    return startsWith(name, L"update.xml.") && endsWith(name, L".tmp");
}

bool isLauncherFile(std::wstring_view name, const std::vector<std::wstring>& launcherNames) {
    return std::find(launcherNames.begin(), launcherNames.end(), name) != launcherNames.end() ||
           std::find(std::begin(kLauncherWorkFiles), std::end(kLauncherWorkFiles), name) !=
               std::end(kLauncherWorkFiles) ||
           isRunLog(name, launcherNames) || isHttpLog(name) || isManifestInWriting(name);
}

// A download of the launcher's naming: "%08X.<size>" for a package,
// "<version>.launcher.exe.<size>" for the launcher itself.
bool isDownload(std::wstring_view name) {
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring_view::npos || !isDigits(name.substr(dot + 1)))
        return false;
    const std::wstring_view head = name.substr(0, dot);
    return (head.size() == 8 && isHexDigits(head)) ||
           (head.size() > 13 && endsWith(head, L".launcher.exe"));
}

bool belongsToLauncher(const FolderEntry& entry, const std::wstring& lowerPath,
                       const std::vector<std::wstring>& launcherNames) {
    const size_t slash = lowerPath.find(L'\\');
    if (slash == std::wstring::npos) {
        if (entry.kind == EFolderEntryKind::Folder)
            return lowerPath == kTempFolder || lowerPath == kExtFolder;
        return entry.kind == EFolderEntryKind::File && isLauncherFile(lowerPath, launcherNames);
    }
    // Nothing of ours is ever put into "ext"; "tmp" holds only downloads.
    const std::wstring_view folder = std::wstring_view(lowerPath).substr(0, slash);
    const std::wstring_view name = std::wstring_view(lowerPath).substr(slash + 1);
    return folder == kTempFolder && entry.kind == EFolderEntryKind::File &&
           name.find(L'\\') == std::wstring_view::npos && isDownload(name);
}

} // namespace

FolderOwnership judgeInstallFolder(const std::vector<FolderEntry>& listing,
                                   const std::wstring& ownFileName) {
    FolderOwnership verdict;
    verdict.bHoldsClient = std::any_of(listing.begin(), listing.end(), [](const FolderEntry& e) {
        return e.kind == EFolderEntryKind::File && lowerWide(e.name) == L"update.xml";
    });
    if (verdict.bHoldsClient) {
        verdict.bOurs = true;
        return verdict;
    }
    const std::vector<std::wstring> launcherNames = {lowerWide(ownFileName), L"launcher.exe",
                                                     L"launcher.tmp.exe"};
    for (const FolderEntry& entry : listing) {
        if (!belongsToLauncher(entry, lowerWide(entry.name), launcherNames))
            verdict.foreignNames.push_back(entry.name);
    }
    verdict.bOurs = verdict.foreignNames.empty();
    return verdict;
}
