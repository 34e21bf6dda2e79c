#include "update/checker/install_files_win.h"

#include "base/scoped_handle_win.h"
#include "base/windows_win.h"

namespace {

class CWinReadFile : public IReadFile {
public:
    explicit CWinReadFile(HANDLE handle) : file(handle) {}
    int64_t Read(void* dest, uint32_t count) override {
        DWORD got = 0;
        if (!::ReadFile(file.get(), dest, count, &got, nullptr))
            return -1;
        return static_cast<int64_t>(got);
    }

private:
    CFile file;
};

bool isDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

// The attribute, not the reparse tag, decides: Wine reports a Unix link to
// a folder with the attribute and no tag, and any tag may lead elsewhere.
EFolderEntryKind kindOf(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return EFolderEntryKind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return EFolderEntryKind::Folder;
    return EFolderEntryKind::File;
}

bool isUsableFolder(const std::wstring& folder) {
    const bool drivePath = folder.size() >= 4 && folder[1] == L':' && folder[2] == L'\\';
    const bool networkPath = folder.size() >= 5 && folder.compare(0, 2, L"\\\\") == 0;
    return drivePath || networkPath;
}

} // namespace

CWinInstallFiles::CWinInstallFiles(std::wstring installFolder) {
    while (!installFolder.empty() && installFolder.back() == L'\\')
        installFolder.pop_back();
    if (isUsableFolder(installFolder))
        root = std::move(installFolder);
}

std::wstring CWinInstallFiles::resolve(const std::wstring& path) const {
    return path.empty() ? root : root + L"\\" + path;
}

bool CWinInstallFiles::reachedWithoutLinks(const std::wstring& path) const {
    if (root.empty())
        return false;
    for (size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
        const DWORD attributes = ::GetFileAttributesW(resolve(path.substr(0, end)).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return false;
        if (end == std::wstring::npos)
            return true;
    }
}

std::unique_ptr<IReadFile> CWinInstallFiles::OpenFile(const std::wstring& path,
                                                      uint32_t& systemError) {
    if (root.empty()) {
        systemError = ERROR_PATH_NOT_FOUND;
        return nullptr;
    }
    const HANDLE handle =
        ::CreateFileW(resolve(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        systemError = ::GetLastError();
        return nullptr;
    }
    return std::make_unique<CWinReadFile>(handle);
}

bool CWinInstallFiles::ListFolder(const std::wstring& folder, std::vector<FolderEntry>& entries) {
    entries.clear();
    if (root.empty() || (!folder.empty() && !reachedWithoutLinks(folder)))
        return false;
    WIN32_FIND_DATAW found{};
    CFindHandle search(::FindFirstFileExW((resolve(folder) + L"\\*").c_str(), FindExInfoBasic,
                                          &found, FindExSearchNameMatch, nullptr,
                                          FIND_FIRST_EX_LARGE_FETCH));
    if (!search.isOpen())
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (!isDotEntry(found.cFileName))
            entries.push_back({found.cFileName, kindOf(found.dwFileAttributes)});
    } while (::FindNextFileW(search.get(), &found));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
}

bool CWinInstallFiles::RemoveFile(const std::wstring& path) {
    if (path.empty() || !reachedWithoutLinks(path))
        return false;
    const std::wstring full = resolve(path);
    const DWORD attributes = ::GetFileAttributesW(full.c_str());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return false;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(full.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return ::DeleteFileW(full.c_str()) != FALSE;
}

bool CWinInstallFiles::RemoveEmptyFolder(const std::wstring& folder) {
    // RemoveDirectoryW fails for a folder that is not empty.
    return !folder.empty() && reachedWithoutLinks(folder) &&
           ::RemoveDirectoryW(resolve(folder).c_str()) != FALSE;
}
