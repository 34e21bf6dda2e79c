// ISimpleReadStream over a file: how the archive readers see a downloaded
// package without holding it in memory. One thread at a time.
#pragma once

#include "base/mem_read_stream.h"
#include "base/scoped_handle_win.h"

#include <memory>
#include <string>

class CFileReadStream : public ISimpleReadStream {
public:
    // Null when the file cannot be opened.
    static std::unique_ptr<CFileReadStream> Open(const std::wstring& path);

    // The same rules as CSimpleMemReadStream: the end is a valid position, a
    // short read succeeds and zero-fills the rest of `dest`.
    bool Seek(int64_t offset, int origin) override;
    bool Read(void* dest, int count) override;
    int64_t Tell() const override { return position; }
    bool Close() override;

    uint64_t GetSize() const { return static_cast<uint64_t>(size); }

private:
    CFileReadStream(HANDLE handle, int64_t fileSize) : file(handle), size(fileSize) {}

    CFile file;
    int64_t position = 0;
    int64_t size = 0;
};
