#include "base/folder_tree_win.h"

#include "base/handle_win.h"

#include <windows.h>

namespace {

bool isDotEntry(const wchar_t* name) {
    return (name[0] == L'.' && name[1] == 0) ||
           (name[0] == L'.' && name[1] == L'.' && name[2] == 0);
}

void deleteFileForced(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    ::DeleteFileW(path.c_str());
}

void deleteContent(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    CFindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (!search.isOpen())
        return;
    do {
        if (isDotEntry(found.cFileName))
            continue;
        const std::wstring path = folder + L"\\" + found.cFileName;
        const DWORD attributes = found.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            deleteFolderTree(path);
        else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            ::RemoveDirectoryW(path.c_str());
        else
            deleteFileForced(path, attributes);
    } while (::FindNextFileW(search.get(), &found));
}

} // namespace

bool folderExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool deleteFolderTree(const std::wstring& folder) {
    deleteContent(folder);
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(folder.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    ::RemoveDirectoryW(folder.c_str());
    return !folderExists(folder);
}
