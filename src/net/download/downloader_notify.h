// What the downloader reports to the logic. Every slot is called on the
// logic's thread. The body buffers belong to the finished request: an
// implementation that keeps the bytes takes them with CBuffer::Attach or
// copies them before returning.
#pragma once

#include "base/buffer.h"
#include "base/unk.h"

#include <string>

class IDownloaderNotify : public IUnk {
public:
    virtual void OnCUDFileReceived(CBuffer* body) = 0;
    // `total` is the probed size, or 0xFFFFFFFF when it is not known.
    virtual void OnKBFileProgress(unsigned received, unsigned total) = 0;
    virtual void OnKBFileReceived(CBuffer* body) = 0;
    virtual void OnLicenseReceived(CBuffer* body) = 0;
    virtual void OnUpdateXmlReceived(CBuffer* body) = 0;
    // `incomplete`: the transfer broke; `body` holds what arrived before.
    virtual void OnFilePartReceived(CBuffer* body, bool incomplete) = 0;
    // Bytes of one burst of reads.
    virtual void OnFilePartProgress(unsigned bytes, bool) = 0;
    // Every failure: the kind, the WinINet or system error code, the HTTP
    // status (404 for a transport or context error) and, for 502 and 503,
    // the answer text.
    virtual void OnNetError(int kind, unsigned errorCode, int httpStatus,
                            const std::string& text) = 0;
};
