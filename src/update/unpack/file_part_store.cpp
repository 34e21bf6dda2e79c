#include "update/unpack/file_part_store.h"

#include "base/buffer.h"
#include "base/crc32.h"

#include <algorithm>

CFilePartStore::CFilePartStore(IPartFiles& partFiles) : disk(partFiles) {}

CFilePartStore::~CFilePartStore() = default;

SFileParts CFilePartStore::measuredRecord(const std::wstring& path) {
    SFileParts record;
    if (!disk.Measure(path, record.crc, record.size))
        record = SFileParts();
    return record;
}

bool CFilePartStore::AddFilePart(const std::wstring& path, CBuffer* part, unsigned length) {
    auto found = files.find(path);
    if (found != files.end() && (found->second.completed || found->second.writeFailed))
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
    record.size += length;
    record.pendingBytes += length;
    pendingTotal += length;
    record.parts.push_back(std::move(owned));
    writeOrder.push_back(path);
    return true;
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
    if (crc) {
        *crc = known ? found->second.crc : 0;
        if (known) {
            for (const auto& part : found->second.parts)
                *crc = Crc32Continue(part->GetData(), part->GetLength(), *crc);
        }
    }
    if (size)
        *size = known ? found->second.size : 0;
    return known;
}

void CFilePartStore::DropFileParts(const std::wstring& path) {
    const auto found = files.find(path);
    if (found == files.end())
        return;
    forgetPending(path, found->second);
    found->second = SFileParts();
}

void CFilePartStore::forgetPending(const std::wstring& path, SFileParts& record) {
    pendingTotal -= record.pendingBytes;
    record.parts.clear();
    record.pendingBytes = 0;
    writeOrder.erase(std::remove(writeOrder.begin(), writeOrder.end(), path), writeOrder.end());
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

bool CFilePartStore::HasWriteFailed(const std::wstring& path) const {
    const auto found = files.find(path);
    return found != files.end() && found->second.writeFailed;
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
        else if (ok)
            record.crc = Crc32Continue(part->GetData(), part->GetLength(), record.crc);
    }
    forgetPending(path, record);
    if (ok)
        return true;
    const bool completed = record.completed;
    record = measuredRecord(path);
    record.completed = completed;
    return false;
}

bool CFilePartStore::NextPartToWrite(SPartToWrite& part) const {
    if (writeOrder.empty())
        return false;
    const SFileParts& record = files.find(writeOrder.front())->second;
    const CBuffer& oldest = *record.parts.front();
    part.path = writeOrder.front();
    part.bytes = oldest.GetData();
    part.length = oldest.GetLength();
    part.crcBefore = record.crc;
    return true;
}

// Flushing and dropping never overlap the writer, so the written part is
// still the oldest; a record that changed anyway is left as it is.
SFileParts* CFilePartStore::writtenRecord(const SPartToWrite& part) {
    const auto found = files.find(part.path);
    if (found == files.end() || found->second.parts.empty() || writeOrder.empty() ||
        writeOrder.front() != part.path || found->second.parts.front()->GetData() != part.bytes)
        return nullptr;
    return &found->second;
}

void CFilePartStore::PartWritten(const SPartToWrite& part, uint32_t crcAfter) {
    SFileParts* written = writtenRecord(part);
    if (!written)
        return;
    SFileParts& record = *written;
    record.crc = crcAfter;
    record.pendingBytes -= part.length;
    pendingTotal -= part.length;
    record.parts.pop_front();
    writeOrder.pop_front();
}

void CFilePartStore::PartFailed(const SPartToWrite& part, uint32_t diskCrc, uint64_t diskSize) {
    SFileParts* written = writtenRecord(part);
    if (!written)
        return;
    forgetPending(part.path, *written);
    written->crc = diskCrc;
    written->size = diskSize;
    written->writeFailed = true;
}
