// The unpacker's store of downloaded data as the download flow's part store.
#pragma once

#include "app/flow/download_flow.h"
#include "update/unpack/unpacker_thread_win.h"

class CUnpackerPartStore : public IPartStore {
public:
    // `unpacker` is not owned and must outlive the adapter.
    explicit CUnpackerPartStore(CUnpackerThread& unpacker) : unpacker(unpacker) {}

    bool MeasureParts(std::vector<std::wstring> paths, unsigned request) override;
    bool AddFilePart(const std::wstring& path, CBuffer* part, unsigned length,
                     std::optional<uint64_t> offset) override;
    bool GetFileCrc(const std::wstring& path, uint32_t* crc, uint64_t* size) override;
    bool HasWriteFailed(const std::wstring& path) override;
    uint64_t GetPendingBytes() override;
    void SetFileCompleted(const std::wstring& path) override;
    void DiscardFile(const std::wstring& path) override;
    void QueuePackage(const std::wstring& path) override;
    void FinishRun() override;

private:
    CUnpackerThread& unpacker;
};
