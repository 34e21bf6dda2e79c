// One HTTP exchange as the client sees it. The client creates a request
// (CNetClient::CreateRequest), fills it on its own thread, hands it to the
// transport with SendRequest and gets it back, finished or failed, through
// OnRequestCompleted; in between only the transport thread touches it, and
// the client must not use a request it has sent. The transport-side work
// (WinINet handles, the read loop) lives in CRequestHttx
// (request_httx_win.h); this file holds everything that needs no system.
#pragma once

#include "base/buffer.h"
#include "net/answer_rules.h"
#include "net/url_components.h"

#include <cstdint>
#include <string>

namespace NetEx {

// Request flags the transport itself looks at (INTERNET_FLAG_*).
inline constexpr unsigned kInternetFlagSecure = 0x00800000;
inline constexpr unsigned kInternetFlagNoCookies = 0x00080000;

// Request states.
enum ERequestState : int {
    eRequest_New = 0,
    eRequest_Opened = 1,
    eRequest_Sending = 2,
    eRequest_Receiving = 3,
    eRequest_Finished = 4,
};

// Error sources: none, a WinINet or system call failed, or the answer broke
// the request's limits (SAnswerLimits): it was refused, its body dropped.
inline constexpr int kErrorSourceNone = 0;
inline constexpr int kErrorSourceSystem = 4;
inline constexpr int kErrorSourceAnswer = 5;

// Setup's readBlock value for adaptive reading.
inline constexpr int kReadBlockAdaptive = -1;

class IRequestHttx {
public:
    virtual ~IRequestHttx() = default;
    virtual int GetContextId() const = 0;
    virtual int GetRequestId() const = 0;
    virtual const CUrlComponents& GetRelativeUrl() const = 0;
    virtual const CUrlComponents& GetFullUrl() const = 0;
    virtual int GetVerb() const = 0;
    virtual unsigned GetTimeout() const = 0;
    virtual unsigned GetFlags() const = 0;
    virtual unsigned GetSecurityFlags() const = 0;
    virtual unsigned GetBytesReceived() const = 0;
    virtual unsigned GetBodyLength() const = 0;
    // Buffers by reference: the client may take the body over with Attach.
    virtual CBuffer& GetRequestHeaders() = 0;
    virtual CBuffer& GetRequestBody() = 0;
    virtual CBuffer& GetLocation() = 0;
    virtual CBuffer& GetSentHeaders() = 0;
    virtual CBuffer& GetResponseHeaders() = 0;
    virtual CBuffer& GetResponseBody() = 0;
    virtual const std::string& GetExtraHeaderText() const = 0;
    virtual int GetErrorSource() const = 0;
    virtual int GetHttpStatus() const = 0;
    virtual unsigned GetErrorCode() const = 0;
    // The HTTP status is 300 to 399.
    virtual bool IsRedirect() const = 0;
    virtual int GetRedirectCount() const = 0;
    virtual unsigned GetReadBlockSize() const = 0;
    virtual bool IsAdaptiveRead() const = 0;
    virtual uint32_t GetTag() const = 0;
    virtual void SetIds(int contextId, int requestId) = 0;
    virtual bool SetFullUrl(const char* url) = 0;
    // Parses into the relative URL; the full URL is taken from the same
    // text while it is still empty. The relative URL is merged with the
    // context's base URL at send time, so a path must start with '/'.
    virtual bool SetRelativeUrl(const char* url) = 0;
    // Everything at once. readBlock kReadBlockAdaptive starts adaptive
    // reading at 8192 bytes; any other value is the fixed read size (0:
    // whatever fits). Null or empty mask strings keep the current ones.
    virtual void Setup(int contextId, int requestId, const char* url, bool mergeArgs, int verb,
                       unsigned timeout, unsigned flags, unsigned securityFlags, int readBlock,
                       bool captureSentHeaders, bool captureResponseHeaders,
                       const char* logMaskPattern, const char* logMaskReplacement) = 0;
    virtual void SetArgs(const char* args) = 0;
    virtual void SetTag(int tag) = 0;
    // Appended to the request headers each time the request is sent.
    virtual void SetExtraHeaderText(const char* text) = 0;
    // `line` must end with "\r\n".
    virtual void AddHeader(const char* line) = 0;
    // "Range: bytes=start-(start + length)" (open-ended for length 0). The
    // answer must then be that range: see planAnswer (answer_rules.h).
    virtual void AddRange(uint64_t start, unsigned length) = 0;
    virtual void AddContentLength(unsigned length) = 0;
    // An empty boundary makes a random one.
    virtual void SetMultipartBoundary(const char* boundary) = 0;
    virtual void AppendBody(const void* data, unsigned length) = 0;
    virtual void AttachBody(CBuffer& other) = 0;
    virtual bool AddFormPart(const char* name, const char* fileName, const char* contentType) = 0;
    virtual bool EndMultipart() = 0;
};

// The request's data and the client-side operations. Copying from a pattern
// keeps what a follow-up request (a redirect, a retry) needs and starts with
// empty response buffers, state new and no error.
class CRequestHttxBase : public IRequestHttx {
public:
    CRequestHttxBase() = default;
    CRequestHttxBase(const CRequestHttxBase& pattern);
    CRequestHttxBase& operator=(const CRequestHttxBase&) = delete;

