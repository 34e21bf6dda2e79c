#include "base/log/cypher_log_win.h"

#include "base/log/log_file_io_win.h"
#include "base/log/log_text.h"
#include "base/log/zcl_container.h"

namespace {

// The container operations over the log's open handle.
class CHandleZclFile : public IZclFile {
public:
    explicit CHandleZclFile(HANDLE file) : hFile(file) {}

    size_t readAt(uint64_t offset, void* dest, size_t count) override {
        return readBytesAt(hFile, offset, dest, count);
    }
    bool writeAt(uint64_t offset, const void* bytes, size_t count) override {
        return writeBytesAt(hFile, offset, bytes, count);
    }
    bool append(const void* bytes, size_t count) override {
        // The walk moves the file pointer; appends always go to the end.
        return seekToEnd(hFile) && writeAllBytes(hFile, bytes, count);
    }
    std::optional<uint64_t> size() override { return fileSizeOf(hFile); }

private:
    HANDLE hFile;
};

} // namespace

CCypherLog::~CCypherLog() {
    close();
}

bool CCypherLog::write(const void* bytes, size_t length) {
    if (!encoder.isStarted())
        return CLog::write(bytes, length);
    if (!isOpen())
        return false;
    CHandleZclFile file(handle());
    const size_t n = cappedWriteLength(length, maxBlock());
    if (!encoder.write(bytes, n, file))
        return false;
    if (n == length || maxBlock() < kBlockTooLargeMarkerLength)
        return true;
    return encoder.write(kBlockTooLargeMarker, kBlockTooLargeMarkerLength, file);
}

bool CCypherLog::close() {
    bool finished = true;
    if (encoder.isStarted()) {
        CHandleZclFile file(handle());
        finished = encoder.finish(file);
    }
    const bool closed = CLog::close();
    return finished && closed;
}

bool CCypherLog::openCiphered(const char* path, const uint8_t* key, unsigned keyLength,
                              unsigned blockSize) {
    if (!open(path))
        return false;
    if (key == nullptr || keyLength == 0)
        return true;
    if (!startRecord(key, keyLength, blockSize)) {
        close();
        return false;
    }
    return true;
}

bool CCypherLog::startRecord(const uint8_t* key, unsigned keyLength, unsigned blockSize) {
    EZclWalk walk = eZclWalk_Failed;
    {
        CHandleZclFile file(handle());
        walk = walkZclRecords(file);
    }
    // rotate keeps an empty file and moves a foreign one aside; it reopens
    // the path, so the handle is taken again below.
    if (walk == eZclWalk_Failed || (walk == eZclWalk_Foreign && !rotate()))
        return false;
    CHandleZclFile file(handle());
    return appendZclHeader(file) && encoder.start(key, keyLength, blockSize);
}
