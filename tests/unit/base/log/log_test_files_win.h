// File helpers for the log tests: read what a log wrote while it still holds
// the file open, and prepare files beforehand.
#pragma once

#include "base/windows_win.h"

#include <string>

namespace logtest {

// The whole file, or "<missing>" when it cannot be opened. Shares read and
// write access with the log that has it open.
inline std::string readFileBytes(const std::wstring& path) {
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(h, chunk, sizeof(chunk), &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    ::CloseHandle(h);
    return bytes;
}

inline bool writeFileBytes(const std::wstring& path, const std::string& bytes) {
    const HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = bytes.empty() || (::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()),
                                                  &written, nullptr) &&
                                      written == bytes.size());
    ::CloseHandle(h);
    return ok;
}

inline bool exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A path for the narrow (ANSI code page) file API.
inline std::string ansiPath(const std::wstring& path) {
    const int n = ::WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, out.data(), n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

} // namespace logtest
