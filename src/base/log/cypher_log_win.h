// The HTTP log that can compress and encipher what it writes: with a key,
// every opening of the file is one "ZCL1" record (zcl_container.h,
// zcl_encoder.h); without one it is a plain CLog. Same thread and ownership
// rules as CLog.
#pragma once

#include "base/log/http_log_win.h"
#include "base/log/zcl_encoder.h"

#include <cstddef>
#include <cstdint>

class CCypherLog : public CLog {
public:
    CCypherLog() = default;
    // Closes the file, finishing an open record.
    ~CCypherLog() override;

    // With a record open: capped like CLog::write, deflated with a sync
    // flush, enciphered and appended; the " ...block is too large..." marker
    // follows a cut when the limit is at least as long as the marker.
    bool write(const void* bytes, size_t length) override;
    // Writes the record's final cipher block before closing. The record's
    // length stays 0; the next openCiphered fills it in.
    bool close() override;
    // Opens `path` (CLog::open). Without key bytes it stays a plain log.
    // Otherwise an existing container gets its last record's length filled
    // in, anything else is moved aside (rotate), and a new record starts with
    // Blowfish-CBC under `keyLength` key bytes and work buffers of
    // `blockSize` bytes. On failure the file is closed.
    virtual bool openCiphered(const char* path, const uint8_t* key, unsigned keyLength,
                              unsigned blockSize);

private:
    bool startRecord(const uint8_t* key, unsigned keyLength, unsigned blockSize);

    CZclEncoder encoder;
};
