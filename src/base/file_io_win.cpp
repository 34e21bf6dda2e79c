#include "base/file_io_win.h"

#include "base/scoped_handle_win.h"

namespace {

constexpr LONGLONG kMaxWholeFile = 1LL << 30;

} // namespace

DWORD readWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes) {
    CFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen())
        return ::GetLastError();
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size))
        return ::GetLastError();
    if (size.QuadPart > kMaxWholeFile)
        return ERROR_FILE_TOO_LARGE;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() &&
        !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return ::GetLastError();
    bytes.resize(read);
    return ERROR_SUCCESS;
}

DWORD writeWholeFile(const std::wstring& path, const void* bytes, DWORD count) {
    CFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen())
        return ::GetLastError();
    DWORD written = 0;
    if (count != 0 &&
        (!::WriteFile(file.get(), bytes, count, &written, nullptr) || written != count))
        return ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_WRITE_FAULT;
    return ERROR_SUCCESS;
}

bool fileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ownModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring folderOfPath(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring fileNameOfPath(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}
