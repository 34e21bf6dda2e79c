// File look-ups shared by the Windows tests.
#pragma once

#include "base/file_io_win.h"
#include "base/scoped_handle_win.h"
#include "base/windows_win.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testwin {

// The file's bytes as text; empty when it cannot be read.
inline std::string readText(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    if (readWholeFile(path, bytes) != ERROR_SUCCESS)
        return {};
    return std::string(bytes.begin(), bytes.end());
}

// Names of the files (not folders) directly in `folder` matching `pattern`.
inline std::vector<std::wstring> filesIn(const std::wstring& folder,
                                         const std::wstring& pattern = L"*") {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW d{};
    const CFindHandle search(::FindFirstFileW((folder + L"\\" + pattern).c_str(), &d));
    if (!search)
        return names;
    do {
        if (!(d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(d.cFileName);
    } while (::FindNextFileW(search.get(), &d));
    return names;
}

// The text of the (first) run log in `folder`; empty when there is none.
inline std::string runLogIn(const std::wstring& folder) {
    const std::vector<std::wstring> logs = filesIn(folder, L"*.log");
    return logs.empty() ? std::string() : readText(folder + L"\\" + logs.front());
}

// A file of `size` zero bytes that takes no disk space; reading it still
// takes the time of reading that many bytes.
inline bool makeSparseFile(const std::wstring& path, uint64_t size) {
    CFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(size);
    return file.isOpen() && ::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN) &&
           ::SetEndOfFile(file.get());
}

} // namespace testwin
