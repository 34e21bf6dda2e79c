#include "update/unpack/target_file_win.h"

#include "base/file_io_win.h"

#include <algorithm>
#include <vector>

namespace {

constexpr DWORD kComparePiece = 0x40000;

bool readPiece(HANDLE file, uint8_t* dest, DWORD count, DWORD* read) {
    return ::ReadFile(file, dest, count, read, nullptr) != FALSE;
}

} // namespace

bool createFolderPath(const std::wstring& folder, DWORD* error) {
    *error = ERROR_SUCCESS;
    // Every prefix that ends before a separator, then the whole path; the
    // root ("C:", "\\\\server\\share") exists or fails with the rest.
    for (size_t at = folder.find_first_of(L"\\/", 1);; at = folder.find_first_of(L"\\/", at + 1)) {
        const std::wstring prefix = at == std::wstring::npos ? folder : folder.substr(0, at);
        if (!prefix.empty() && prefix.back() != L':' &&
            !::CreateDirectoryW(prefix.c_str(), nullptr)) {
            const DWORD code = ::GetLastError();
            if (code != ERROR_ALREADY_EXISTS && code != ERROR_ACCESS_DENIED)
                *error = code;
        }
        if (at == std::wstring::npos)
            break;
    }
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *error = ERROR_SUCCESS;
        return true;
    }
    if (*error == ERROR_SUCCESS)
        *error = ERROR_PATH_NOT_FOUND;
    return false;
}

CTargetFile::CTargetFile(std::wstring fullPath, bool ignoreErrors)
    : sPath(std::move(fullPath)), bIgnoreErrors(ignoreErrors) {}

CTargetFile::~CTargetFile() {
    removeTemporary();
}

bool CTargetFile::Open() {
    DWORD error = ERROR_SUCCESS;
    if (!createFolderPath(folderOfPath(sPath), &error))
        return failWith(eFailure_Create, error);
    // A unique name in the target's own folder: the final move stays on one
    // volume, and no other file is ever overwritten by the temporary one.
    std::vector<wchar_t> name(MAX_PATH + 1, L'\0');
    if (::GetTempFileNameW(folderOfPath(sPath).c_str(), L"unp", 0, name.data()) == 0)
        return failWith(eFailure_Create, ::GetLastError());
    sTemporary = name.data();
    file.reset(::CreateFileW(sTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen())
        return failWith(eFailure_Create, ::GetLastError());
    return true;
}

bool CTargetFile::Write(const uint8_t* bytes, size_t count) {
    if (bDiscarding)
        return true;
    if (!file.isOpen())
        return false;
    for (size_t done = 0; done < count;) {
        const auto piece = static_cast<DWORD>(std::min<size_t>(count - done, 0x40000000u));
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes + done, piece, &written, nullptr) || written != piece) {
            const DWORD code = ::GetLastError();
            return failWith(eFailure_Write, code != ERROR_SUCCESS ? code : ERROR_WRITE_FAULT);
        }
        done += piece;
    }
    return true;
}

bool CTargetFile::Commit() {
    if (bDiscarding)
        return true;
    if (!file.isOpen())
        return false;
    if (!file.close())
        return failWith(eFailure_Write, ::GetLastError());
    if (::MoveFileExW(sTemporary.c_str(), sPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        sTemporary.clear();
        return true;
    }
    const DWORD code = ::GetLastError();
    if (targetHoldsSameBytes()) {
        removeTemporary();
        return true;
    }
    return failWith(eFailure_Create, code);
}

bool CTargetFile::failWith(EFailure kind, DWORD error) {
    file.close();
    removeTemporary();
    if (bIgnoreErrors) {
        bDiscarding = true;
        return true;
    }
    failure = kind;
    nError = error;
    return false;
}

bool CTargetFile::targetHoldsSameBytes() const {
    CFile written(::CreateFileW(sTemporary.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    CFile target(::CreateFileW(sPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER writtenSize{}, targetSize{};
    if (!written.isOpen() || !target.isOpen() || !::GetFileSizeEx(written.get(), &writtenSize) ||
        !::GetFileSizeEx(target.get(), &targetSize) || writtenSize.QuadPart != targetSize.QuadPart)
        return false;
    std::vector<uint8_t> ours(kComparePiece), theirs(kComparePiece);
    for (;;) {
        DWORD oursRead = 0, theirsRead = 0;
        if (!readPiece(written.get(), ours.data(), kComparePiece, &oursRead) ||
            !readPiece(target.get(), theirs.data(), kComparePiece, &theirsRead) ||
            oursRead != theirsRead)
            return false;
        if (oursRead == 0)
            return true;
        if (!std::equal(ours.begin(), ours.begin() + oursRead, theirs.begin()))
            return false;
    }
}

void CTargetFile::removeTemporary() {
    file.close();
    if (!sTemporary.empty())
        ::DeleteFileW(sTemporary.c_str());
    sTemporary.clear();
}
