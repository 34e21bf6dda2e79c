#include "update/unpack/file_part_store.h"

#include "base/buffer.h"
#include "base/crc32.h"

CFilePartStore::CFilePartStore(IPartFiles& partFiles, uint64_t flushThreshold)
    : disk(partFiles), threshold(flushThreshold) {}

CFilePartStore::~CFilePartStore() = default;

SFileParts CFilePartStore::measuredRecord(const std::wstring& path) {
    SFileParts record;
    if (!disk.Measure(path, record.crc, record.size))
        record = SFileParts();
    return record;
}

bool CFilePartStore::AddFilePart(const std::wstring& path, CBuffer* part, unsigned length) {
    auto found = files.find(path);
    if (found != files.end() && found->second.completed)
        return false;
    if (part && length > part->GetLength())
        return false;
    if (found == files.end())
        found = files.emplace(path, measuredRecord(path)).first;
    if (!part || length == 0)
        return true;
    SFileParts& record = found->second;
    auto owned = std::make_unique<CBuffer>();
    owned->Attach(*part);
    if (length < owned->GetLength())
        owned->SetCapacity(length);
    record.crc = Crc32Continue(owned->GetData(), length, record.crc);
    record.size += length;
    record.pendingBytes += length;
    pendingTotal += length;
    record.parts.push_back(std::move(owned));
    return pendingTotal < threshold || FlushParts();
}

bool CFilePartStore::AdoptMeasuredRecord(const std::wstring& path, uint32_t crc, uint64_t size) {
    SFileParts record;
    record.crc = crc;
    record.size = size;
    return files.emplace(path, std::move(record)).second;
}

bool CFilePartStore::GetFileCrc(const std::wstring& path, uint32_t* crc, uint64_t* size) const {
    const auto found = files.find(path);
    const bool known = found != files.end();
    if (crc)
        *crc = known ? found->second.crc : 0;
    if (size)
        *size = known ? found->second.size : 0;
    return known;
}

void CFilePartStore::DropFileParts(const std::wstring& path) {
    const auto found = files.find(path);
    if (found == files.end())
        return;
    pendingTotal -= found->second.pendingBytes;
    found->second = SFileParts();
}

bool CFilePartStore::SetCompleted(const std::wstring& path) {
    const auto found = files.find(path);
    if (found == files.end())
        return false;
    found->second.completed = true;
    return true;
}

bool CFilePartStore::IsCompleted(const std::wstring& path) const {
    const auto found = files.find(path);
    return found != files.end() && found->second.completed;
}

bool CFilePartStore::FlushParts() {
    bool ok = true;
    for (auto& [path, record] : files)
        ok = flushRecord(path, record) && ok;
    return ok;
}

bool CFilePartStore::FlushFile(const std::wstring& path) {
    const auto found = files.find(path);
    return found == files.end() || flushRecord(found->first, found->second);
}

// A failed append may have written part of a piece: only the disk knows
// what it holds now, so the record is measured again from it.
bool CFilePartStore::flushRecord(const std::wstring& path, SFileParts& record) {
    bool ok = true;
    for (const auto& part : record.parts) {
        if (ok && !disk.Append(path, part->GetData(), part->GetLength()))
            ok = false;
    }
    pendingTotal -= record.pendingBytes;
    record.parts.clear();
    record.pendingBytes = 0;
    if (ok)
        return true;
    const bool completed = record.completed;
    record = measuredRecord(path);
    record.completed = completed;
    return false;
}
