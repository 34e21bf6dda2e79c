#include "base/folder_tree_win.h"

#include "base/scoped_handle_win.h"
#include "base/windows_win.h"

namespace {

bool isDotEntry(const wchar_t* name) {
    return (name[0] == L'.' && name[1] == 0) ||
           (name[0] == L'.' && name[1] == L'.' && name[2] == 0);
}

// The link itself goes, never what it leads to. Its attributes are left
// alone: SetFileAttributesW would change the target's.
void removeLink(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        ::RemoveDirectoryW(path.c_str());
    else
        ::DeleteFileW(path.c_str());
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
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            removeLink(path, attributes);
        else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            deleteFolderTree(path);
        else
            deleteFileForced(path, attributes);
    } while (::FindNextFileW(search.get(), &found));
}

} // namespace

bool folderExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isLink(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool deleteFolderTree(const std::wstring& folder) {
    // GetFileAttributesW reports a link's own attributes. Tested again at
    // every level, so a folder replaced by a link after its parent was
    // listed is not entered either.
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        removeLink(folder, attributes);
        return ::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
    }
    deleteContent(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(folder.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    ::RemoveDirectoryW(folder.c_str());
    return !folderExists(folder);
}
