#include "app/flow/unpacker_part_store_win.h"

#include "base/windows_win.h"

bool CUnpackerPartStore::MeasureParts(std::vector<std::wstring> paths, unsigned request) {
    return unpacker.MeasureParts(std::move(paths), request);
}

bool CUnpackerPartStore::AddFilePart(const std::wstring& path, CBuffer* part, unsigned length,
                                     std::optional<uint64_t> offset) {
    return unpacker.AddFilePart(path.c_str(), part, length, offset);
}

bool CUnpackerPartStore::GetFileCrc(const std::wstring& path, uint32_t* crc, uint64_t* size) {
    return unpacker.GetFileCrc(path.c_str(), crc, size);
}

bool CUnpackerPartStore::HasWriteFailed(const std::wstring& path) {
    return unpacker.HasWriteFailed(path.c_str());
}

uint64_t CUnpackerPartStore::GetPendingBytes() {
    return unpacker.GetPendingBytes();
}

void CUnpackerPartStore::SetFileCompleted(const std::wstring& path) {
    unpacker.SetFileCompleted(path.c_str());
}

void CUnpackerPartStore::DiscardFile(const std::wstring& path) {
    // Parts first: the writer may still be appending the last of them.
    unpacker.DropFileParts(path.c_str());
    ::DeleteFileW(path.c_str());
}

void CUnpackerPartStore::QueuePackage(const std::wstring& path) {
    unpacker.QueuePackage(path.c_str());
}

void CUnpackerPartStore::FinishRun() {
    unpacker.FinishRun();
}
