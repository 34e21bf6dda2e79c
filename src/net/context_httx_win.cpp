#include "net/context_httx_win.h"

#include "net/http_transport_win.h"
#include "net/net_client_win.h"

#include <algorithm>
#include <cstring>

namespace NetEx {

namespace {

// SECURITY_FLAG_IGNORE_UNKNOWN_CA: only a request that asks for it is sent
// again after an unknown-CA failure, and only this often, so a server with a
// certificate nobody accepts cannot keep it looping.
constexpr unsigned kIgnoreUnknownCa = 0x00000100;
constexpr int kMaxCertificateResends = 2;

// What WinINet would send as cookies for `url` (HTTP-only ones included).
std::string cookiesFor(const std::string& url) {
    constexpr DWORD kCookieHttpOnly = 0x2000;
    DWORD size = 0;
    if (url.empty() ||
        !::InternetGetCookieExA(url.c_str(), nullptr, nullptr, &size, kCookieHttpOnly, nullptr) ||
        size == 0)
        return {};
    std::string cookies(size, '\0');
    if (!::InternetGetCookieExA(url.c_str(), nullptr, cookies.data(), &size, kCookieHttpOnly,
                                nullptr))
        return {};
    cookies.resize(std::min<size_t>(size, cookies.size()));
    while (!cookies.empty() && cookies.back() == '\0')
        cookies.pop_back();
    return cookies;
}

const char* nullIfEmpty(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

CContextHttx::~CContextHttx() {
    CloseContext();
}

void CContextHttx::Setup(int newId, const char* newName, const char* newUrl, unsigned newTimeout,
                         unsigned newBlockLimit) {
    id = newId;
    name = newName != nullptr ? newName : "";
    SetUrl(newUrl);
    timeout = newTimeout;
    blockLimit = newBlockLimit;
}

bool CContextHttx::SetUrl(const char* newUrl) {
    return url.Parse(newUrl);
}

void CContextHttx::SetArgs(const char* args) {
    if (args != nullptr)
        url.AddArgs(args);
}

int CContextHttx::DecRequestCount() {
    if (requestCount > 0)
        --requestCount;
    return requestCount;
}

uint32_t CContextHttx::Attach(CNetClient* owner, CHttxTransport* parent) {
    client = owner;
    transport = parent;
    name = contextName(name, id);
    const SNetLogSettings* settings = transport->LogSettings();
    if (settings == nullptr || settings->enabled == 0)
        return 0;
    httpLog = std::make_unique<CContextLog>();
    const uint32_t error =
        httpLog->open(*settings, name, transport->LogTimeBase(), transport->LogTimeFlag());
    if (error != 0)
        httpLog.reset();
    return error;
}

uint32_t CContextHttx::Connect(HINTERNET session) {
    const std::string composed = url.GetUrl();
    WriteLog(
        contextEntry("Creating context", &composed, id, url.GetArgsText(), timeout, blockLimit));
    hConnect.reset(::InternetConnectA(session, url.GetHost().c_str(), url.GetPort(),
                                      nullIfEmpty(url.GetUser()), nullIfEmpty(url.GetPassword()),
                                      INTERNET_SERVICE_HTTP, INTERNET_FLAG_EXISTING_CONNECT, 0));
    if (!hConnect) {
        const DWORD error = ::GetLastError();
        WriteError(error);
        return error != 0 ? error : ERROR_INTERNET_INTERNAL_ERROR;
    }
    CHttxTransport* totals = transport;
    addBytesSent = [totals](uint64_t count) { totals->AddBytesSent(count); };
    addBytesReceived = [totals](uint64_t count) { totals->AddBytesReceived(count); };
    return 0;
}

void CContextHttx::Modify(const CContextHttx& carrier) {
    url.SetArgs(carrier.url.GetArgs());
    if (carrier.timeout != 0)
        timeout = carrier.timeout;
    if (carrier.blockLimit != 0)
        blockLimit = carrier.blockLimit;
    WriteLog(
        contextEntry("Modifying context", nullptr, id, url.GetArgsText(), timeout, blockLimit));
}

void CContextHttx::CloseContext() {
    if (!hConnect)
        return;
    while (!requests.empty())
        release(*requests.front(), false);
    if (httpLog) {
        httpLog->writeTitle("Destroying context");
        httpLog->writeSeparator();
    }
    hConnect.reset();
    httpLog.reset();
}

void CContextHttx::WriteLog(const SLogEntry& entry) {
    if (httpLog)
        httpLog->writeEntry(entry);
}

void CContextHttx::WriteError(uint32_t code) {
    if (httpLog)
        httpLog->writeError(code);
}

void CContextHttx::logSending(const CRequestHttx& request) {
    if (!httpLog)
        return;
    const bool noCookies = (request.GetFlags() & kInternetFlagNoCookies) != 0;
    const std::string cookies =
        noCookies ? std::string() : cookiesFor(request.GetRelativeUrl().GetUrl());
    httpLog->writeEntry(sendingEntry(request, cookies, httpLog->maxBlock()));
}

void CContextHttx::SendRequest(std::unique_ptr<CRequestHttx> request) {
    if (!request->Prepare(*this, transport->NewStatusKey())) {
        request->SetError(ERROR_INTERNET_INVALID_URL);
        WriteError(request->GetErrorCode());
        handBack(std::move(request));
        return;
    }
    logSending(*request);
    if (!request->Open() || !request->Send()) {
        WriteError(request->GetErrorCode());
        request->CloseHandle();
        handBack(std::move(request));
        return;
    }
    requests.push_back(std::move(request));
}

bool CContextHttx::CancelRequest(int requestId) {
    const auto it = std::find_if(requests.begin(), requests.end(), [requestId](const auto& r) {
        return r->GetRequestId() == requestId;
    });
    if (it == requests.end())
        return false;
    WriteLog(requestEntry("Canceling request", **it));
    release(**it, false);
    return true;
}

CRequestHttx* CContextHttx::FindRequest(uintptr_t key, void* handle) const {
    for (const auto& request : requests) {
        if (request->StatusKey() == key && request->Handle() == handle)
            return request.get();
    }
    return nullptr;
}

void CContextHttx::OnStatus(CRequestHttx& request, const SInternetStatus& status) {
    switch (status.status) {
    case INTERNET_STATUS_CONNECTION_CLOSED:
        request.SetConnectionClosed();
        break;
    case INTERNET_STATUS_REDIRECT:
        WriteLog(redirectedEntry(bufferText(status.info), request.GetRequestId()));
        break;
    case INTERNET_STATUS_REQUEST_COMPLETE:
        if (status.info.GetLength() == sizeof(INTERNET_ASYNC_RESULT)) {
            INTERNET_ASYNC_RESULT result{};
            std::memcpy(&result, status.info.GetData(), sizeof(result));
            onRequestComplete(request, result.dwResult != 0, result.dwError);
        }
        break;
    default:
        break;
    }
}

void CContextHttx::onRequestComplete(CRequestHttx& request, bool succeeded, DWORD error) {
    request.MarkCompleted();
    if (request.GetState() == eRequest_Sending) {
        onSendComplete(request, error);
    } else if (request.GetState() == eRequest_Receiving) {
        // A failed read or query carries its error; a successful query may
        // carry its byte count in the error field (Wine), so it is asked
        // again by the read step instead of being read from the result.
        if (!succeeded && error != ERROR_SUCCESS) {
            request.FailPending(error);
            finish(request);
        } else {
            runReadStep(request);
        }
    }
}

void CContextHttx::onSendComplete(CRequestHttx& request, DWORD error) {
    WriteLog(requestEntry("Request completed", request));
    if (addBytesSent)
        addBytesSent(request.SendSize());
    if (error == ERROR_SUCCESS) {
        runReadStep(request);
        return;
    }
    WriteError(error);
    if (error == ERROR_INTERNET_INVALID_CA &&
        (request.GetSecurityFlags() & kIgnoreUnknownCa) != 0 &&
        request.CountCertificateResend() <= kMaxCertificateResends) {
        logSending(request);
        if (request.Send())
            return;
        WriteError(request.GetErrorCode());
        release(request, true);
        return;
    }
    if (error == ERROR_INTERNET_OPERATION_CANCELLED) {
        release(request, false);
        return;
    }
    request.SetError(error);
    release(request, true);
}

void CContextHttx::runReadStep(CRequestHttx& request) {
    request.ReadStep();
    if (request.IsWaiting()) {
        if (request.GetReadBlockSize() != 0) {
            WriteLog(progressEntry(request));
            if (client != nullptr)
                client->OnRequestProgress(&request);
        }
        return;
    }
    finish(request);
}

void CContextHttx::finish(CRequestHttx& request) {
    if (request.IsRedirect())
        WriteLog(redirectedEntry(bufferText(request.Location()), request.GetRequestId()));
    // The entry copies the body: not worth it for a log that is off.
    if (httpLog)
        WriteLog(dataReceivedEntry(request, httpLog->maxBlock()));
    WriteError(request.GetErrorCode());
    if (addBytesReceived)
        addBytesReceived(request.GetBodyLength());
    release(request, true);
}

void CContextHttx::release(CRequestHttx& request, bool notify) {
    const auto it = std::find_if(requests.begin(), requests.end(),
                                 [&request](const auto& r) { return r.get() == &request; });
    if (it == requests.end())
        return;
    std::unique_ptr<CRequestHttx> owned = std::move(*it);
    requests.erase(it);
    owned->CloseHandle();
    if (owned->IsPending()) {
        if (!notify) {
            transport->Park(std::move(owned));
            return;
        }
        transport->Park(owned->StatusKey(), owned->DetachBodyInUse());
    }
    if (notify)
        handBack(std::move(owned));
}

void CContextHttx::handBack(std::unique_ptr<CRequestHttx> request) {
    if (client != nullptr)
        client->OnRequestCompleted(std::move(request));
}

} // namespace NetEx
