#include "net/request_httx_win.h"

#include "net/context_httx_win.h"
#include "net/request_rules.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>

namespace NetEx {

namespace {

// Filled by a failed query on some systems; never a real count.
constexpr DWORD kUninitialisedCount = 0xCCCCCCCC;
constexpr int64_t kEpochDifferenceMs = 11644473600000LL;
constexpr uint64_t kFileTimeStepsPerMs = 10000;
// Far beyond any real header block; the size query is not trusted further.
constexpr DWORD kMaxHeaderBytes = 1u << 20;

constexpr std::array<DWORD, 7> kTimeoutOptions = {
    INTERNET_OPTION_CONNECT_TIMEOUT,   INTERNET_OPTION_RECEIVE_TIMEOUT,
    INTERNET_OPTION_SEND_TIMEOUT,      INTERNET_OPTION_DATA_RECEIVE_TIMEOUT,
    INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DISCONNECTED_TIMEOUT,
    INTERNET_OPTION_LISTEN_TIMEOUT,
};

// Milliseconds since 1970-01-01 UTC.
uint64_t nowMs() {
    FILETIME ft{};
    ::GetSystemTimeAsFileTime(&ft);
    const uint64_t steps = static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
    return steps / kFileTimeStepsPerMs - kEpochDifferenceMs;
}

// Room for `extra` more bytes; a body too large for memory is a result,
// not a crash of the transport thread.
bool reserveRoom(CBuffer& body, unsigned extra) {
    try {
        return extra != 0 && body.Reserve(extra);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Room for the next read. The body grows only when its free space is short
// of the read, and then by the geometric step: growing on every read would
// copy the whole body once per block.
bool makeReadRoom(CBuffer& body, unsigned available, unsigned blockSize, uint64_t maxLength) {
    if (body.GetFreeSpace() >= std::max(available, blockSize))
        return true;
    return reserveRoom(body, readReserveSize(body.GetLength(), available, blockSize, maxLength));
}

} // namespace

CRequestHttx::CRequestHttx() {
    readBuffers.dwStructSize = sizeof(readBuffers);
}

CRequestHttx::CRequestHttx(const CRequestHttxBase& pattern) : CRequestHttxBase(pattern) {
    readBuffers.dwStructSize = sizeof(readBuffers);
}

bool CRequestHttx::Prepare(CContextHttx& owner, uintptr_t key) {
    context = &owner;
    statusKey = key;
    if (readBlockSize != 0 && readBlockSize > owner.GetBlockLimit())
        readBlockSize = owner.GetBlockLimit();
    return relativeUrl.Merge(owner.GetUrl(), mergeArgs);
}

bool CRequestHttx::Open() {
    if (state != eRequest_New || context == nullptr)
        return false;
    if (context->GetUrl().GetSchemeId() == kSchemeHttps)
        flags |= kInternetFlagSecure;
    else
        flags &= ~kInternetFlagSecure;
    const char* verbName = verbText(verb);
    const std::string path = relativeUrl.GetRequestPath();
    const char* target = path.empty() ? "/" : path.c_str();
    const char* acceptTypes[] = {"*/*", nullptr};
    // Bodies live in memory only: the URL cache would keep a second copy of
    // every package on disk.
    hRequest.reset(::HttpOpenRequestA(context->Connection(), verbName ? verbName : "GET", target,
                                      nullptr, nullptr, acceptTypes,
                                      flags | INTERNET_FLAG_NO_CACHE_WRITE, statusKey));
    errorCode = hRequest ? ERROR_SUCCESS : ::GetLastError();
    if (!hRequest) {
        errorSource = kErrorSourceSystem;
        return false;
    }
    state = eRequest_Opened;
    return true;
}

void CRequestHttx::applyTimeouts(unsigned timeoutMs) {
    DWORD value = timeoutMs;
    for (const DWORD option : kTimeoutOptions)
        ::InternetSetOptionA(hRequest.get(), option, &value, sizeof(value));
}

void CRequestHttx::applySecurityFlags() {
    DWORD current = 0;
    DWORD size = sizeof(current);
    ::InternetQueryOptionA(hRequest.get(), INTERNET_OPTION_SECURITY_FLAGS, &current, &size);
    current |= securityFlags;
    ::InternetSetOptionA(hRequest.get(), INTERNET_OPTION_SECURITY_FLAGS, &current, sizeof(current));
}

bool CRequestHttx::Send() {
    if ((state != eRequest_Opened && state != eRequest_Sending) || !hRequest)
        return false;
    applyTimeouts(timeout != 0 ? timeout : context->GetTimeout());
    if (securityFlags != 0)
        applySecurityFlags();
    if (!extraHeaderText.empty())
        appendText(requestHeaders, extraHeaderText);
    const DWORD headerLength = requestHeaders.GetLength();
    const DWORD bodyLength = requestBody.GetLength();
    const BOOL sent = ::HttpSendRequestA(
        hRequest.get(),
        headerLength != 0 ? reinterpret_cast<const char*>(requestHeaders.GetData()) : nullptr,
        headerLength, bodyLength != 0 ? requestBody.GetData() : nullptr, bodyLength);
    errorCode = sent ? ERROR_SUCCESS : ::GetLastError();
    if (!sent && errorCode != ERROR_IO_PENDING) {
        errorSource = kErrorSourceSystem;
        return false;
    }
    // Successful or not, a send in flight completes through the callback.
    pending = true;
    state = eRequest_Sending;
    return true;
}

void CRequestHttx::commitRead() {
    if (readBuffers.lpvBuffer == nullptr)
        return;
    responseBody.Commit(readBuffers.dwBufferLength);
    bytesReceived += readBuffers.dwBufferLength;
    readBuffers.lpvBuffer = nullptr;
    readBuffers.dwBufferLength = 0;
    if (adaptiveRead && bytesReceived != 0 && readStartTime != 0) {
        const uint64_t now = nowMs();
        const uint64_t elapsed = now > readStartTime ? now - readStartTime : 0;
        readBlockSize = nextReadBlockSize(bytesReceived, elapsed, context->GetBlockLimit());
    }
}

// One pass of the loop; true to go on.
bool CRequestHttx::readOnce() {
    commitRead();
    const uint64_t limit = answerPlan.readLimit;
    if (limit != 0 && responseBody.GetLength() >= limit) {
        // The rest is never read: closing the handle drops the connection.
        if (answerPlan.overLimitRefuses)
            refuseAnswer(EAnswerVerdict::eTooLarge);
        else
            finishBody(false);
        return false;
    }
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(hRequest.get(), &available, 0, 0)) {
        const DWORD error = ::GetLastError();
        if (error == ERROR_IO_PENDING) {
            errorCode = error;
            pending = true;
        } else {
            SetError(error);
        }
        return false;
    }
    bytesAvailable = available;
    if (available == kUninitialisedCount) {
        SetError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (available == 0) {
        finishBody(true);
        return false;
    }
    const unsigned length = responseBody.GetLength();
    if (length == 0 && responseBody.GetFreeSpace() == 0)
        reserveRoom(responseBody,
                    announcedReserveSize(contentCoded ? std::nullopt : contentLength,
                                         adaptiveRead ? context->GetBlockLimit() : readBlockSize,
                                         limit));
    const unsigned block = countWithin(readBlockSize, length, limit);
    if (!makeReadRoom(responseBody, countWithin(available, length, limit), block, limit)) {
        queryHeaders();
        errorCode = ERROR_INSUFFICIENT_BUFFER;
        state = eRequest_Finished;
        return false;
    }
    if (adaptiveRead)
        readStartTime = nowMs();
    const DWORD size = block != 0 ? block : countWithin(responseBody.GetFreeSpace(), length, limit);
    readBuffers.lpvBuffer = responseBody.GetTail(size);
    readBuffers.dwBufferLength = size;
    if (::InternetReadFileExA(hRequest.get(), &readBuffers, IRF_ASYNC, statusKey) &&
        readBuffers.dwBufferLength != 0)
        return true;
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING) {
        errorCode = error;
        pending = true;
        return false;
    }
    // A synchronous read that moved nothing leaves no buffer in use.
    readBuffers.lpvBuffer = nullptr;
    readBuffers.dwBufferLength = 0;
    SetError(error);
    return false;
}

void CRequestHttx::finishBody(bool judgeLength) {
    queryHeaders();
    if (judgeLength &&
        isBodyTruncated(responseBody.GetLength(), contentLength, contentCoded, verb, httpStatus))
        SetError(ERROR_INTERNET_CONNECTION_RESET);
    state = eRequest_Finished;
    if (IsRedirect())
        ++redirectCount;
}

// The head is in: what it announces decides how much of the body is read,
// if any.
void CRequestHttx::planBody() {
    CBuffer value;
    queryHeaderInto(HTTP_QUERY_CONTENT_LENGTH, value, false);
    contentLength = value.GetLength() != 0 ? parseContentLength(bufferText(value)) : std::nullopt;
    value.Free();
    queryHeaderInto(HTTP_QUERY_CONTENT_ENCODING, value, false);
    contentCoded = value.GetLength() != 0;
    value.Free();
    queryHeaderInto(HTTP_QUERY_CONTENT_RANGE, value, false);
    answerPlan = planAnswer(answerLimits, queryStatus(), bufferText(value),
                            contentCoded ? std::nullopt : contentLength);
}

// Nothing of a refused answer is kept; the rest of it is never read.
void CRequestHttx::refuseAnswer(EAnswerVerdict verdict) {
    answerPlan.verdict = verdict;
    queryHeaders();
    responseBody.Free();
    errorSource = kErrorSourceAnswer;
    errorCode = ERROR_SUCCESS;
    state = eRequest_Finished;
}

int CRequestHttx::ReadStep() {
    const bool headArrived = state == eRequest_Sending;
    if (headArrived) {
        state = eRequest_Receiving;
    } else if (state != eRequest_Receiving) {
        SetError(ERROR_INVALID_HANDLE);
        return state;
    }
    pending = false;
    errorCode = ERROR_SUCCESS;
    bytesReceived = 0;
    if (headArrived) {
        planBody();
        if (answerPlan.verdict != EAnswerVerdict::eAccept) {
            refuseAnswer(answerPlan.verdict);
            return state;
        }
    }
    while (readOnce()) {
    }
    // A connection closed under a pending operation never completes it.
    if (connectionClosed && state == eRequest_Receiving && errorCode == ERROR_IO_PENDING) {
        SetError(ERROR_INTERNET_CONNECTION_RESET);
        state = eRequest_Finished;
    }
    return state;
}

void CRequestHttx::FailPending(DWORD error) {
    pending = false;
    readBuffers.lpvBuffer = nullptr;
    readBuffers.dwBufferLength = 0;
    SetError(error);
    queryHeaders();
    state = eRequest_Finished;
}

std::unique_ptr<CBuffer> CRequestHttx::DetachBodyInUse() {
    auto inUse = std::make_unique<CBuffer>();
    inUse->Attach(responseBody);
    responseBody.Append(inUse->GetData(), inUse->GetLength());
    readBuffers.lpvBuffer = nullptr;
    readBuffers.dwBufferLength = 0;
    return inUse;
}

int CRequestHttx::queryStatus() {
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::HttpQueryInfoA(hRequest.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &size, nullptr))
        return 0;
    return static_cast<int>(status);
}

void CRequestHttx::queryHeaders() {
    if (const int status = queryStatus(); status != 0)
        httpStatus = status;
    if (IsRedirect())
        queryHeaderInto(HTTP_QUERY_LOCATION, location, false);
    if (captureSentHeaders)
        queryHeaderInto(HTTP_QUERY_RAW_HEADERS_CRLF | HTTP_QUERY_FLAG_REQUEST_HEADERS, sentHeaders,
                        true);
    if (captureResponseHeaders)
        queryHeaderInto(HTTP_QUERY_RAW_HEADERS_CRLF, responseHeaders, true);
}

void CRequestHttx::queryHeaderInto(DWORD query, CBuffer& into, bool withZeros) {
    DWORD size = 0;
    if (::HttpQueryInfoA(hRequest.get(), query, nullptr, &size, nullptr) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0 || size > kMaxHeaderBytes)
        return;
    into.Free();
    // The size query counts the terminating zero on some systems only.
    if (!reserveRoom(into, size + 2))
        return;
    DWORD got = size + 1;
    if (!::HttpQueryInfoA(hRequest.get(), query, into.GetTail(size + 2), &got, nullptr))
        return;
    into.Commit(std::min<DWORD>(got, size));
    if (withZeros)
        into.AppendZeros(2);
}

} // namespace NetEx
