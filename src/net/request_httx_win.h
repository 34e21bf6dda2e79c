// The transport side of a request: its WinINet handle and the asynchronous
// read loop that fills the response body in place. Everything here runs on
// the transport thread, between SendRequest and the hand-back through
// OnRequestCompleted (see request_httx.h for the client side).
#pragma once

#include "base/windows_win.h"
#include "net/request_httx.h"
#include "net/request_rules.h"

#include "net/internet_handle_win.h"

#include <wininet.h>

#include <memory>
#include <optional>

namespace NetEx {

class CContextHttx;

class CRequestHttx : public CRequestHttxBase {
public:
    CRequestHttx();
    // Copies what CRequestHttxBase's copy keeps; no handle, no context.
    explicit CRequestHttx(const CRequestHttxBase& pattern);

    // Transport thread only. Binds the request to `owner` and the key
    // WinINet reports its statuses with, lowers a fixed read block to the
    // context's limit and merges the relative URL with the context's base.
    // False when the base URL cannot take a request (no host).
    bool Prepare(CContextHttx& owner, uintptr_t key);
    // State 0 only: HttpOpenRequestA on the context's connection (HTTPS by
    // the context's scheme, never through the URL cache). The error code is
    // stored in every case; success gives state 1.
    bool Open();
    // State 1 or 2: time-outs and security flags on the request handle (the
    // system ignores them on the root handle), the extra header text
    // appended, then HttpSendRequestA. Success or a pending send gives
    // state 2.
    bool Send();
    // Continues the receive loop after a completion without error; returns
    // the state. Stays 3 with error ERROR_IO_PENDING while WinINet works.
    int ReadStep();
    // A completion that reported a failure of the pending operation: the
    // pending read wrote nothing usable. Records the error, state 4.
    void FailPending(DWORD error);
    // A completion arrived: nothing of this request is in flight any more.
    void MarkCompleted() { pending = false; }
    // For a request handed back while a read is still pending: the body's
    // block (which WinINet may still write into) moves to the result, the
    // body keeps a copy of what was committed.
    std::unique_ptr<CBuffer> DetachBodyInUse();
    // Closes the handle; the operation in flight, if any, is cancelled.
    void CloseHandle() { hRequest.reset(); }

    HINTERNET Handle() const { return hRequest.get(); }
    uintptr_t StatusKey() const { return statusKey; }
    // An operation was left pending and not yet completed: WinINet may still
    // write into the response body.
    bool IsPending() const { return pending; }
    bool IsWaiting() const { return state == eRequest_Receiving && errorCode == ERROR_IO_PENDING; }
    void SetConnectionClosed() { connectionClosed = true; }
    // Socket errors become the WinINet codes Windows reports for them.
    void SetError(unsigned code) {
        errorCode = internetErrorCode(code);
        errorSource = kErrorSourceSystem;
    }
    uint64_t SendSize() const { return sendSize(); }
    // Counts one more resend after an unknown-CA failure; returns the count.
    int CountCertificateResend() { return ++certificateResends; }
    // What became of the answer (eAccept until its head was judged); a
    // refused one finished with kErrorSourceAnswer and no body.
    EAnswerVerdict GetAnswerVerdict() const { return answerPlan.verdict; }

private:
    void commitRead();
    bool readOnce();
    void planBody();
    // The end of the body: headers queried, state 4. WinINet ends a body
    // whose connection closed early as if it were complete; with
    // `judgeLength` the promised length tells them apart.
    void finishBody(bool judgeLength);
    void refuseAnswer(EAnswerVerdict verdict);
    int queryStatus();
    void queryHeaders();
    void queryHeaderInto(DWORD query, CBuffer& into, bool withZeros);
    void applyTimeouts(unsigned timeoutMs);
    void applySecurityFlags();

    CContextHttx* context = nullptr;
    CInternetHandle hRequest;
    DWORD bytesAvailable = 0;
    INTERNET_BUFFERSA readBuffers{};
    uintptr_t statusKey = 0;
    // What the head announced, and what is read of the body.
    std::optional<uint64_t> contentLength;
    bool contentCoded = false;
    SAnswerPlan answerPlan;
    bool pending = false;
    int certificateResends = 0;
};

} // namespace NetEx
