#include "net/download/cud_store_win.h"

#include "base/scoped_handle_win.h"
#include "base/windows_win.h"

ECudReadResult CCudFileStore::ReadCud(const std::wstring& path, std::vector<uint8_t>& bytes) {
    CFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen())
        return ECudReadResult::eCannotOpen;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size))
        return ECudReadResult::eCannotOpen;
    if (size.QuadPart > static_cast<LONGLONG>(kMaxCudFileBytes))
        return ECudReadResult::eTooLarge;
    bytes.assign(static_cast<size_t>(size.QuadPart), 0);
    DWORD read = 0;
    if (!bytes.empty() &&
        !::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
        return ECudReadResult::eCannotOpen;
    bytes.resize(read);
    return ECudReadResult::eOk;
}

ECudWriteResult CCudFileStore::WriteCud(const std::wstring& path, const uint8_t* bytes,
                                        unsigned count) {
    CFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen())
        return ECudWriteResult::eCannotOpen;
    DWORD written = 0;
    if (count != 0 && !::WriteFile(file.get(), bytes, count, &written, nullptr))
        return ECudWriteResult::eShortWrite;
    if (written != count || !file.close())
        return ECudWriteResult::eShortWrite;
    return ECudWriteResult::eOk;
}