    int GetContextId() const override { return contextId; }
    int GetRequestId() const override { return requestId; }
    const CUrlComponents& GetRelativeUrl() const override { return relativeUrl; }
    const CUrlComponents& GetFullUrl() const override { return fullUrl; }
    int GetVerb() const override { return verb; }
    unsigned GetTimeout() const override { return timeout; }
    unsigned GetFlags() const override { return flags; }
    unsigned GetSecurityFlags() const override { return securityFlags; }
    unsigned GetBytesReceived() const override { return bytesReceived; }
    unsigned GetBodyLength() const override { return responseBody.GetLength(); }
    CBuffer& GetRequestHeaders() override { return requestHeaders; }
    CBuffer& GetRequestBody() override { return requestBody; }
    CBuffer& GetLocation() override { return location; }
    CBuffer& GetSentHeaders() override { return sentHeaders; }
    CBuffer& GetResponseHeaders() override { return responseHeaders; }
    CBuffer& GetResponseBody() override { return responseBody; }
    const std::string& GetExtraHeaderText() const override { return extraHeaderText; }
    int GetErrorSource() const override { return errorSource; }
    int GetHttpStatus() const override { return httpStatus; }
    unsigned GetErrorCode() const override { return errorCode; }
    bool IsRedirect() const override { return httpStatus >= 300 && httpStatus <= 399; }
    int GetRedirectCount() const override { return redirectCount; }
    unsigned GetReadBlockSize() const override { return readBlockSize; }
    bool IsAdaptiveRead() const override { return adaptiveRead; }
    uint32_t GetTag() const override { return tag; }

    void SetIds(int newContextId, int newRequestId) override;
    bool SetFullUrl(const char* url) override;
    bool SetRelativeUrl(const char* url) override;
    void Setup(int newContextId, int newRequestId, const char* url, bool newMergeArgs, int newVerb,
               unsigned newTimeout, unsigned newFlags, unsigned newSecurityFlags, int readBlock,
               bool newCaptureSentHeaders, bool newCaptureResponseHeaders,
               const char* newLogMaskPattern, const char* newLogMaskReplacement) override;
    void SetArgs(const char* args) override;
    void SetTag(int newTag) override { tag = static_cast<uint32_t>(newTag); }
    void SetExtraHeaderText(const char* text) override;
    void AddHeader(const char* line) override;
    void AddRange(uint64_t start, unsigned length) override;
    void AddContentLength(unsigned length) override;
    void SetMultipartBoundary(const char* boundary) override;
    void AppendBody(const void* data, unsigned length) override;
    void AttachBody(CBuffer& other) override;
    bool AddFormPart(const char* name, const char* fileName, const char* contentType) override;
    bool EndMultipart() override;

    // The longest body kept of a 2xx answer and of any other (0: no limit).
    // AddRange then bounds a 2xx body to the bytes it asks for.
    void SetBodyLimits(uint64_t maxBody, uint64_t maxErrorBody);
    const SAnswerLimits& GetAnswerLimits() const { return answerLimits; }

    // Read-only views for the HTTP log.
    int GetState() const { return state; }
    bool GetMergeArgs() const { return mergeArgs; }
    const CBuffer& RequestHeaders() const { return requestHeaders; }
    const CBuffer& RequestBody() const { return requestBody; }
    const CBuffer& ResponseHeaders() const { return responseHeaders; }
    const CBuffer& ResponseBody() const { return responseBody; }
    const CBuffer& Location() const { return location; }
    bool CapturesResponseHeaders() const { return captureResponseHeaders; }
    const std::string& GetLogMaskPattern() const { return logMaskPattern; }
    const std::string& GetLogMaskReplacement() const { return logMaskReplacement; }

protected:
    // Headers plus body bytes of one send.
    uint64_t sendSize() const {
        return uint64_t{requestHeaders.GetLength()} + requestBody.GetLength();
    }
    void appendText(CBuffer& buffer, const std::string& text);

    int state = eRequest_New;
    int contextId = -1;
    int requestId = -1;
    CUrlComponents fullUrl;
    CUrlComponents relativeUrl;
    bool mergeArgs = true;
    int verb = 0;
    unsigned timeout = 0;
    unsigned flags = 0;
    unsigned securityFlags = 0;
    unsigned bytesReceived = 0;
    CBuffer requestHeaders;
    CBuffer requestBody;
    CBuffer location;
    std::string extraHeaderText;
    bool captureSentHeaders = false;
    bool captureResponseHeaders = false;
    CBuffer sentHeaders;
    CBuffer responseHeaders;
    CBuffer responseBody;
    int redirectCount = 0;
    uint32_t tag = 0;
    std::string multipartBoundary;
    std::string logMaskPattern;
    std::string logMaskReplacement;
    unsigned readBlockSize = 0;
    bool adaptiveRead = false;
    uint64_t readStartTime = 0;
    bool connectionClosed = false;
    SAnswerLimits answerLimits;
    int errorSource = kErrorSourceNone;
    int httpStatus = 0;
    unsigned errorCode = 0;
};

} // namespace NetEx
