// A client's connection to one server and the requests in flight through
// it. The client makes and fills the object (Setup) on its own thread and
// posts it with eNetMsg_CreateContext; from then on the transport owns it
// and every other member is called on the transport thread.
#pragma once

#include "net/context_httx.h"
#include "net/context_log_win.h"
#include "net/internet_handle_win.h"
#include "net/request_httx_win.h"

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>

namespace NetEx {

class CNetClient;
class CHttxTransport;
struct SInternetStatus;

class CContextBase : public virtual IContextBase {
public:
    // Closes the requests (without notifications), logs the end, closes the
    // connection and the log. Nothing for a context without a connection.
    virtual void CloseContext() = 0;

    int GetId() const override { return id; }
    const std::string& GetName() const override { return name; }
    const CUrlComponents& GetUrl() const override { return url; }

    CNetClient* Client() const { return client; }
    HINTERNET Connection() const { return hConnect.get(); }
    bool HasLog() const { return static_cast<bool>(httpLog); }
    CContextLog* Log() const { return httpLog.get(); }

protected:
    CNetClient* client = nullptr;
    CHttxTransport* transport = nullptr;
    int id = 0;
    std::string name;
    CUrlComponents url;
    std::unique_ptr<CContextLog> httpLog;
    // Totals kept by the transport.
    std::function<void(uint64_t)> addBytesSent;
    std::function<void(uint64_t)> addBytesReceived;
    CInternetHandle hConnect;
};

class CContextHttx : public IContextHttx, public CContextBase {
public:
    CContextHttx() = default;
    CContextHttx(const CContextHttx&) = delete;
    CContextHttx& operator=(const CContextHttx&) = delete;
    ~CContextHttx() override;

    unsigned GetTimeout() const override { return timeout; }
    unsigned GetBlockLimit() const override { return blockLimit; }
    int GetRequestCount() const override { return requestCount; }
    void Setup(int newId, const char* newName, const char* newUrl, unsigned newTimeout,
               unsigned newBlockLimit) override;
    bool SetUrl(const char* newUrl) override;
    void SetArgs(const char* args) override;
    int IncRequestCount() override { return ++requestCount; }
    int DecRequestCount() override;
    void CloseContext() override;

    // Transport thread from here on.

    // Binds the context to its owners, names it ("Httx.<name>") and opens
    // its HTTP log when the settings ask for one. 0 or a system error code.
    uint32_t Attach(CNetClient* owner, CHttxTransport* parent);
    // InternetConnectA on `session`; logs "Creating context" first. 0 or the
    // error code.
    uint32_t Connect(HINTERNET session);
    // eNetMsg_ModifyContext: the carrier's arguments replace these, a
    // non-zero time-out and block limit replace these.
    void Modify(const CContextHttx& carrier);
    // Sends, or hands the request back at once when it cannot be sent.
    void SendRequest(std::unique_ptr<CRequestHttx> request);
    // eNetMsg_CancelRequest: false when no such request is in flight.
    bool CancelRequest(int requestId);
    // The request in flight that WinINet reports with this key and handle.
    CRequestHttx* FindRequest(uintptr_t key, void* handle) const;
    // A status record of one of this context's requests.
    void OnStatus(CRequestHttx& request, const SInternetStatus& status);

    void WriteLog(const SLogEntry& entry);
    void WriteError(uint32_t code);

private:
    void logSending(const CRequestHttx& request);
    void onRequestComplete(CRequestHttx& request, bool succeeded, DWORD error);
    void onSendComplete(CRequestHttx& request, DWORD error);
    void runReadStep(CRequestHttx& request);
    void finish(CRequestHttx& request);
    // Unlinks the request; with `notify` the client gets it, otherwise it is
    // destroyed (parked first while WinINet may still use its buffers).
    void release(CRequestHttx& request, bool notify);
    void handBack(std::unique_ptr<CRequestHttx> request);

    std::list<std::unique_ptr<CRequestHttx>> requests;
    unsigned timeout = 0;
    unsigned blockLimit = 0;
    int requestCount = 0;
};

} // namespace NetEx
