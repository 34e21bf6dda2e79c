// A user of the transport (the downloader). It owns its contexts' ids and
// the requests it has not sent; the transport reports back through the
// virtual slots below, which run on the transport thread: an implementation
// must not block there and hands work to its own thread by posting.
#pragma once

#include "base/scoped_handle_win.h"
#include "net/net_records.h"

#include <memory>

namespace NetEx {

class CNetTransport;
class CContextHttx;
class CRequestHttx;
class IRequestHttx;

class CNetClient {
public:
    // `transport` is not owned and must outlive this client.
    explicit CNetClient(CNetTransport* transport);
    CNetClient(const CNetClient&) = delete;
    CNetClient& operator=(const CNetClient&) = delete;
    // Detaches (waiting as long as the transport runs), so no slot is called
    // and no message naming this client is left once it is gone.
    virtual ~CNetClient();

    // Transport thread. Each record is handed over; the defaults free it.
    virtual void OnStatistics(std::unique_ptr<SNetStatistics> statistics);
    virtual void OnContextCreated(int id);
    virtual void OnContextModified(int id);
    virtual void OnContextDestroyed(int id);
    // The request stays owned by the transport.
    virtual void OnRequestProgress(IRequestHttx* request);
    // The request is handed over, finished or failed.
    virtual void OnRequestCompleted(std::unique_ptr<IRequestHttx> request);
    virtual void OnError(std::unique_ptr<SNetError> error);

    // Client thread. A new request in `out` (replacing what was there),
    // empty or a copy of `pattern`; false when the transport does not run
    // or `pattern` is not a transport request.
    bool CreateRequest(std::unique_ptr<CRequestHttx>& out,
                       const IRequestHttx* pattern = nullptr) const;
    // Hands the request to the transport, which owns it until it comes
    // back through OnRequestCompleted. On failure it is destroyed here.
    bool SendRequest(std::unique_ptr<CRequestHttx> request);
    // eNetMsg_CreateContext with a context filled through Setup; the
    // answer is OnContextCreated or OnError. Destroyed here on failure.
    bool CreateContext(std::unique_ptr<CContextHttx> context);
    // eNetMsg_DestroyContext; the answer is OnContextDestroyed or OnError.
    bool DestroyContext(int id);
    // Closes and deletes this client's contexts and their requests (no
    // notifications). Waits up to `milliseconds` (INFINITE: as long as the
    // transport runs); returns the transport's answer, false on time-out.
    bool Detach(unsigned milliseconds);

    HANDLE DoneEvent() const { return hDoneEvent.get(); }

protected:
    CNetTransport* transport;
    CHandle hDoneEvent;
};

} // namespace NetEx
