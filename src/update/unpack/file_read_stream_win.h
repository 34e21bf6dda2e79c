// ISimpleReadStream over a file: how the archive readers see a downloaded
// package without holding it in memory. One thread at a time.
#pragma once

#include "base/file_win.h"
#include "base/mem_read_stream.h"

#include <memory>
#include <string>

class CFileReadStream : public ISimpleReadStream {
public:
    // Null when the file cannot be opened or is 2 GiB or larger (stream
    // positions are 32-bit).
    static std::unique_ptr<CFileReadStream> Open(const std::wstring& path);

    // The same rules as CSimpleMemReadStream: the end is a valid position, a
    // short read succeeds and zero-fills the rest of `dest`.
    bool Seek(int offset, int origin) override;
    bool Read(void* dest, int count) override;
    int Tell() const override { return position; }
    bool Close() override;

    int GetSize() const { return size; }

private:
    CFileReadStream(HANDLE handle, int fileSize) : file(handle), size(fileSize) {}

    CFile file;
    int position = 0;
    int size = 0;
};
