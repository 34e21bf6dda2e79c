// The body of one "ZCL1" record: everything written between one opening and
// the closing, raw deflate (level 9, window bits 15, memory level 9) with a
// sync flush after every write, then Blowfish-CBC (all-zero IV, standard
// padding). The deflate stream is never finished: the body ends at the last
// sync-flush point followed by the cipher's final padded block.
#pragma once

#include "base/buffer.h"
#include "base/log/zcl_container.h"

#include <openssl/types.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>

// One record at a time; not copyable. Used by the HTTP log's one thread.
class CZclEncoder {
public:
    CZclEncoder() = default;
    CZclEncoder(const CZclEncoder&) = delete;
    CZclEncoder& operator=(const CZclEncoder&) = delete;
    // Frees a started record without writing its final block.
    ~CZclEncoder();

    // Starts a record body with `keyLength` key bytes; both work buffers get
    // `blockSize` bytes (kept between 64 bytes and 1 MiB). False, with
    // nothing held, when the key is empty or the cipher or the deflate stream
    // cannot be set up.
    bool start(const uint8_t* key, size_t keyLength, size_t blockSize);
    bool isStarted() const { return cipher != nullptr; }
    // Deflates `count` bytes with a sync flush, enciphers the output piece by
    // piece and appends each piece to `file`.
    bool write(const void* bytes, size_t count, IZclFile& file);
    // Appends the cipher's final padded block, then frees the cipher and the
    // deflate stream. False when not started or the block cannot be written.
    bool finish(IZclFile& file);

private:
    bool encipherAndAppend(const uint8_t* bytes, size_t count, IZclFile& file);
    bool deflateChunk(const uint8_t* bytes, size_t count, IZclFile& file);
    void release();

    EVP_CIPHER_CTX* cipher = nullptr; // owned; null until start succeeds
    CBuffer output;                   // enciphered bytes on their way to the file
    z_stream deflater{};
    bool bDeflating = false; // deflater holds zlib state
    CBuffer deflated;        // deflate output on its way to the cipher
    unsigned nBlockSize = 0;
};
