// Links to folders for the "never follow a link" tests: a junction where
// the system can make one, else a Unix symbolic link, which Wine shows as a
// folder with FILE_ATTRIBUTE_REPARSE_POINT. Test thread only.
#pragma once

#include "base/folder_tree_win.h"
#include "base/scoped_handle_win.h"
#include "base/windows_win.h"

#include <winioctl.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace testwin {

// A junction (mount point) made the way Windows tools make one.
inline bool makeJunction(const std::wstring& link, const std::wstring& target) {
    if (!::CreateDirectoryW(link.c_str(), nullptr))
        return false;
    CFile folder(::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const std::wstring substitute = L"\\??\\" + target;
    const size_t substituteBytes = substitute.size() * sizeof(wchar_t);
    const size_t printBytes = target.size() * sizeof(wchar_t);
    // Tag, data length, reserved; then the mount point's four name fields
    // and both names, each with a terminating zero.
    std::vector<uint8_t> data(16 + substituteBytes + 2 + printBytes + 2);
    auto put16 = [&](size_t at, size_t value) {
        const auto v = static_cast<uint16_t>(value);
        std::memcpy(&data[at], &v, 2);
    };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    std::memcpy(&data[0], &tag, 4);
    put16(4, data.size() - 8);
    put16(10, substituteBytes);
    put16(12, substituteBytes + 2);
    put16(14, printBytes);
    std::memcpy(&data[16], substitute.c_str(), substituteBytes);
    std::memcpy(&data[16 + substituteBytes + 2], target.c_str(), printBytes);
    DWORD returned = 0;
    const bool made =
        folder.isOpen() &&
        ::DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, data.data(),
                          static_cast<DWORD>(data.size()), nullptr, 0, &returned, nullptr);
    folder.close();
    if (!made)
        ::RemoveDirectoryW(link.c_str());
    return made;
}

inline bool runsOnWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// Wine 8 cannot make junctions (FSCTL_SET_REPARSE_POINT fails with
// ERROR_NOT_SUPPORTED, CreateSymbolicLinkW succeeds without making
// anything), but it shows a Unix symbolic link to a folder as a folder
// with FILE_ATTRIBUTE_REPARSE_POINT. Wine starts Unix programs, so the link
// is made by ln. For a Unix program Wine hands back no process handle (and
// leaves hThread undefined), so callers wait for the outcome.
inline bool startUnixCommand(const std::wstring& folder, std::wstring command) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &startup, &process))
        return false;
    if (process.hProcess) {
        const CHandle processHandle(process.hProcess);
        const CHandle threadHandle(process.hThread);
    }
    return true;
}

inline bool waitUntil(const std::function<bool()>& done) {
    const ULONGLONG deadline = ::GetTickCount64() + 10000;
    while (!done() && ::GetTickCount64() < deadline)
        ::Sleep(10);
    return done();
}

inline bool makeUnixLink(const std::wstring& folder, const std::wstring& name,
                         const std::wstring& relativeTarget) {
    const std::wstring path = folder + L"\\" + name;
    return runsOnWine() &&
           startUnixCommand(folder, L"Z:\\bin\\ln -s " + relativeTarget + L" " + name) &&
           waitUntil([&] { return isLink(path); });
}

// Wine removes such a link neither as a folder nor as a file: rm does.
inline void removeUnixLink(const std::wstring& folder, const std::wstring& name) {
    const std::wstring path = folder + L"\\" + name;
    if (runsOnWine() && startUnixCommand(folder, L"Z:\\bin\\rm -f " + name))
        waitUntil([&] { return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

// `folder`\`name` as a link to `target` (a sibling of `folder`, named
// `relativeTarget` from inside it): a junction, else a Unix link. False
// when this system can make neither.
inline bool makeFolderLink(const std::wstring& folder, const std::wstring& name,
                           const std::wstring& target, const std::wstring& relativeTarget) {
    const std::wstring link = folder + L"\\" + name;
    if (!makeJunction(link, target))
        makeUnixLink(folder, name, relativeTarget);
    return isLink(link);
}

// Removes the link itself, never what it points to; nothing when `name`
// is not a link.
inline void removeFolderLink(const std::wstring& folder, const std::wstring& name) {
    const std::wstring link = folder + L"\\" + name;
    if (isLink(link) && !::RemoveDirectoryW(link.c_str()) && !::DeleteFileW(link.c_str()))
        removeUnixLink(folder, name);
}

} // namespace testwin
